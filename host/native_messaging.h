// The browser's native-messaging host: one framed request in, one framed reply out.
#pragma once

#include <cstdio>
#include <memory>

// The one request answered: the JSON string "readidbase", quotes included.
constexpr const char* kNativeMessagingRequest = "\"readidbase\"";

// Reads one frame from standard input and answers it on standard output.
void RunNativeMessaging();
// Same, on the given streams.
void RunNativeMessaging(std::FILE* in, std::FILE* out);

// Reads a 4-byte little-endian length and that many body bytes. Returns the body with a
// terminator, zero-filled where the stream ended early; null for a length of 0 or one
// that is negative as a signed 32-bit number, or when no memory can be had. Only the first
// 64 KiB of a longer body are read.
std::unique_ptr<char[]> ReadFrame(std::FILE* in);
// Writes the text without its terminator as one frame and flushes the stream.
void WriteFrame(std::FILE* out, const char* text);
