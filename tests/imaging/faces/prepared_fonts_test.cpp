// Fonts registered and warmed before the read: the faces drawn with them are the faces drawn
// without them, and only a context whose table names the same fonts takes them, once.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "imaging/faces/prepared_fonts.h"
#include "imaging/faces/program_resources.h"
#include "imaging/imaging_context.h"
#include "tests/imaging/imaging_test_support.h"
#include "tests/test_support.h"

using namespace vorn;

namespace {

// The reply's front and back faces of the card, drawn as the pipeline draws them, with the
// prepared fonts when given; empty texts for a face that failed.
std::pair<std::string, std::string> ReplyFaces(const CIdBufferW& card, PreparedFonts* prepared) {
    CImagingContext imaging;
    imaging.UsePreparedFonts(prepared);
    PrepareLikeThePipeline(imaging);
    imaging.SetCard(card);
    imaging.SetFaceScale(kReplyFaceScale);
    return {imaging.EncodeFace(kFrontSide).text, imaging.EncodeFace(kBackSide).text};
}

void FillCard(const RecordBuilder& record, CIdBufferW& card) {
    record.FillInto(card);
    AddTestPhoto(card);
}

}  // namespace

// The resident card, whose fonts are warm, and cards of the other kinds, whose faces select
// fonts that are not: each face equals, byte for byte, the one drawn without a warm-up.
TEST(PreparedFonts, FacesDrawnWithThemEqualFacesOfARequestWithout) {
    const std::pair<const char*, RecordBuilder> cards[] = {
        {"resident", ResidentRecord()},
        {"foreigner", ForeignerRecord()},
        {"Taiwan permit", PermitRecord(u"830000199001010012")},
    };
    for (const auto& [kind, record] : cards) {
        SCOPED_TRACE(kind);
        CIdBufferW card;
        FillCard(record, card);
        const std::pair<std::string, std::string> own = ReplyFaces(card, nullptr);
        ASSERT_FALSE(own.first.empty());
        ASSERT_FALSE(own.second.empty());
        PreparedFonts prepared;
        PrepareProgramFonts(prepared);
        const std::pair<std::string, std::string> warmed = ReplyFaces(card, &prepared);
        EXPECT_TRUE(warmed.first == own.first) << "front";
        EXPECT_TRUE(warmed.second == own.second) << "back";
        // The request took the registration: nothing is left to take.
        CardResourceTable table = ProgramTable();
        WarmFonts fonts;
        EXPECT_FALSE(prepared.Take(table, fonts));
    }
}

TEST(PreparedFonts, OnlyATableOfTheSameTwoFontsTakesThemAndOnlyOnce) {
    const int before = PrivateFontCount();
    PreparedFonts prepared;
    prepared.Prepare(ProgramTable());
    EXPECT_EQ(PrivateFontCount(), before + 2);
    WarmFonts fonts;
    CardResourceTable other_id = ProgramTable();
    other_id.entries[kCjkFontResource].resource_id = kMissingResource;
    CardResourceTable from_files = ProgramTable();
    from_files.entries[kOcrFontResource].source = kResourceFromFile;
    CardResourceTable swapped = ProgramTable();
    std::swap(swapped.entries[kOcrFontResource], swapped.entries[kCjkFontResource]);
    for (CardResourceTable* table : {&other_id, &from_files, &swapped}) {
        EXPECT_FALSE(prepared.Take(*table, fonts));
        EXPECT_EQ(table->ocr_font, nullptr);
        EXPECT_EQ(table->registered, 0);
    }
    // A table that registered its own fonts has them replaced, not added to.
    CardResourceTable table = ProgramTable();
    ASSERT_TRUE(RegisterCardFonts(table));
    EXPECT_EQ(PrivateFontCount(), before + 4);
    ASSERT_TRUE(prepared.Take(table, fonts));
    EXPECT_EQ(PrivateFontCount(), before + 2);
    EXPECT_EQ(table.registered, 1);
    EXPECT_NE(table.ocr_font, nullptr);
    EXPECT_NE(table.cjk_font, nullptr);
    EXPECT_EQ(PreparedFontsPeer::WarmCount(prepared), 0);
    CardResourceTable again = ProgramTable();
    EXPECT_FALSE(prepared.Take(again, fonts));
    // The taker removes them.
    fonts.Release();
    ResetCardResources(table);
    EXPECT_EQ(PrivateFontCount(), before);
}

TEST(PreparedFonts, ARegistrationThatFailsIsRemovedAtOnceAndNotTaken) {
    const int before = PrivateFontCount();
    CardResourceTable table = ProgramTable();
    table.entries[kCjkFontResource].resource_id = kMissingResource;
    PreparedFonts prepared;
    prepared.Prepare(table);
    // The numbers font was registered before the Chinese one failed; it is gone again.
    EXPECT_EQ(PrivateFontCount(), before);
    EXPECT_EQ(PreparedFontsPeer::WarmCount(prepared), 0);
    WarmFonts fonts;
    EXPECT_FALSE(prepared.Take(table, fonts));
    // A context then registers its own, as without a warm-up.
    CImagingContext imaging;
    imaging.UsePreparedFonts(&prepared);
    PrepareLikeThePipeline(imaging);
    EXPECT_EQ(PrivateFontCount(), before + 2);
}
