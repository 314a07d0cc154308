#include "simulator/photo_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string_view>

using namespace vorn;

namespace vorn::sim {
namespace {

PortraitParameters SamplePortrait() {
    PortraitParameters portrait;
    portrait.skin = {0xE8, 0xC4, 0xA0};
    portrait.hair = {0x3A, 0x3B, 0x3C};
    portrait.clothing = {0x7A, 0x2E, 0x3B};
    portrait.hair_style = HairStyle::kCurly;
    portrait.glasses = true;
    return portrait;
}

TEST(PhotoRecordTest, ChecksumIsTheCommonCrc32) {
    // The check value every CRC-32 (IEEE) implementation gives for these nine digits.
    constexpr std::string_view kDigits = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const unsigned char*>(kDigits.data()), kDigits.size()),
              0xCBF43926u);
}

TEST(PhotoRecordTest, LaysOutTheDocumentedBytes) {
    const PhotoRecord record = EncodePhotoRecord(SamplePortrait());
    EXPECT_EQ(std::memcmp(record.data(), "VORNSIMPHOTO", 12), 0);
    EXPECT_EQ(record[12], 1);
    EXPECT_EQ(record[13], 4);
    EXPECT_EQ(record[14], 1);
    EXPECT_EQ(record[15], 0);
    const unsigned char colours[] = {0xE8, 0xC4, 0xA0, 0x3A, 0x3B, 0x3C, 0x7A, 0x2E, 0x3B};
    EXPECT_EQ(std::memcmp(record.data() + 16, colours, sizeof(colours)), 0);
    for (std::size_t i = 25; i < 1020; ++i) {
        ASSERT_EQ(record[i], 0) << "byte " << i;
    }
    const std::uint32_t crc = Crc32(record.data(), 1020);
    EXPECT_EQ(record[1020], crc & 0xFF);
    EXPECT_EQ(record[1023], crc >> 24);
}

TEST(PhotoRecordTest, DecodesWhatItEncodes) {
    const PhotoRecord record = EncodePhotoRecord(SamplePortrait());
    EXPECT_EQ(DecodePhotoRecord(record.data(), record.size()), SamplePortrait());
    EXPECT_EQ(DecodePhotoRecord(EncodePhotoRecord({}).data(), kPhotoRecordBytes),
              PortraitParameters{});
}

TEST(PhotoRecordTest, RefusesDamagedOrForeignRecords) {
    const PhotoRecord good = EncodePhotoRecord(SamplePortrait());
    EXPECT_EQ(DecodePhotoRecord(good.data(), 1023), std::nullopt);
    EXPECT_EQ(DecodePhotoRecord(nullptr, 1024), std::nullopt);

    // Any single changed byte, the checksum included, makes the record unusable.
    for (std::size_t offset : {0u, 12u, 16u, 500u, 1019u, 1023u}) {
        PhotoRecord damaged = good;
        damaged[offset] ^= 0x01;
        EXPECT_EQ(DecodePhotoRecord(damaged.data(), damaged.size()), std::nullopt) << offset;
    }

    // A style or flag this version does not know is refused even with a fitting checksum.
    for (std::size_t offset : {kPhotoHairStyleOffset, kPhotoFlagsOffset}) {
        PhotoRecord unknown = good;
        unknown[offset] = 0x80;
        const std::uint32_t crc = Crc32(unknown.data(), kPhotoChecksumOffset);
        for (int i = 0; i < 4; ++i) {
            unknown[kPhotoChecksumOffset + i] = static_cast<unsigned char>(crc >> (8 * i));
        }
        EXPECT_EQ(DecodePhotoRecord(unknown.data(), unknown.size()), std::nullopt) << offset;
    }
}

}  // namespace
}  // namespace vorn::sim
