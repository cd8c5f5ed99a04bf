// Base64 of the maker's standard library: URL-safe Base64 (the alphabet with
// '-' and '_' in place of '+' and '/', written without '=' padding), in which
// the names of the custom alarm sounds travel, so any name is safe as a file
// name; and the standard form, for packages.
#pragma once
#include <cstddef>
#include <string>

// Encodes `len` bytes of `in` into `out` (`size` bytes, zero-terminated).
// Returns the length of the text, or -1 (out empty when size > 0) for a
// null argument, a negative length, or a text that would not fit.
int base64EncodeUrl(const unsigned char *in, int len, char *out, int size);

// Decodes the text `in` (padding '=' at its end accepted) into `out` (`size`
// bytes; a zero is added behind the bytes when there is room). Returns the
// number of bytes, or -1 for a null argument, a character outside the
// alphabet, a length no encoder makes, non-zero unused bits, or a result
// that would not fit.
int base64DecodeUrl(const char *in, unsigned char *out, int size);

// True when every character of the text is of the URL-safe alphabet (or a
// trailing '=') and the text is not empty.
bool base64_url_text(const char *text);

// Decodes standard Base64 text ('+' and '/', '=' padding at the end; line
// breaks and blanks anywhere are skipped), as packages arrive in it.
// Returns false (out cleared) for any other character, misplaced padding or
// a length that is not whole.
bool qx_base64_decode(const char *text, size_t length, std::string *out);
