// Decoding the raw card record of every card kind.
#include <gtest/gtest.h>

#include <cstring>

#include "card/sdt_buffer.h"
#include "tests/test_support.h"

using namespace vorn;

namespace {

CIdBufferW& Load(CIdBufferW& card, const RecordBuilder& record, std::uint32_t length = 256) {
    CSdtBuffer raw;
    record.FillInto(raw, length);
    card.CopyFrom(raw);
    return card;
}

TEST(CardRecord, ResidentFieldsAreCutAndTrimmed) {
    CIdBufferW card;
    Load(card, ResidentRecord());
    EXPECT_EQ(card.GetCardKind(), CardKind::Resident);
    EXPECT_FALSE(card.foreigner);
    // Trailing blanks are cut; the blank inside the name stays.
    EXPECT_EQ(Narrow(card.GetName()), "林 小雨");
    EXPECT_EQ(Narrow(card.GetSexCode()), "2");
    EXPECT_EQ(Narrow(card.GetEthnicityCode()), "01");
    EXPECT_EQ(Narrow(card.GetBirth()), "19900307");
    EXPECT_EQ(Narrow(card.GetAddress()), "浙江省杭州市西湖区文三路一百二十八号");
    EXPECT_EQ(Narrow(card.GetIdNumber()), "330106199003070021");
    EXPECT_EQ(Narrow(card.GetDept()), "杭州市公安局西湖分局");
    EXPECT_EQ(Narrow(card.GetValidBeg()), "20200101");
    EXPECT_EQ(Narrow(card.GetValidEnd()), "长期");
    // The sign is not trimmed: a resident card's blank sign comes out as it is stored.
    EXPECT_EQ(Narrow(card.GetCardSign()), " ");
    EXPECT_EQ(Narrow(card.GetNewAddress()), "");
}

TEST(CardRecord, ForeignerUsesItsOwnLayout) {
    CIdBufferW card;
    Load(card, ForeignerRecord());
    EXPECT_EQ(card.GetCardKind(), CardKind::Foreigner);
    EXPECT_TRUE(card.foreigner);
    EXPECT_EQ(Narrow(card.GetNameEn()), "MORGAN, ALEX JAMES");
    EXPECT_EQ(Narrow(card.GetName()), "摩根");
    // The issuing office sits where the foreigner's card keeps the Chinese name.
    EXPECT_EQ(Narrow(card.GetDept()), "摩根");
    EXPECT_EQ(Narrow(card.GetSexCode()), "1");
    EXPECT_EQ(Narrow(card.GetIdNumber()), "CAN310085061512");
    EXPECT_EQ(std::wcslen(card.GetIdNumber()), 15u);
    EXPECT_EQ(Narrow(card.GetNationCode()), "CAN");
    EXPECT_EQ(Narrow(card.GetBirth()), "19850615");
    EXPECT_EQ(Narrow(card.GetValidBeg()), "20210315");
    EXPECT_EQ(Narrow(card.GetValidEnd()), "20310314");
    EXPECT_EQ(Narrow(card.GetCardVer()), "02");
    EXPECT_EQ(Narrow(card.GetIssAuthCode()), "1100");
    EXPECT_EQ(Narrow(card.GetCardSign()), "I");
    EXPECT_EQ(Narrow(card.GetReserved()), "   ");
}

TEST(CardRecord, PermitKindFollowsTheNumber) {
    CIdBufferW card;
    Load(card, PermitRecord(u"830000199205110011"));
    EXPECT_EQ(card.GetCardKind(), CardKind::Taiwan);
    EXPECT_EQ(Narrow(card.GetPassId()), "H60123456");
    EXPECT_EQ(Narrow(card.GetIssNum()), "01");
    EXPECT_EQ(Narrow(card.GetIdNumber()), "830000199205110011");
    EXPECT_EQ(Narrow(card.GetCardSign()), "J");

    Load(card, PermitRecord(u"810000199205110014"));
    EXPECT_EQ(card.GetCardKind(), CardKind::HongKongMacau);
    Load(card, PermitRecord(u"820000199205110010"));
    EXPECT_EQ(card.GetCardKind(), CardKind::HongKongMacau);
    EXPECT_FALSE(card.foreigner);
}

TEST(CardRecord, SignNeedsAZeroHighByte) {
    CIdBufferW card;
    Load(card, ForeignerRecord().Put(248, 2, u"\u0149"));
    EXPECT_EQ(card.GetCardKind(), CardKind::Resident);
    EXPECT_FALSE(card.foreigner);
    // A "J" whose high byte is set is no permit either.
    Load(card, PermitRecord(u"830000199205110011").Put(248, 2, u"\u014A"));
    EXPECT_EQ(card.GetCardKind(), CardKind::Resident);
}

TEST(CardRecord, ShortTextLengthLeavesLaterFieldsEmpty) {
    CIdBufferW card;
    // A field is decoded only when the length reaches its end.
    Load(card, ResidentRecord(), 30);
    EXPECT_EQ(Narrow(card.GetName()), "林 小雨");
    EXPECT_EQ(Narrow(card.GetSexCode()), "");
    Load(card, ResidentRecord(), 29);
    EXPECT_EQ(Narrow(card.GetName()), "");

    Load(card, ForeignerRecord(), 250);
    EXPECT_EQ(Narrow(card.GetCardSign()), "I");
    EXPECT_EQ(Narrow(card.GetIssAuthCode()), "1100");
    EXPECT_EQ(Narrow(card.GetReserved()), "");
}

TEST(CardRecord, EmptyRecordsGiveEmptyFields) {
    CIdBufferW card;
    EXPECT_EQ(card.GetCardKind(), CardKind::Resident);
    for (const wchar_t* field :
         {card.GetName(), card.GetSexCode(), card.GetBirth(), card.GetIdNumber(),
          card.GetValidBeg(), card.GetValidEnd(), card.GetCardSign(), card.GetEthnicityCode(),
          card.GetAddress(), card.GetDept(), card.GetNewAddress(), card.GetPassId(),
          card.GetIssNum(), card.GetNationCode(), card.GetNameEn(), card.GetIssAuthCode(),
          card.GetCardVer(), card.GetReserved()}) {
        EXPECT_STREQ(field, L"");
    }

    // With a length of 0 only the new address, which has no length test, is decoded; the
    // kind still comes from the sign.
    CSdtBuffer raw;
    ForeignerRecord().FillInto(raw, 0);
    const char16_t street[] = u"新地址  ";
    std::memcpy(raw.new_address_record, street, sizeof(street) - sizeof(char16_t));
    card.CopyFrom(raw);
    EXPECT_EQ(card.GetCardKind(), CardKind::Foreigner);
    EXPECT_EQ(Narrow(card.GetName()), "");
    EXPECT_EQ(Narrow(card.GetNameEn()), "");
    EXPECT_EQ(Narrow(card.GetNewAddress()), "新地址");
}

TEST(CardRecord, CopyFromCopiesRecordsButNotStagingFields) {
    CIdBufferW card;
    Load(card, ResidentRecord());
    EXPECT_EQ(Narrow(card.GetName()), "林 小雨");

    CSdtBuffer raw;
    ForeignerRecord().FillInto(raw, 256);
    raw.photo_length = 1024;
    raw.photo_record[1023] = 0x5A;
    raw.serial[7] = 0x11;
    // Spare bytes are never copied: the destination's stay zero.
    raw.text_record[256] = 0x7F;
    raw.photo_record[1024] = 0x7F;
    card.CopyFrom(raw);
    EXPECT_EQ(card.text_record[256], 0);
    EXPECT_EQ(card.photo_record[1024], 0);
    EXPECT_EQ(card.photo_record[1023], 0x5A);
    EXPECT_EQ(card.photo_length, 1024u);
    EXPECT_EQ(card.serial[7], 0x11);
    EXPECT_TRUE(card.foreigner);

    // Until a getter runs again a caller still sees the previous value in the field.
    const wchar_t* previous = card.GetDept();
    EXPECT_EQ(Narrow(previous), "摩根");
}

TEST(CardRecord, ClearResetsEverything) {
    CIdBufferW card;
    Load(card, ForeignerRecord());
    card.GetName();
    card.trim_mode = 0;
    card.Clear();
    EXPECT_EQ(card.text_length, 0u);
    EXPECT_FALSE(card.foreigner);
    EXPECT_EQ(card.trim_mode, kTrimTrailingBlanks);
    EXPECT_EQ(card.GetCardKind(), CardKind::Resident);
    EXPECT_STREQ(card.GetName(), L"");
}

TEST(TrimText, CutsOnlyTrailingBlanks) {
    wchar_t padded[] = L"长期      ";
    TrimText(kTrimTrailingBlanks, padded);
    EXPECT_STREQ(padded, L"长期");
    wchar_t inner[] = L" a b ";
    TrimText(kTrimTrailingBlanks, inner);
    EXPECT_STREQ(inner, L" a b");
    wchar_t blanks[] = L"   ";
    TrimText(kTrimTrailingBlanks, blanks);
    EXPECT_STREQ(blanks, L"");
    // Other modes leave the text alone; a null pointer is harmless.
    wchar_t untouched[] = L"x  ";
    TrimText(0, untouched);
    EXPECT_STREQ(untouched, L"x  ");
    TrimText(kTrimTrailingBlanks, nullptr);
}

}  // namespace
