// Conversion of the UTF-8 card files into the 16-bit units of the card record.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vorn::sim {

// Decodes strict UTF-8 into UTF-16: a character beyond U+FFFF takes two units, a surrogate
// pair, as a card stores it. Gives nothing for malformed input.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

}  // namespace vorn::sim
