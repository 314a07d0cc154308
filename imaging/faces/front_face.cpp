// The card's portrait side: template, fields and photo, with the layout of its card kind.
#include "imaging/faces/composition.h"
#include "imaging/faces/face_start.h"
#include "imaging/imaging_context.h"

namespace vorn {

int CImagingContext::ComposeFront(ImageMemoryStream& holder) {
    FaceStart face;
    const int started = face.Begin(*this, holder, kFrontFace);
    if (started != 0) {
        return started;
    }
    if (DrawImage(face.canvas, kPhotoX, kPhotoY, kPhotoDrawnWidth, kPhotoDrawnHeight, face.photo,
                  true) != 0) {
        return kPictureFailed;
    }
    return face.Finish(*this, holder);
}

}  // namespace vorn
