// Base64 (RFC 4648 section 4): standard alphabet, "=" padding, no line breaks. The handshake's
// accept key and the reply's pictures both use it, so it sits below both of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vorn {

// 64 digits followed by the padding character.
constexpr const char* kBase64Alphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";

// The text length that `size` bytes encode to, without a terminator.
constexpr std::size_t Base64EncodedSize(std::size_t size) {
    return (size + 2) / 3 * 4;
}

// Writes Base64EncodedSize(size) characters and a terminator into `out`, which must hold
// that many plus one.
void EncodeBase64(const std::uint8_t* bytes, std::size_t size, char* out);

// The 28-character text of a 20-byte digest in a new zero-filled block of 29 bytes, or null
// when no memory can be had.
std::unique_ptr<char[]> Base64Digest(const std::uint8_t digest[20]);

// The text of the data as a string of Base64EncodedSize(length) characters; null data gives an
// empty text.
std::string Base64Encode(const unsigned char* data, std::size_t length);

}  // namespace vorn
