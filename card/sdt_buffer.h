// The raw card record as the reader driver delivers it, and its decoded fields.
#pragma once

#include <cstdint>

#include "card/card_kind.h"
#include "card/sdt_api.h"

namespace vorn {

// The only trim mode the program uses: trailing blanks are cut.
constexpr int kTrimTrailingBlanks = 2;

// Cuts trailing U+0020 characters in place when the mode asks for it.
void TrimText(int trim_mode, wchar_t* text);

// Holds the records of one card exactly as the driver wrote them.
class CSdtBuffer {
public:
    CSdtBuffer();
    CSdtBuffer(const CSdtBuffer&) = delete;
    CSdtBuffer& operator=(const CSdtBuffer&) = delete;

    virtual void Clear();
    // Copies the raw records and their lengths, then classifies the card.
    virtual void CopyFrom(const CSdtBuffer& source);

    // Tells the card kind from the sign at text offset 248; sets the foreigner flag.
    CardKind GetCardKind();

    // Each record has one spare byte behind it that stays zero.
    unsigned char text_record[kSdtTextRecordSize + 1];
    std::uint32_t text_length;
    unsigned char photo_record[kSdtPhotoRecordSize + 1];
    std::uint32_t photo_length;
    unsigned char fingerprint_record[kSdtFingerprintRecordSize + 1];
    std::uint32_t fingerprint_length;
    unsigned char new_address_record[kSdtNewAddressRecordSize + 1];
    std::uint32_t new_address_length;
    unsigned char serial[kSdtSerialSize];
    bool foreigner;
    int trim_mode;
};

// A card record with one decoded, NUL-terminated copy of each field.
class CIdBufferW : public CSdtBuffer {
public:
    CIdBufferW();

    void Clear() override;

    // Each getter decodes its field afresh into its staging field and returns it; a field
    // whose end lies beyond the reported text length comes out empty.
    const wchar_t* GetName();
    const wchar_t* GetSexCode();
    const wchar_t* GetBirth();
    const wchar_t* GetIdNumber();
    const wchar_t* GetValidBeg();
    const wchar_t* GetValidEnd();
    const wchar_t* GetCardSign();
    const wchar_t* GetEthnicityCode();
    const wchar_t* GetAddress();
    const wchar_t* GetDept();
    const wchar_t* GetNewAddress();
    const wchar_t* GetPassId();
    const wchar_t* GetIssNum();
    const wchar_t* GetNationCode();
    const wchar_t* GetNameEn();
    const wchar_t* GetIssAuthCode();
    const wchar_t* GetCardVer();
    const wchar_t* GetReserved();

    // Names looked up from the code fields by the callers; sized for the longest name.
    wchar_t sex_name_cn[5];
    wchar_t ethnicity_name[9];
    wchar_t sex_name_en[9];
    wchar_t nationality_name[33];

private:
    // The decoded fields, one per getter; cleared together.
    struct StagingFields {
        wchar_t name[31];
        wchar_t sex_code[3];
        wchar_t birth[9];
        wchar_t id_number[37];
        wchar_t valid_beg[9];
        wchar_t valid_end[9];
        wchar_t card_sign[3];
        wchar_t ethnicity_code[5];
        wchar_t address[71];
        wchar_t dept[31];
        wchar_t new_address[71];
        wchar_t pass_id[19];
        wchar_t iss_num[5];
        wchar_t name_en[121];
        wchar_t nation_code[7];
        wchar_t iss_auth_code[9];
        wchar_t card_ver[5];
        wchar_t reserved[7];
    };
    StagingFields staging_;
};

}  // namespace vorn
