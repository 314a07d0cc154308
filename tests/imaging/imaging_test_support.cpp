#include "tests/imaging/imaging_test_support.h"

#include <gtest/gtest.h>

#include "imaging/encoding/image_codec.h"
#include "imaging/faces/program_resources.h"
#include "simulator/photo_record.h"
#include "tests/test_support.h"

namespace vorn {

namespace {

void Put32(std::vector<unsigned char>& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

}  // namespace

std::vector<unsigned char> MakeBitmapFile(int width, int height,
                                          const std::function<std::uint32_t(int, int)>& colour) {
    const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    std::vector<unsigned char> file(54 + row * height, 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, static_cast<std::uint32_t>(file.size()));
    Put32(file, 10, 54);
    Put32(file, 14, 40);
    Put32(file, 18, static_cast<std::uint32_t>(width));
    Put32(file, 22, static_cast<std::uint32_t>(height));
    file[26] = 1;
    file[28] = 24;
    Put32(file, 34, static_cast<std::uint32_t>(row * height));
    for (int y = 0; y < height; ++y) {
        unsigned char* pixel = &file[54 + row * (height - 1 - y)];
        for (int x = 0; x < width; ++x) {
            const std::uint32_t rgb = colour(x, y);
            pixel[3 * x] = static_cast<unsigned char>(rgb);
            pixel[3 * x + 1] = static_cast<unsigned char>(rgb >> 8);
            pixel[3 * x + 2] = static_cast<unsigned char>(rgb >> 16);
        }
    }
    return file;
}

PictureDimensions DecodedSize(const std::vector<unsigned char>& bytes) {
    PictureDimensions size;
    ImageMemoryStream holder;
    if (!bytes.empty() && LoadBitmapFromMemory(bytes.data(), bytes.size(), holder)) {
        PictureSize(holder, &size.width, &size.height);
    }
    return size;
}

std::vector<unsigned char> DecodeBase64(const std::string& text) {
    static const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<unsigned char> bytes;
    unsigned group = 0;
    int bits = 0;
    for (char c : text) {
        const std::size_t value = alphabet.find(c);
        if (value == std::string::npos) {
            break;  // padding
        }
        group = (group << 6) | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<unsigned char>(group >> bits));
        }
    }
    return bytes;
}

void LoadResidentCard(CImagingContext& imaging, std::uint32_t photo_length) {
    CIdBufferW card;
    ResidentRecord().FillInto(card);
    AddTestPhoto(card, photo_length);
    imaging.SetCard(card);
}

void AddTestPhoto(CIdBufferW& card, std::uint32_t photo_length) {
    vorn::sim::PortraitParameters portrait;
    portrait.glasses = true;
    const vorn::sim::PhotoRecord photo = vorn::sim::EncodePhotoRecord(portrait);
    std::copy(photo.begin(), photo.end(), card.photo_record);
    card.photo_length = photo_length;
}

CardResourceTable ProgramTable() {
    CardResourceTable table;
    PointAtModule(table, OwnModule(), kProgramResourceIds);
    return table;
}

void PrepareLikeThePipeline(CImagingContext& imaging) {
    const std::string directory = TestProgramDirectory().string() +
                                  static_cast<char>(std::filesystem::path::preferred_separator);
    ASSERT_TRUE(imaging.LoadDecoder(directory.c_str()));
    ASSERT_TRUE(UseProgramResources(imaging));
}

}  // namespace vorn
