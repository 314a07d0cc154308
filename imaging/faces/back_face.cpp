// The card's emblem side: template, issuing office and validity, and on the residence
// permits the pass number and issue count, with the layout of its card kind.
#include "imaging/faces/card_kinds.h"
#include "imaging/faces/composition.h"
#include "imaging/faces/face_start.h"
#include "imaging/imaging_context.h"

namespace vorn {

namespace {

int BackTemplate(CardKind kind) {
    return ProfileOf(kind).back_template;
}

}  // namespace

int CImagingContext::ComposeBack(ImageMemoryStream& holder) {
    // The photo is not drawn on the back, but a card whose photo cannot be decoded gets
    // no back either; the start decodes it for both faces.
    FaceStart face;
    const int started = face.Begin(*this, holder, BackTemplate);
    if (started != 0) {
        return started;
    }
    if (DrawFieldRows(face.canvas, face.item, *face.fonts,
                      FieldRowsOf(ProfileOf(face.kind).back, card_)) != 0) {
        return kPictureFailed;
    }
    if (!FinishFace(face.canvas, holder)) {
        holder.Release();
        return kPictureFailed;
    }
    return 0;
}

}  // namespace vorn
