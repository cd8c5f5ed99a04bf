#include "platform/qx_base64.h"

#include <cstring>

namespace {
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

int digit(unsigned char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '-') return 62;
    if (c == '_') return 63;
    return -1;
}
} // namespace

int base64EncodeUrl(const unsigned char *in, int len, char *out, int size)
{
    if (!out || size <= 0) return -1;
    out[0] = '\0';
    if ((!in && len > 0) || len < 0) return -1;
    const size_t n = static_cast<size_t>(len);
    const size_t need = n / 3 * 4 + (n % 3 ? n % 3 + 1 : 0);
    if (need + 1 > static_cast<size_t>(size)) return -1;
    size_t o = 0;
    for (size_t i = 0; i < n; i += 3) {
        unsigned v = static_cast<unsigned>(in[i]) << 16;
        if (i + 1 < n) v |= static_cast<unsigned>(in[i + 1]) << 8;
        if (i + 2 < n) v |= in[i + 2];
        out[o++] = kAlphabet[(v >> 18) & 63];
        out[o++] = kAlphabet[(v >> 12) & 63];
        if (i + 1 < n) out[o++] = kAlphabet[(v >> 6) & 63];
        if (i + 2 < n) out[o++] = kAlphabet[v & 63];
    }
    out[o] = '\0';
    return static_cast<int>(o);
}

int base64DecodeUrl(const char *in, unsigned char *out, int size)
{
    if (!in || !out || size < 0) return -1;
    size_t len = strlen(in);
    while (len > 0 && in[len - 1] == '=') len--;
    if (len % 4 == 1) return -1;
    const size_t need = len / 4 * 3 + (len % 4 ? len % 4 - 1 : 0);
    if (need > static_cast<size_t>(size)) return -1;
    size_t o = 0;
    unsigned acc = 0;
    int bits = 0;
    for (size_t i = 0; i < len; i++) {
        int d = digit(static_cast<unsigned char>(in[i]));
        if (d < 0) return -1;
        acc = (acc << 6) | static_cast<unsigned>(d);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out[o++] = static_cast<unsigned char>((acc >> bits) & 0xff);
        }
    }
    // The bits left over must be zero: otherwise no encoder made the text.
    if (bits > 0 && (acc & ((1u << bits) - 1)) != 0) return -1;
    if (o < static_cast<size_t>(size)) out[o] = 0;
    return static_cast<int>(o);
}

bool base64_url_text(const char *text)
{
    if (!text || !*text) return false;
    size_t len = strlen(text);
    size_t end = len;
    while (end > 0 && text[end - 1] == '=') end--;
    if (end == 0) return false;
    for (size_t i = 0; i < end; i++)
        if (digit(static_cast<unsigned char>(text[i])) < 0) return false;
    return true;
}
