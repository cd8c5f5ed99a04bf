// Crypto functions of the maker's platform library, on OpenSSL.
#pragma once
#include <cstddef>
#include <string>

// Decrypts a package of the web interface: AES in CBC mode with PKCS#7
// padding, the first 16 bytes of `data` being the initialisation vector.
// The key is the bytes of the key text, which selects the key size: 16, 24
// or 32 characters for AES-128, -192 or -256. Returns the length of the
// plain text written to *out, or 0 or less on failure (a key of another
// length, input too short or not whole blocks, wrong key or padding).
int aesDecryWeb(const std::string &data, const char *key, std::string *out);
