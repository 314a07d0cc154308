// Base64 text of binary data (RFC 4648, section 4), as the reply carries its pictures.
#pragma once

#include <cstddef>
#include <string>

// The standard alphabet with "=" padding and no line breaks: 4 * ceil(length / 3)
// characters. Null data gives an empty text.
std::string Base64Encode(const unsigned char* data, std::size_t length);
