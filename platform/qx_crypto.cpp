#include "platform/qx_crypto.h"

#include <cstring>
#include <memory>

#include <openssl/evp.h>

namespace {
enum { kBlock = 16 };

const EVP_CIPHER *cipher_for(size_t key_length)
{
    switch (key_length) {
    case 16: return EVP_aes_128_cbc();
    case 24: return EVP_aes_192_cbc();
    case 32: return EVP_aes_256_cbc();
    default: return nullptr;
    }
}
} // namespace

int aesDecryWeb(const std::string &data, const char *key, std::string *out)
{
    if (!out) return -1;
    out->clear();
    const size_t key_length = key ? strlen(key) : 0;
    const EVP_CIPHER *cipher = cipher_for(key_length);
    // The vector and at least one block of cipher text, in whole blocks.
    if (!cipher || data.size() < 2 * kBlock || data.size() % kBlock != 0 || data.size() > 0x7fffffff) return -1;

    std::unique_ptr<EVP_CIPHER_CTX, void (*)(EVP_CIPHER_CTX *)> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    if (!ctx) return -1;
    const unsigned char *in = reinterpret_cast<const unsigned char *>(data.data());
    if (EVP_DecryptInit_ex(ctx.get(), cipher, nullptr, reinterpret_cast<const unsigned char *>(key), in) != 1)
        return -1;
    const int in_length = static_cast<int>(data.size() - kBlock);
    out->resize(static_cast<size_t>(in_length) + kBlock);
    unsigned char *plain = reinterpret_cast<unsigned char *>(&(*out)[0]);
    int n = 0, tail = 0;
    if (EVP_DecryptUpdate(ctx.get(), plain, &n, in + kBlock, in_length) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), plain + n, &tail) != 1) {
        out->clear();
        return -1;
    }
    out->resize(static_cast<size_t>(n + tail));
    return n + tail;
}
