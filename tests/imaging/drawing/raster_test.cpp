// The platform's raster: canvases, colour-keyed images, real text, fonts and face sizes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "imaging/drawing/raster.h"
#include "imaging/encoding/image_codec.h"
#include "imaging/faces/card_resources.h"
#include "imaging/faces/composition.h"
#include "imaging/faces/program_resources.h"
#include "imaging/imaging_context.h"
#include "platform/shared_library.h"
#include "tests/imaging/imaging_test_support.h"
#include "tests/test_support.h"

using namespace vorn;

namespace {

constexpr std::uint32_t kRed = 0xC03020;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kNearWhite = 0xFEFEFE;

std::filesystem::path WriteFile(const std::string& name, const std::vector<unsigned char>& bytes) {
    const std::filesystem::path path = TestProgramDirectory() / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

// A canvas filled with one colour, made the way the faces are: from a template file.
bool FilledCanvas(CardCanvas& canvas, int width, int height, std::uint32_t colour) {
    const auto path = WriteFile("filled_template.bmp",
                                MakeBitmapFile(8, 8, [colour](int, int) { return colour; }));
    ResourceEntry entry;
    entry.path = path.wstring();
    const TemplateHolder bitmap(LoadTemplateBitmap(entry));
    return bitmap.get() != nullptr && CreateCanvas(bitmap.get(), canvas, width, height);
}

std::uint32_t Pixel(const CardCanvas& canvas, int x, int y) {
    std::uint32_t rgb = 0xDEADBEEF;
    EXPECT_TRUE(ReadCanvasPixel(canvas, x, y, &rgb));
    return rgb;
}

// Windows programs under Wine: some GDI operations are only approximated there.
bool UnderWine() {
    const SharedLibrary ntdll = LoadSharedLibrary(L"ntdll.dll", nullptr);
    return ntdll && FindLibraryExport(ntdll.get(), "wine_get_version", nullptr);
}

int ChannelDistance(std::uint32_t a, std::uint32_t b) {
    int most = 0;
    for (int shift : {0, 8, 16}) {
        most = std::max(most, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                       static_cast<int>((b >> shift) & 0xFF)));
    }
    return most;
}

TEST(Canvas, BlankCanvasNeedsASize) {
    CardCanvas canvas;
    EXPECT_FALSE(CreateCanvas(nullptr, canvas, 0, 540));
    EXPECT_FALSE(canvas.IsValid());
    EXPECT_TRUE(CreateCanvas(nullptr, canvas, 856, 540));
    EXPECT_EQ(canvas.width, 856);
    ReleaseCanvas(canvas);
    EXPECT_FALSE(canvas.IsValid());
    EXPECT_EQ(canvas.width, 0);
    TextItem item;
    ResetTextItem(item);
    item.text = L"1";
    EXPECT_EQ(DrawTextItem(canvas, item), -1);
    ImageMemoryStream nothing;
    EXPECT_EQ(DrawImage(canvas, 0, 0, 1, 1, nothing, false), -1);
}

TEST(Canvas, ColourKeyRemovesPureWhiteAndKeepsNearWhite) {
    // Left half pure white (the key, at pixel (1, 1)), right half near-white, a black bar.
    const auto file = MakeBitmapFile(20, 20, [](int x, int y) {
        if (y >= 16) {
            return 0x000000u;
        }
        return x < 10 ? kWhite : kNearWhite;
    });
    ImageMemoryStream image;
    ASSERT_TRUE(LoadBitmapFromMemory(file.data(), file.size(), image));
    for (const int scale : {1, 3}) {
        SCOPED_TRACE(scale);
        CardCanvas canvas;
        ASSERT_TRUE(FilledCanvas(canvas, 100, 100, kRed));
        ASSERT_EQ(DrawImage(canvas, 10, 10, 20 * scale, 20 * scale, image, true), 0);
        EXPECT_EQ(Pixel(canvas, 10 + 4 * scale, 10 + 4 * scale), kRed);
        EXPECT_LE(ChannelDistance(Pixel(canvas, 10 + 15 * scale, 10 + 5 * scale), kNearWhite), 2);
        EXPECT_LE(ChannelDistance(Pixel(canvas, 10 + 5 * scale, 10 + 18 * scale), 0), 2);
        EXPECT_EQ(Pixel(canvas, 5, 5), kRed);  // outside the rectangle
    }
    CardCanvas opaque;
    ASSERT_TRUE(FilledCanvas(opaque, 100, 100, kRed));
    ASSERT_EQ(DrawImage(opaque, 10, 10, 20, 20, image, false), 0);
    EXPECT_EQ(Pixel(opaque, 14, 14), kWhite);
}

TEST(Canvas, TextIsDrawnInBlackInsideItsBox) {
    CImagingContext imaging;  // holds the registration of the embedded fonts
    ASSERT_TRUE(UseProgramResources(imaging));
    CardCanvas canvas;
    ASSERT_TRUE(FilledCanvas(canvas, 300, 120, kWhite));
    TextItem item;
    ResetTextItem(item);
    SetFaceName(item.digit_font.font, L"OCR-B-10 BT");
    item.digit_font.font.char_set = kCharsetDefault;
    item.digit_font.font.height = 40;
    item.x = 20;
    item.y = 30;
    item.text = L"8";
    ASSERT_EQ(DrawTextItem(canvas, item), 0);
    canvas.SelectFont(item.digit_font.font);
    const TextBox box = canvas.MeasureCharacter(L'8', 20, 30);
    // A positive height is the cell height; GDI may round it to a whole em size.
    EXPECT_NEAR(box.bottom - box.top, 40, 1);
    EXPECT_GE(box.right - box.left, 20);
    EXPECT_LE(box.right - box.left, 26);
    int dark_inside = 0;
    int dark_outside = 0;
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            if ((Pixel(canvas, x, y) & 0xFF) < 128) {
                const bool inside =
                    x >= box.left - 1 && x <= box.right && y >= box.top && y < box.bottom;
                ++(inside ? dark_inside : dark_outside);
            }
        }
    }
    EXPECT_GT(dark_inside, 60);
    EXPECT_EQ(dark_outside, 0);
}

