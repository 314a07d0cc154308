// SHA-1 (FIPS 180-1) as the WebSocket opening handshake needs it for its accept value.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorn {

constexpr int kSha1HashWords = 5;
constexpr int kSha1HashBytes = 20;
constexpr int kSha1BlockBytes = 64;

constexpr int kSha1Success = 0;
constexpr int kSha1Null = 1;
constexpr int kSha1InputTooLong = 2;
constexpr int kSha1StateError = 3;

// Printed when a digest cannot be computed.
constexpr const char* kSha1ErrorText = "SHA1 ERROR: Could not compute message digest";

// The running state of one digest: reset, any number of inputs, then the result.
struct Sha1Context {
    std::uint32_t intermediate_hash[kSha1HashWords];
    // The message length in bits, as two 32-bit halves.
    std::uint32_t length_low;
    std::uint32_t length_high;
    int message_block_index;
    std::uint8_t message_block[kSha1BlockBytes];
    bool computed;
    // Set once the message has grown past 2^64 - 1 bits or input came after the result.
    int corrupted;
};

int Sha1Reset(Sha1Context* context);
int Sha1Input(Sha1Context* context, const std::uint8_t* bytes, std::size_t length);
// Pads the message and gives the five hash words (H0..H4) in host order.
int Sha1Result(Sha1Context* context, std::uint32_t digest[kSha1HashWords]);

// The digest of a NUL-terminated text, without its terminator. Returns 0, or -1 after
// printing kSha1ErrorText when the state went wrong.
int Sha1Digest(const char* text, std::uint32_t digest[kSha1HashWords]);

}  // namespace vorn
