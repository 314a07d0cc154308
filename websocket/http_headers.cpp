// Finding header values in a request's header block.
#include "websocket/http_headers.h"

#include "platform/ascii_text.h"

namespace vorn {

namespace {

// What may stand at the end of a line: blanks, and the CR of a CR LF.
constexpr std::string_view kLineEndBlanks = " \t\r";

// Calls `take` with the value of every header line of that name until it returns false.
template <typename Take>
void ForEachValue(std::string_view request, std::string_view name, Take take) {
    // What follows a NUL is not text a client meant to send.
    request = request.substr(0, request.find('\0'));
    std::size_t end = request.find('\n');
    while (end != std::string_view::npos && end + 1 < request.size()) {
        const std::size_t start = end + 1;
        end = request.find('\n', start);
        std::string_view line = request.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (TrimBlanks(line).empty()) {
            return;
        }
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && SameAsciiWord(line.substr(0, colon), name) &&
            !take(TrimBlanks(line.substr(colon + 1)))) {
            return;
        }
    }
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    return TrimEnd(TrimStart(text, kSpaceAndTab), kLineEndBlanks);
}

std::vector<std::string_view> HeaderValues(std::string_view request, std::string_view name) {
    std::vector<std::string_view> values;
    ForEachValue(request, name, [&values](std::string_view value) {
        values.push_back(value);
        return true;
    });
    return values;
}

std::optional<std::string_view> HeaderValue(std::string_view request, std::string_view name) {
    std::optional<std::string_view> found;
    ForEachValue(request, name, [&found](std::string_view value) {
        found = value;
        return false;
    });
    return found;
}

}  // namespace vorn
