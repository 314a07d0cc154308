// The card's portrait side: template, fields and photo, with the layout of its card kind.
#include "imaging/faces/card_kinds.h"
#include "imaging/faces/composition.h"
#include "imaging/faces/face_start.h"
#include "imaging/imaging_context.h"

namespace vorn {

namespace {

int FrontTemplate(CardKind kind) {
    return ProfileOf(kind).front_template;
}

}  // namespace

int CImagingContext::ComposeFront(ImageMemoryStream& holder) {
    FaceStart face;
    const int started = face.Begin(*this, holder, FrontTemplate);
    if (started != 0) {
        return started;
    }
    if (DrawFieldRows(face.canvas, face.item, *face.fonts,
                      FieldRowsOf(ProfileOf(face.kind).front, card_)) != 0) {
        return kPictureFailed;
    }
    if (DrawImage(face.canvas, kPhotoX, kPhotoY, kPhotoDrawnWidth, kPhotoDrawnHeight, face.photo,
                  true) != 0) {
        return kPictureFailed;
    }
    if (!FinishFace(face.canvas, holder)) {
        holder.Release();
        return kPictureFailed;
    }
    return 0;
}

}  // namespace vorn
