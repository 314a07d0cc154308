// The browser's native-messaging host: one framed request in, one framed reply out.
#pragma once

#include <cstdio>
#include <memory>

namespace vorn {

// The one request answered: the JSON string "readidbase", quotes included.
constexpr const char* kNativeMessagingRequest = "\"readidbase\"";

// What became of the one request.
enum class NativeMessagingOutcome {
    kNoRequest,    // the input ended before its first byte: nobody asked
    kAnswered,     // the reply frame was written
    kNotAnswered,  // a request came but got no reply: not the one request, or writing failed
};

// Reads one frame from standard input and answers it on standard output.
NativeMessagingOutcome RunNativeMessaging();
// Same, on the given streams.
NativeMessagingOutcome RunNativeMessaging(std::FILE* in, std::FILE* out);

// Reads a 4-byte little-endian length and that many body bytes. Returns the body with a
// terminator, zero-filled where the stream ended early; null for a length of 0 or one
// that is negative as a signed 32-bit number, or when no memory can be had. Only the first
// 64 KiB of a longer body are read.
std::unique_ptr<char[]> ReadFrame(std::FILE* in);
// Writes the text without its terminator as one frame and flushes the stream; false when
// the stream did not take all of it.
bool WriteFrame(std::FILE* out, const char* text);

}  // namespace vorn
