#include "imaging/base64.h"

#include <cstdint>

#include "websocket/base64.h"

std::string Base64Encode(const unsigned char* data, std::size_t length) {
    if (data == nullptr) {
        return {};
    }
    // The encoder writes a terminator after the text, where std::string keeps its own.
    std::string text(Base64EncodedSize(length), '\0');
    EncodeBase64(reinterpret_cast<const std::uint8_t*>(data), length, text.data());
    return text;
}
