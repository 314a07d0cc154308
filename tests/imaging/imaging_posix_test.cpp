// The Linux imaging paths that stand in for what the system does on Windows: the bitmap
// files read straight into surfaces, and fonts that must not outlive the request.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "imaging/drawing/uncleared_surface_posix.h"
#include "imaging/encoding/plain_bitmap_posix.h"
#include "imaging/faces/prepared_fonts.h"
#include "imaging/faces/program_resources.h"
#include "imaging/text/font_library_posix.h"
#include "platform/codec_handles_posix.h"
#include "request/read_card.h"
#include "tests/imaging/imaging_test_support.h"
#include "tests/simulated_reader.h"

using namespace vorn;

namespace {

constexpr int kMaxSide = 4096;

// The surface's pixels, each 0xRRGGBB, row after row.
std::vector<std::uint32_t> Pixels(cairo_surface_t* surface) {
    std::vector<std::uint32_t> pixels;
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x) {
            pixels.push_back(row[x] & 0xFFFFFF);
        }
    }
    return pixels;
}

// What the general decoder makes of the same file.
std::vector<std::uint32_t> GeneralDecoderPixels(const std::vector<unsigned char>& file) {
    int width = 0;
    int height = 0;
    int channels = 0;
    const DecodedPixels decoded(stbi_load_from_memory(file.data(), static_cast<int>(file.size()),
                                                      &width, &height, &channels, 3));
    const stbi_uc* rgb = decoded.get();
    std::vector<std::uint32_t> pixels;
    for (int i = 0; rgb != nullptr && i < width * height; ++i) {
        pixels.push_back(std::uint32_t{rgb[i * 3]} << 16 | std::uint32_t{rgb[i * 3 + 1]} << 8 |
                         rgb[i * 3 + 2]);
    }
    return pixels;
}

std::uint32_t Scrambled(int x, int y) {
    return static_cast<std::uint32_t>(x * 2654435761u ^ y * 40503u) & 0xFFFFFF;
}

}  // namespace

TEST(PlainBitmap, GivesThePixelsOfTheGeneralDecoder) {
    // Odd widths end their rows in padding; 102 x 126 is the photo, 540 x 340 a template.
    for (const auto& [width, height] : {std::pair{1, 1}, {3, 2}, {102, 126}, {540, 340}}) {
        const std::vector<unsigned char> file = MakeBitmapFile(width, height, Scrambled);
        const CairoSurface surface = DecodePlainBitmap(file.data(), file.size(), kMaxSide);
        ASSERT_TRUE(surface) << width << "x" << height;
        EXPECT_EQ(cairo_image_surface_get_width(surface.get()), width);
        EXPECT_EQ(cairo_image_surface_get_height(surface.get()), height);
        EXPECT_EQ(Pixels(surface.get()), GeneralDecoderPixels(file)) << width << "x" << height;
    }
}

TEST(PlainBitmap, LeavesEveryOtherFileToTheGeneralDecoder) {
    const std::vector<unsigned char> file = MakeBitmapFile(5, 4, Scrambled);
    const auto refused = [](std::vector<unsigned char> bytes) {
        return !DecodePlainBitmap(bytes.data(), bytes.size(), kMaxSide);
    };
    const auto changed = [&file](std::size_t at, std::vector<unsigned char> bytes) {
        std::vector<unsigned char> copy = file;
        std::memcpy(copy.data() + at, bytes.data(), bytes.size());
        return copy;
    };
    EXPECT_FALSE(refused(file));
    // Cut short by one byte: the last row is incomplete.
    EXPECT_TRUE(refused(std::vector<unsigned char>(file.begin(), file.end() - 1)));
    EXPECT_TRUE(refused(std::vector<unsigned char>(file.begin(), file.begin() + 20)));
    EXPECT_TRUE(refused(changed(0, {'X', 'M'})));
    // Top-down rows (a negative height), 32 bits per pixel, compression, two planes.
    EXPECT_TRUE(refused(changed(22, {0xFC, 0xFF, 0xFF, 0xFF})));
    EXPECT_TRUE(refused(changed(28, {32, 0})));
    EXPECT_TRUE(refused(changed(30, {1, 0, 0, 0})));
    EXPECT_TRUE(refused(changed(26, {2, 0})));
    // Pixels said to start inside the headers, or past the end of the file.
    EXPECT_TRUE(refused(changed(10, {20, 0, 0, 0})));
    EXPECT_TRUE(refused(changed(10, {0xFF, 0xFF, 0xFF, 0x7F})));
    // A side above the limit, and a width whose rows would overflow the size.
    EXPECT_TRUE(refused(changed(18, {0x01, 0x10, 0, 0})));
    EXPECT_TRUE(refused(changed(18, {0xFF, 0xFF, 0xFF, 0x7F})));
}

