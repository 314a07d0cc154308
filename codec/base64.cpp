// Base64 encoding: every three bytes become four characters of six bits each.
#include "codec/base64.h"

#include <cstring>
#include <new>

namespace vorn {

namespace {

constexpr int kPadIndex = 64;
constexpr std::size_t kDigestBytes = 20;

}  // namespace

void EncodeBase64(const std::uint8_t* bytes, std::size_t size, char* out) {
    std::size_t o = 0;
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        std::uint32_t group = (static_cast<std::uint32_t>(bytes[i]) << 16) |
                              (static_cast<std::uint32_t>(bytes[i + 1]) << 8) | bytes[i + 2];
        out[o++] = kBase64Alphabet[(group >> 18) & 0x3F];
        out[o++] = kBase64Alphabet[(group >> 12) & 0x3F];
        out[o++] = kBase64Alphabet[(group >> 6) & 0x3F];
        out[o++] = kBase64Alphabet[group & 0x3F];
    }
    std::size_t rest = size - i;
    if (rest > 0) {
        std::uint32_t group = static_cast<std::uint32_t>(bytes[i]) << 16;
        if (rest == 2) {
            group |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
        }
        out[o++] = kBase64Alphabet[(group >> 18) & 0x3F];
        out[o++] = kBase64Alphabet[(group >> 12) & 0x3F];
        out[o++] = rest == 2 ? kBase64Alphabet[(group >> 6) & 0x3F] : kBase64Alphabet[kPadIndex];
        out[o++] = kBase64Alphabet[kPadIndex];
    }
    out[o] = '\0';
}

std::unique_ptr<char[]> Base64Digest(const std::uint8_t digest[20]) {
    constexpr std::size_t kBlockSize = Base64EncodedSize(kDigestBytes) + 1;
    std::unique_ptr<char[]> text(new (std::nothrow) char[kBlockSize]);
    if (!text) {
        return nullptr;
    }
    std::memset(text.get(), 0, kBlockSize);
    EncodeBase64(digest, kDigestBytes, text.get());
    return text;
}

std::string Base64Encode(const unsigned char* data, std::size_t length) {
    if (data == nullptr) {
        return {};
    }
    // The encoder writes a terminator after the text, where std::string keeps its own.
    std::string text(Base64EncodedSize(length), '\0');
    EncodeBase64(reinterpret_cast<const std::uint8_t*>(data), length, text.data());
    return text;
}

}  // namespace vorn
