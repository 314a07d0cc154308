// The picture stages of a read, from command to reply, for every sample card.
#include <gtest/gtest.h>

#include <json/reader.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "request/picture_stages.h"
#include "request/read_card.h"
#include "tests/imaging/imaging_test_support.h"
#include "tests/simulated_reader.h"
#include "tests/test_support.h"

using namespace vorn;

namespace fs = std::filesystem;

namespace {

// Every reply must stay well inside the WebSocket endpoint's limit.
constexpr std::size_t kReplySizeGoal = 350000;

struct Reply {
    Json::Value root;
    std::size_t size = 0;
};

Reply Read(const std::string& card, const std::string& extra = "") {
    SimulatedReader reader(card, extra);
    std::vector<char> text(kReplyBufferSize, '\0');
    EXPECT_EQ(ExecuteCommand(kReadCardCommand, text.data(), kReplyBufferSize), 0);
    Reply reply;
    reply.size = std::strlen(text.data());
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> parser(builder.newCharReader());
    std::string errors;
    EXPECT_TRUE(parser->parse(text.data(), text.data() + reply.size, &reply.root, &errors));
    return reply;
}

// Puts the decoder library out of the program's reach for the life of the object.
class DecoderHidden {
public:
    DecoderHidden() {
        for (const char* name : {"WltRS.dll", "libWltRS.so"}) {
            if (fs::exists(TestProgramDirectory() / name)) {
                library_ = TestProgramDirectory() / name;
            }
        }
        hidden_ = library_;
        hidden_ += ".hidden";
        fs::rename(library_, hidden_);
    }
    ~DecoderHidden() { fs::rename(hidden_, library_); }

private:
    fs::path library_;
    fs::path hidden_;
};

void WritePicture(const fs::path& folder, const std::string& name, const std::string& text) {
    const std::vector<unsigned char> bytes = DecodeBase64(text);
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

TEST(PictureStages, EverySampleCardGetsItsThreePictures) {
    // The faces land in the build folder, for a person to look at.
    const fs::path folder = TestProgramDirectory().parent_path() / "faces";
    fs::create_directories(folder);
    for (const char* card :
         {"resident_dated", "resident_long_term", "foreigner_usa", "foreigner_canada",
          "permit_hongkong", "permit_macau", "permit_taiwan"}) {
        SCOPED_TRACE(card);
        const Reply reply = Read(std::string(card) + ".ini");
        ASSERT_EQ(reply.root["result"].asInt(), 0);
        EXPECT_EQ(reply.root["errmsg"].asString(), "");
        const PictureDimensions photo = DecodedSize(DecodeBase64(reply.root["photo"].asString()));
        EXPECT_EQ(photo.width, 102);
        EXPECT_EQ(photo.height, 126);
        for (const char* side : {"frontImg", "backImg"}) {
            const PictureDimensions face = DecodedSize(DecodeBase64(reply.root[side].asString()));
            EXPECT_EQ(face.width, 405) << side;
            EXPECT_EQ(face.height, 255) << side;
        }
        EXPECT_LT(reply.size, kReplySizeGoal);
        std::printf("reply size of %s: %zu bytes\n", card, reply.size);
        WritePicture(folder, std::string(card) + "-photo.jpg", reply.root["photo"].asString());
        WritePicture(folder, std::string(card) + "-front.jpg", reply.root["frontImg"].asString());
        WritePicture(folder, std::string(card) + "-back.jpg", reply.root["backImg"].asString());
    }
}

TEST(PictureStages, WithoutTheDecoderTheTextFieldsStay) {
    DecoderHidden hidden;
    const Reply reply = Read("resident_dated.ini");
    EXPECT_EQ(reply.root["result"].asInt(), 0);
    EXPECT_EQ(reply.root["errmsg"].asString(), "加载二代证解码库失败.");
    EXPECT_EQ(reply.root["Name"].asString(), "欧阳燚");
    EXPECT_EQ(reply.root["photo"].asString(), "");
    EXPECT_EQ(reply.root["frontImg"].asString(), "");
    EXPECT_EQ(reply.root["backImg"].asString(), "");
}

TEST(PictureStages, EachFailingStageHasItsCodeAndMessage) {
    const struct {
        const char* setting;
        int result;
        const char* message;
    } cases[] = {
        {"result = -5\n", -5, "照片解码失败."},
        {"result = 0\n", -1, "照片解码失败."},
        {"output = garbage\n", -1, "照片解码失败."},
        {"result = -5\nfail_from_call = 2\n", -1, "生成身份证正面合成图失败."},
        {"result = -5\nfail_from_call = 3\n", -1, "生成身份证背面合成图失败."},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.setting);
        const Reply reply =
            Read("permit_taiwan.ini", std::string("[PhotoDecoder]\n") + expected.setting);
        EXPECT_EQ(reply.root["result"].asInt(), expected.result);
        EXPECT_EQ(reply.root["errmsg"].asString(), expected.message);
        EXPECT_EQ(reply.root["Name"].asString(), "");
        EXPECT_EQ(reply.root["photo"].asString(), "");
        EXPECT_EQ(reply.root["frontImg"].asString(), "");
    }
}

// The stages' outcome, as the pipeline receives it, for the resident test card.
PictureOutcome RunStagesOnResidentCard() {
    CIdBufferW card;
    ResidentRecord().FillInto(card);
    AddTestPhoto(card);
    const std::string directory = TestProgramDirectory().string() +
                                  static_cast<char>(fs::path::preferred_separator);
    return RunPictureStages(directory, card);
}

TEST(PictureOutcome, CompleteWhenEveryPictureIsMade) {
    SimulatedReader reader("");
    const PictureOutcome outcome = RunStagesOnResidentCard();
    EXPECT_TRUE(outcome.complete());
    EXPECT_EQ(outcome.code, kPictureDone);
    EXPECT_EQ(outcome.message, nullptr);
    EXPECT_EQ(DecodedSize(DecodeBase64(outcome.pictures.photo)).width, 102);
    EXPECT_EQ(DecodedSize(DecodeBase64(outcome.pictures.front)).width, 405);
    EXPECT_EQ(DecodedSize(DecodeBase64(outcome.pictures.back)).width, 405);
}

TEST(PictureOutcome, AFailingStageKeepsThePicturesMadeBeforeIt) {
    const struct {
        const char* setting;
        int code;
        const wchar_t* message;
        bool photo_kept;
        bool front_kept;
    } cases[] = {
        {"result = -5\n", -5, kPhotoDecodeFailed, false, false},
        {"output = garbage\n", kPictureFailed, kPhotoDecodeFailed, false, false},
        {"result = -5\nfail_from_call = 2\n", kPictureFailed, kFrontPictureFailed, true, false},
        {"result = -5\nfail_from_call = 3\n", kPictureFailed, kBackPictureFailed, true, true},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.setting);
        SimulatedReader reader("", std::string("[PhotoDecoder]\n") + expected.setting);
        const PictureOutcome outcome = RunStagesOnResidentCard();
        EXPECT_FALSE(outcome.complete());
        EXPECT_EQ(outcome.code, expected.code);
        EXPECT_STREQ(outcome.message, expected.message);
        EXPECT_EQ(!outcome.pictures.photo.empty(), expected.photo_kept);
        EXPECT_EQ(!outcome.pictures.front.empty(), expected.front_kept);
        EXPECT_TRUE(outcome.pictures.back.empty());
    }
}

TEST(PictureOutcome, AMissingDecoderFailsWithoutACode) {
    SimulatedReader reader("");
    DecoderHidden hidden;
    const PictureOutcome outcome = RunStagesOnResidentCard();
    EXPECT_FALSE(outcome.complete());
    EXPECT_EQ(outcome.code, kPictureDone);
    EXPECT_STREQ(outcome.message, kDecoderLoadFailed);
    EXPECT_TRUE(outcome.pictures.photo.empty());
}

}  // namespace
