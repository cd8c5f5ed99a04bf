// Snapshot schedules and parameters of the channels, and starting and
// stopping scheduled snapshots (snapshot.cpp).
#pragma once

int on_get_snapshot_schedule(char *request);       // /6174
int on_set_snapshot_schedule(char *request);       // /6175
int on_get_snapshot_setting_params(char *request); // /6176
int on_set_snapshot_setting_params(char *request); // /6177
int on_set_snapshot_batch_setting(char *request);  // /6178
