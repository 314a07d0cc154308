#include "imaging/faces/prepared_canvases.h"

#include "imaging/faces/composition.h"

namespace vorn {

namespace {

// Resident cards are by far the most read, so theirs are the templates worth making early.
constexpr CardResource kPreparedTemplates[] = {kResidentFrontTemplate, kResidentBackTemplate};

}  // namespace

void PreparedCanvases::Prepare(const CardResourceTable& table) {
    static_assert(sizeof(kPreparedTemplates) / sizeof(kPreparedTemplates[0]) == kSlotCount,
                  "one slot for each prepared template");
    for (int i = 0; i < kSlotCount; ++i) {
        Slot& slot = slots_[i];
        ReleaseCanvas(slot.canvas);
        slot.entry = table.entries[kPreparedTemplates[i]];
        const TemplateHolder face_template(LoadTemplateBitmap(slot.entry));
        if (face_template.get() == nullptr ||
            !CreateCanvas(face_template.get(), slot.canvas, kFaceCanvasWidth, kFaceCanvasHeight)) {
            ReleaseCanvas(slot.canvas);
        }
    }
}

bool PreparedCanvases::Take(const ResourceEntry& entry, CardCanvas& canvas) {
    for (Slot& slot : slots_) {
        if (slot.canvas.valid && SameResource(slot.entry, entry)) {
            MoveCanvas(slot.canvas, canvas);
            return true;
        }
    }
    return false;
}

}  // namespace vorn
