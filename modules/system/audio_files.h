// Handlers of the custom alarm sounds.
#pragma once
#include <cstddef>

// ---- audio_files.cpp ----------------------------------------------------------------
int on_get_audio_file_list(char *request); // /6320
int on_upload_audio_file(char *request);   // /6321 (the stored upload's path)
int on_add_audio_file(char *request);      // /6322
int on_delete_audio_files(char *request);  // /6323
int on_rename_audio_file(char *request);   // /6324
int on_play_audio_file(char *request);     // /6325
// Replies: 9012 the sound records; 9013 to 9016 the daemon's status.
void on_get_audio_file_list_cb(size_t count, const void *payload);
void on_audio_file_status_cb(size_t count, const void *payload);
