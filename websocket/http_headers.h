// The header block of an HTTP request, read as RFC 9110 lets a client write it.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace vorn {

// The text without the spaces and tabs around it (and a CR left at its end by a CR LF).
std::string_view TrimBlanks(std::string_view text);

// The values of every header line of that name, matched without regard to case, in the order
// they come, blanks around each trimmed. The first line of the request is its request line;
// the header block ends at the first empty line, at a NUL, or at the end of the text. A line
// cut off by the end of the text still counts as far as it goes.
std::vector<std::string_view> HeaderValues(std::string_view request, std::string_view name);
// The value of the first header line of that name; nothing when there is none.
std::optional<std::string_view> HeaderValue(std::string_view request, std::string_view name);

}  // namespace vorn
