#include "clip_jpeg.h"

#include <cmath>
#include <mutex>

namespace {

// Luminance quantisation table, natural order.
const uint8_t kQuant[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,  14, 13, 16, 24, 40,  57,
    69, 56, 14, 17, 22,  29,  51,  87,  80, 62, 18, 22, 37,  56,  68,  109, 103, 77, 24, 35, 55, 64,
    81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
};

// Natural index of each zig-zag position.
struct ZigZag {
    int at[64];
    ZigZag()
    {
        int k = 0;
        for (int s = 0; s < 15; s++) {
            for (int i = 0; i <= s; i++) {
                int r = s % 2 ? i : s - i; // odd diagonals run downwards
                int c = s - r;
                if (r < 8 && c < 8) at[k++] = r * 8 + c;
            }
        }
    }
};
const ZigZag kZigZag;

// One Huffman table per kind, every code of one length (the stream carries
// its tables, so any complete code will do): DC categories 0..11 in 4 bits,
// the 162 AC symbols in 8 bits.
const int kDcBits = 4, kAcBits = 8;
std::vector<uint8_t> ac_symbols()
{
    std::vector<uint8_t> v = {0x00, 0xf0};
    for (int run = 0; run < 16; run++)
        for (int size = 1; size <= 10; size++) v.push_back(static_cast<uint8_t>(run << 4 | size));
    return v;
}

class BitWriter {
public:
    explicit BitWriter(std::string *out) : out_(out) {}
    void put(uint32_t bits, int n)
    {
        for (int i = n - 1; i >= 0; i--) {
            acc_ = static_cast<uint8_t>(acc_ << 1 | ((bits >> i) & 1));
            if (++fill_ == 8) emit();
        }
    }
    void flush()
    {
        while (fill_) put(1, 1);
    }

private:
    void emit()
    {
        *out_ += static_cast<char>(acc_);
        if (acc_ == 0xff) *out_ += '\0'; // stuffed
        acc_ = 0;
        fill_ = 0;
    }
    std::string *out_;
    uint8_t acc_ = 0;
    int fill_ = 0;
};

int category(int v)
{
    int a = v < 0 ? -v : v, n = 0;
    while (a) {
        n++;
        a >>= 1;
    }
    return n;
}

void put_value(BitWriter &w, int v, int size)
{
    if (size) w.put(static_cast<uint32_t>(v < 0 ? v + (1 << size) - 1 : v), size);
}

void encode_block(BitWriter &w, const float (&px)[64], int &prev_dc, const uint8_t (&ac_code)[256])
{
    static float cosines[8][8];
    static std::once_flag once;
    std::call_once(once, [] {
        for (int x = 0; x < 8; x++)
            for (int u = 0; u < 8; u++) cosines[x][u] = std::cos((2 * x + 1) * u * M_PI / 16);
    });
    float rows[64];
    for (int y = 0; y < 8; y++)
        for (int u = 0; u < 8; u++) {
            float s = 0;
            for (int x = 0; x < 8; x++) s += px[y * 8 + x] * cosines[x][u];
            rows[y * 8 + u] = s * (u ? 0.5f : 0.5f / std::sqrt(2.0f));
        }
    int q[64];
    for (int v = 0; v < 8; v++)
        for (int u = 0; u < 8; u++) {
            float s = 0;
            for (int y = 0; y < 8; y++) s += rows[y * 8 + u] * cosines[y][v];
            s *= v ? 0.5f : 0.5f / std::sqrt(2.0f);
            q[v * 8 + u] = static_cast<int>(std::lround(s / kQuant[v * 8 + u]));
        }
    const int dc = q[0], diff = dc - prev_dc, dsize = category(diff);
    prev_dc = dc;
    w.put(static_cast<uint32_t>(dsize), kDcBits);
    put_value(w, diff, dsize);
    int run = 0;
    for (int k = 1; k < 64; k++) {
        int v = q[kZigZag.at[k]];
        if (v == 0) {
            run++;
            continue;
        }
        for (; run > 15; run -= 16) w.put(ac_code[0xf0], kAcBits);
        int size = category(v);
        if (size > 10) {
            size = 10;
            v = v < 0 ? -1023 : 1023;
        }
        w.put(ac_code[run << 4 | size], kAcBits);
        put_value(w, v, size);
        run = 0;
    }
    if (run) w.put(ac_code[0x00], kAcBits);
}

void marker(std::string &s, uint8_t m, const std::string &body)
{
    s += '\xff';
    s += static_cast<char>(m);
    size_t n = body.size() + 2;
    s += static_cast<char>(n >> 8);
    s += static_cast<char>(n & 0xff);
    s += body;
}

std::string huffman_table(uint8_t cls_id, int bits, const std::vector<uint8_t> &symbols)
{
    std::string t(1, static_cast<char>(cls_id));
    for (int len = 1; len <= 16; len++) t += static_cast<char>(len == bits ? symbols.size() : 0);
    t.append(symbols.begin(), symbols.end());
    return t;
}

uint8_t clamp8(float v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : std::lround(v)); }

uint8_t mulaw(int16_t pcm)
{
    const int bias = 0x84, clip = 32635;
    int sign = pcm < 0 ? 0x80 : 0;
    int v = pcm < 0 ? -pcm : pcm;
    if (v > clip) v = clip;
    v += bias;
    int exponent = 7;
    for (int mask = 0x4000; !(v & mask) && exponent > 0; mask >>= 1) exponent--;
    int mantissa = (v >> (exponent + 3)) & 0x0f;
    return static_cast<uint8_t>(~(sign | exponent << 4 | mantissa));
}
} // namespace

