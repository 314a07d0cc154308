// Photo decoding through the stand-in decoder, and the faces composed from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "imaging/encoding/image_encoding.h"
#include "imaging/faces/program_resources.h"
#include "imaging/imaging_context.h"
#include "platform/temp_directory.h"
#include "simulator/photo_record.h"
#include "tests/imaging/imaging_test_support.h"
#include "tests/simulated_reader.h"
#include "tests/test_support.h"

using namespace vorn;

namespace fs = std::filesystem;

namespace {

const fs::path kBitmap = kPhotoBitmapFileName;
const fs::path kPhotoFile = fs::path(kPhotoBitmapFileName).replace_extension(".wlt");

// Tests start without the temporary files of an earlier one.
class PhotoDecoding : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove(kBitmap);
        fs::remove(kPhotoFile);
    }
    void TearDown() override { SetUp(); }

    // A context bound to the decoder beside the test program, with the resident test card.
    void Prepare(CImagingContext& imaging, std::uint32_t photo_length = 1024) {
        PrepareLikeThePipeline(imaging);
        LoadResidentCard(imaging, photo_length);
    }

    int Decode(CImagingContext& imaging, std::vector<unsigned char>& out) {
        out.assign(kPhotoBitmapFileSize, 0);
        auto size = static_cast<std::uint32_t>(out.size());
        const int result = imaging.DecodePhoto(out.data(), &size);
        out.resize(result == 0 ? size : 0);
        return result;
    }
};

TEST_F(PhotoDecoding, DecodesInAPrivateFolderThatGoesWithTheDecoder) {
    SimulatedReader reader("");
    CImagingContext imaging;
    Prepare(imaging);
    std::vector<unsigned char> bitmap;
    ASSERT_EQ(Decode(imaging, bitmap), 0);
    EXPECT_EQ(bitmap.size(), kPhotoBitmapFileSize);
    const PictureDimensions size = DecodedSize(bitmap);
    EXPECT_EQ(size.width, 102);
    EXPECT_EQ(size.height, 126);
    // Nothing in the current directory; the holder's photo record is not kept either.
    EXPECT_FALSE(fs::exists(kBitmap));
    EXPECT_FALSE(fs::exists(kPhotoFile));
    ASSERT_NE(ImagingContextPeer::TemporaryFolder(imaging), nullptr);
    const fs::path folder = ImagingContextPeer::TemporaryFolder(imaging)->path();
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_TRUE(SameFolder(folder.parent_path(), TemporaryDirectory::SystemFolder()));
    // Every decoding of the request uses the same folder.
    ASSERT_EQ(Decode(imaging, bitmap), 0);
    EXPECT_EQ(ImagingContextPeer::TemporaryFolder(imaging)->path(), folder);
    imaging.UnloadDecoder();
    EXPECT_EQ(ImagingContextPeer::TemporaryFolder(imaging), nullptr);
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(PhotoDecoding, ContextsOfTwoRequestsNeverShareAFolder) {
    SimulatedReader reader("");
    CImagingContext first;
    CImagingContext second;
    Prepare(first);
    Prepare(second);
    std::vector<unsigned char> bitmap;
    ASSERT_EQ(Decode(first, bitmap), 0);
    ASSERT_EQ(Decode(second, bitmap), 0);
    EXPECT_NE(ImagingContextPeer::TemporaryFolder(first)->path(),
              ImagingContextPeer::TemporaryFolder(second)->path());
}

// A link of the decoder's file name in the current directory was once written through.
TEST_F(PhotoDecoding, LinkInTheCurrentDirectoryIsNeverWrittenThrough) {
    const fs::path target = TestProgramDirectory() / "link_target.txt";
    WriteTextFile(target, "keep me");
    std::error_code error;
    fs::create_symlink(target, kPhotoFile, error);
    if (error) {
        fs::remove(target);
        GTEST_SKIP() << "no symbolic links here: " << error.message();
    }
    SimulatedReader reader("");
    {
        CImagingContext imaging;
        Prepare(imaging);
        std::vector<unsigned char> bitmap;
        EXPECT_EQ(Decode(imaging, bitmap), 0);
    }
    EXPECT_EQ(ReadBinaryFile(target), "keep me");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(kPhotoFile)));
    fs::remove(kPhotoFile);
    fs::remove(target);
}

