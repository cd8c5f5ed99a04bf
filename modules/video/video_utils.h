// Small pieces shared by the event handlers of the video module.
#pragma once
#include <cstdint>

enum { VIDEO_MAX_CHANNELS = 64 };

inline bool valid_channel(int channel) { return channel >= 0 && channel < VIDEO_MAX_CHANNELS; }

// Channel numbers of the set bits of a 64-bit channel mask, ascending, into
// `out` (room for 64). Returns how many.
int channel_bits_list(uint64_t bits, int32_t *out);
