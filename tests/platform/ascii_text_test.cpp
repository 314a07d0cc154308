#include "platform/ascii_text.h"

#include <gtest/gtest.h>

namespace vorn {
namespace {

TEST(AsciiText, FoldsOnlyAsciiLettersOfEitherWidth) {
    // Latin-1 and UTF-8 bytes, and letters beyond ASCII, keep their case: a setting or header
    // in another locale must not match by accident.
    EXPECT_EQ(FoldAsciiCase(std::string("Sec-WebSocket-KEY \xC4\xD6@[")),
              "sec-websocket-key \xC4\xD6@[");
    EXPECT_EQ(FoldAsciiCase(std::wstring(L"VornIdReader.EXE \u00C4\u0391")),
              L"vornidreader.exe \u00C4\u0391");
    EXPECT_TRUE(SameAsciiWord(std::string_view("Origin"), "oRIGIN"));
    EXPECT_TRUE(SameAsciiWord(std::wstring_view(L"INSTALL"), L"install"));
    EXPECT_FALSE(SameAsciiWord(std::string_view("Origin"), "Origins"));
    EXPECT_FALSE(SameAsciiWord(std::string_view("\xC4"), "\xE4"));
    EXPECT_FALSE(SameAsciiWord(std::wstring_view(L"remove"), L"remov"));
}

TEST(AsciiText, TrimsOnlyTheBlanksAsked) {
    EXPECT_EQ(Trim(" \t key = value \t"), "key = value");
    EXPECT_EQ(Trim(" \t \t"), "");
    EXPECT_EQ(Trim("\r value\r\n", " \r\n"), "value");
    EXPECT_EQ(TrimStart(" \tvalue \t"), "value \t");
    EXPECT_EQ(TrimEnd(" \tvalue \t"), " \tvalue");
    EXPECT_EQ(Trim("\vvalue\f"), "\vvalue\f");
}

}  // namespace
}  // namespace vorn
