// Face canvases made before the read: the same pixels as the ones a face makes itself, handed
// over once, and only to a face of the same template.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

#include "imaging/faces/composition.h"
#include "imaging/faces/prepared_canvases.h"
#include "imaging/faces/program_resources.h"
#include "imaging/imaging_context.h"
#include "tests/imaging/imaging_test_support.h"

using namespace vorn;

namespace {

// The canvas a face makes for itself from the entry's template.
void MakeCanvasInTheRequest(const ResourceEntry& entry, CardCanvas& canvas) {
    const TemplateHolder face_template(LoadTemplateBitmap(entry));
    ASSERT_NE(face_template.get(), nullptr);
    ASSERT_TRUE(CreateCanvas(face_template.get(), canvas, kFaceCanvasWidth, kFaceCanvasHeight));
}

// The first pixel at which the canvases differ, as "x,y", or an empty text.
std::string FirstDifference(const CardCanvas& left, const CardCanvas& right) {
    if (left.width != right.width || left.height != right.height) {
        return "size";
    }
    for (int y = 0; y < left.height; ++y) {
        for (int x = 0; x < left.width; ++x) {
            std::uint32_t a = 0;
            std::uint32_t b = 1;
            if (!ReadCanvasPixel(left, x, y, &a) || !ReadCanvasPixel(right, x, y, &b) || a != b) {
                return std::to_string(x) + "," + std::to_string(y);
            }
        }
    }
    return {};
}

// The reply's front and back faces of the resident test card, drawn as the pipeline draws
// them, taking canvases from prepared when given; empty texts for a face that failed.
std::pair<std::string, std::string> ReplyFaces(PreparedCanvases* prepared) {
    CImagingContext imaging;
    imaging.UsePreparedCanvases(prepared);
    PrepareLikeThePipeline(imaging);
    LoadResidentCard(imaging);
    imaging.SetFaceScale(kReplyFaceScale);
    return {imaging.EncodeFace(kFrontSide).text, imaging.EncodeFace(kBackSide).text};
}

}  // namespace

TEST(PreparedCanvases, EqualTheCanvasesMadeInTheRequestAndAreHandedOverOnce) {
    const CardResourceTable table = ProgramTable();
    PreparedCanvases prepared;
    prepared.Prepare(table);
    for (const CardResource resource : {kResidentFrontTemplate, kResidentBackTemplate}) {
        SCOPED_TRACE(resource);
        const ResourceEntry& entry = table.entries[resource];
        CardCanvas expected;
        MakeCanvasInTheRequest(entry, expected);
        // The canvas taken over replaces what the face's canvas held before.
        CardCanvas taken;
        ASSERT_TRUE(CreateCanvas(nullptr, taken, 3, 2));
        ASSERT_TRUE(prepared.Take(entry, taken));
        EXPECT_TRUE(taken.valid);
        EXPECT_EQ(FirstDifference(taken, expected), "");
        // A second face of the same template makes its own.
        CardCanvas again;
        EXPECT_FALSE(prepared.Take(entry, again));
        EXPECT_FALSE(again.valid);
    }
}

TEST(PreparedCanvases, OnlyAFaceOfTheSameTemplateTakesOne) {
    const CardResourceTable table = ProgramTable();
    PreparedCanvases prepared;
    prepared.Prepare(table);
    CardCanvas canvas;
    ASSERT_TRUE(CreateCanvas(nullptr, canvas, 3, 2));
    // Other card kinds, and the resident template from a file or another resource.
    ResourceEntry from_file = table.entries[kResidentFrontTemplate];
    from_file.source = kResourceFromFile;
    from_file.path = L"front.bmp";
    ResourceEntry other_id = table.entries[kResidentBackTemplate];
    other_id.resource_id = kMissingResource;
    ResourceEntry other_module = table.entries[kResidentBackTemplate];
    other_module.module = nullptr;
    for (const ResourceEntry& entry :
         {table.entries[kForeignerFrontTemplate], table.entries[kTaiwanBackTemplate], from_file,
          other_id, other_module}) {
        EXPECT_FALSE(prepared.Take(entry, canvas));
        // The face's canvas is left as it was.
        EXPECT_TRUE(canvas.valid);
        EXPECT_EQ(canvas.width, 3);
    }
    // A module's resource is the same template whatever file the entry still names.
    ResourceEntry named = table.entries[kResidentFrontTemplate];
    named.path = L"front.bmp";
    EXPECT_TRUE(prepared.Take(named, canvas));
    EXPECT_EQ(canvas.width, kFaceCanvasWidth);
}

TEST(PreparedCanvases, ATemplateThatCannotBeLoadedLeavesOnlyItsOwnSlotEmpty) {
    CardResourceTable table = ProgramTable();
    table.entries[kResidentFrontTemplate].resource_id = kMissingResource;
    PreparedCanvases prepared;
    prepared.Prepare(table);
    CardCanvas canvas;
    EXPECT_FALSE(prepared.Take(table.entries[kResidentFrontTemplate], canvas));
    EXPECT_FALSE(canvas.valid);
    EXPECT_TRUE(prepared.Take(table.entries[kResidentBackTemplate], canvas));
    // Preparing again replaces whatever is left, with the canvases of the new table.
    const CardResourceTable program = ProgramTable();
    prepared.Prepare(program);
    EXPECT_TRUE(prepared.Take(program.entries[kResidentFrontTemplate], canvas));
    EXPECT_TRUE(prepared.Take(program.entries[kResidentBackTemplate], canvas));
}

TEST(PreparedCanvases, FacesDrawnOnThemEqualFacesThatMadeTheirOwn) {
    const std::pair<std::string, std::string> own = ReplyFaces(nullptr);
    const CardResourceTable table = ProgramTable();
    PreparedCanvases prepared;
    prepared.Prepare(table);
    const auto [front, back] = ReplyFaces(&prepared);
    ASSERT_FALSE(front.empty());
    ASSERT_FALSE(back.empty());
    EXPECT_EQ(front, own.first);
    EXPECT_EQ(back, own.second);
    // Both faces took theirs.
    CardCanvas canvas;
    EXPECT_FALSE(prepared.Take(table.entries[kResidentFrontTemplate], canvas));
    EXPECT_FALSE(prepared.Take(table.entries[kResidentBackTemplate], canvas));
}

TEST(CanvasMove, LeavesTheSourceEmptyAndReleasesWhatTheTargetHeld) {
    CardCanvas from;
    CardCanvas to;
    ASSERT_TRUE(CreateCanvas(nullptr, from, 5, 4));
    ASSERT_TRUE(CreateCanvas(nullptr, to, 7, 3));
    MoveCanvas(from, to);
    EXPECT_FALSE(from.valid);
    EXPECT_EQ(from.state, nullptr);
    EXPECT_EQ(from.width, 0);
    EXPECT_TRUE(to.valid);
    EXPECT_EQ(to.width, 5);
    EXPECT_EQ(to.height, 4);
    // The pixels are the moved canvas's: 5 x 4, not the 7 x 3 the target had.
    std::uint32_t pixel = 0;
    EXPECT_TRUE(ReadCanvasPixel(to, 4, 3, &pixel));
    EXPECT_FALSE(ReadCanvasPixel(to, 5, 0, &pixel));
    MoveCanvas(to, to);
    EXPECT_TRUE(to.valid);
    EXPECT_EQ(to.width, 5);
}
