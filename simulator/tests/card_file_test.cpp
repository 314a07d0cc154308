#include "simulator/card_file.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace vorn;

namespace vorn::sim {
namespace {

constexpr const char* kCard =
    "[Card]\nkind = permit\nname = 何俊朗\nsex = 1\nbirth = 19930906\n"
    "address = 广东省珠海市香洲区示例路168号\nid = 820000199309060217\ndept = 珠海市公安局\n"
    "valid_begin = 20200118\nvalid_end = 20250117\npass_id = M20731546\nissue_count = 02\n";

std::optional<SimulatedCard> Build(const std::string& text, std::string* error_out = nullptr) {
    std::string error;
    auto card = BuildSimulatedCard(text, error);
    if (error_out != nullptr) {
        *error_out = error;
    }
    return card;
}

TEST(CardFileTest, PhotoSectionChoosesThePortrait) {
    const auto card = Build(std::string(kCard) +
                            "[Photo]\nskin = #C69072\nhair = #141414\nhair_style = bald\n"
                            "clothing = #2f4f6f\nglasses = yes\n");
    ASSERT_TRUE(card);
    PortraitParameters expected;
    expected.skin = {0xC6, 0x90, 0x72};
    expected.hair = {0x14, 0x14, 0x14};
    expected.clothing = {0x2F, 0x4F, 0x6F};
    expected.hair_style = HairStyle::kBald;
    expected.glasses = true;
    EXPECT_EQ(DecodePhotoRecord(card->photo.data(), card->photo.size()), expected);
}

TEST(CardFileTest, CardWithoutPhotoSectionGetsTheDefaultPortrait) {
    const auto card = Build(kCard);
    ASSERT_TRUE(card);
    EXPECT_EQ(DecodePhotoRecord(card->photo.data(), card->photo.size()), PortraitParameters{});
}

TEST(CardFileTest, DamagedPhotoFailsItsChecksumOnly) {
    const auto card = Build(std::string(kCard) + "[Photo]\ndamaged = yes\n");
    ASSERT_TRUE(card);
    EXPECT_EQ(DecodePhotoRecord(card->photo.data(), card->photo.size()), std::nullopt);
    EXPECT_EQ(std::memcmp(card->photo.data(), kPhotoMagic, kPhotoMagicLength), 0);
}

TEST(CardFileTest, RefusesBadPortraitValues) {
    for (const char* line :
         {"skin = C69072", "skin = #C6907", "hair = #GG0000", "clothing = #-10000",
          "hair_style = mohawk", "glasses = 1", "damaged = maybe"}) {
        std::string error;
        EXPECT_FALSE(Build(std::string(kCard) + "[Photo]\n" + line + "\n", &error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
}

TEST(CardFileTest, RefusesFilesWithLinesThatAreNotIni) {
    std::string error;
    EXPECT_FALSE(Build(std::string(kCard) + "this line has no equals sign\n", &error));
    EXPECT_NE(error.find("INI"), std::string::npos);
}

TEST(CardFileTest, SerialDiffersBetweenCardsAndFingerprintIsMarked) {
    const auto first = Build(kCard);
    std::string other(kCard);
    other.replace(other.find("何俊朗"), std::string("何俊朗").size(), "何俊明");
    const auto second = Build(other);
    const auto third = Build(std::string(kCard) + "[Photo]\nhair_style = bald\n");
    ASSERT_TRUE(first && second && third);
    // Both halves of the number tell cards apart: the text and the portrait.
    EXPECT_NE(std::memcmp(first->serial.data(), second->serial.data(), 4), 0);
    EXPECT_NE(std::memcmp(first->serial.data() + 4, third->serial.data() + 4, 4), 0);
    EXPECT_EQ(std::memcmp(first->fingerprint.data(), "VORNSIMFINGERPRINT", 18), 0);
}

}  // namespace
}  // namespace vorn::sim
