// The reply's three pictures: the photo and the two faces as base64 JPEG text.
#include <memory>
#include <new>

#include "codec/base64.h"
#include "imaging/encoding/image_encoding.h"
#include "imaging/imaging_context.h"
#include "imaging/drawing/raster.h"

namespace {

constexpr int kFailed = -1;
constexpr int kTemplateWidth = 540;
constexpr int kTemplateHeight = 340;
constexpr int kMaxQuality = 100;

}  // namespace

void CImagingContext::ApplyQuality() {
    if (jpeg_quality_ >= 1 && jpeg_quality_ <= kMaxQuality) {
        encoder_quality_ = static_cast<std::uint32_t>(jpeg_quality_);
    }
}

int CImagingContext::EncodePhoto(std::string& out) {
    unsigned char* work = work_.Ensure(kPhotoJpegCapacity);
    if (work == nullptr || work_.size() == 0) {
        return kFailed;
    }
    std::unique_ptr<unsigned char[]> bitmap(new (std::nothrow) unsigned char[kPhotoBitmapFileSize]);
    if (bitmap == nullptr) {
        return kFailed;
    }
    auto length = static_cast<std::uint32_t>(kPhotoBitmapFileSize);
    const int decoded = DecodePhoto(bitmap.get(), &length);
    if (decoded != 0) {
        return decoded;
    }
    ApplyQuality();
    std::uint32_t size = kPhotoJpegCapacity;
    if (!EncodeJpegFromMemory(bitmap.get(), static_cast<int>(length), encoder_quality_, work,
                              &size)) {
        return kFailed;
    }
    work_.MarkWritten(size);
    out = Base64Encode(work, size);
    return 0;
}

int CImagingContext::EncodeFace(std::string& out, int side) {
    unsigned char* work = work_.Ensure(kFaceJpegCapacity);
    if (work == nullptr) {
        return kFailed;
    }
    std::uint32_t size = kFaceJpegCapacity;
    if (ComposeFace(side, work, &size) != 0) {
        return kFailed;
    }
    work_.MarkWritten(size);
    out = Base64Encode(work, size);
    return 0;
}

int CImagingContext::ComposeFace(int side, unsigned char* out, std::uint32_t* size) {
    ImageMemoryStream holder;
    int composed = kFailed;
    if (side == kFrontSide) {
        composed = ComposeFront(holder);
    } else if (side == kBackSide) {
        composed = ComposeBack(holder);
    }
    if (composed != 0) {
        return composed;
    }
    ApplyQuality();
    return EncodeJpegFromBitmap(holder, encoder_quality_, out, size) ? 0 : kFailed;
}

bool CImagingContext::FinishFace(const CardCanvas& canvas, ImageMemoryStream& holder) {
    const int width = face_scale_ * kTemplateWidth / 100;
    const int height = face_scale_ * kTemplateHeight / 100;
    return StretchCanvasToPicture(canvas, width, height, holder);
}
