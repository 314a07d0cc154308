// The self-test that support staff run to learn whether everything a read needs is in place.
#pragma once

#include <string>
#include <vector>

namespace vorn {

// The exit code of the self-test is the sum of the bits of the checks that failed; 0 means
// everything a read needs is in place and the read succeeded.
constexpr int kSelfTestDriverFailed = 1;
constexpr int kSelfTestDecoderFailed = 2;
constexpr int kSelfTestTemporaryFolderFailed = 4;
constexpr int kSelfTestConfigFailed = 8;
constexpr int kSelfTestPortFailed = 16;
constexpr int kSelfTestReadFailed = 32;

// The switch word, and the word after it that also prints the card's fields.
constexpr const wchar_t* kSelfTestSwitch = L"selftest";
constexpr const wchar_t* kShowFieldsSwitch = L"show";

// Runs every check, prints the checklist and returns the exit code. The arguments are those
// after the switch; "-show" adds the card's fields to the read's line.
int RunSelfTest(const std::vector<std::wstring>& arguments, const wchar_t* switch_leaders);

}  // namespace vorn
