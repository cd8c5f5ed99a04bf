// URL-safe Base64 of the maker's standard library (the alphabet with '-' and
// '_' in place of '+' and '/', written without '=' padding). Names of the
// custom alarm sounds travel in this form, so any name is safe as a file
// name.
#pragma once
#include <cstddef>

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