std::string jpeg_encode(const std::vector<uint8_t> &rgb, int width, int height)
{
    if (width <= 0 || height <= 0 || width % 16 || height % 16 || rgb.size() != static_cast<size_t>(width) * height * 3)
        return std::string();
    const std::vector<uint8_t> symbols = ac_symbols();
    uint8_t ac_code[256] = {};
    for (size_t i = 0; i < symbols.size(); i++) ac_code[symbols[i]] = static_cast<uint8_t>(i);
    std::vector<uint8_t> dc_symbols;
    for (int c = 0; c < 12; c++) dc_symbols.push_back(static_cast<uint8_t>(c));

    std::string s = "\xff\xd8";
    std::string dqt(1, '\0');
    for (int k = 0; k < 64; k++) dqt += static_cast<char>(kQuant[kZigZag.at[k]]);
    marker(s, 0xdb, dqt);
    const char sof[] = {8, static_cast<char>(height >> 8), static_cast<char>(height & 0xff),
                        static_cast<char>(width >> 8), static_cast<char>(width & 0xff), 3,
                        1, 0x22, 0, 2, 0x11, 0, 3, 0x11, 0};
    marker(s, 0xc0, std::string(sof, sizeof sof));
    marker(s, 0xc4, huffman_table(0x00, kDcBits, dc_symbols) + huffman_table(0x10, kAcBits, symbols));
    const char sos[] = {3, 1, 0, 2, 0, 3, 0, 0, 63, 0};
    marker(s, 0xda, std::string(sos, sizeof sos));

    // Colour planes: Y at full size, Cb and Cr averaged over 2x2 pixels.
    auto at = [&](int x, int y, int c) { return static_cast<float>(rgb[(static_cast<size_t>(y) * width + x) * 3 + c]); };
    auto luma = [&](int x, int y) { return 0.299f * at(x, y, 0) + 0.587f * at(x, y, 1) + 0.114f * at(x, y, 2); };
    auto chroma = [&](int x, int y, int which) {
        float sum = 0;
        for (int dy = 0; dy < 2; dy++)
            for (int dx = 0; dx < 2; dx++) {
                float r = at(x + dx, y + dy, 0), g = at(x + dx, y + dy, 1), b = at(x + dx, y + dy, 2);
                sum += which == 0 ? -0.168736f * r - 0.331264f * g + 0.5f * b : 0.5f * r - 0.418688f * g - 0.081312f * b;
            }
        return sum / 4;
    };
    BitWriter w(&s);
    int prev[3] = {0, 0, 0};
    float block[64];
    for (int my = 0; my < height; my += 16)
        for (int mx = 0; mx < width; mx += 16) {
            for (int b = 0; b < 4; b++) {
                const int bx = mx + (b % 2) * 8, by = my + (b / 2) * 8;
                for (int i = 0; i < 64; i++) block[i] = luma(bx + i % 8, by + i / 8) - 128;
                encode_block(w, block, prev[0], ac_code);
            }
            for (int c = 0; c < 2; c++) {
                for (int i = 0; i < 64; i++) block[i] = chroma(mx + (i % 8) * 2, my + (i / 8) * 2, c);
                encode_block(w, block, prev[c + 1], ac_code);
            }
        }
    w.flush();
    s += "\xff\xd9";
    return s;
}

const std::string &clip_video_frame(int n)
{
    static std::vector<std::string> frames;
    static std::once_flag once;
    std::call_once(once, [] {
        std::vector<uint8_t> rgb(CLIP_WIDTH * CLIP_HEIGHT * 3);
        for (int f = 0; f < CLIP_FRAMES; f++) {
            // A square crossing a gradient, one step per frame.
            const int sx = f * (CLIP_WIDTH - 64) / CLIP_FRAMES, sy = CLIP_HEIGHT / 2 - 32;
            for (int y = 0; y < CLIP_HEIGHT; y++)
                for (int x = 0; x < CLIP_WIDTH; x++) {
                    uint8_t *p = &rgb[(static_cast<size_t>(y) * CLIP_WIDTH + x) * 3];
                    const bool square = x >= sx && x < sx + 64 && y >= sy && y < sy + 64;
                    p[0] = square ? 250 : clamp8(x * 255.0f / CLIP_WIDTH);
                    p[1] = square ? 220 : clamp8(y * 255.0f / CLIP_HEIGHT);
                    p[2] = square ? 40 : 128;
                }
            frames.push_back(jpeg_encode(rgb, CLIP_WIDTH, CLIP_HEIGHT));
        }
    });
    return frames[static_cast<size_t>(n) % frames.size()];
}

const std::string &clip_audio_frame()
{
    static const std::string tone = [] {
        std::string s(CLIP_AUDIO_BYTES, '\0');
        for (int i = 0; i < CLIP_AUDIO_BYTES; i++) // 400 Hz: whole periods in one frame
            s[i] = static_cast<char>(mulaw(static_cast<int16_t>(8000 * std::sin(2 * M_PI * 400 * i / CLIP_AUDIO_RATE))));
        return s;
    }();
    return tone;
}
