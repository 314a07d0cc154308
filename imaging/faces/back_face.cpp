// The card's emblem side: template, issuing office and validity, and on the residence
// permits the pass number and issue count, with the layout of its card kind.
#include "imaging/faces/face_start.h"
#include "imaging/imaging_context.h"

namespace vorn {

int CImagingContext::ComposeBack(ImageMemoryStream& holder) {
    // The photo is not drawn on the back, but a card whose photo cannot be decoded gets
    // no back either; the start decodes it for both faces.
    FaceStart face;
    const int started = face.Begin(*this, holder, kBackFace);
    if (started != 0) {
        return started;
    }
    return face.Finish(*this, holder);
}

}  // namespace vorn
