#include "imaging/faces/face_start.h"

namespace vorn {

int FaceStart::Begin(CImagingContext& context, ImageMemoryStream& holder,
                     int (*template_for)(CardKind kind)) {
    ResetTextItem(item);
    holder.Release();
    const int decoded = context.LoadPhotoBitmap(photo);
    if (decoded != 0) {
        return decoded;
    }
    kind = context.card_.GetCardKind();
    // A face without its template is no picture of the card: the back fails like the front.
    face_template.emplace(LoadTemplateBitmap(context.resources_.entries[template_for(kind)]));
    if (face_template->get() == nullptr) {
        return kPictureFailed;
    }
    if (!CreateCanvas(face_template->get(), canvas, kFaceCanvasWidth, kFaceCanvasHeight)) {
        return kPictureFailed;
    }
    fonts = context.resources_.fonts_registered ? static_cast<CIdCardFont*>(&embedded_fonts)
                                                : static_cast<CIdCardFont*>(&base_fonts);
    return 0;
}

}  // namespace vorn
