// A reader driver that loads no C++ runtime: one resident card always lies on the reader.
// The program's memory across requests is measured with it, apart from whatever the
// project's own stand-ins keep.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "bench/plain_stand_ins/plain_export.h"
#include "card/sdt_api.h"

using namespace vorn;

namespace {

// One field of the card's text record: its place in bytes and its text.
struct Field {
    std::size_t offset;
    std::size_t width;
    const char16_t* text;
};

// A made-up resident whose card is valid for life.
constexpr Field kCard[] = {
    {0, 30, u"陈静怡"},
    {30, 2, u"2"},
    {32, 4, u"01"},
    {36, 16, u"19650312"},
    {52, 70, u"北京市东城区景山街道景山前街示例胡同12号院3号楼2单元501室"},
    {122, 36, u"11010119650312158X"},
    {158, 30, u"北京市公安局东城分局"},
    {188, 16, u"20150820"},
    {204, 16, u"长期"},
};

constexpr unsigned char kSerial[kSdtSerialSize] = {0x56, 0x4F, 0x52, 0x4E, 0x00, 0x00, 0x00, 0x01};
constexpr char16_t kBlank = u' ';
// The answer to a null buffer or length pointer.
constexpr int kBadArgument = 0x01;
// The photo record's bytes: the plain decoder does not look at them.
constexpr unsigned char kPhotoByte = 0x5A;

void PutUnit(unsigned char* at, char16_t unit) {
    at[0] = static_cast<unsigned char>(unit & 0xFF);
    at[1] = static_cast<unsigned char>(unit >> 8);
}

// The text record in UCS-2 little-endian, each field padded with blanks as a card pads it.
void LayOutText(unsigned char* text) {
    for (std::size_t at = 0; at < kSdtTextRecordSize; at += 2) {
        PutUnit(text + at, kBlank);
    }
    for (const Field& field : kCard) {
        std::size_t at = 0;
        for (const char16_t* unit = field.text; *unit != 0 && at + 2 <= field.width; ++unit) {
            PutUnit(text + field.offset + at, *unit);
            at += 2;
        }
    }
}

}  // namespace

extern "C" {

PLAIN_EXPORT int SDT_API SDT_StartFindIDCard(int /*port*/, unsigned char* /*manage*/,
                                             int /*open_port*/) {
    return kSdtCardPresent;
}

PLAIN_EXPORT int SDT_API SDT_SelectIDCard(int /*port*/, unsigned char* serial, int /*open_port*/) {
    if (serial != nullptr) {
        std::memcpy(serial, kSerial, sizeof kSerial);
    }
    return kSdtSuccess;
}

PLAIN_EXPORT int SDT_API SDT_ReadBaseMsg(int /*port*/, unsigned char* text,
                                         std::uint32_t* text_length, unsigned char* photo,
                                         std::uint32_t* photo_length, int /*open_port*/) {
    if (text == nullptr || text_length == nullptr || photo == nullptr || photo_length == nullptr) {
        return kBadArgument;
    }
    LayOutText(text);
    *text_length = kSdtTextRecordSize;
    std::memset(photo, kPhotoByte, kSdtPhotoRecordSize);
    *photo_length = kSdtPhotoRecordSize;
    return kSdtSuccess;
}

}  // extern "C"

// The program binds these names to the pointer types of its own header; a mismatch in
// arguments or calling convention would corrupt its stack on 32-bit Windows.
static_assert(std::is_same_v<decltype(&SDT_StartFindIDCard), SdtStartFindIdCardFn>);
static_assert(std::is_same_v<decltype(&SDT_SelectIDCard), SdtSelectIdCardFn>);
static_assert(std::is_same_v<decltype(&SDT_ReadBaseMsg), SdtReadBaseMsgFn>);
