// Reading the settings of "config.ini".
#include <gtest/gtest.h>

#include <filesystem>

#include "request/config.h"
#include "request/ini_file.h"
#include "tests/test_support.h"

using namespace vorn;

namespace fs = std::filesystem;

namespace {

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = (TestProgramDirectory() / "config_test.ini").string();
        fs::remove(path_);
    }
    void TearDown() override { fs::remove(path_); }
    void Write(const std::string& text) { WriteTextFile(path_, text); }

    std::string path_;
};

TEST_F(ConfigTest, MissingFileGivesTheDefaults) {
    BindSettings bind = ReadBindSettings(path_);
    EXPECT_STREQ(bind.ip, "127.0.0.1");
    EXPECT_EQ(bind.port, 17171);
    EXPECT_FALSE(IsTraceLogConfigured(path_));
}

TEST_F(ConfigTest, ValuesAreReadWithTheirLimits) {
    // Editors that save UTF-8 may begin the file with a byte order mark.
    Write(
        "\xEF\xBB\xBF[bind]\r\nIP = "
        "0123456789012345678901234567890123456789\r\nPort=70000\r\nlog=1\r\n");
    BindSettings bind = ReadBindSettings(path_);
    // Longer addresses are cut to 31 characters, and only the port's low 16 bits count.
    EXPECT_STREQ(bind.ip, "0123456789012345678901234567890");
    EXPECT_EQ(bind.port, 4464);
    EXPECT_TRUE(IsTraceLogConfigured(path_));
}

TEST_F(ConfigTest, OnlyExactlyOneSwitchesTracingOn) {
    for (const char* value : {"2", "yes", "0", "-1", "10"}) {
        Write(std::string("[Bind]\nlog=") + value + "\n");
        EXPECT_FALSE(IsTraceLogConfigured(path_)) << value;
    }
    Write("[Bind]\nlog=1 ; traced\n");
    EXPECT_TRUE(IsTraceLogConfigured(path_));
}

TEST_F(ConfigTest, AllowedOriginsAreTakenWholeOrNotAtAll) {
    AllowedOriginsSetting none = ReadAllowedOrigins(path_);
    EXPECT_EQ(none.list, "");
    EXPECT_EQ(none.fault, L"");

    const std::string longest = "https://" + std::string(kAllowedOriginsTextLimit - 8, 'a');
    Write("\xEF\xBB\xBF[security]\nAllowed_Origins = " + longest +
          "\n[Bind]\nallowed_origins=https://wrong.example\n");
    AllowedOriginsSetting whole = ReadAllowedOrigins(path_);
    EXPECT_EQ(whole.list, longest);
    EXPECT_EQ(whole.fault, L"");

    // One character more, and the list would be cut inside its last entry.
    Write("[Security]\nallowed_origins=" + longest + "b\n");
    AllowedOriginsSetting too_long = ReadAllowedOrigins(path_);
    EXPECT_EQ(too_long.list, "");
    EXPECT_NE(too_long.fault, L"");

    // Where a large file is read only in part, a list past that part, or cut by its end, is
    // not taken for no list; a system that reads the whole file may take the list whole.
    const std::string list = "https://a.example, http://localhost:8080";
    const std::string filler = ";" + std::string(kLargestConfigFile - 20, 'x') + "\n";
    for (const std::string& text :
         {filler + filler + "[Security]\nallowed_origins=" + list + "\n",
          filler + "[Security]\nallowed_origins=" + list + "\n" + filler}) {
        Write(text);
        AllowedOriginsSetting far = ReadAllowedOrigins(path_);
        EXPECT_TRUE(far.list == list || (far.list.empty() && !far.fault.empty()));
    }
    Write("[Security]\nallowed_origins=" + list + "\n" + filler + filler);
    EXPECT_EQ(ReadAllowedOrigins(path_).list, list);
}

TEST_F(ConfigTest, OtherSectionsAndLaterDuplicatesAreIgnored) {
    Write("[Other]\nport=1\n[Bind]\nport=18000\nport=19000\n");
    EXPECT_EQ(ReadBindSettings(path_).port, 18000);
    EXPECT_EQ(ReadProfileInt("Bind", "missing", 42, path_), 42);
    char text[8] = {};
    ReadProfileString("Bind", "missing", "dflt", text, sizeof(text), path_);
    EXPECT_STREQ(text, "dflt");
}

TEST_F(ConfigTest, FileLiesBesideTheProgram) {
    fs::path path = ConfigFilePath();
    EXPECT_EQ(path.filename(), "config.ini");
    EXPECT_TRUE(fs::equivalent(path.parent_path(), TestProgramDirectory()));
}

TEST(IniFile, PrivateProfileRules) {
    std::string value;
    const std::string content =
        "; comment\n[ Bind ]\n  Ip =  \"10.0.0.1\"  \nbroken line\nport=\n[bind]\nlog=1\n";
    ASSERT_TRUE(FindIniValue(content, "BIND", "ip", &value));
    EXPECT_EQ(value, "10.0.0.1");
    ASSERT_TRUE(FindIniValue(content, "Bind", "port", &value));
    EXPECT_EQ(value, "");
    // A section named again later is searched as well.
    ASSERT_TRUE(FindIniValue(content, "Bind", "log", &value));
    EXPECT_EQ(value, "1");
    EXPECT_FALSE(FindIniValue(content, "Bind", "broken line", &value));
    EXPECT_FALSE(FindIniValue("", "Bind", "ip", &value));
}

TEST(IniFile, IntegersTakeTheLeadingDigits) {
    EXPECT_EQ(ParseIniInteger("17171"), 17171);
    EXPECT_EQ(ParseIniInteger(" 42abc"), 42);
    EXPECT_EQ(ParseIniInteger("abc"), 0);
    EXPECT_EQ(ParseIniInteger("-5"), -5);
    EXPECT_EQ(ParseIniInteger("4294967297"), 1);
}

}  // namespace
