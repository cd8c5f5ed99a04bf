#include "platform/qx_base64.h"

namespace {
int sextet(unsigned char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}
bool blank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
} // namespace

bool qx_base64_decode(const char *text, size_t length, std::string *out)
{
    if (!out) return false;
    out->clear();
    if (!text) return false;
    out->reserve(length / 4 * 3);
    unsigned acc = 0;
    int held = 0;    // sextets of the quantum being read
    int padding = 0; // '=' seen
    for (size_t i = 0; i < length; i++) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (blank(c)) continue;
        const int v = c == '=' ? -2 : sextet(c);
        if (v == -2) {
            padding++;
            continue;
        }
        if (v < 0 || padding) { // a foreign character, or data behind the padding
            out->clear();
            return false;
        }
        acc = acc << 6 | static_cast<unsigned>(v);
        if (++held == 4) {
            out->push_back(static_cast<char>(acc >> 16));
            out->push_back(static_cast<char>(acc >> 8));
            out->push_back(static_cast<char>(acc));
            acc = 0;
            held = 0;
        }
    }
    // The last quantum: two or three sextets (padded to four, or not at all).
    const bool ok = padding == 0 ? held != 1 : held >= 2 && held + padding == 4;
    if (!ok) {
        out->clear();
        return false;
    }
    if (held == 2) out->push_back(static_cast<char>(acc >> 4));
    if (held == 3) {
        out->push_back(static_cast<char>(acc >> 10));
        out->push_back(static_cast<char>(acc >> 2));
    }
    return true;
}