// Some decoders store the rows from the top down; the photo is the same picture.
TEST_F(PhotoDecoding, TopDownBitmapGivesTheSamePhoto) {
    std::string bottom_up;
    std::string top_down;
    for (auto [output, text] :
         {std::pair<const char*, std::string*>{"normal", &bottom_up}, {"top_down", &top_down}}) {
        SCOPED_TRACE(output);
        SimulatedReader reader("", std::string("[PhotoDecoder]\noutput = ") + output + "\n");
        CImagingContext imaging;
        Prepare(imaging);
        EncodedPicture photo = imaging.EncodePhoto();
        ASSERT_TRUE(photo.ok());
        *text = std::move(photo.text);
        ImageMemoryStream front;
        EXPECT_EQ(imaging.ComposeFront(front), 0);
    }
    EXPECT_FALSE(bottom_up.empty());
    EXPECT_EQ(top_down, bottom_up);
}

TEST_F(PhotoDecoding, OneLoadedDecoderGivesEachRecordItsOwnPhoto) {
    // The decoder stays loaded for the three decodings of a read; a record that follows
    // another must never get the other's photo, and the same record always the same photo.
    CImagingContext imaging;
    Prepare(imaging);
    CIdBufferW glasses;
    AddTestPhoto(glasses);
    CIdBufferW plain;
    const vorn::sim::PhotoRecord plain_record = vorn::sim::EncodePhotoRecord({});
    std::copy(plain_record.begin(), plain_record.end(), plain.photo_record);
    plain.photo_length = kSdtPhotoRecordSize;
    std::vector<unsigned char> first;
    std::vector<unsigned char> again;
    std::vector<unsigned char> other;
    std::vector<unsigned char> last;
    imaging.SetCard(glasses);
    ASSERT_EQ(Decode(imaging, first), 0);
    ASSERT_EQ(Decode(imaging, again), 0);
    imaging.SetCard(plain);
    ASSERT_EQ(Decode(imaging, other), 0);
    imaging.SetCard(glasses);
    ASSERT_EQ(Decode(imaging, last), 0);
    EXPECT_EQ(again, first);
    EXPECT_NE(other, first);
    EXPECT_EQ(last, first);
}

TEST_F(PhotoDecoding, WrongRecordLengthTouchesNoFile) {
    SimulatedReader reader("");
    for (const std::uint32_t length : {1023u, 1025u, 0u, 5000u}) {
        CImagingContext imaging;
        Prepare(imaging, length);
        std::vector<unsigned char> bitmap;
        EXPECT_EQ(Decode(imaging, bitmap), -1) << length;
        EXPECT_FALSE(fs::exists(kPhotoFile)) << length;
    }
}

TEST_F(PhotoDecoding, StaleBitmapIsDeletedBeforeTheDecoderRuns) {
    SimulatedReader reader("", "[PhotoDecoder]\nresult = -5\nfail_from_call = 2\n");
    CImagingContext imaging;
    Prepare(imaging);
    std::vector<unsigned char> bitmap;
    ASSERT_EQ(Decode(imaging, bitmap), 0);
    const fs::path stale =
        ImagingContextPeer::TemporaryFolder(imaging)->path() / kPhotoBitmapFileName;
    std::ofstream(stale, std::ios::binary) << std::string(kPhotoBitmapFileSize, 'B');
    EXPECT_EQ(Decode(imaging, bitmap), -5);
    EXPECT_FALSE(fs::exists(stale));
}

TEST_F(PhotoDecoding, DecoderCodesReachEveryConsumer) {
    for (const auto& [setting, expected] :
         std::vector<std::pair<std::string, int>>{{"result = -5", -5}, {"result = 0", -1}}) {
        SCOPED_TRACE(setting);
        SimulatedReader reader("", "[PhotoDecoder]\n" + setting + "\n");
        CImagingContext imaging;
        Prepare(imaging);
        std::vector<unsigned char> bitmap;
        EXPECT_EQ(Decode(imaging, bitmap), expected);
        ASSERT_NE(ImagingContextPeer::TemporaryFolder(imaging), nullptr);
        EXPECT_TRUE(fs::is_empty(ImagingContextPeer::TemporaryFolder(imaging)->path()));
        ImageMemoryStream holder;
        EXPECT_EQ(imaging.LoadPhotoBitmap(holder), expected);
        EXPECT_EQ(imaging.ComposeFront(holder), expected);
        EXPECT_FALSE(holder.HasBitmap());
        EXPECT_EQ(imaging.ComposeBack(holder), expected);
        // A failed picture carries the code the reply shows, and no text.
        const EncodedPicture photo = imaging.EncodePhoto();
        EXPECT_EQ(photo.code, expected);
        EXPECT_EQ(photo.text, "");
        const EncodedPicture front = imaging.EncodeFace(kFrontSide);
        EXPECT_EQ(front.code, kPictureFailed);
        EXPECT_EQ(front.text, "");
    }
}

