#include "platform/qx_crypto.h"

#include <cstdint>
#include <cstring>

// A small AES decryptor (the inverse cipher of FIPS-197) instead of a general
// crypto library: the request program only ever decrypts web packages, and a
// static crypto library would more than double its size on the device. Speed
// is not the point here (one package per upgrade); size and clarity are.

namespace {
enum { kBlock = 16, kMaxRounds = 14 };

struct Tables {
    uint8_t sbox[256];
    uint8_t inv_sbox[256];
};

uint8_t xtime(uint8_t x) { return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1b : 0)); }

uint8_t gf_mul(uint8_t a, uint8_t b)
{
    uint8_t p = 0;
    while (b) {
        if (b & 1) p ^= a;
        a = xtime(a);
        b >>= 1;
    }
    return p;
}

uint8_t rotl8(uint8_t x, int n) { return static_cast<uint8_t>((x << n) | (x >> (8 - n))); }

// The S-box from its definition: the multiplicative inverse in GF(2^8)
// followed by the affine transform. Built once, on first use.
const Tables &tables()
{
    static Tables t;
    static bool built = false;
    if (built) return t;
    // Walk the field with generator 3 (p) and its inverse 3^-1 (q) together.
    uint8_t p = 1, q = 1;
    do {
        p = static_cast<uint8_t>(p ^ xtime(p));             // p *= 3
        q ^= static_cast<uint8_t>(q << 1);                    // q /= 3
        q ^= static_cast<uint8_t>(q << 2);
        q ^= static_cast<uint8_t>(q << 4);
        if (q & 0x80) q ^= 0x09;
        const uint8_t s = static_cast<uint8_t>(q ^ rotl8(q, 1) ^ rotl8(q, 2) ^ rotl8(q, 3) ^ rotl8(q, 4) ^ 0x63);
        t.sbox[p] = s;
    } while (p != 1);
    t.sbox[0] = 0x63;
    for (int i = 0; i < 256; i++) t.inv_sbox[t.sbox[i]] = static_cast<uint8_t>(i);
    built = true;
    return t;
}

struct KeySchedule {
    int rounds;
    uint8_t w[(kMaxRounds + 1) * kBlock];
};

// Key expansion for a key of 16, 24 or 32 bytes; false for another size.
bool expand_key(const uint8_t *key, size_t key_length, KeySchedule *ks)
{
    if (key_length != 16 && key_length != 24 && key_length != 32) return false;
    const Tables &t = tables();
    const int nk = static_cast<int>(key_length / 4);
    ks->rounds = nk + 6;
    const int words = 4 * (ks->rounds + 1);
    memcpy(ks->w, key, key_length);
    uint8_t rcon = 1;
    for (int i = nk; i < words; i++) {
        uint8_t tmp[4];
        memcpy(tmp, ks->w + 4 * (i - 1), 4);
        if (i % nk == 0) {
            const uint8_t first = tmp[0];
            tmp[0] = static_cast<uint8_t>(t.sbox[tmp[1]] ^ rcon);
            tmp[1] = t.sbox[tmp[2]];
            tmp[2] = t.sbox[tmp[3]];
            tmp[3] = t.sbox[first];
            rcon = xtime(rcon);
        } else if (nk > 6 && i % nk == 4) {
            for (uint8_t &b : tmp) b = t.sbox[b];
        }
        for (int j = 0; j < 4; j++) ks->w[4 * i + j] = static_cast<uint8_t>(ks->w[4 * (i - nk) + j] ^ tmp[j]);
    }
    return true;
}

void add_round_key(uint8_t *s, const KeySchedule &ks, int round)
{
    for (int i = 0; i < kBlock; i++) s[i] ^= ks.w[round * kBlock + i];
}

// Inverse ShiftRows and SubBytes together; the state is column-major.
void inv_shift_sub(uint8_t *s, const uint8_t *inv_sbox)
{
    uint8_t r[kBlock];
    for (int c = 0; c < 4; c++)
        for (int row = 0; row < 4; row++) r[4 * ((c + row) % 4) + row] = inv_sbox[s[4 * c + row]];
    memcpy(s, r, kBlock);
}

void inv_mix_columns(uint8_t *s)
{
    for (int c = 0; c < 4; c++) {
        uint8_t *col = s + 4 * c;
        const uint8_t a0 = col[0], a1 = col[1], a2 = col[2], a3 = col[3];
        col[0] = static_cast<uint8_t>(gf_mul(a0, 14) ^ gf_mul(a1, 11) ^ gf_mul(a2, 13) ^ gf_mul(a3, 9));
        col[1] = static_cast<uint8_t>(gf_mul(a0, 9) ^ gf_mul(a1, 14) ^ gf_mul(a2, 11) ^ gf_mul(a3, 13));
        col[2] = static_cast<uint8_t>(gf_mul(a0, 13) ^ gf_mul(a1, 9) ^ gf_mul(a2, 14) ^ gf_mul(a3, 11));
        col[3] = static_cast<uint8_t>(gf_mul(a0, 11) ^ gf_mul(a1, 13) ^ gf_mul(a2, 9) ^ gf_mul(a3, 14));
    }
}

void decrypt_block(const KeySchedule &ks, const uint8_t *in, uint8_t *out)
{
    const uint8_t *inv_sbox = tables().inv_sbox;
    uint8_t s[kBlock];
    memcpy(s, in, kBlock);
    add_round_key(s, ks, ks.rounds);
    for (int round = ks.rounds - 1; round > 0; round--) {
        inv_shift_sub(s, inv_sbox);
        add_round_key(s, ks, round);
        inv_mix_columns(s);
    }
    inv_shift_sub(s, inv_sbox);
    add_round_key(s, ks, 0);
    memcpy(out, s, kBlock);
}
} // namespace

int aesDecryWeb(const std::string &data, const char *key, std::string *out)
{
    if (!out) return -1;
    out->clear();
    const size_t key_length = key ? strlen(key) : 0;
    KeySchedule ks;
    if (!expand_key(reinterpret_cast<const uint8_t *>(key), key_length, &ks)) return -1;
    // The vector and at least one block of cipher text, in whole blocks.
    if (data.size() < 2 * kBlock || data.size() % kBlock != 0 || data.size() > 0x7fffffff) return -1;

    const uint8_t *in = reinterpret_cast<const uint8_t *>(data.data());
    const size_t length = data.size() - kBlock;
    out->resize(length);
    uint8_t *plain = reinterpret_cast<uint8_t *>(&(*out)[0]);
    for (size_t off = 0; off < length; off += kBlock) {
        decrypt_block(ks, in + kBlock + off, plain + off);
        const uint8_t *chain = in + off; // the vector, then the previous cipher block
        for (int i = 0; i < kBlock; i++) plain[off + i] ^= chain[i];
    }
    // PKCS#7: 1..16 bytes, each holding the count.
    const uint8_t pad = plain[length - 1];
    bool ok = pad >= 1 && pad <= kBlock;
    for (size_t i = 0; ok && i < pad; i++) ok = plain[length - 1 - i] == pad;
    memset(&ks, 0, sizeof(ks));
    if (!ok) {
        out->clear();
        return -1;
    }
    out->resize(length - pad);
    return static_cast<int>(length - pad);
}
