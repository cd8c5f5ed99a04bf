#include "modules/video/video_utils.h"

int channel_bits_list(uint64_t bits, int32_t *out)
{
    int count = 0;
    for (int n = 0; n < VIDEO_MAX_CHANNELS; n++)
        if (bits & (1ULL << n)) out[count++] = n;
    return count;
}
