// Length-prefixed messages on the standard streams, as browsers exchange them with hosts.
#include "host/native_messaging.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/standard_streams.h"
#include "request/read_card.h"

namespace vorn {

namespace {

// The one request is 12 bytes and its text ends at the first NUL, so bytes past this many
// cannot change the answer: they are neither kept nor waited for.
constexpr std::size_t kLongestBodyKept = 65536;

// Frees memory that calloc gave.
struct CallocFree {
    void operator()(char* block) const { std::free(block); }
};

}  // namespace

std::unique_ptr<char[]> ReadFrame(std::FILE* in) {
    unsigned char length_bytes[4] = {};
    std::fread(length_bytes, 1, sizeof(length_bytes), in);
    auto length = static_cast<std::int32_t>(static_cast<std::uint32_t>(length_bytes[0]) |
                                            (static_cast<std::uint32_t>(length_bytes[1]) << 8) |
                                            (static_cast<std::uint32_t>(length_bytes[2]) << 16) |
                                            (static_cast<std::uint32_t>(length_bytes[3]) << 24));
    if (length <= 0) {
        return nullptr;
    }
    auto size = static_cast<std::size_t>(length);
    if (size > kLongestBodyKept) {
        size = kLongestBodyKept;
    }
    std::unique_ptr<char[]> body(new (std::nothrow) char[size + 1]);
    if (!body) {
        return nullptr;
    }
    std::memset(body.get(), 0, size + 1);
    // A stream that ends early leaves the rest of the body zero.
    std::fread(body.get(), 1, size, in);
    return body;
}

bool WriteFrame(std::FILE* out, const char* text) {
    auto length = static_cast<std::uint32_t>(std::strlen(text));
    unsigned char length_bytes[4] = {};
    for (int i = 0; i < 4; ++i) {
        length_bytes[i] = static_cast<unsigned char>((length >> (8 * i)) & 0xFF);
    }
    bool written =
        std::fwrite(length_bytes, 1, sizeof(length_bytes), out) == sizeof(length_bytes) &&
        std::fwrite(text, 1, length, out) == length;
    return std::fflush(out) == 0 && written;
}

NativeMessagingOutcome RunNativeMessaging(std::FILE* in, std::FILE* out) {
    int first = std::fgetc(in);
    if (first == EOF) {
        return NativeMessagingOutcome::kNoRequest;
    }
    std::ungetc(first, in);
    std::unique_ptr<char[]> request = ReadFrame(in);
    if (!request || std::strcmp(request.get(), kNativeMessagingRequest) != 0) {
        return NativeMessagingOutcome::kNotAnswered;
    }
    // The reply buffer starts all zero. Asked of the allocator as such, memory that is new to
    // the process is not written to clear it: its pages are touched only where the reply is
    // written, rather than all half megabyte of them before the read begins.
    std::unique_ptr<char[], CallocFree> reply(
        static_cast<char*>(std::calloc(kReplyBufferSize, 1)));
    if (!reply) {
        return NativeMessagingOutcome::kNotAnswered;
    }
    if (ExecuteCommand(kReadCardCommand, reply.get(), kReplyBufferSize) != kExecuteReplied ||
        !WriteFrame(out, reply.get())) {
        return NativeMessagingOutcome::kNotAnswered;
    }
    return NativeMessagingOutcome::kAnswered;
}

NativeMessagingOutcome RunNativeMessaging() {
    SetBinaryStandardStreams();
    MakeClosedPipeWritesFail();
    return RunNativeMessaging(stdin, stdout);
}

}  // namespace vorn
