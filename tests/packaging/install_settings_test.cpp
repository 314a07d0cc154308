// What the Windows package accepts from an administrator's msiexec command line, and the host
// manifests it writes from that.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "packaging/msi/install_settings.h"

namespace {

using Strings = std::vector<std::wstring>;

TEST(InstallSettings, ActionDataSplitsIntoExactlyTheExpectedFields) {
    EXPECT_EQ(SplitActionData(L"C:\\Program Files\\VornIdReader\\|18000||", 4),
              (Strings{L"C:\\Program Files\\VornIdReader\\", L"18000", L"", L""}));
    EXPECT_EQ(SplitActionData(L"", 1), Strings{L""});
    // A value that carried the separator would shift every later field: refused.
    EXPECT_FALSE(SplitActionData(L"dir|a|b|c|d", 4).has_value());
    EXPECT_FALSE(SplitActionData(L"dir|a", 4).has_value());
}

TEST(InstallSettings, ListsDropBlanksAndEmptyEntries) {
    EXPECT_EQ(SplitList(L" a@x.org ,b@y.org,, ,\tc@z.org\t"),
              (Strings{L"a@x.org", L"b@y.org", L"c@z.org"}));
    EXPECT_TRUE(SplitList(L"").empty());
    EXPECT_TRUE(SplitList(L" , ").empty());
}

TEST(InstallSettings, PortsAndTheLogSwitchAreCheckedBeforeTheyReachTheFile) {
    for (const wchar_t* good : {L"1", L"17171", L"65535"}) {
        EXPECT_TRUE(IsValidPort(good)) << good;
    }
    // 0 and 70000 would make a service that never listens where it was told to.
    for (const wchar_t* bad : {L"", L"0", L"65536", L"70000", L"-1", L"8o80", L"000017171"}) {
        EXPECT_FALSE(IsValidPort(bad)) << bad;
    }
    EXPECT_TRUE(IsValidLogSwitch(L"0"));
    EXPECT_TRUE(IsValidLogSwitch(L"1"));
    EXPECT_FALSE(IsValidLogSwitch(L"2"));
    EXPECT_FALSE(IsValidLogSwitch(L"yes"));
    EXPECT_TRUE(IsSafeSettingValue(L"https://a.example.com, http://localhost:8080"));
    EXPECT_FALSE(IsSafeSettingValue(L"https://a.example.com\r\n[Bind]\r\nport=1"));
    EXPECT_FALSE(IsSafeSettingValue(std::wstring(L"a\0b", 3)));
}

TEST(InstallSettings, ExtensionIdsMustHaveTheirBrowsersForm) {
    EXPECT_TRUE(IsValidChromeExtensionId(L"abcdefghijklmnopabcdefghijklmnop"));
    EXPECT_FALSE(IsValidChromeExtensionId(L"abcdefghijklmnopabcdefghijklmno"));
    EXPECT_FALSE(IsValidChromeExtensionId(L"abcdefghijklmnopabcdefghijklmnoq"));
    EXPECT_FALSE(IsValidChromeExtensionId(L"ABCDEFGHIJKLMNOPABCDEFGHIJKLMNOP"));

    for (const wchar_t* good : {L"reader@counter.example.org",
                                L"{6b0e6f5c-2d1a-4e9b-9c1f-0a1b2c3d4e5f}", L"my_addon-2@x"}) {
        EXPECT_TRUE(IsValidFirefoxAddonId(good)) << good;
    }
    // Nothing that could end the JSON string it is written into, and no second "@".
    for (const wchar_t* bad :
         {L"", L"noatsign", L"a@b@c", L"{}", L"x\"]@y", L"a\\@b", L"{a@b}", L"r\u00e9ader@x.org"}) {
        EXPECT_FALSE(IsValidFirefoxAddonId(bad)) << bad;
    }
}

TEST(InstallSettings, ManifestsNameTheInstalledProgramAndTheAllowedExtensions) {
    const std::wstring path = L"C:\\Program Files\\VornIdReader\\VornIdReader.exe";
    EXPECT_EQ(ChromeManifest(
                  path, {L"abcdefghijklmnopabcdefghijklmnop", L"ponmlkjihgfedcbaponmlkjihgfedcba"}),
              L"{\n"
              L"  \"name\": \"com.vorn.idreader\",\n"
              L"  \"description\": \"VornIdReader\",\n"
              L"  \"path\": \"C:\\\\Program Files\\\\VornIdReader\\\\VornIdReader.exe\",\n"
              L"  \"type\": \"stdio\",\n"
              L"  \"allowed_origins\": [\"chrome-extension://abcdefghijklmnopabcdefghijklmnop/\", "
              L"\"chrome-extension://ponmlkjihgfedcbaponmlkjihgfedcba/\"]\n"
              L"}\n");
    std::wstring firefox = FirefoxManifest(L"D:\\Odd \"Folder\"\\VornIdReader.exe", {});
    EXPECT_NE(firefox.find(L"\"path\": \"D:\\\\Odd \\\"Folder\\\"\\\\VornIdReader.exe\""),
              std::wstring::npos)
        << firefox;
    EXPECT_NE(firefox.find(L"\"allowed_extensions\": []"), std::wstring::npos) << firefox;
}

}  // namespace
