#include "simulator/simulated_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "card/sdt_api.h"
#include "simulator/tests/test_support.h"

using namespace vorn;

namespace vorn::sim {
namespace {

using testing::FieldAt;
using testing::ScratchFolder;

constexpr const char* kCard =
    "[Card]\nkind = resident\nname = 欧阳燚\nsex = 1\nethnicity = 08\nbirth = 19920715\n"
    "address = 广西壮族自治区南宁市示例路88号\nid = 450103199207152538\n"
    "dept = 南宁市公安局青秀分局\nvalid_begin = 20180603\nvalid_end = 20380603\n";

// Buffers as the program lays them out: each record with a spare byte, here a guard that
// must survive every call.
struct ReadBuffers {
    static constexpr unsigned char kGuard = 0xA5;
    std::array<unsigned char, 257> text;
    std::array<unsigned char, 1025> photo;
    std::array<unsigned char, 1025> fingerprint;
    std::uint32_t text_length = 0;
    std::uint32_t photo_length = 0;
    std::uint32_t fingerprint_length = 0;

    ReadBuffers() {
        text.fill(kGuard);
        photo.fill(kGuard);
        fingerprint.fill(kGuard);
    }
    int Read(const SimulatedReader& reader) {
        return reader.ReadBase(text.data(), &text_length, photo.data(), &photo_length);
    }
    int ReadWithFingerprint(const SimulatedReader& reader) {
        return reader.ReadBaseWithFingerprint(text.data(), &text_length, photo.data(),
                                              &photo_length, fingerprint.data(),
                                              &fingerprint_length);
    }
    bool Untouched() const {
        return text[0] == kGuard && photo[0] == kGuard && fingerprint[0] == kGuard &&
               text_length == 0 && photo_length == 0 && fingerprint_length == 0;
    }
    bool GuardsIntact() const {
        return text[256] == kGuard && photo[1024] == kGuard && fingerprint[1024] == kGuard;
    }
};

class SimulatedReaderTest : public ::testing::Test {
protected:
    void Describe(const std::string& reader_section) {
        folder_.Write("simulator.ini", "[Reader]\n" + reader_section);
    }
    SimulatedReader Reader() const { return SimulatedReader(folder_.path()); }
    int Find() const {
        unsigned char manage[8] = {};
        return Reader().StartFind(manage);
    }
    int Select() const {
        unsigned char serial[8] = {};
        return Reader().Select(serial);
    }

