// The reply's three pictures: the photo and the two faces as base64 JPEG text.
#include <memory>
#include <new>

#include "codec/base64.h"
#include "imaging/encoding/image_encoding.h"
#include "imaging/imaging_context.h"
#include "imaging/drawing/raster.h"

namespace vorn {

namespace {

constexpr int kTemplateWidth = 540;
constexpr int kTemplateHeight = 340;

}  // namespace

void CImagingContext::ApplyQuality() {
    if (jpeg_quality_ >= kLowestJpegQuality && jpeg_quality_ <= kHighestJpegQuality) {
        encoder_quality_ = static_cast<std::uint32_t>(jpeg_quality_);
    }
}

EncodedPicture CImagingContext::EncodePhoto() {
    unsigned char* work = work_.Ensure(kPhotoJpegCapacity);
    if (work == nullptr || work_.size() == 0) {
        return EncodedPicture::Failed(kPictureFailed);
    }
    std::unique_ptr<unsigned char[]> bitmap(new (std::nothrow) unsigned char[kPhotoBitmapFileSize]);
    if (bitmap == nullptr) {
        return EncodedPicture::Failed(kPictureFailed);
    }
    auto length = static_cast<std::uint32_t>(kPhotoBitmapFileSize);
    const int decoded = DecodePhoto(bitmap.get(), &length);
    if (decoded != kPictureDone) {
        return EncodedPicture::Failed(decoded);
    }
    ApplyQuality();
    std::uint32_t size = kPhotoJpegCapacity;
    if (!EncodeJpegFromMemory(bitmap.get(), static_cast<int>(length), encoder_quality_, work,
                              &size)) {
        return EncodedPicture::Failed(kPictureFailed);
    }
    work_.MarkWritten(size);
    return EncodedPicture::Made(Base64Encode(work, size));
}

EncodedPicture CImagingContext::EncodeFace(int side) {
    unsigned char* work = work_.Ensure(kFaceJpegCapacity);
    if (work == nullptr) {
        return EncodedPicture::Failed(kPictureFailed);
    }
    std::uint32_t size = kFaceJpegCapacity;
    // Whatever made the face fail, the reply shows the face step's own code.
    if (ComposeFace(side, work, &size) != kPictureDone) {
        return EncodedPicture::Failed(kPictureFailed);
    }
    work_.MarkWritten(size);
    return EncodedPicture::Made(Base64Encode(work, size));
}

int CImagingContext::ComposeFace(int side, unsigned char* out, std::uint32_t* size) {
    ImageMemoryStream holder;
    int composed = kPictureFailed;
    if (side == kFrontSide) {
        composed = ComposeFront(holder);
    } else if (side == kBackSide) {
        composed = ComposeBack(holder);
    }
    if (composed != kPictureDone) {
        return composed;
    }
    ApplyQuality();
    return EncodeJpegFromBitmap(holder, encoder_quality_, out, size) ? kPictureDone
                                                                     : kPictureFailed;
}

bool CImagingContext::FinishFace(const CardCanvas& canvas, ImageMemoryStream& holder) {
    const int width = face_scale_ * kTemplateWidth / kFullFaceScale;
    const int height = face_scale_ * kTemplateHeight / kFullFaceScale;
    return StretchCanvasToPicture(canvas, width, height, holder);
}

}  // namespace vorn
