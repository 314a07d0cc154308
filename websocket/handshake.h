// The WebSocket opening handshake: the client's key in, the fixed switching response out.
#pragma once

#include <cstddef>
#include <memory>

namespace vorn {

// The request header that carries the client's key.
constexpr const char* kKeyHeader = "Sec-WebSocket-Key";
// The value RFC 6455 appends to every key before hashing it.
constexpr const char* kWebSocketGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
constexpr std::size_t kWebSocketGuidLength = 36;
// Longer keys are cut to this many characters.
constexpr std::size_t kKeyTextLimit = 256;
constexpr std::size_t kAcceptKeyLength = 28;
// The response is built in a block of this size.
constexpr std::size_t kHandshakeResponseSize = 2048;

// Finds the key header, named in any case, in the header block of the first `received` bytes
// of a request, which end at the first NUL among them and need no terminator of their own.
// Copies its value, blanks around it trimmed and cut to kKeyTextLimit characters, into `key`
// with a terminator. Returns false when the request has no such header.
bool ExtractKey(const char* request, std::size_t received, char (&key)[kKeyTextLimit + 1]);

// The accept value of a key: SHA-1 of key and GUID, in network byte order, as base64.
// Null when no memory can be had.
std::unique_ptr<char[]> ComputeAcceptKey(const char* key);

// Writes the four-line response that accepts the connection with the given value, with a
// terminator, and returns its length; 0 when it does not fit into `size` bytes.
std::size_t BuildHandshakeResponse(const char* accept, char* out, std::size_t size);

}  // namespace vorn