TEST(UnclearedSurface, DrawsLikeCairosOwnAndRefusesTheSameSizes) {
    // The pixels go with the surface (the address sanitizer's leak check sees them freed).
    cairo_surface_t* surface = CreateUnclearedSurface(37, 5);
    ASSERT_EQ(cairo_surface_status(surface), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_format(surface), CAIRO_FORMAT_RGB24);
    EXPECT_EQ(cairo_image_surface_get_width(surface), 37);
    EXPECT_EQ(cairo_image_surface_get_height(surface), 5);
    EXPECT_EQ(cairo_image_surface_get_stride(surface),
              cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, 37));
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    for (const std::uint32_t pixel : Pixels(surface)) {
        ASSERT_EQ(pixel & 0xFFFFFFu, 0xFF0000u);
    }
    cairo_surface_destroy(surface);
    for (const auto& [width, height] :
         {std::pair{0, 5}, std::pair{5, 0}, std::pair{-1, 3}, std::pair{40000, 1}}) {
        SCOPED_TRACE(::testing::Message() << width << " x " << height);
        cairo_surface_t* cairos = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        cairo_surface_t* ours = CreateUnclearedSurface(width, height);
        EXPECT_EQ(cairo_surface_status(ours), cairo_surface_status(cairos));
        cairo_surface_destroy(ours);
        cairo_surface_destroy(cairos);
    }
}

TEST(RequestFonts, NoFontFaceOutlivesTheRequest) {
    // A card drawn with both embedded fonts; Cairo keeps the scaled fonts of recent drawing
    // after their last use, and with them each request's faces and font bytes.
    {
        CImagingContext imaging;
        PrepareLikeThePipeline(imaging);
        LoadResidentCard(imaging);
        imaging.SetFaceScale(kReplyFaceScale);
        ASSERT_TRUE(imaging.EncodeFace(kFrontSide).ok());
        ASSERT_TRUE(imaging.EncodeFace(kBackSide).ok());
        EXPECT_GT(OpenFontFaces(), 0);
    }
    EXPECT_EQ(OpenFontFaces(), 0);
}

TEST(RequestFonts, CachesStayWhileAFaceIsHeld) {
    CImagingContext imaging;
    PrepareLikeThePipeline(imaging);
    {
        // The table's registration holds its faces: emptying Cairo's caches now would free
        // what they point to.
        EXPECT_FALSE(ReleaseFontCaches());
        const FaceChoice held = MatchFace("VornId Hei", 400, 134);
        ASSERT_TRUE(held.face);
        imaging.UnloadDecoder();
        EXPECT_FALSE(ReleaseFontCaches());
        EXPECT_TRUE(held.face.HasGlyph(U'中'));
    }
    EXPECT_TRUE(ReleaseFontCaches());
    EXPECT_EQ(OpenFontFaces(), 0);
}

// The fonts registered and warmed while the driver waits hold faces of their own: whether a
// request takes them or none does, every face is closed when the request ends.
TEST(RequestFonts, NoFontFaceOutlivesAWarmedRequestOrAWarmUpNoneTook) {
    {
        PreparedFonts prepared;
        PrepareProgramFonts(prepared);
        EXPECT_GT(PreparedFontsPeer::WarmCount(prepared), 0);
        {
            CImagingContext imaging;
            imaging.UsePreparedFonts(&prepared);
            PrepareLikeThePipeline(imaging);
            EXPECT_EQ(PreparedFontsPeer::WarmCount(prepared), 0);
            LoadResidentCard(imaging);
            imaging.SetFaceScale(kReplyFaceScale);
            ASSERT_TRUE(imaging.EncodeFace(kFrontSide).ok());
            ASSERT_TRUE(imaging.EncodeFace(kBackSide).ok());
        }
        EXPECT_EQ(OpenFontFaces(), 0);
    }
    {
        PreparedFonts untaken;
        PrepareProgramFonts(untaken);
        EXPECT_GT(OpenFontFaces(), 0);
    }
    EXPECT_EQ(OpenFontFaces(), 0);
    // The same through the pipeline: a read whose card is found, and one whose card is not,
    // whose warm-up no picture stage takes.
    for (const char* card : {"resident_dated.ini", ""}) {
        SCOPED_TRACE(card);
        SimulatedReader reader(card);
        std::vector<char> reply(kReplyBufferSize, '\0');
        EXPECT_EQ(ExecuteCommand(kReadCardCommand, reply.data(), kReplyBufferSize), 0);
        EXPECT_EQ(OpenFontFaces(), 0);
        EXPECT_EQ(PrivateFontCount(), 0);
    }
}

// Warm fonts hold the registered faces, so the caches stay until they are let go.
TEST(RequestFonts, WarmFontsKeepTheCachesUntilTheyGo) {
    CardResourceTable table;
    PointAtModule(table, OwnModule(), kProgramResourceIds);
    WarmFonts fonts;
    {
        PreparedFonts prepared;
        PrepareProgramFonts(prepared);
        ASSERT_TRUE(prepared.Take(table, fonts));
    }
    EXPECT_GT(fonts.count(), 0);
    ResetCardResources(table);
    EXPECT_FALSE(ReleaseFontCaches());
    EXPECT_GT(OpenFontFaces(), 0);
    fonts.Release();
    EXPECT_TRUE(ReleaseFontCaches());
    EXPECT_EQ(OpenFontFaces(), 0);
}
