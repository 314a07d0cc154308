#include "simulator/ini_text.h"

#include <gtest/gtest.h>

namespace vorn::sim {
namespace {

TEST(IniTextTest, LooksUpSectionsAndKeysWithoutRegardToCaseAndTakesTheFirstMatch) {
    const IniText ini = IniText::Parse(
        "[Reader]\nCard = first.ini\ncard = second.ini\n[other]\ncard = third.ini\n");
    EXPECT_TRUE(ini.well_formed());
    EXPECT_EQ(ini.Get("reader", "CARD"), "first.ini");
    EXPECT_EQ(ini.Get("OTHER", "card"), "third.ini");
    EXPECT_EQ(ini.Get("Reader", "find"), std::nullopt);
    EXPECT_EQ(ini.Get("Missing", "card"), std::nullopt);
}

TEST(IniTextTest, SkipsCommentsAndByteOrderMarkAndHonoursQuotesAndWindowsLineEnds) {
    const IniText ini = IniText::Parse(
        "\xEF\xBB\xBF; comment\r\n# another\r\n[Card]\r\nreserved = \"   \"\r\n"
        "name =  陈静怡  \r\nempty =\r\n");
    EXPECT_TRUE(ini.well_formed());
    EXPECT_EQ(ini.Get("Card", "reserved"), "   ");
    EXPECT_EQ(ini.Get("Card", "name"), "陈静怡");
    EXPECT_EQ(ini.Get("Card", "empty"), "");
}

TEST(IniTextTest, MarksDamagedLinesButKeepsTheReadableOnes) {
    const IniText no_equals = IniText::Parse("[Reader]\ncard\nfind = 1\n");
    EXPECT_FALSE(no_equals.well_formed());
    EXPECT_EQ(no_equals.Get("Reader", "find"), "1");

    EXPECT_FALSE(IniText::Parse("[Reader\nfind = 1\n").well_formed());
    EXPECT_FALSE(IniText::Parse("[Reader]\n = 1\n").well_formed());
    EXPECT_TRUE(IniText::Parse("").well_formed());
}

TEST(ParseIntegerTest, ReadsDecimalHexadecimalAndSignedNumbers) {
    EXPECT_EQ(ParseInteger("144"), 144);
    EXPECT_EQ(ParseInteger("0x9F"), 0x9F);
    EXPECT_EQ(ParseInteger("0X9f"), 0x9F);
    EXPECT_EQ(ParseInteger("-11"), -11);
    EXPECT_EQ(ParseInteger("+33"), 33);
    EXPECT_EQ(ParseInteger("-0x10"), -16);
    EXPECT_EQ(ParseInteger("0xFFFFFFFF"), 4294967295LL);
    EXPECT_EQ(ParseInteger("-2147483648"), -2147483648LL);
}

TEST(ParseIntegerTest, RefusesTextThatIsNotExactlyOneNumberOf32Bits) {
    for (const char* text : {"", "-", "0x", "12a", "0x9G", " 1", "1 ", "1.5", "4294967296",
                             "-2147483649", "0x100000000", "99999999999"}) {
        EXPECT_EQ(ParseInteger(text), std::nullopt) << text;
    }
}

}  // namespace
}  // namespace vorn::sim