    ScratchFolder folder_;
};

TEST_F(SimulatedReaderTest, CardOnTheReaderIsFoundSelectedAndReadWithinItsBuffers) {
    folder_.Write("cards/one.ini", kCard);
    Describe("card = cards/one.ini\n");
    EXPECT_EQ(Find(), kSdtCardPresent);

    unsigned char serial[9] = {};
    serial[8] = ReadBuffers::kGuard;
    EXPECT_EQ(Reader().Select(serial), kSdtSuccess);
    EXPECT_NE(std::memcmp(serial, "\0\0\0\0\0\0\0\0", 8), 0);
    EXPECT_EQ(serial[8], ReadBuffers::kGuard);

    ReadBuffers fp;
    ASSERT_EQ(fp.ReadWithFingerprint(Reader()), kSdtSuccess);
    EXPECT_EQ(fp.text_length, 256u);
    EXPECT_EQ(fp.photo_length, 1024u);
    EXPECT_EQ(fp.fingerprint_length, 1024u);
    EXPECT_EQ(FieldAt(fp.text.data(), 122, 36), u"450103199207152538");
    EXPECT_TRUE(DecodePhotoRecord(fp.photo.data(), 1024));
    EXPECT_TRUE(fp.GuardsIntact());

    ReadBuffers plain;
    ASSERT_EQ(plain.Read(Reader()), kSdtSuccess);
    EXPECT_EQ(std::memcmp(plain.text.data(), fp.text.data(), 256), 0);
    EXPECT_EQ(std::memcmp(plain.photo.data(), fp.photo.data(), 1024), 0);
    EXPECT_EQ(plain.fingerprint[0], ReadBuffers::kGuard);
    EXPECT_TRUE(plain.GuardsIntact());
}

TEST_F(SimulatedReaderTest, EmptyReaderAnswersNoCardEverywhere) {
    // No description at all, a description without a card, and a card file that is missing.
    for (const char* description :
         {"", "[Reader]\nfind_delay = 1\n", "[Reader]\ncard = gone.ini\n"}) {
        if (*description != '\0') {
            folder_.Write("simulator.ini", description);
        }
        EXPECT_EQ(Find(), kNoCard) << description;
        EXPECT_EQ(Select(), kNothingSelected) << description;
        ReadBuffers buffers;
        EXPECT_EQ(buffers.ReadWithFingerprint(Reader()), kNothingSelected);
        EXPECT_EQ(buffers.Read(Reader()), kNothingSelected);
        EXPECT_TRUE(buffers.Untouched());
    }
    EXPECT_EQ(SimulatedReader({}).StartFind(std::array<unsigned char, 8>{}.data()), kNoCard);
}

TEST_F(SimulatedReaderTest, ChosenCodesReplaceTheUsualAnswers) {
    folder_.Write("one.ini", kCard);
    Describe("card = one.ini\nfind = 0x80\nselect = -1\nread_fp = 33\nread = 0x41\n");
    EXPECT_EQ(Find(), 0x80);
    EXPECT_EQ(Select(), -1);
    ReadBuffers buffers;
    EXPECT_EQ(buffers.ReadWithFingerprint(Reader()), 33);
    EXPECT_EQ(buffers.Read(Reader()), 0x41);
    EXPECT_TRUE(buffers.Untouched());

    // A card can be forced "present" on an empty reader; the read then still finds nothing.
    Describe("find = 159\n");
    EXPECT_EQ(Find(), kSdtCardPresent);
    EXPECT_EQ(buffers.Read(Reader()), kNothingSelected);
}

TEST_F(SimulatedReaderTest, ReportedLengthsAreTheChosenOnesButTheRecordIsWhole) {
    folder_.Write("one.ini", kCard);
    Describe("card = one.ini\ntext_length = 200\nphoto_length = 1023\n");
    ReadBuffers buffers;
    ASSERT_EQ(buffers.Read(Reader()), kSdtSuccess);
    EXPECT_EQ(buffers.text_length, 200u);
    EXPECT_EQ(buffers.photo_length, 1023u);
    EXPECT_EQ(FieldAt(buffers.text.data(), 204, 16), u"20380603");
    EXPECT_TRUE(buffers.GuardsIntact());
}

TEST_F(SimulatedReaderTest, BackslashesInTheCardPathWork) {
    folder_.Write("cards/one.ini", kCard);
    Describe("card = cards\\one.ini\n");
    EXPECT_EQ(Find(), kSdtCardPresent);
}

TEST_F(SimulatedReaderTest, MalformedDescriptionOrCardMakesTheReadsFail) {
    folder_.Write("one.ini", kCard);
    folder_.Write("broken.ini", "[Card]\nkind = resident\nname = only a name\n");
    for (const char* description : {"card = one.ini\nread = ninety\n",
                                    "card = one.ini\nthis is not ini\n", "card = broken.ini\n"}) {
        Describe(description);
        EXPECT_EQ(Find(), kSdtCardPresent) << description;
        EXPECT_EQ(Select(), kSdtSuccess) << description;
        ReadBuffers buffers;
        EXPECT_EQ(buffers.ReadWithFingerprint(Reader()), kUnreadableCard) << description;
        EXPECT_EQ(buffers.Read(Reader()), kUnreadableCard) << description;
        EXPECT_TRUE(buffers.Untouched());
    }
    Describe("card = broken.ini\n");
    EXPECT_NE(Reader().card_error().find("missing"), std::string::npos);
}

TEST_F(SimulatedReaderTest, NullPointersAreRefused) {
    folder_.Write("one.ini", kCard);
    Describe("card = one.ini\n");
    const SimulatedReader reader = Reader();
    unsigned char text[256];
    unsigned char photo[1024];
    unsigned char fingerprint[1024];
    std::uint32_t length = 0;
    EXPECT_EQ(reader.StartFind(nullptr), kBadArgument);
    EXPECT_EQ(reader.Select(nullptr), kBadArgument);
    EXPECT_EQ(reader.ReadBase(nullptr, &length, photo, &length), kBadArgument);
    EXPECT_EQ(reader.ReadBase(text, &length, photo, nullptr), kBadArgument);
    EXPECT_EQ(reader.ReadBaseWithFingerprint(text, &length, photo, &length, fingerprint, nullptr),
              kBadArgument);
    EXPECT_EQ(reader.ReadBaseWithFingerprint(text, &length, photo, &length, nullptr, &length),
              kBadArgument);
    EXPECT_EQ(reader.ReadNewAddress(nullptr, &length), kBadArgument);
    EXPECT_EQ(reader.GetCardId(nullptr), kBadArgument);
}

TEST_F(SimulatedReaderTest, NewAddressAndCardIdFollowTheCard) {
    folder_.Write("one.ini", kCard);
    folder_.Write("moved.ini", std::string(kCard) + "new_address = 南宁市示例新路2号\n");
    unsigned char address[70] = {};
    unsigned char id[8] = {};
    unsigned char serial[8] = {};
    std::uint32_t length = 99;

    Describe("card = one.ini\n");
    EXPECT_EQ(Reader().ReadNewAddress(address, &length), kNoNewAddress);
    EXPECT_EQ(length, 0u);

    Describe("card = moved.ini\n");
    EXPECT_EQ(Reader().ReadNewAddress(address, &length), kSdtSuccess);
    EXPECT_EQ(length, 70u);
    EXPECT_EQ(FieldAt(address, 0, 18), u"南宁市示例新路2号");
    EXPECT_EQ(Reader().GetCardId(id), kSdtSuccess);
    EXPECT_EQ(Reader().Select(serial), kSdtSuccess);
    EXPECT_EQ(std::memcmp(id, serial, 8), 0);
}

}  // namespace
}  // namespace vorn::sim
