// SHA-1 over a byte message, processed in 512-bit blocks with an 80-word schedule.
#include "websocket/sha1.h"

#include <cstdio>
#include <cstring>

namespace vorn {

namespace {

constexpr std::uint32_t kInitialHash[kSha1HashWords] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu,
                                                        0x10325476u, 0xC3D2E1F0u};
constexpr std::uint32_t kRoundConstants[4] = {0x5A827999u, 0x6ED9EBA1u, 0x8F1BBCDCu, 0xCA62C1D6u};
// Where the 64-bit bit count starts in the last block.
constexpr int kLengthOffset = 56;

std::uint32_t RotateLeft(std::uint32_t word, int bits) {
    return (word << bits) | (word >> (32 - bits));
}

void ProcessMessageBlock(Sha1Context* context) {
    std::uint32_t schedule[80];
    for (int t = 0; t < 16; ++t) {
        const std::uint8_t* bytes = context->message_block + 4 * t;
        schedule[t] = (static_cast<std::uint32_t>(bytes[0]) << 24) |
                      (static_cast<std::uint32_t>(bytes[1]) << 16) |
                      (static_cast<std::uint32_t>(bytes[2]) << 8) | bytes[3];
    }
    for (int t = 16; t < 80; ++t) {
        schedule[t] =
            RotateLeft(schedule[t - 3] ^ schedule[t - 8] ^ schedule[t - 14] ^ schedule[t - 16], 1);
    }

    std::uint32_t a = context->intermediate_hash[0];
    std::uint32_t b = context->intermediate_hash[1];
    std::uint32_t c = context->intermediate_hash[2];
    std::uint32_t d = context->intermediate_hash[3];
    std::uint32_t e = context->intermediate_hash[4];
    for (int t = 0; t < 80; ++t) {
        std::uint32_t f;
        if (t < 20) {
            f = (b & c) | (~b & d);
        } else if (t < 40 || t >= 60) {
            f = b ^ c ^ d;
        } else {
            f = (b & c) | (b & d) | (c & d);
        }
        std::uint32_t temp = RotateLeft(a, 5) + f + e + schedule[t] + kRoundConstants[t / 20];
        e = d;
        d = c;
        c = RotateLeft(b, 30);
        b = a;
        a = temp;
    }
    context->intermediate_hash[0] += a;
    context->intermediate_hash[1] += b;
    context->intermediate_hash[2] += c;
    context->intermediate_hash[3] += d;
    context->intermediate_hash[4] += e;
    context->message_block_index = 0;
}

// Appends the 1 bit, zeros and the bit count, spilling into one more block when the count
// no longer fits after the message's last bytes.
void PadMessage(Sha1Context* context) {
    context->message_block[context->message_block_index++] = 0x80;
    if (context->message_block_index > kLengthOffset) {
        while (context->message_block_index < kSha1BlockBytes) {
            context->message_block[context->message_block_index++] = 0;
        }
        ProcessMessageBlock(context);
    }
    while (context->message_block_index < kLengthOffset) {
        context->message_block[context->message_block_index++] = 0;
    }
    for (int i = 0; i < 4; ++i) {
        context->message_block[kLengthOffset + i] =
            static_cast<std::uint8_t>(context->length_high >> (24 - 8 * i));
        context->message_block[kLengthOffset + 4 + i] =
            static_cast<std::uint8_t>(context->length_low >> (24 - 8 * i));
    }
    ProcessMessageBlock(context);
}

}  // namespace

int Sha1Reset(Sha1Context* context) {
    if (context == nullptr) {
        return kSha1Null;
    }
    std::memset(context, 0, sizeof(*context));
    std::memcpy(context->intermediate_hash, kInitialHash, sizeof(kInitialHash));
    return kSha1Success;
}

int Sha1Input(Sha1Context* context, const std::uint8_t* bytes, std::size_t length) {
    if (length == 0) {
        return kSha1Success;
    }
    if (context == nullptr || bytes == nullptr) {
        return kSha1Null;
    }
    if (context->computed) {
        context->corrupted = kSha1StateError;
        return kSha1StateError;
    }
    if (context->corrupted != 0) {
        return context->corrupted;
    }
    for (std::size_t i = 0; i < length && context->corrupted == 0; ++i) {
        context->message_block[context->message_block_index++] = bytes[i];
        context->length_low += 8;
        if (context->length_low == 0) {
            context->length_high++;
            if (context->length_high == 0) {
                context->corrupted = kSha1InputTooLong;
            }
        }
        if (context->message_block_index == kSha1BlockBytes) {
            ProcessMessageBlock(context);
        }
    }
    return context->corrupted;
}

int Sha1Result(Sha1Context* context, std::uint32_t digest[kSha1HashWords]) {
    if (context == nullptr || digest == nullptr) {
        return kSha1Null;
    }
    if (context->corrupted != 0) {
        return context->corrupted;
    }
    if (!context->computed) {
        PadMessage(context);
        // The message is no longer needed and should not linger in memory.
        std::memset(context->message_block, 0, sizeof(context->message_block));
        context->length_low = 0;
        context->length_high = 0;
        context->computed = true;
    }
    std::memcpy(digest, context->intermediate_hash, sizeof(context->intermediate_hash));
    return kSha1Success;
}

int Sha1Digest(const char* text, std::uint32_t digest[kSha1HashWords]) {
    Sha1Context context;
    int error = Sha1Reset(&context);
    if (error == kSha1Success && text != nullptr) {
        error = Sha1Input(&context, reinterpret_cast<const std::uint8_t*>(text), std::strlen(text));
    }
    if (error == kSha1Success) {
        error = Sha1Result(&context, digest);
    }
    if (error != kSha1Success) {
        std::printf("%s\n", kSha1ErrorText);
        return -1;
    }
    return 0;
}

}  // namespace vorn
