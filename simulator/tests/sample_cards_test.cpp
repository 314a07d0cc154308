// Checks the sample cards that ship with the simulator: they must all build, use made-up
// numbers with valid check characters, and cover every kind the program tells apart.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "simulator/card_file.h"
#include "simulator/file_access.h"
#include "simulator/tests/test_support.h"
#include "simulator/utf8_text.h"

using namespace vorn;

namespace vorn::sim {
namespace {

struct SampleCard {
    std::string file;
    IniText ini;
    SimulatedCard card;
};

std::vector<SampleCard> LoadSampleCards() {
    std::vector<SampleCard> cards;
    for (const auto& entry : std::filesystem::directory_iterator(VORN_SAMPLE_CARDS_DIR)) {
        const auto text = ReadSmallFile(entry.path());
        EXPECT_TRUE(text) << entry.path();
        std::string error;
        const auto card = BuildSimulatedCard(text.value_or(""), error);
        EXPECT_TRUE(card) << entry.path() << ": " << error;
        if (text && card) {
            cards.push_back({entry.path().filename().string(), IniText::Parse(*text), *card});
        }
    }
    return cards;
}

// The check character of an 18-character citizen number, ISO 7064 MOD 11-2.
char CheckCharacter(const std::string& first17) {
    int sum = 0;
    for (char digit : first17) {
        sum = (sum * 2 + (digit - '0')) % 11;
    }
    const int check = (12 - (sum * 2) % 11) % 11;
    return check == 10 ? 'X' : static_cast<char>('0' + check);
}

std::string Field(const SampleCard& sample, const char* key) {
    return sample.ini.Get(kCardSection, key).value_or("");
}

TEST(SampleCardsTest, CheckCharacterMatchesTheStandardsWorkedExample) {
    // The worked example of the national standard for citizen numbers.
    EXPECT_EQ(CheckCharacter("11010519491231002"), 'X');
    EXPECT_EQ(CheckCharacter("44052418800101001"), '4');
}

TEST(SampleCardsTest, EveryCardBuildsAndEighteenCharacterNumbersCheck) {
    const auto cards = LoadSampleCards();
    ASSERT_GE(cards.size(), 7u);
    bool some_check_is_x = false;
    for (const SampleCard& sample : cards) {
        const std::string id = Field(sample, "id");
        if (Field(sample, "kind") == "foreigner") {
            EXPECT_EQ(id.size(), 15u) << sample.file;
            EXPECT_EQ(id.substr(0, 3), Field(sample, "nationality")) << sample.file;
            continue;
        }
        ASSERT_EQ(id.size(), 18u) << sample.file;
        EXPECT_EQ(id[17], CheckCharacter(id.substr(0, 17))) << sample.file;
        // The birth date is part of the number, and the sequence digit's parity is the sex.
        EXPECT_EQ(id.substr(6, 8), Field(sample, "birth")) << sample.file;
        EXPECT_EQ((id[16] - '0') % 2 == 1, Field(sample, "sex") == "1") << sample.file;
        some_check_is_x = some_check_is_x || id[17] == 'X';
    }
    EXPECT_TRUE(some_check_is_x);
}

TEST(SampleCardsTest, CoverEveryKindAndTheCasesTheProgramTreatsSpecially) {
    std::multiset<std::string> kinds;
    std::set<std::string> permit_prefixes;
    std::set<std::string> nationalities;
    bool long_term = false;
    bool long_address = false;
    std::set<std::uint32_t> portrait_checksums;
    for (const SampleCard& sample : LoadSampleCards()) {
        kinds.insert(Field(sample, "kind"));
        if (Field(sample, "kind") == "permit") {
            permit_prefixes.insert(Field(sample, "id").substr(0, 2));
            EXPECT_EQ(Field(sample, "issue_count").size(), 2u) << sample.file;
        }
        if (Field(sample, "kind") == "foreigner") {
            nationalities.insert(Field(sample, "nationality"));
        }
        long_term = long_term || Field(sample, "valid_end") == "长期";
        long_address = long_address || Utf8ToUtf16(Field(sample, "address"))->size() >= 30;
        portrait_checksums.insert(Crc32(sample.card.photo.data(), kPhotoChecksumOffset));
    }
    EXPECT_EQ(kinds.count("resident"), 2u);
    EXPECT_EQ(kinds.count("foreigner"), 2u);
    EXPECT_EQ(permit_prefixes, (std::set<std::string>{"81", "82", "83"}));
    // One nationality the program's country table lists and one it does not.
    EXPECT_TRUE(nationalities.count("CAN") == 1 || nationalities.count("AUS") == 1);
    EXPECT_EQ(nationalities.count("USA"), 1u);
    EXPECT_TRUE(long_term);
    EXPECT_TRUE(long_address);
    EXPECT_EQ(portrait_checksums.size(), kinds.size()) << "every sample card has its own portrait";
}

}  // namespace
}  // namespace vorn::sim
