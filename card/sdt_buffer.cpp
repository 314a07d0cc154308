// The raw card record and the decoding of its fields for every card kind.
#include "card/sdt_buffer.h"

#include <cstring>
#include <cwchar>

namespace vorn {

namespace {

// Byte offsets and widths of the fields in the 256-byte UCS-2 text record.
struct FieldLayout {
    int offset;
    int width;
};

// Resident card; the residence permits share it up to the validity end.
constexpr FieldLayout kName{0, 30};
constexpr FieldLayout kSexCode{30, 2};
constexpr FieldLayout kEthnicityCode{32, 4};
constexpr FieldLayout kBirth{36, 16};
constexpr FieldLayout kAddress{52, 70};
constexpr FieldLayout kIdNumber{122, 36};
constexpr FieldLayout kDept{158, 30};
constexpr FieldLayout kValidBeg{188, 16};
constexpr FieldLayout kValidEnd{204, 16};
constexpr FieldLayout kCardSign{248, 2};
// Residence permits only.
constexpr FieldLayout kPassId{220, 18};
constexpr FieldLayout kIssNum{238, 4};
// Foreigner's permanent-residence card.
constexpr FieldLayout kForeignNameEn{0, 120};
constexpr FieldLayout kForeignSexCode{120, 2};
constexpr FieldLayout kForeignIdNumber{122, 30};
constexpr FieldLayout kForeignNationCode{152, 6};
constexpr FieldLayout kForeignName{158, 30};
constexpr FieldLayout kForeignBirth{220, 16};
constexpr FieldLayout kForeignCardVer{236, 4};
constexpr FieldLayout kForeignIssAuthCode{240, 8};
constexpr FieldLayout kForeignReserved{250, 6};

constexpr int kSignOffset = 248;
constexpr int kNumberOffset = 122;

// Turns UCS-2 little-endian bytes into wide characters, one character per code unit.
void CopyUcs2(wchar_t* out, const unsigned char* in, int width) {
    for (int i = 0; i + 1 < width; i += 2) {
        out[i / 2] = static_cast<wchar_t>(in[i] | (in[i + 1] << 8));
    }
}

// Copies one field of the text record into its zeroed staging field, which always has room
// for the field and a terminator. A field beyond the reported text length stays empty.
template <std::size_t N>
const wchar_t* Decode(const CSdtBuffer& record, wchar_t (&staging)[N], FieldLayout field,
                      bool trim) {
    static_assert(N > 0);
    std::memset(staging, 0, sizeof(staging));
    if (static_cast<std::size_t>(field.width / 2) < N &&
        record.text_length >= static_cast<std::uint32_t>(field.offset + field.width)) {
        CopyUcs2(staging, record.text_record + field.offset, field.width);
        if (trim) {
            TrimText(record.trim_mode, staging);
        }
    }
    return staging;
}

}  // namespace

void TrimText(int trim_mode, wchar_t* text) {
    if (text == nullptr || text[0] == L'\0' || trim_mode != kTrimTrailingBlanks) {
        return;
    }
    std::size_t end = std::wcslen(text);
    while (end > 0 && text[end - 1] == L' ') {
        text[--end] = L'\0';
    }
}

CSdtBuffer::CSdtBuffer() {
    CSdtBuffer::Clear();
}

void CSdtBuffer::Clear() {
    std::memset(text_record, 0, sizeof(text_record));
    std::memset(photo_record, 0, sizeof(photo_record));
    std::memset(fingerprint_record, 0, sizeof(fingerprint_record));
    std::memset(new_address_record, 0, sizeof(new_address_record));
    std::memset(serial, 0, sizeof(serial));
    text_length = 0;
    photo_length = 0;
    fingerprint_length = 0;
    new_address_length = 0;
    foreigner = false;
    trim_mode = kTrimTrailingBlanks;
}

void CSdtBuffer::CopyFrom(const CSdtBuffer& source) {
    std::memcpy(text_record, source.text_record, kSdtTextRecordSize);
    text_length = source.text_length;
    std::memcpy(photo_record, source.photo_record, kSdtPhotoRecordSize);
    photo_length = source.photo_length;
    std::memcpy(fingerprint_record, source.fingerprint_record, kSdtFingerprintRecordSize);
    fingerprint_length = source.fingerprint_length;
    std::memcpy(serial, source.serial, kSdtSerialSize);
    std::memcpy(new_address_record, source.new_address_record, kSdtNewAddressRecordSize);
    new_address_length = source.new_address_length;
    GetCardKind();
}

CardKind CSdtBuffer::GetCardKind() {
    foreigner = false;
    const unsigned char* sign = text_record + kSignOffset;
    if (sign[0] == 'I' && sign[1] == 0) {
        foreigner = true;
        return CardKind::Foreigner;
    }
    if (sign[0] == 'J' && sign[1] == 0) {
        // Taiwan residents' numbers begin with 83; Hong Kong and Macau ones do not.
        const unsigned char* number = text_record + kNumberOffset;
        bool taiwan = number[0] == '8' && number[1] == 0 && number[2] == '3' && number[3] == 0;
        return taiwan ? CardKind::Taiwan : CardKind::HongKongMacau;
    }
    return CardKind::Resident;
}

CIdBufferW::CIdBufferW() {
    CIdBufferW::Clear();
}

void CIdBufferW::Clear() {
    CSdtBuffer::Clear();
    std::memset(sex_name_cn, 0, sizeof(sex_name_cn));
    std::memset(ethnicity_name, 0, sizeof(ethnicity_name));
    std::memset(sex_name_en, 0, sizeof(sex_name_en));
    std::memset(nationality_name, 0, sizeof(nationality_name));
    std::memset(&staging_, 0, sizeof(staging_));
}

const wchar_t* CIdBufferW::GetName() {
    return Decode(*this, staging_.name, foreigner ? kForeignName : kName, true);
}
const wchar_t* CIdBufferW::GetSexCode() {
    return Decode(*this, staging_.sex_code, foreigner ? kForeignSexCode : kSexCode, false);
}
const wchar_t* CIdBufferW::GetBirth() {
    return Decode(*this, staging_.birth, foreigner ? kForeignBirth : kBirth, false);
}
const wchar_t* CIdBufferW::GetIdNumber() {
    return Decode(*this, staging_.id_number, foreigner ? kForeignIdNumber : kIdNumber, false);
}
const wchar_t* CIdBufferW::GetValidBeg() {
    return Decode(*this, staging_.valid_beg, kValidBeg, false);
}
const wchar_t* CIdBufferW::GetValidEnd() {
    return Decode(*this, staging_.valid_end, kValidEnd, true);
}
const wchar_t* CIdBufferW::GetCardSign() {
    return Decode(*this, staging_.card_sign, kCardSign, false);
}
const wchar_t* CIdBufferW::GetEthnicityCode() {
    return Decode(*this, staging_.ethnicity_code, kEthnicityCode, false);
}
const wchar_t* CIdBufferW::GetAddress() {
    return Decode(*this, staging_.address, kAddress, true);
}
// The issuing office is always read at the resident offset: on a foreigner's card this
// yields the Chinese name.
const wchar_t* CIdBufferW::GetDept() {
    return Decode(*this, staging_.dept, kDept, true);
}
const wchar_t* CIdBufferW::GetPassId() {
    return Decode(*this, staging_.pass_id, kPassId, false);
}
const wchar_t* CIdBufferW::GetIssNum() {
    return Decode(*this, staging_.iss_num, kIssNum, false);
}
const wchar_t* CIdBufferW::GetNationCode() {
    return Decode(*this, staging_.nation_code, kForeignNationCode, false);
}
const wchar_t* CIdBufferW::GetNameEn() {
    return Decode(*this, staging_.name_en, kForeignNameEn, true);
}
const wchar_t* CIdBufferW::GetIssAuthCode() {
    return Decode(*this, staging_.iss_auth_code, kForeignIssAuthCode, false);
}
const wchar_t* CIdBufferW::GetCardVer() {
    return Decode(*this, staging_.card_ver, kForeignCardVer, false);
}
const wchar_t* CIdBufferW::GetReserved() {
    return Decode(*this, staging_.reserved, kForeignReserved, false);
}

// The new-address record has no length test: it is copied whole, with its zero byte.
const wchar_t* CIdBufferW::GetNewAddress() {
    CopyUcs2(staging_.new_address, new_address_record, kSdtNewAddressRecordSize);
    TrimText(trim_mode, staging_.new_address);
    return staging_.new_address;
}

}  // namespace vorn
