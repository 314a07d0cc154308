// The simulator's own 1024-byte photo record: the portrait a stand-in decoder paints.
//
// The record replaces the compressed photo of a real card. It carries no picture, only the
// few parameters from which a decoder draws a simple head-and-shoulders portrait on a white
// background. Layout (offsets in bytes, multi-byte numbers little-endian):
//
//   0..11    magic "VORNSIMPHOTO" (ASCII, no terminator)
//   12       format version, kPhotoRecordVersion
//   13       hair style, a HairStyle value
//   14       flags: bit 0 = glasses; the other bits are zero
//   15       zero
//   16..18   skin tone, red, green, blue
//   19..21   hair colour, red, green, blue
//   22..24   clothing colour, red, green, blue
//   25..1019 zero
//   1020..1023  CRC-32 (IEEE 802.3, as in zlib) of bytes 0..1019
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "card/sdt_api.h"

namespace vorn::sim {

constexpr std::size_t kPhotoRecordBytes = kSdtPhotoRecordSize;
constexpr char kPhotoMagic[] = "VORNSIMPHOTO";
constexpr std::size_t kPhotoMagicLength = 12;
constexpr std::uint8_t kPhotoRecordVersion = 1;

constexpr std::size_t kPhotoVersionOffset = 12;
constexpr std::size_t kPhotoHairStyleOffset = 13;
constexpr std::size_t kPhotoFlagsOffset = 14;
constexpr std::size_t kPhotoSkinOffset = 16;
constexpr std::size_t kPhotoHairOffset = 19;
constexpr std::size_t kPhotoClothingOffset = 22;
constexpr std::size_t kPhotoChecksumOffset = 1020;

constexpr std::uint8_t kPhotoFlagGlasses = 0x01;

// Hair styles a decoder knows how to paint; the numbers are the byte stored in the record.
enum class HairStyle : std::uint8_t { kShort = 0, kLong = 1, kBun = 2, kBald = 3, kCurly = 4 };
constexpr std::uint8_t kHairStyleCount = 5;

// One colour as three 8-bit channels.
struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

// Everything a photo record says about the portrait.
struct PortraitParameters {
    Rgb skin{224, 184, 150};
    Rgb hair{40, 30, 25};
    Rgb clothing{40, 60, 110};
    HairStyle hair_style = HairStyle::kShort;
    bool glasses = false;
    bool operator==(const PortraitParameters&) const = default;
};

using PhotoRecord = std::array<unsigned char, kPhotoRecordBytes>;

// CRC-32 with the reflected polynomial 0xEDB88320, start value and final mask 0xFFFFFFFF.
std::uint32_t Crc32(const unsigned char* data, std::size_t size);

// Builds the record for the given portrait, checksum included.
PhotoRecord EncodePhotoRecord(const PortraitParameters& portrait);

// Reads a record back. Gives nothing unless the size is kPhotoRecordBytes and the magic,
// version, hair style, flags and checksum are all valid.
std::optional<PortraitParameters> DecodePhotoRecord(const unsigned char* data, std::size_t size);

}  // namespace vorn::sim
