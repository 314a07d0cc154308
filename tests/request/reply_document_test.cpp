// The reply document's members and its exact text form.
#include <gtest/gtest.h>

#include "request/reply_document.h"
#include "tests/test_support.h"

using namespace vorn;

namespace {

const char kDriverMissingReply[] =
    "{\n"
    "   \"Address\" : \"\",\n"
    "   \"Birth\" : \"\",\n"
    "   \"CardSign\" : \"\",\n"
    "   \"CardVer\" : \"\",\n"
    "   \"Dept\" : \"\",\n"
    "   \"Ethnicity\" : \"\",\n"
    "   \"ID\" : \"\",\n"
    "   \"IssAuthCode\" : \"\",\n"
    "   \"IssNum\" : \"\",\n"
    "   \"Name\" : \"\",\n"
    "   \"NameEN\" : \"\",\n"
    "   \"NationCode\" : \"\",\n"
    "   \"NewAddress\" : \"\",\n"
    "   \"PassId\" : \"\",\n"
    "   \"Reserved\" : \"\",\n"
    "   \"Sex\" : \"\",\n"
    "   \"ValidBeg\" : \"\",\n"
    "   \"ValidEnd\" : \"\",\n"
    "   \"backImg\" : \"\",\n"
    "   \"errmsg\" : \"加载二代证设备库失败.\",\n"
    "   \"frontImg\" : \"\",\n"
    "   \"photo\" : \"\",\n"
    "   \"result\" : -11\n"
    "}\n";

Json::Value Reply(const RecordBuilder& record, int result = 0, const wchar_t* message = L"",
                  const PictureTexts& pictures = {}) {
    CSdtBuffer raw;
    record.FillInto(raw);
    CIdBufferW card;
    card.CopyFrom(raw);
    return BuildReplyDocument(result, message, card, pictures);
}

TEST(ReplyDocument, FailureReplyIsExact) {
    CIdBufferW card;
    ResidentRecord().FillInto(card);
    EXPECT_EQ(WriteReplyText(BuildReplyDocument(-11, L"加载二代证设备库失败.", card, {})),
              kDriverMissingReply);
}

TEST(ReplyDocument, ResidentCard) {
    Json::Value root = Reply(ResidentRecord(), 0, L"", {"UEhP", "RlJU", "QkFD"});
    EXPECT_EQ(root.size(), 23u);
    EXPECT_EQ(root["result"].asInt(), 0);
    EXPECT_EQ(root["errmsg"].asString(), "");
    EXPECT_EQ(root["Name"].asString(), "林 小雨");
    EXPECT_EQ(root["Sex"].asString(), "女");
    EXPECT_EQ(root["Ethnicity"].asString(), "汉");
    EXPECT_EQ(root["Birth"].asString(), "19900307");
    EXPECT_EQ(root["Address"].asString(), "浙江省杭州市西湖区文三路一百二十八号");
    EXPECT_EQ(root["ID"].asString(), "330106199003070021");
    EXPECT_EQ(root["Dept"].asString(), "杭州市公安局西湖分局");
    EXPECT_EQ(root["ValidBeg"].asString(), "20200101");
    EXPECT_EQ(root["ValidEnd"].asString(), "长期");
    EXPECT_EQ(root["CardSign"].asString(), " ");
    EXPECT_EQ(root["photo"].asString(), "UEhP");
    EXPECT_EQ(root["frontImg"].asString(), "RlJU");
    EXPECT_EQ(root["backImg"].asString(), "QkFD");
    for (const char* empty : {"NewAddress", "PassId", "IssNum", "NationCode", "NameEN",
                              "IssAuthCode", "Reserved", "CardVer"}) {
        EXPECT_EQ(root[empty].asString(), "") << empty;
    }
}

TEST(ReplyDocument, ForeignerCard) {
    Json::Value root = Reply(ForeignerRecord());
    EXPECT_EQ(root["Name"].asString(), "摩根");
    EXPECT_EQ(root["NameEN"].asString(), "MORGAN, ALEX JAMES");
    EXPECT_EQ(root["Sex"].asString(), "男");
    EXPECT_EQ(root["ID"].asString(), "CAN310085061512");
    EXPECT_EQ(root["Birth"].asString(), "19850615");
    EXPECT_EQ(root["NationCode"].asString(), "CAN");
    EXPECT_EQ(root["IssAuthCode"].asString(), "1100");
    EXPECT_EQ(root["CardVer"].asString(), "02");
    EXPECT_EQ(root["Reserved"].asString(), "   ");
    EXPECT_EQ(root["CardSign"].asString(), "I");
    for (const char* empty : {"Ethnicity", "Address", "Dept", "NewAddress", "PassId", "IssNum"}) {
        EXPECT_EQ(root[empty].asString(), "") << empty;
    }
}

TEST(ReplyDocument, PermitCard) {
    Json::Value root = Reply(PermitRecord(u"830000199205110011"));
    EXPECT_EQ(root["Name"].asString(), "陈家明");
    EXPECT_EQ(root["Address"].asString(), "广东省深圳市福田区");
    EXPECT_EQ(root["Dept"].asString(), "深圳市公安局");
    EXPECT_EQ(root["PassId"].asString(), "H60123456");
    EXPECT_EQ(root["IssNum"].asString(), "01");
    for (const char* empty : {"Ethnicity", "NewAddress", "NationCode", "NameEN", "IssAuthCode",
                              "Reserved", "CardVer"}) {
        EXPECT_EQ(root[empty].asString(), "") << empty;
    }
}

TEST(ReplyDocument, FailedReadsCarryNoCardFieldsOrPictures) {
    Json::Value root = Reply(ResidentRecord(), 0x80, L"寻卡失败(128).", {"UEhP", "RlJU", "QkFD"});
    EXPECT_EQ(root.size(), 23u);
    EXPECT_EQ(root["result"].asInt(), 128);
    EXPECT_EQ(root["errmsg"].asString(), "寻卡失败(128).");
    for (const std::string& name : root.getMemberNames()) {
        if (name != "result" && name != "errmsg") {
            EXPECT_EQ(root[name].asString(), "") << name;
        }
    }
}

TEST(ReplyDocument, TextFormEscapesOnlyWhatJsonNeeds) {
    // Quotes, backslashes and control characters are escaped; Chinese text stays raw.
    Json::Value root = Reply(ResidentRecord().Put(0, 30, u"A\"B\\C\tD\u0001E\u001F王"), 0);
    std::string text = WriteReplyText(root);
    EXPECT_NE(text.find("   \"Name\" : \"A\\\"B\\\\C\\tD\\u0001E\\u001F王\",\n"), std::string::npos)
        << text;
    EXPECT_EQ(text.rfind("{\n   \"Address\" : ", 0), 0u);
    EXPECT_EQ(text.substr(text.size() - 18), "   \"result\" : 0\n}\n");
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

// A card stores a character beyond U+FFFF as a surrogate pair; the reply carries it as one
// four-byte character, and a surrogate without its partner as one U+FFFD.
TEST(ReplyDocument, SurrogatePairsBecomeOneCharacter) {
    const std::u16string name{u'林',  0xD840, 0xDC00, u'x',   0xD840, u'y',
                              0xDC00, 0xDBFF, 0xDFFF, 0xDC00, 0xD800};
    Json::Value root = Reply(ResidentRecord().Put(0, 30, name));
    EXPECT_EQ(root["Name"].asString(),
              "林\xF0\xA0\x80\x80x\xEF\xBF\xBDy\xEF\xBF\xBD\xF4\x8F\xBF\xBF"
              "\xEF\xBF\xBD\xEF\xBF\xBD");
    // The length limit never cuts a four-byte character: after one ASCII letter, 255 of them
    // fit into 1024 bytes and the 256th would not.
    std::wstring many = L"a";
    for (int i = 0; i < 300; ++i) {
        many += static_cast<wchar_t>(0xD840);
        many += static_cast<wchar_t>(0xDC00);
    }
    std::string utf8 = ToUtf8(many.c_str());
    EXPECT_EQ(utf8.size(), 1021u);
    EXPECT_EQ(utf8.substr(utf8.size() - 4), "\xF0\xA0\x80\x80");
}

TEST(ReplyDocument, Utf8TextIsLimitedWithoutSplittingCharacters) {
    std::wstring long_text(400, L'王');
    std::string utf8 = ToUtf8(long_text.c_str());
    // 341 three-byte characters fit into 1024 bytes; the 342nd would not.
    EXPECT_EQ(utf8.size(), 1023u);
    EXPECT_EQ(ToUtf8(nullptr), "");
    EXPECT_EQ(ToUtf8(L""), "");
}

}  // namespace
