// The JSON reply document of a read: 23 members, written in one exact text form.
#pragma once

#include <json/value.h>

#include <string>

#include "card/sdt_buffer.h"

namespace vorn {

// Member names of the reply.
namespace reply {
constexpr const char* kResult = "result";
constexpr const char* kErrmsg = "errmsg";
constexpr const char* kName = "Name";
constexpr const char* kSex = "Sex";
constexpr const char* kBirth = "Birth";
constexpr const char* kId = "ID";
constexpr const char* kValidBeg = "ValidBeg";
constexpr const char* kValidEnd = "ValidEnd";
constexpr const char* kCardSign = "CardSign";
constexpr const char* kEthnicity = "Ethnicity";
constexpr const char* kAddress = "Address";
constexpr const char* kDept = "Dept";
constexpr const char* kNewAddress = "NewAddress";
constexpr const char* kPassId = "PassId";
constexpr const char* kIssNum = "IssNum";
constexpr const char* kNationCode = "NationCode";
constexpr const char* kNameEn = "NameEN";
constexpr const char* kIssAuthCode = "IssAuthCode";
constexpr const char* kReserved = "Reserved";
constexpr const char* kCardVer = "CardVer";
constexpr const char* kPhoto = "photo";
constexpr const char* kFrontImg = "frontImg";
constexpr const char* kBackImg = "backImg";
}  // namespace reply

// The form of the reply document. Raised when a member is added, renamed or changes meaning, so
// that a page can tell from the service's "version" answer what its replies will hold.
constexpr int kReplyFormatVersion = 1;

// The pictures of a read, as base64 JPEG text; empty when not produced.
struct PictureTexts {
    std::string photo;
    std::string front;
    std::string back;
};

// Wide text to UTF-8, at most 1024 bytes; null or empty text gives "".
std::string ToUtf8(const wchar_t* text);

// Builds the reply: card fields and pictures are filled only when the result is 0.
Json::Value BuildReplyDocument(int result, const wchar_t* message, CIdBufferW& card,
                               const PictureTexts& pictures);

// Writes a document as the reply text: members in byte order of their names, one per line
// with a three-space indent, raw UTF-8, and a final line feed.
std::string WriteReplyText(const Json::Value& root);

}  // namespace vorn
