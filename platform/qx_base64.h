// Base64 coding of the maker's standard library.
#pragma once
#include <cstddef>
#include <string>

// Decodes Base64 text (standard alphabet, '=' padding at the end; line
// breaks and blanks anywhere are skipped). Returns false (out cleared) for
// any other character, misplaced padding or a length that is not whole.
bool qx_base64_decode(const char *text, size_t length, std::string *out);
