// The simulator's recording: a small baseline JPEG encoder and the frames
// of a short clip made with it (a moving square over a colour gradient,
// with a tone for sound), so that a download from the simulator is a video
// a player shows.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Encodes a YCbCr 4:2:0 baseline JPEG. `rgb` holds width * height pixels of
// three bytes; width and height must be multiples of 16.
std::string jpeg_encode(const std::vector<uint8_t> &rgb, int width, int height);

enum { CLIP_WIDTH = 320, CLIP_HEIGHT = 240, CLIP_FPS = 25, CLIP_FRAMES = 50 };
enum { CLIP_AUDIO_RATE = 8000, CLIP_AUDIO_BYTES = CLIP_AUDIO_RATE / CLIP_FPS };

// Frame n (0 .. CLIP_FRAMES-1) of the clip as JPEG; made once, then kept.
const std::string &clip_video_frame(int n);
// The sound of one video frame: CLIP_AUDIO_BYTES of G.711 mu-law.
const std::string &clip_audio_frame();
