// Beginning and finishing a card face.
#include "imaging/faces/face_start.h"

#include "imaging/faces/prepared_canvases.h"

namespace vorn {

int FaceStart::Begin(CImagingContext& context, ImageMemoryStream& holder, const FaceSide& side) {
    ResetTextItem(item);
    holder.Release();
    const int decoded = context.LoadPhotoBitmap(photo);
    if (decoded != 0) {
        return decoded;
    }
    kind = context.card_.GetCardKind();
    const CardKindProfile& profile = ProfileOf(kind);
    const ResourceEntry& entry = context.resources_.entries[profile.*side.face_template];
    if (context.prepared_ == nullptr || !context.prepared_->Take(entry, canvas)) {
        // A face without its template is no picture of the card: the back fails like the
        // front.
        face_template.emplace(LoadTemplateBitmap(entry));
        if (face_template->get() == nullptr) {
            return kPictureFailed;
        }
        if (!CreateCanvas(face_template->get(), canvas, kFaceCanvasWidth, kFaceCanvasHeight)) {
            return kPictureFailed;
        }
    }
    fonts = context.resources_.fonts_registered ? static_cast<CIdCardFont*>(&embedded_fonts)
                                                : static_cast<CIdCardFont*>(&base_fonts);
    if (DrawFieldRows(canvas, item, *fonts, FieldRowsOf(profile.*side.layout, context.card_)) !=
        0) {
        return kPictureFailed;
    }
    return 0;
}

int FaceStart::Finish(CImagingContext& context, ImageMemoryStream& holder) {
    if (!context.FinishFace(canvas, holder)) {
        holder.Release();
        return kPictureFailed;
    }
    return 0;
}

}  // namespace vorn
