// The table of card kinds: face layouts that fit the card, the texts their rows print, and
// the program's resources, each found by the id the one list of resources gives it.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "imaging/faces/card_kinds.h"
#include "imaging/faces/module_resources.h"
#include "imaging/faces/program_resources.h"
#include "resources/resource_ids.h"
#include "tests/test_support.h"

using namespace vorn;

namespace {

constexpr CardKind kEveryKind[] = {CardKind::Resident, CardKind::Foreigner, CardKind::HongKongMacau,
                                   CardKind::Taiwan};

std::vector<FieldRow> Rows(const RecordBuilder& record, FaceLayout layout) {
    CIdBufferW card;
    CSdtBuffer raw;
    record.FillInto(raw);
    card.CopyFrom(raw);
    return FieldRowsOf(layout, card);
}

TEST(CardKinds, EveryFaceRowLiesOnTheCardAndClearOfThePhoto) {
    for (CardKind kind : kEveryKind) {
        SCOPED_TRACE(static_cast<int>(kind));
        const CardKindProfile& profile = ProfileOf(kind);
        EXPECT_FALSE(profile.front.empty());
        for (FaceLayout layout : {profile.front, profile.back}) {
            for (const FaceRow& row : layout) {
                EXPECT_GE(row.x, 0);
                EXPECT_GE(row.y, 0);
                EXPECT_LT(row.y, kFaceCanvasHeight);
                EXPECT_LE(row.x + row.wrap_width, kFaceCanvasWidth);
                EXPECT_LT(row.shifted_x, kFaceCanvasWidth);
                // A text that must fit its width ends before the photo.
                if (row.fit_width > 0) {
                    EXPECT_LE(row.x + row.fit_width + kPhotoMargin, kPhotoX);
                }
            }
        }
        // Both faces are drawn on templates, never on a font, and on two different ones.
        EXPECT_LT(profile.front_template, kOcrFontResource);
        EXPECT_LT(profile.back_template, kOcrFontResource);
        EXPECT_NE(profile.front_template, profile.back_template);
    }
}

TEST(CardKinds, ValueOutsideTheEnumIsReadAsTheResidentCard) {
    EXPECT_EQ(&ProfileOf(static_cast<CardKind>(7)), &ProfileOf(CardKind::Resident));
    EXPECT_EQ(&ProfileOf(static_cast<CardKind>(-1)), &ProfileOf(CardKind::Resident));
}

TEST(FaceLayouts, LeadingZeroOfMonthOrDayMovesItLeftAndWeightsStayWhereSet) {
    // Rows 3 to 5 of the resident front are the year, month and day of birth.
    const FaceLayout front = ProfileOf(CardKind::Resident).front;
    std::vector<FieldRow> rows = Rows(ResidentRecord().Put(36, 16, u"19900105"), front);
    ASSERT_EQ(rows.size(), front.size());
    EXPECT_EQ(rows[3].text, L"1990");
    EXPECT_EQ(rows[4].text, L" 1");
    EXPECT_EQ(rows[4].x, 292);
    EXPECT_EQ(rows[5].text, L" 5");
    EXPECT_EQ(rows[5].x, 372);
    rows = Rows(ResidentRecord().Put(36, 16, u"19901231"), front);
    EXPECT_EQ(rows[4].text, L"12");
    EXPECT_EQ(rows[4].x, 298);
    EXPECT_EQ(rows[5].x, 378);
    // The resident card alone prints its ethnicity; the permits' fronts are otherwise alike.
    EXPECT_EQ(ProfileOf(CardKind::Taiwan).front.size() + 1, front.size());

    // On the backs a weight is forced only where the layout gives one.
    const std::vector<FieldRow> back =
        Rows(PermitRecord(u"830000199001011234"), ProfileOf(CardKind::Taiwan).back);
    ASSERT_EQ(back.size(), 4u);
    EXPECT_EQ(back[0].weight, kWeightThin);
    EXPECT_FALSE(back[0].digit_weight.has_value());
    EXPECT_FALSE(back[2].weight.has_value());
    EXPECT_FALSE(back[3].weight.has_value());
    EXPECT_EQ(back[3].digit_weight, kWeightHeavy);
}

TEST(FaceLayouts, ForeignerFrontMakesItsTextsFromTheFields) {
    const FaceLayout front = ProfileOf(CardKind::Foreigner).front;
    std::vector<FieldRow> rows =
        Rows(ForeignerRecord().Put(120, 2, u"1").Put(204, 16, u"长期"), front);
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[2].text, L"男/M");
    EXPECT_EQ(rows[4].text, L"公安部/Ministry of Public Security");
    EXPECT_EQ(rows[6].text.substr(rows[6].text.size() - 5), L" - 长期");
    // Every ISO 3166-1 nationality prints its Chinese name, also those after Libya; a code
    // the table does not know prints as a slash and the code.
    const std::pair<const char16_t*, const wchar_t*> nationalities[] = {{u"USA", L"美国/USA"},
                                                                        {u"GBR", L"英国/GBR"},
                                                                        {u"RUS", L"俄罗斯/RUS"},
                                                                        {u"DEU", L"德国/DEU"},
                                                                        {u"ZZZ", L"/ZZZ"}};
    for (const auto& [code, text] : nationalities) {
        EXPECT_EQ(Rows(ForeignerRecord().Put(152, 6, code), front)[3].text, text);
    }
    // A record too short for any field still gives every row, with empty field texts.
    CIdBufferW card;
    CSdtBuffer raw;
    ForeignerRecord().FillInto(raw, 0);
    card.CopyFrom(raw);
    rows = FieldRowsOf(front, card);
    EXPECT_EQ(rows[0].text, L"");
    EXPECT_EQ(rows[7].text, L"");
}

struct ListedResource {
    int id;
    ResourceKind kind;
};

#define VORN_LISTED(id, kind) {id, ResourceKind::kind},
constexpr ListedResource kListed[] = {VORN_RESOURCE_LIST(VORN_LISTED)};
#undef VORN_LISTED

TEST(ProgramResources, EveryListedResourceIsFoundByItsIdAndKind) {
    std::set<int> ids;
    for (const ListedResource& resource : kListed) {
        SCOPED_TRACE(resource.id);
        EXPECT_TRUE(ids.insert(resource.id).second) << "listed twice";
        const unsigned char* data = nullptr;
        std::size_t size = 0;
        ASSERT_TRUE(FindModuleResource(OwnModule(), resource.id, resource.kind, &data, &size));
        EXPECT_GT(size, 0u);
        // Asked for as the other kind, it is not found.
        const ResourceKind other =
            resource.kind == ResourceKind::kFont ? ResourceKind::kBitmap : ResourceKind::kFont;
        EXPECT_FALSE(FindModuleResource(OwnModule(), resource.id, other, &data, &size));
    }
    // The card resource table's entries are pointed at listed resources of their kind.
    for (int entry = 0; entry < kCardResourceCount; ++entry) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(ids.count(kProgramResourceIds[entry]), 1u);
        const ResourceKind kind =
            entry < kOcrFontResource ? ResourceKind::kBitmap : ResourceKind::kFont;
        const unsigned char* data = nullptr;
        std::size_t size = 0;
        EXPECT_TRUE(
            FindModuleResource(OwnModule(), kProgramResourceIds[entry], kind, &data, &size));
    }
}

}  // namespace
