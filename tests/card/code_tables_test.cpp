// The names of sex, ethnicity and nationality codes, and dotted dates.
#include <gtest/gtest.h>

#include "card/code_tables.h"
#include "tests/test_support.h"

using namespace vorn;

namespace {

std::string Sex(bool (*lookup)(const wchar_t*, wchar_t*), const wchar_t* code) {
    wchar_t out[16] = {};
    EXPECT_TRUE(lookup(code, out));
    return Narrow(out);
}

std::string Ethnicity(const wchar_t* code) {
    wchar_t out[9] = {};
    EXPECT_TRUE(EthnicityName(code, out));
    return Narrow(out);
}

TEST(CodeTables, SexNames) {
    EXPECT_EQ(Sex(SexNameCn, L"1"), "男");
    EXPECT_EQ(Sex(SexNameCn, L"2"), "女");
    EXPECT_EQ(Sex(SexNameCn, L"9"), "其他");
    EXPECT_EQ(Sex(SexNameCn, L"0"), "未知");
    EXPECT_EQ(Sex(SexNameCn, L"1 "), "未知");
    EXPECT_EQ(Sex(SexNameEn, L"1"), "M");
    EXPECT_EQ(Sex(SexNameEn, L"2"), "F");
    EXPECT_EQ(Sex(SexNameEn, L"9"), "Other");
    EXPECT_EQ(Sex(SexNameEn, L""), "Unknown");
}

TEST(CodeTables, EthnicityNames) {
    EXPECT_EQ(Ethnicity(L"01"), "汉");
    EXPECT_EQ(Ethnicity(L"29"), "柯尔克孜");
    EXPECT_EQ(Ethnicity(L"43"), "乌孜别克");
    EXPECT_EQ(Ethnicity(L"56"), "基诺");
    // Codes outside the table are shown between brackets, exactly as stored.
    EXPECT_EQ(Ethnicity(L"57"), "未知(57)");
    EXPECT_EQ(Ethnicity(L"00"), "未知(00)");
    EXPECT_EQ(Ethnicity(L"1"), "未知(1)");
    EXPECT_EQ(Ethnicity(L""), "未知()");
}

TEST(CodeTables, EveryEthnicityCodeHasAName) {
    for (int code = 1; code <= 56; ++code) {
        wchar_t text[3] = {static_cast<wchar_t>(L'0' + code / 10),
                           static_cast<wchar_t>(L'0' + code % 10), L'\0'};
        EXPECT_EQ(Ethnicity(text).rfind("未知", 0), std::string::npos) << code;
    }
}

TEST(CodeTables, CountryNames) {
    wchar_t out[33] = L"previous";
    EXPECT_TRUE(CountryNameCn(L"CHN", out));
    EXPECT_EQ(Narrow(out), "中国");
    EXPECT_TRUE(CountryNameCn(L"AFG", out));
    EXPECT_EQ(Narrow(out), "阿富汗");
    EXPECT_TRUE(CountryNameCn(L"LBY", out));
    EXPECT_EQ(Narrow(out), "利比亚");
    EXPECT_TRUE(CountryNameCn(L"TMP", out));
    EXPECT_EQ(Narrow(out), "东帝汶");
    // The brackets are stored exactly as found, mixed widths included.
    EXPECT_TRUE(CountryNameCn(L"CCK", out));
    EXPECT_STREQ(out, L"科科斯\uFF08基林\u0029群岛");
    EXPECT_TRUE(CountryNameCn(L"FLK", out));
    EXPECT_STREQ(out, L"福克兰群岛\uFF08马尔维纳斯\uFF09");

    // Unknown codes and lower case leave the output as it was.
    EXPECT_TRUE(CountryNameCn(L"chn", out));
    EXPECT_TRUE(CountryNameCn(L"ZZZ", out));
    EXPECT_STREQ(out, L"福克兰群岛\uFF08马尔维纳斯\uFF09");
    // Past Libya the names come from ISO 3166-1, East Timor's current code among them.
    EXPECT_TRUE(CountryNameCn(L"MEX", out));
    EXPECT_EQ(Narrow(out), "墨西哥");
    EXPECT_TRUE(CountryNameCn(L"TLS", out));
    EXPECT_EQ(Narrow(out), "东帝汶");
}

TEST(CodeTables, NullPointersWriteNothing) {
    wchar_t out[33] = L"kept";
    EXPECT_FALSE(SexNameCn(nullptr, out));
    EXPECT_FALSE(SexNameEn(L"1", nullptr));
    EXPECT_FALSE(EthnicityName(nullptr, out));
    EXPECT_FALSE(CountryNameCn(nullptr, out));
    EXPECT_STREQ(out, L"kept");
}

TEST(CodeTables, FormatDotDate) {
    wchar_t out[17] = L"kept";
    FormatDotDate(L"2007051", out);
    EXPECT_STREQ(out, L"kept");
    FormatDotDate(L"长期", out);
    EXPECT_STREQ(out, L"kept");
    FormatDotDate(L"20070514", out);
    EXPECT_STREQ(out, L"2007.05.14");
    FormatDotDate(L"201201319", out);
    EXPECT_STREQ(out, L"2012.01.31");
    FormatDotDate(nullptr, out);
    EXPECT_STREQ(out, L"2012.01.31");
}

}  // namespace
