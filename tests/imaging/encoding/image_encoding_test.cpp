// Base64 text, the work buffer and JPEG encoding into buffers of fixed capacity.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "codec/base64.h"
#include "imaging/encoding/image_encoding.h"
#include "imaging/encoding/work_buffer.h"
#include "tests/imaging/imaging_test_support.h"

using namespace vorn;

namespace {

std::string Encode(const std::string& bytes) {
    return Base64Encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::vector<unsigned char> GradientBitmap(int width, int height) {
    return MakeBitmapFile(width, height, [](int x, int y) {
        return static_cast<std::uint32_t>(((x * 5) & 0xFF) << 16 | ((y * 3) & 0xFF) << 8 | 0x40);
    });
}

TEST(PictureBase64, LengthsAndPadding) {
    EXPECT_EQ(Encode(""), "");
    EXPECT_EQ(Encode("f"), "Zg==");
    EXPECT_EQ(Encode("fo"), "Zm8=");
    EXPECT_EQ(Encode("foo"), "Zm9v");
    EXPECT_EQ(Encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Encode(std::string("\xFB\xFF\xBF", 3)), "+/+/");
    EXPECT_EQ(Base64Encode(nullptr, 10), "");
    for (std::size_t length = 0; length < 40; ++length) {
        EXPECT_EQ(Encode(std::string(length, 'x')).size(), (length + 2) / 3 * 4) << length;
    }
}

TEST(WorkBuffer, GrowsOnlyAndZeroFillsTheWholeBlock) {
    WorkBuffer buffer;
    unsigned char* first = buffer.Ensure(64);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(buffer.size(), 64u);
    std::memset(first, 0xAB, 64);
    // A smaller request keeps the larger block and clears all of it, not just the part asked.
    unsigned char* again = buffer.Ensure(16);
    EXPECT_EQ(again, first);
    EXPECT_EQ(buffer.size(), 64u);
    for (int i = 0; i < 64; ++i) {
        ASSERT_EQ(again[i], 0) << i;
    }
    unsigned char* larger = buffer.Ensure(4096);
    ASSERT_NE(larger, nullptr);
    EXPECT_EQ(buffer.size(), 4096u);
    for (int i = 0; i < 4096; ++i) {
        ASSERT_EQ(larger[i], 0) << i;
    }
}

TEST(JpegEncoding, SizeOnlyCallThenExactCapacity) {
    const std::vector<unsigned char> bitmap = GradientBitmap(102, 126);
    std::uint32_t size = 0;
    ASSERT_TRUE(
        EncodeJpegFromMemory(bitmap.data(), static_cast<int>(bitmap.size()), 100, nullptr, &size));
    ASSERT_GT(size, 0u);
    std::vector<unsigned char> out(size);
    std::uint32_t capacity = size;
    ASSERT_TRUE(EncodeJpegFromMemory(bitmap.data(), static_cast<int>(bitmap.size()), 100,
                                     out.data(), &capacity));
    EXPECT_EQ(capacity, size);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 0xD8);
    EXPECT_EQ(out[size - 2], 0xFF);
    EXPECT_EQ(out[size - 1], 0xD9);
    const PictureDimensions decoded = DecodedSize(out);
    EXPECT_EQ(decoded.width, 102);
    EXPECT_EQ(decoded.height, 126);
}

TEST(JpegEncoding, RefusesRatherThanCuts) {
    const std::vector<unsigned char> bitmap = GradientBitmap(102, 126);
    std::uint32_t needed = 0;
    ASSERT_TRUE(EncodeJpegFromMemory(bitmap.data(), static_cast<int>(bitmap.size()), 100, nullptr,
                                     &needed));
    std::vector<unsigned char> out(needed, 0x5A);
    std::uint32_t capacity = needed - 1;
    EXPECT_FALSE(EncodeJpegFromMemory(bitmap.data(), static_cast<int>(bitmap.size()), 100,
                                      out.data(), &capacity));
    EXPECT_EQ(capacity, needed - 1);
    EXPECT_EQ(out, std::vector<unsigned char>(needed, 0x5A));
}

TEST(JpegEncoding, NoisyPhotoDoesNotFitThePhotoCapacity) {
    std::mt19937 random(7);
    const std::vector<unsigned char> noise =
        MakeBitmapFile(400, 400, [&](int, int) { return random() & 0xFFFFFF; });
    std::vector<unsigned char> out(kPhotoJpegCapacity);
    std::uint32_t capacity = kPhotoJpegCapacity;
    EXPECT_FALSE(EncodeJpegFromMemory(noise.data(), static_cast<int>(noise.size()), 100, out.data(),
                                      &capacity));
    EXPECT_EQ(capacity, kPhotoJpegCapacity);
}

TEST(JpegEncoding, BadInputFails) {
    std::uint32_t size = 100;
    std::vector<unsigned char> out(100);
    EXPECT_FALSE(EncodeJpegFromMemory(nullptr, 10, 100, out.data(), &size));
    const unsigned char garbage[64] = {'B', 'M', 1, 2, 3};
    EXPECT_FALSE(EncodeJpegFromMemory(garbage, 0, 100, out.data(), &size));
    EXPECT_FALSE(EncodeJpegFromMemory(garbage, sizeof(garbage), 100, out.data(), &size));
    // A header that claims an enormous picture is refused before any memory is taken.
    std::vector<unsigned char> huge = GradientBitmap(4, 4);
    huge[18] = 0xFF;
    huge[19] = 0xFF;
    huge[22] = 0xFF;
    huge[23] = 0xFF;
    EXPECT_FALSE(
        EncodeJpegFromMemory(huge.data(), static_cast<int>(huge.size()), 100, out.data(), &size));
    EXPECT_EQ(size, 100u);
    ImageMemoryStream empty;
    EXPECT_FALSE(EncodeJpegFromBitmap(empty, 100, out.data(), &size));
}

}  // namespace