TEST(Canvas, FaceSizeFollowsTheScale) {
    CImagingContext imaging;
    CardCanvas canvas;
    ASSERT_TRUE(CreateCanvas(nullptr, canvas, 856, 540));
    const struct {
        int scale, width, height;
    } cases[] = {{100, 540, 340}, {75, 405, 255}, {33, 178, 112}};
    for (const auto& expected : cases) {
        imaging.SetFaceScale(expected.scale);
        ImageMemoryStream face;
        ASSERT_TRUE(imaging.FinishFace(canvas, face));
        int width = 0;
        int height = 0;
        ASSERT_TRUE(PictureSize(face, &width, &height));
        EXPECT_EQ(width, expected.width);
        EXPECT_EQ(height, expected.height);
    }
}

TEST(Canvas, ReductionAveragesAreas) {
    // Fine stripes of black and white become an even grey; a flat colour stays itself.
    const auto path = WriteFile("stripes_template.bmp", MakeBitmapFile(856, 540, [](int x, int y) {
                                    return y < 270 ? (x % 2 == 0 ? 0x000000u : kWhite) : kRed;
                                }));
    ResourceEntry entry;
    entry.path = path.wstring();
    CardCanvas canvas;
    {
        const TemplateHolder bitmap(LoadTemplateBitmap(entry));
        ASSERT_NE(bitmap.get(), nullptr);
        ASSERT_TRUE(CreateCanvas(bitmap.get(), canvas, 856, 540));
    }
    CImagingContext imaging;
    imaging.SetFaceScale(75);
    ImageMemoryStream face;
    ASSERT_TRUE(imaging.FinishFace(canvas, face));
    CardCanvas copy;
    ASSERT_TRUE(FilledCanvas(copy, 405, 255, kWhite));
    ASSERT_EQ(DrawImage(copy, 0, 0, 405, 255, face, false), 0);
    for (const int x : {20, 200, 380}) {
        EXPECT_LE(ChannelDistance(Pixel(copy, x, 200), kRed), 2) << x;
    }
    if (UnderWine()) {
        GTEST_SKIP() << "Wine's HALFTONE stretch picks pixels instead of averaging them";
    }
    for (const int x : {20, 200, 380}) {
        EXPECT_LE(ChannelDistance(Pixel(copy, x, 60), 0x808080), 16) << x;
    }
}

