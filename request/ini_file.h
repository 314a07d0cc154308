// A reader of Windows-style initialisation files, with the private-profile rules.
#pragma once

#include <string>
#include <string_view>

namespace vorn {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Looks up a key's value: section and key names match without regard to the case of
// A-Z, the first matching line wins, and the value is the text after "=" with surrounding
// blanks (and one pair of enclosing quotes) removed. A UTF-8 byte order mark in front is
// skipped. False when the key is not there.
bool FindIniValue(const std::string& content, const std::string& section, const std::string& key,
                  std::string* value);

// The value's leading decimal digits (after blanks and an optional sign) as a number,
// wrapping like a 32-bit unsigned value; a value without digits gives 0.
int ParseIniInteger(const std::string& value);

}  // namespace vorn
