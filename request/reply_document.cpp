// Building the reply document from a read and writing it as text.
#include "request/reply_document.h"

#include <cstdio>
#include <span>

#include "card/card_fields.h"
#include "card/card_kind.h"
#include "platform/text_conversion.h"

namespace vorn {

namespace {

constexpr std::size_t kUtf8Limit = 1024;
constexpr const char* kIndent = "   ";
constexpr const char* kNameSeparator = " : ";

// The members each kind fills besides the common ones; the other members stay empty. A value
// outside the enum gets the resident card's, as an unknown sign does.
std::span<const CardField> KindFields(CardKind kind) {
    using enum CardField;
    static constexpr CardField kResident[] = {kEthnicityName, kAddress, kDept, kNewAddress};
    static constexpr CardField kPermit[] = {kAddress, kDept, kPassId, kIssNum};
    static constexpr CardField kForeigner[] = {kNationCode, kNameEn, kIssAuthCode, kReserved,
                                               kCardVer};
    switch (kind) {
        case CardKind::Resident:
            return kResident;
        case CardKind::Foreigner:
            return kForeigner;
        case CardKind::HongKongMacau:
        case CardKind::Taiwan:
            return kPermit;
    }
    return kResident;
}

// Cuts UTF-8 text to at most limit bytes without splitting a character.
void CutUtf8(std::string& text, std::size_t limit) {
    if (text.size() <= limit) {
        return;
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    text.resize(end);
}

void AppendQuoted(std::string& out, const std::string& text) {
    out += '"';
    for (char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof(escape), "\\u%04X",
                                  static_cast<unsigned>(static_cast<unsigned char>(c)));
                    out += escape;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void AppendValue(std::string& out, const Json::Value& value) {
    switch (value.type()) {
        case Json::intValue:
            out += std::to_string(value.asLargestInt());
            break;
        case Json::uintValue:
            out += std::to_string(value.asLargestUInt());
            break;
        case Json::stringValue:
            AppendQuoted(out, value.asString());
            break;
        case Json::booleanValue:
            out += value.asBool() ? "true" : "false";
            break;
        default:
            out += "null";
            break;
    }
}

// The fields every card kind fills, in the order they are read.
constexpr CardField kCommonFields[] = {
    CardField::kBirth, CardField::kValidBeg, CardField::kValidEnd, CardField::kIdNumber,
    CardField::kName,  CardField::kSexName,  CardField::kCardSign,
};

// The reply member that carries a card field.
const char* MemberOf(CardField field) {
    using namespace reply;
    switch (field) {
        case CardField::kName:
            return kName;
        case CardField::kSexName:
            return kSex;
        case CardField::kBirth:
            return kBirth;
        case CardField::kIdNumber:
            return kId;
        case CardField::kValidBeg:
            return kValidBeg;
        case CardField::kValidEnd:
            return kValidEnd;
        case CardField::kCardSign:
            return kCardSign;
        case CardField::kEthnicityName:
            return kEthnicity;
        case CardField::kAddress:
            return kAddress;
        case CardField::kDept:
            return kDept;
        case CardField::kNewAddress:
            return kNewAddress;
        case CardField::kPassId:
            return kPassId;
        case CardField::kIssNum:
            return kIssNum;
        case CardField::kNationCode:
            return kNationCode;
        case CardField::kNameEn:
            return kNameEn;
        case CardField::kIssAuthCode:
            return kIssAuthCode;
        case CardField::kReserved:
            return kReserved;
        case CardField::kCardVer:
            return kCardVer;
    }
    // Only a value cast from outside the enum gets here.
    return nullptr;
}

void SetField(Json::Value& root, CIdBufferW& card, CardField field) {
    if (const char* member = MemberOf(field)) {
        root[member] = ToUtf8(ReadCardField(card, field));
    }
}

}  // namespace

std::string ToUtf8(const wchar_t* text) {
    std::string utf8 = WideToUtf8(text);
    CutUtf8(utf8, kUtf8Limit);
    return utf8;
}

Json::Value BuildReplyDocument(int result, const wchar_t* message, CIdBufferW& card,
                               const PictureTexts& pictures) {
    using namespace reply;
    Json::Value root(Json::objectValue);
    root[kResult] = result;
    root[kErrmsg] = ToUtf8(message);
    for (const char* member :
         {kAddress,  kBirth,       kValidBeg, kValidEnd,   kId,     kName,     kSex,
          kCardSign, kEthnicity,   kDept,     kNewAddress, kPassId, kIssNum,   kNationCode,
          kNameEn,   kIssAuthCode, kReserved, kCardVer,    kPhoto,  kFrontImg, kBackImg}) {
        root[member] = "";
    }
    if (result != 0) {
        return root;
    }
    for (CardField field : kCommonFields) {
        SetField(root, card, field);
    }
    // The kind is asked of the record again: the other members are the kind's own.
    for (CardField field : KindFields(card.GetCardKind())) {
        SetField(root, card, field);
    }
    root[kPhoto] = pictures.photo;
    root[kFrontImg] = pictures.front;
    root[kBackImg] = pictures.back;
    return root;
}

std::string WriteReplyText(const Json::Value& root) {
    std::string out = "{\n";
    // jsoncpp keeps object members in byte order of their names.
    Json::Value::Members names = root.getMemberNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        out += kIndent;
        AppendQuoted(out, names[i]);
        out += kNameSeparator;
        AppendValue(out, root[names[i]]);
        out += i + 1 < names.size() ? ",\n" : "\n";
    }
    out += "}\n";
    return out;
}

}  // namespace vorn
