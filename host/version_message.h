// The endpoint's "version" message: who the service is and which messages it understands, so
// that a page can tell an older service from a newer one before it relies on a message.
#pragma once

#include <cstdint>
#include <string>

namespace vorn {

constexpr const char* kVersionCommand = "version";

// Member names of the version document.
namespace version_reply {
constexpr const char* kName = "name";
constexpr const char* kVersion = "version";
constexpr const char* kReplyFormat = "replyFormat";
constexpr const char* kMessages = "messages";
}  // namespace version_reply

// The document as one line of JSON, e.g.
// {"messages":["readcard","version"],"name":"VornIdReader","replyFormat":1,"version":"1.0.0"}
std::string VersionDocumentText();

// True for the message "version"; then the document is written NUL-terminated into the reply
// buffer and `result` says whether it fit (0) or the buffer could not take it (-1).
bool AnswerVersionMessage(const char* command, char* reply, std::int32_t capacity, int& result);

}  // namespace vorn
