// The first argument's switch rules, on both platforms' leaders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/entry_point.h"

using namespace vorn;

namespace {

constexpr const wchar_t* kWindowsLeaders = L"-/";
constexpr const wchar_t* kLinuxLeaders = L"-";

RunMode Mode(std::vector<std::wstring> arguments, const wchar_t* leaders = kWindowsLeaders) {
    return ParseRunMode(arguments, leaders);
}

TEST(EntrySwitches, InstallAndRemoveInAnyLetterCase) {
    EXPECT_EQ(Mode({L"-install"}), RunMode::kInstall);
    EXPECT_EQ(Mode({L"/INSTALL"}), RunMode::kInstall);
    EXPECT_EQ(Mode({L"-Install"}), RunMode::kInstall);
    EXPECT_EQ(Mode({L"-iNsTaLl"}), RunMode::kInstall);
    EXPECT_EQ(Mode({L"-remove"}), RunMode::kRemove);
    EXPECT_EQ(Mode({L"/Remove"}), RunMode::kRemove);
    // Only the first argument counts.
    EXPECT_EQ(Mode({L"-remove", L"-install"}), RunMode::kRemove);
    EXPECT_EQ(Mode({L"x", L"-install"}), RunMode::kRun);
}

TEST(EntrySwitches, OtherSwitchesDoNothing) {
    EXPECT_EQ(Mode({L"--install"}), RunMode::kIgnore);
    EXPECT_EQ(Mode({L"-installx"}), RunMode::kIgnore);
    EXPECT_EQ(Mode({L"-instal"}), RunMode::kIgnore);
    EXPECT_EQ(Mode({L"-"}), RunMode::kIgnore);
    EXPECT_EQ(Mode({L"/"}), RunMode::kIgnore);
    EXPECT_EQ(Mode({L"-help"}), RunMode::kIgnore);
    // Case folding is for A to Z only: the dotless and dotted I of other scripts, the
    // fullwidth letters and the Kelvin sign are not the Latin letters they resemble.
    EXPECT_EQ(Mode({L"-\u0130nstall"}), RunMode::kIgnore);
    EXPECT_EQ(Mode({L"-\u0131nstall"}), RunMode::kIgnore);
    EXPECT_EQ(Mode({L"-\uFF49nstall"}), RunMode::kIgnore);
}

TEST(EntrySwitches, EverythingElseRuns) {
    EXPECT_EQ(Mode({}), RunMode::kRun);
    EXPECT_EQ(Mode({L""}), RunMode::kRun);
    EXPECT_EQ(Mode({L"install"}), RunMode::kRun);
    // What browsers pass to a native-messaging host.
    EXPECT_EQ(Mode({L"chrome-extension://abcdefghijklmnopabcdefghijklmnop/"}), RunMode::kRun);
    EXPECT_EQ(Mode({L"C:\\hosts\\vorn.json", L"vorn@example.org"}), RunMode::kRun);
}

// Firefox starts a host with its manifest's absolute path: on Linux that is a path, not a
// switch, so the request is answered.
TEST(EntrySwitches, SlashIsAPathOnLinux) {
    EXPECT_EQ(Mode({L"/usr/lib/mozilla/native-messaging-hosts/vorn.json", L"vorn@example.org"},
                   kLinuxLeaders),
              RunMode::kRun);
    EXPECT_EQ(Mode({L"/install"}, kLinuxLeaders), RunMode::kRun);
    EXPECT_EQ(Mode({L"-install"}, kLinuxLeaders), RunMode::kInstall);
    EXPECT_EQ(Mode({L"/usr/x"}, kWindowsLeaders), RunMode::kIgnore);
}

TEST(EntrySwitches, VersionAfterEitherLeaderAndAsLinuxLongSwitch) {
    EXPECT_EQ(Mode({L"-version"}), RunMode::kVersion);
    EXPECT_EQ(Mode({L"/VERSION"}), RunMode::kVersion);
    EXPECT_EQ(Mode({L"-versions"}), RunMode::kIgnore);
    // The long form is only a switch where the platform names one, and only whole.
    EXPECT_EQ(Mode({L"--version"}), RunMode::kIgnore);
    EXPECT_EQ(ParseRunMode({L"--version"}, kLinuxLeaders, L"--version"), RunMode::kVersion);
    EXPECT_EQ(ParseRunMode({L"--Version"}, kLinuxLeaders, L"--version"), RunMode::kIgnore);
    EXPECT_EQ(ParseRunMode({L"x", L"--version"}, kLinuxLeaders, L"--version"), RunMode::kRun);
}

// The foreground switch follows the same rules, and has the long form of the self-test's.
TEST(EntrySwitches, ForegroundRun) {
    EXPECT_EQ(Mode({L"-run"}), RunMode::kForeground);
    EXPECT_EQ(Mode({L"/RUN"}), RunMode::kForeground);
    EXPECT_EQ(Mode({L"--run"}), RunMode::kForeground);
    EXPECT_EQ(Mode({L"--run"}, kLinuxLeaders), RunMode::kForeground);
    EXPECT_EQ(Mode({L"-run", L"-install"}), RunMode::kForeground);
    EXPECT_EQ(Mode({L"-running"}), RunMode::kIgnore);
    EXPECT_EQ(Mode({L"run"}), RunMode::kRun);
    EXPECT_EQ(Mode({L"/run"}, kLinuxLeaders), RunMode::kRun);
}

}  // namespace
