#include "simulator/photo_record.h"

#include <cstring>

namespace vorn::sim {

namespace {

void PutRgb(PhotoRecord& record, std::size_t offset, const Rgb& colour) {
    record[offset] = colour.red;
    record[offset + 1] = colour.green;
    record[offset + 2] = colour.blue;
}

Rgb GetRgb(const unsigned char* data, std::size_t offset) {
    return Rgb{data[offset], data[offset + 1], data[offset + 2]};
}

}  // namespace

std::uint32_t Crc32(const unsigned char* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return crc ^ 0xFFFFFFFFu;
}

PhotoRecord EncodePhotoRecord(const PortraitParameters& portrait) {
    PhotoRecord record{};
    std::memcpy(record.data(), kPhotoMagic, kPhotoMagicLength);
    record[kPhotoVersionOffset] = kPhotoRecordVersion;
    record[kPhotoHairStyleOffset] = static_cast<unsigned char>(portrait.hair_style);
    record[kPhotoFlagsOffset] = portrait.glasses ? kPhotoFlagGlasses : 0;
    PutRgb(record, kPhotoSkinOffset, portrait.skin);
    PutRgb(record, kPhotoHairOffset, portrait.hair);
    PutRgb(record, kPhotoClothingOffset, portrait.clothing);
    const std::uint32_t crc = Crc32(record.data(), kPhotoChecksumOffset);
    for (int i = 0; i < 4; ++i) {
        record[kPhotoChecksumOffset + i] = static_cast<unsigned char>(crc >> (8 * i));
    }
    return record;
}

std::optional<PortraitParameters> DecodePhotoRecord(const unsigned char* data, std::size_t size) {
    if (data == nullptr || size != kPhotoRecordBytes) {
        return std::nullopt;
    }
    std::uint32_t stored = 0;
    for (int i = 0; i < 4; ++i) {
        stored |= static_cast<std::uint32_t>(data[kPhotoChecksumOffset + i]) << (8 * i);
    }
    if (std::memcmp(data, kPhotoMagic, kPhotoMagicLength) != 0 ||
        data[kPhotoVersionOffset] != kPhotoRecordVersion ||
        data[kPhotoHairStyleOffset] >= kHairStyleCount ||
        (data[kPhotoFlagsOffset] & ~kPhotoFlagGlasses) != 0 ||
        stored != Crc32(data, kPhotoChecksumOffset)) {
        return std::nullopt;
    }
    PortraitParameters portrait;
    portrait.hair_style = static_cast<HairStyle>(data[kPhotoHairStyleOffset]);
    portrait.glasses = (data[kPhotoFlagsOffset] & kPhotoFlagGlasses) != 0;
    portrait.skin = GetRgb(data, kPhotoSkinOffset);
    portrait.hair = GetRgb(data, kPhotoHairOffset);
    portrait.clothing = GetRgb(data, kPhotoClothingOffset);
    return portrait;
}

}  // namespace vorn::sim
