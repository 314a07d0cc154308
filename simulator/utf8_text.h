// Conversion of the UTF-8 card files into the UCS-2 characters of the card record.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vornsim {

// Decodes strict UTF-8. Gives nothing for malformed input and for characters outside the
// Basic Multilingual Plane, which a UCS-2 card record cannot hold.
std::optional<std::u16string> Utf8ToUcs2(std::string_view text);

}  // namespace vornsim
