// Text items: font runs, wrapping, the font sets and the texts made from card fields.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "imaging/faces/card_resources.h"
#include "imaging/faces/card_texts.h"
#include "imaging/text/font_faces.h"
#include "imaging/faces/font_sets.h"
#include "imaging/text/text_drawing.h"
#include "tests/test_support.h"

using namespace vorn;

namespace {

// Measures every character as its advance from a table (10 by default) by the selected
// font's height, and records what was selected and drawn.
class MeasuringStub : public TextTarget {
public:
    bool IsValid() const override { return valid; }
    void SelectFont(const LogFont& font) override {
        selected.push_back(Narrow(font.face_name));
        height_ = font.height;
    }
    TextBox MeasureCharacter(wchar_t character, int left, int top) override {
        const auto found = advances.find(character);
        const int advance = found == advances.end() ? 10 : found->second;
        return TextBox{left, top, left + advance, top + height_};
    }
    void DrawCharacter(wchar_t character, const TextBox& box) override {
        drawn.push_back({character, box});
    }

    struct Drawn {
        wchar_t character;
        TextBox box;
    };
    bool valid = true;
    std::map<wchar_t, int> advances;
    std::vector<std::string> selected;
    std::vector<Drawn> drawn;

private:
    int height_ = 0;
};

TextItem Item(const std::wstring& text) {
    TextItem item;
    ResetTextItem(item);
    item.text = text;
    SetFaceName(item.text_font.font, L"text");
    SetFaceName(item.digit_font.font, L"digit");
    return item;
}

TEST(DrawTextItem, CreatesAFontOnlyWhereTheCharacterClassChanges) {
    MeasuringStub stub;
    EXPECT_EQ(DrawTextItem(stub, Item(L"1990年")), 0);
    EXPECT_EQ(stub.selected, (std::vector<std::string>{"digit", "text"}));
    ASSERT_EQ(stub.drawn.size(), 5u);

    MeasuringStub digits;
    DrawTextItem(digits, Item(L"450103199207152538"));
    EXPECT_EQ(digits.selected, std::vector<std::string>{"digit"});

    MeasuringStub mixed;
    DrawTextItem(mixed, Item(L"12号院3号楼"));
    EXPECT_EQ(mixed.selected.size(), 4u);
}

TEST(DrawTextItem, OffsetsAndSpacingPlaceEachCharacter) {
    MeasuringStub stub;
    TextItem item = Item(L"1年2");
    item.x = 100;
    item.y = 50;
    item.digit_font.x_offset = 2;
    item.digit_font.spacing = 3;
    item.text_font.spacing = 5;
    DrawTextItem(stub, item);
    ASSERT_EQ(stub.drawn.size(), 3u);
    EXPECT_EQ(stub.drawn[0].box.left, 102);  // x + x offset
    EXPECT_EQ(stub.drawn[1].box.left, 115);  // right 112 + spacing 3
    EXPECT_EQ(stub.drawn[2].box.left, 132);  // right 125 + spacing 5 + x offset 2
    EXPECT_EQ(stub.drawn[2].box.top, 50);
}

TEST(DrawTextItem, WrapsOnlyPastTheWrapWidth) {
    for (const int last : {55, 56}) {
        MeasuringStub stub;
        stub.advances = {{L'A', 300}, {L'B', last}};
        TextItem item = Item(L"AB");
        item.x = 169;
        item.y = 277;
        item.wrap_width = 355;
        item.line_gap = 11;
        item.text_font.font.height = 31;
        DrawTextItem(stub, item);
        ASSERT_EQ(stub.drawn.size(), 2u);
        const TextBox& b = stub.drawn[1].box;
        if (last == 55) {
            // The right edge lands exactly 355 pixels right of x: the character stays.
            EXPECT_EQ(b.left, 469);
            EXPECT_EQ(b.top, 277);
        } else {
            EXPECT_EQ(b.left, 169);
            EXPECT_EQ(b.top, 277 + 31 + 11);
        }
    }
}

TEST(DrawTextItem, WrappedLineStartsAtXPlusTheWrappingFontsOffset) {
    MeasuringStub stub;
    stub.advances = {{L'A', 350}};
    TextItem item = Item(L"A12");
    item.x = 169;
    item.y = 277;
    item.wrap_width = 355;
    item.line_gap = 11;
    item.text_font.font.height = 31;
    item.digit_font.font.height = 34;
    item.digit_font.x_offset = 2;
    DrawTextItem(stub, item);
    ASSERT_EQ(stub.drawn.size(), 3u);
    // "1" is measured at 519 + 2, would end 362 right of x, and wraps below its own box,
    // which is 34 high.
    EXPECT_EQ(stub.drawn[1].box.left, 171);
    EXPECT_EQ(stub.drawn[1].box.top, 277 + 34 + 11);
    EXPECT_EQ(stub.drawn[2].box.top, 277 + 34 + 11);
    EXPECT_EQ(stub.drawn[2].box.left, 183);
}

TEST(DrawTextItem, InvalidTargetDrawsNothing) {
    MeasuringStub stub;
    stub.valid = false;
    EXPECT_EQ(DrawTextItem(stub, Item(L"abc")), -1);
    EXPECT_TRUE(stub.selected.empty());
    EXPECT_TRUE(stub.drawn.empty());
}

TEST(CardTexts, DottedDatesAndBirthDateParts) {
    EXPECT_EQ(FormatDotDateExact(L"20200101"), L"2020.01.01");
    EXPECT_EQ(FormatDotDateExact(L"2020010"), L"");
    EXPECT_EQ(FormatDotDateExact(L"202001011"), L"");
    EXPECT_EQ(FormatDotDateExact(nullptr), L"");
    EXPECT_EQ(FormatDotDateExact(L"abcdefgh"), L"abcd.ef.gh");

    const BirthDateParts early = SplitBirthDate(L"19900105");
    EXPECT_EQ(early.year, L"1990");
    EXPECT_EQ(early.month, L" 1");
    EXPECT_EQ(early.day, L" 5");
    EXPECT_TRUE(early.month_shifted);
    EXPECT_TRUE(early.day_shifted);
    const BirthDateParts late = SplitBirthDate(L"19901231");
    EXPECT_EQ(late.month, L"12");
    EXPECT_EQ(late.day, L"31");
    EXPECT_FALSE(late.month_shifted || late.day_shifted);
    const BirthDateParts short_date = SplitBirthDate(L"1990123");
    EXPECT_TRUE(short_date.year.empty() && short_date.month.empty() && short_date.day.empty());
}

TEST(CardTexts, ValidityPeriods) {
    EXPECT_EQ(BackValidityText(L"20150301", L"20350301"), L"2015.03.01-2035.03.01");
    EXPECT_EQ(BackValidityText(L"20150301", L"长期"), L"2015.03.01-长期");
    EXPECT_EQ(ForeignerValidityText(L"20170601", L"20270601"), L"2017.06.01 - 2027.06.01");
    EXPECT_EQ(ForeignerValidityText(L"20170601", L"长期"), L"2017.06.01 - 长期");
    EXPECT_EQ(ForeignerValidityText(L"20170601", L"2027"), L"2017.06.01 - ");
}

// The eight font operations of a set, each with the name a failure is reported under.
using FontOperation = void (CIdCardFont::*)(TextItem&);
const std::pair<FontOperation, const char*> kFontOperations[] = {
    {&CIdCardFont::ApplyNameFont, "name"},
    {&CIdCardFont::ApplyFieldFont, "field"},
    {&CIdCardFont::ApplyIdNumberFont, "id number"},
    {&CIdCardFont::ApplyValidityFont, "validity"},
    {&CIdCardFont::ApplyForeignNameFont, "foreign name"},
    {&CIdCardFont::ApplyForeignFieldFont, "foreign field"},
    {&CIdCardFont::ApplyForeignNumberFont, "foreign number"},
    {&CIdCardFont::ApplyForeignDateFont, "foreign date"},
};

// The item after one operation, from an item whose fonts and other members all hold values
// that no operation writes.
TextItem AfterOperation(CIdCardFont& fonts, FontOperation operation) {
    TextItem item;
    ResetTextItem(item);
    item.x = 12;
    item.text = L"keep";
    for (FontSpec* slot : {&item.text_font, &item.digit_font}) {
        SetFaceName(slot->font, L"stale");
        slot->font.italic = 1;
        slot->font.width = 7;
        slot->font.escapement = 900;
        slot->x_offset = -5;
    }
    (fonts.*operation)(item);
    return item;
}

TEST(FontSets, TwoCharacterNamesAreSpreadInBothSets) {
    CIdCardFont_Base base;
    CIdCardFont_Ex embedded;
    for (CIdCardFont* fonts :
         {static_cast<CIdCardFont*>(&base), static_cast<CIdCardFont*>(&embedded)}) {
        TextItem item;
        ResetTextItem(item);
        item.text = L"吕克";
        fonts->ApplyNameFont(item);
        EXPECT_EQ(item.text_font.spacing, 25);
        item.text = L"欧阳燚";
        fonts->ApplyNameFont(item);
        EXPECT_EQ(item.text_font.spacing, 0);
        EXPECT_EQ(Narrow(item.text_font.font.face_name), "华文细黑");
        EXPECT_EQ(item.text_font.font.weight, 700);
    }
}

TEST(FontSets, EveryOperationOverwritesBothFontsAndNothingElse) {
    CIdCardFont_Base base;
    CIdCardFont_Ex embedded;
    for (CIdCardFont* fonts :
         {static_cast<CIdCardFont*>(&base), static_cast<CIdCardFont*>(&embedded)}) {
        for (const auto& [operation, what] : kFontOperations) {
            SCOPED_TRACE(what);
            const TextItem item = AfterOperation(*fonts, operation);
            for (const FontSpec* slot : {&item.text_font, &item.digit_font}) {
                EXPECT_NE(Narrow(slot->font.face_name), "stale");
                EXPECT_GT(slot->font.height, 0);
                EXPECT_NE(slot->x_offset, -5);
                EXPECT_EQ(slot->font.quality, kQualityAntialiased);
                EXPECT_EQ(slot->font.italic + slot->font.width + slot->font.escapement, 0);
            }
            EXPECT_EQ(item.x, 12);
            EXPECT_EQ(item.text, L"keep");
        }
    }
}

TEST(FontSets, OnlyTheEmbeddedSetAsksForTheEmbeddedFaces) {
    const auto uses_embedded_face = [](const FontSpec& font) {
        const std::wstring face = font.font.face_name;
        return face == kFaceOcrNumbers || face == kFaceCjkHei;
    };
    CIdCardFont_Base base;
    for (const auto& [operation, what] : kFontOperations) {
        const TextItem item = AfterOperation(base, operation);
        EXPECT_FALSE(uses_embedded_face(item.text_font)) << what;
        EXPECT_FALSE(uses_embedded_face(item.digit_font)) << what;
    }
    // The embedded numbers face is what the embedded set is for: both numbers use it.
    CIdCardFont_Ex embedded;
    for (FontOperation operation :
         {&CIdCardFont::ApplyIdNumberFont, &CIdCardFont::ApplyForeignNumberFont}) {
        const TextItem item = AfterOperation(embedded, operation);
        EXPECT_EQ(std::wstring(item.digit_font.font.face_name), kFaceOcrNumbers);
    }
}

}  // namespace
