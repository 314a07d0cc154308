#include "simulator/card_layout.h"

#include <gtest/gtest.h>

#include "simulator/tests/test_support.h"
#include "simulator/utf8_text.h"

using namespace vorn;

namespace vorn::sim {
namespace {

using testing::FieldAt;

constexpr const char* kResident =
    "[Card]\nkind = resident\nname = 陈静怡\nsex = 2\nethnicity = 01\nbirth = 19650312\n"
    "address = 北京市东城区示例胡同12号\nid = 11010119650312158X\ndept = 北京市公安局东城分局\n"
    "valid_begin = 20150820\nvalid_end = 长期\n";

constexpr const char* kPermit =
    "[Card]\nkind = permit\nname = 林雅婷\nsex = 2\nbirth = 19810127\n"
    "address = 福建省厦门市思明区示例路66号\nid = 83000019810127028X\ndept = 厦门市公安局\n"
    "valid_begin = 20210305\nvalid_end = 20260304\npass_id = 08452961\nissue_count = 03\n";

constexpr const char* kForeigner =
    "[Card]\nkind = foreigner\nname_en = TREMBLAY, LUC ANTOINE\nsex = 1\nid = CAN318503110452\n"
    "nationality = CAN\nname = 吕克\nvalid_begin = 20190402\nvalid_end = 20290401\n"
    "birth = 19850311\ncard_version = 10\nauthority = 3100\n";

// `text` padded with blanks to `width` bytes, as the record holds it.
std::u16string Padded(std::u16string text, std::size_t width) {
    text.resize(width / 2, u' ');
    return text;
}

// The card with `line` as its first field, which wins over a later line with the same key.
std::string With(const std::string& line, const char* card) {
    return "[Card]\n" + line + "\n" + std::string(card).substr(std::string("[Card]\n").size());
}

TextRecord LayOut(const std::string& card_text) {
    std::string error;
    const auto record = LayOutTextRecord(IniText::Parse(card_text), error);
    EXPECT_TRUE(record) << error;
    return record.value_or(TextRecord{});
}

std::string LayOutError(const std::string& card_text) {
    std::string error;
    EXPECT_FALSE(LayOutTextRecord(IniText::Parse(card_text), error));
    return error;
}

TEST(CardLayoutTest, PutsEveryResidentFieldAtItsOffsetPaddedWithBlanks) {
    const TextRecord r = LayOut(kResident);
    EXPECT_EQ(FieldAt(r.data(), 0, 30), Padded(u"陈静怡", 30));
    EXPECT_EQ(FieldAt(r.data(), 30, 2), u"2");
    EXPECT_EQ(FieldAt(r.data(), 32, 4), u"01");
    EXPECT_EQ(FieldAt(r.data(), 36, 16), u"19650312");
    EXPECT_EQ(FieldAt(r.data(), 52, 70), Padded(u"北京市东城区示例胡同12号", 70));
    EXPECT_EQ(FieldAt(r.data(), 122, 36), u"11010119650312158X");
    EXPECT_EQ(FieldAt(r.data(), 158, 30), Padded(u"北京市公安局东城分局", 30));
    EXPECT_EQ(FieldAt(r.data(), 188, 16), u"20150820");
    EXPECT_EQ(FieldAt(r.data(), 204, 16), Padded(u"长期", 16));
    // The unused bytes and the sign of a resident card are blanks.
    EXPECT_EQ(FieldAt(r.data(), 220, 36), Padded(u"", 36));
}

TEST(CardLayoutTest, PermitCarriesPassNumberIssueCountAndSignJButNoEthnicity) {
    const TextRecord r = LayOut(kPermit);
    EXPECT_EQ(FieldAt(r.data(), 0, 30), Padded(u"林雅婷", 30));
    EXPECT_EQ(FieldAt(r.data(), 32, 4), u"  ");
    EXPECT_EQ(FieldAt(r.data(), 36, 16), u"19810127");
    EXPECT_EQ(FieldAt(r.data(), 122, 36), u"83000019810127028X");
    EXPECT_EQ(FieldAt(r.data(), 220, 18), u"08452961 ");
    EXPECT_EQ(FieldAt(r.data(), 238, 4), u"03");
    EXPECT_EQ(FieldAt(r.data(), 242, 6), u"   ");
    EXPECT_EQ(FieldAt(r.data(), 248, 2), u"J");
    EXPECT_EQ(FieldAt(r.data(), 250, 6), u"   ");
}

TEST(CardLayoutTest, ForeignerCardFollowsItsOwnLayoutWithSignI) {
    const TextRecord r = LayOut(kForeigner);
    EXPECT_EQ(FieldAt(r.data(), 0, 120), Padded(u"TREMBLAY, LUC ANTOINE", 120));
    EXPECT_EQ(FieldAt(r.data(), 120, 2), u"1");
    EXPECT_EQ(FieldAt(r.data(), 122, 30), u"CAN318503110452");
    EXPECT_EQ(FieldAt(r.data(), 152, 6), u"CAN");
    EXPECT_EQ(FieldAt(r.data(), 158, 30), Padded(u"吕克", 30));
    EXPECT_EQ(FieldAt(r.data(), 188, 16), u"20190402");
    EXPECT_EQ(FieldAt(r.data(), 204, 16), u"20290401");
    EXPECT_EQ(FieldAt(r.data(), 220, 16), u"19850311");
    EXPECT_EQ(FieldAt(r.data(), 236, 4), u"10");
    EXPECT_EQ(FieldAt(r.data(), 240, 8), u"3100");
    EXPECT_EQ(FieldAt(r.data(), 248, 2), u"I");
    EXPECT_EQ(FieldAt(r.data(), 250, 6), u"   ");
}

TEST(CardLayoutTest, SignKeyOverridesTheKindsSign) {
    const TextRecord r = LayOut(With("sign = 0", kResident));
    EXPECT_EQ(FieldAt(r.data(), 248, 2), u"0");
    EXPECT_NE(LayOutError(With("sign = IJ", kResident)).find("sign"), std::string::npos);
}

TEST(CardLayoutTest, FieldMayFillItsSlotButNotOverflowIt) {
    const TextRecord r = LayOut(With("name = 一二三四五六七八九十一二三四五", kResident));
    EXPECT_EQ(FieldAt(r.data(), 0, 30), u"一二三四五六七八九十一二三四五");
    EXPECT_EQ(FieldAt(r.data(), 30, 2), u"2");

    const std::string error =
        LayOutError(With("name = 一二三四五六七八九十一二三四五六", kResident));
    EXPECT_NE(error.find("\"name\""), std::string::npos) << error;
}

TEST(CardLayoutTest, RefusesUnknownKindsMissingFieldsAndUnencodableText) {
    EXPECT_NE(LayOutError("[Card]\nkind = passport\n").find("kind"), std::string::npos);
    EXPECT_NE(LayOutError("[Card]\nname = x\n").find("kind"), std::string::npos);
    EXPECT_NE(LayOutError("[Card]\nkind = permit\nname = x\n").find("missing"), std::string::npos);
}

TEST(Utf8ToUtf16Test, DecodesOneToFourByteCharacters) {
    EXPECT_EQ(Utf8ToUtf16("A·燚"), u"A·燚");
    // Beyond U+FFFF: a surrogate pair, the highest character included.
    EXPECT_EQ(Utf8ToUtf16("\xF0\xA0\x80\x80x"), (std::u16string{0xD840, 0xDC00, u'x'}));
    EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF"), (std::u16string{0xDBFF, 0xDFFF}));
    EXPECT_EQ(Utf8ToUtf16(""), u"");
    EXPECT_EQ(Utf8ToUtf16("\xEF\xBF\xBF"), std::u16string(1, u'\xFFFF'));
}

TEST(Utf8ToUtf16Test, RefusesMalformedSequencesSurrogatesAndCharactersBeyondUnicode) {
    for (const char* text :
         {"\x80", "\xC3", "\xE7\x87", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
          "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF0\xA0\x80", "\xFF", "a\xC3(b"}) {
        EXPECT_EQ(Utf8ToUtf16(text), std::nullopt) << text;
    }
}

}  // namespace
}  // namespace vorn::sim