TEST_F(PhotoDecoding, MisbehavingDecoderOutputIsRefused) {
    for (const char* output : {"missing", "empty", "oversize", "truncated", "garbage"}) {
        SCOPED_TRACE(output);
        SimulatedReader reader("", std::string("[PhotoDecoder]\noutput = ") + output + "\n");
        CImagingContext imaging;
        Prepare(imaging);
        ImageMemoryStream holder;
        EXPECT_EQ(imaging.LoadPhotoBitmap(holder), -1);
        const EncodedPicture photo = imaging.EncodePhoto();
        EXPECT_EQ(photo.code, kPictureFailed);
        EXPECT_FALSE(photo.ok());
        EXPECT_EQ(photo.text, "");
        // Whatever the decoder wrote is gone at once, not only with the folder.
        EXPECT_TRUE(fs::is_empty(ImagingContextPeer::TemporaryFolder(imaging)->path()));
    }
}

TEST_F(PhotoDecoding, NoDecoderLibrary) {
    CImagingContext imaging;
    const std::string elsewhere = SimulatedReader::VariantDirectory("minimal") + "/";
    EXPECT_FALSE(imaging.LoadDecoder(elsewhere.c_str()));
    LoadResidentCard(imaging);
    std::vector<unsigned char> bitmap;
    EXPECT_EQ(Decode(imaging, bitmap), -1);
}

TEST_F(PhotoDecoding, FacesComeOutAtTheFaceScale) {
    SimulatedReader reader("");
    CImagingContext imaging;
    Prepare(imaging);
    std::vector<unsigned char> jpeg(kFaceJpegCapacity);
    for (const auto& [scale, width, height] :
         std::vector<std::tuple<int, int, int>>{{100, 540, 340}, {75, 405, 255}}) {
        imaging.SetFaceScale(scale);
        for (const int side : {kFrontSide, kBackSide}) {
            auto size = static_cast<std::uint32_t>(jpeg.size());
            ASSERT_EQ(imaging.ComposeFace(side, jpeg.data(), &size), 0);
            const PictureDimensions decoded =
                DecodedSize(std::vector<unsigned char>(jpeg.begin(), jpeg.begin() + size));
            EXPECT_EQ(decoded.width, width);
            EXPECT_EQ(decoded.height, height);
        }
    }
    std::uint32_t size = kFaceJpegCapacity;
    EXPECT_EQ(imaging.ComposeFace(5, jpeg.data(), &size), -1);
    EXPECT_EQ(size, kFaceJpegCapacity);
}

TEST_F(PhotoDecoding, MissingTemplateFailsEitherFace) {
    SimulatedReader reader("");
    CImagingContext imaging;
    Prepare(imaging);
    ImageMemoryStream holder;
    int ids[kCardResourceCount];
    std::copy(std::begin(kProgramResourceIds), std::end(kProgramResourceIds), ids);
    ids[kResidentBackTemplate] = kMissingResource;
    imaging.UseModuleResources(OwnModule(), ids);
    EXPECT_EQ(imaging.ComposeBack(holder), -1);
    EXPECT_EQ(imaging.ComposeFront(holder), 0);
    ids[kResidentFrontTemplate] = kMissingResource;
    imaging.UseModuleResources(OwnModule(), ids);
    EXPECT_EQ(imaging.ComposeFront(holder), -1);
    EXPECT_FALSE(holder.HasBitmap());
}

TEST_F(PhotoDecoding, ForeignersBackIsTheTemplateAlone) {
    SimulatedReader reader("");
    CImagingContext imaging;
    Prepare(imaging);
    CIdBufferW card;
    ForeignerRecord().FillInto(card);
    AddTestPhoto(card);
    imaging.SetCard(card);
    ImageMemoryStream back;
    ASSERT_EQ(imaging.ComposeBack(back), 0);
    // Without fonts the back still succeeds: it draws no text at all.
    int ids[kCardResourceCount];
    std::copy(std::begin(kProgramResourceIds), std::end(kProgramResourceIds), ids);
    ids[kOcrFontResource] = kMissingResource;
    ids[kCjkFontResource] = kMissingResource;
    ASSERT_FALSE(imaging.UseModuleResources(OwnModule(), ids));
    EXPECT_EQ(imaging.ComposeBack(back), 0);
    EXPECT_EQ(imaging.ComposeFront(back), 0);  // system typefaces stand in
}

}  // namespace