TEST(CardFonts, RegistrationStopsAtAMissingNumbersFont) {
    const int before = PrivateFontCount();
    {
        CardResourceTable table;
        PointAtModule(table, OwnModule(), kProgramResourceIds);
        table.entries[kOcrFontResource].source = kResourceFromFile;
        table.entries[kOcrFontResource].path = L"no such font.ttf";
        EXPECT_FALSE(RegisterCardFonts(table));
        EXPECT_EQ(table.cjk_font, nullptr);  // the Chinese font was not even tried
        EXPECT_EQ(PrivateFontCount(), before);

        PointAtModule(table, OwnModule(), kProgramResourceIds);
        table.entries[kCjkFontResource].resource_id = 999;
        EXPECT_FALSE(RegisterCardFonts(table));
        EXPECT_EQ(table.registered, 0);

        PointAtModule(table, OwnModule(), kProgramResourceIds);
        EXPECT_TRUE(RegisterCardFonts(table));
        EXPECT_TRUE(RegisterCardFonts(table));
        EXPECT_EQ(PrivateFontCount(), before + 2);  // the second call replaced the first
        ResetCardResources(table);
        EXPECT_EQ(PrivateFontCount(), before);
        EXPECT_EQ(table.entries[kCjkFontResource].resource_id, 0);
    }
}

TEST(CardFonts, FontFilesAreRegisteredFromDisk) {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    ASSERT_TRUE(FindModuleResource(OwnModule(), 108, ResourceKind::kFont, &data, &size));
    const auto path = WriteFile("numbers font.ttf", std::vector<unsigned char>(data, data + size));
    FontHandle font = LoadFontFile(path.wstring().c_str());
    EXPECT_NE(font, nullptr);
    ReleaseCardFont(font);
    EXPECT_EQ(font, nullptr);
    EXPECT_EQ(LoadFontFile(L"folder\\"), nullptr);
    EXPECT_EQ(LoadFontFile(nullptr), nullptr);
    const auto empty = WriteFile("empty font.ttf", {});
    EXPECT_EQ(LoadFontFile(empty.wstring().c_str()), nullptr);
    const auto junk = WriteFile("junk font.ttf", std::vector<unsigned char>(500, 0x33));
    EXPECT_EQ(LoadFontFile(junk.wstring().c_str()), nullptr);
}

TEST(CardFonts, EmbeddedFacesStandInWhileRegistered) {
    CardResourceTable table;
    PointAtModule(table, OwnModule(), kProgramResourceIds);
    const wchar_t* missing = L"No Such Face 0417";
    if (PrivateFontCount() == 0) {
        EXPECT_EQ(std::wstring(ResolveFaceName(L"OCR-B-10 BT")), L"OCR-B-10 BT");
        EXPECT_EQ(std::wstring(ResolveFaceName(missing)), missing);
    }
    ASSERT_TRUE(RegisterCardFonts(table));
    EXPECT_EQ(std::wstring(ResolveFaceName(L"OCR-B-10 BT")), L"VornId OCR");
    EXPECT_EQ(std::wstring(ResolveFaceName(L"方正黑体简体")), L"VornId Hei");
    // A face the system lacks is drawn with the embedded Chinese font, not a guess.
    EXPECT_EQ(std::wstring(ResolveFaceName(missing)), L"VornId Hei");
    ResetCardResources(table);
}

}  // namespace
