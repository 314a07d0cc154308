// The read-card pipeline that both front ends call.
#pragma once

#include <cstdint>
#include <functional>

namespace vorn {

// The one command, and the size of the reply buffer both front ends pass.
constexpr const char* kReadCardCommand = "readcard";
constexpr std::int32_t kReplyBufferSize = 512010;

constexpr int kExecuteReplied = 0;
constexpr int kExecuteBadArguments = -1;
constexpr int kExecuteUnknownCommand = -2;

// Shown when a reply does not fit the caller's buffer.
constexpr const char* kReplyTooLargeText = "Send buffer is too small!";
constexpr const char* kReplyTooLargeCaption = "Qd Id Reader Service Error.";

// Who is told that a reply did not fit the caller's buffer.
using ReplyTooLargeNotifier = std::function<void(const char* text, const char* caption)>;

// Reads the card on the reader and writes the NUL-terminated JSON reply into the buffer.
// Returns 0 when a reply was written (its "result" says whether the card was read), -1 for
// a null command or a capacity of 0, -2 for any command other than "readcard". A reply that
// does not fit is replaced by a short failure reply, and `notify` (when set) is told.
int ExecuteCommand(const char* command, char* reply, std::int32_t capacity,
                   const ReplyTooLargeNotifier& notify);
// The same, telling of a reply that does not fit in a message box where one can be seen.
int ExecuteCommand(const char* command, char* reply, std::int32_t capacity);

}  // namespace vorn
