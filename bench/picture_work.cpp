#include "bench/picture_work.h"

#include <utility>
#include <vector>

#include "card/sdt_func.h"
#include "imaging/encoding/image_encoding.h"
#include "imaging/imaging_context.h"
#include "platform/module_path.h"
#include "request/picture_stages.h"

namespace vorn {

struct StageBench::Impl {
    CImagingContext imaging;
    std::vector<unsigned char> photo_bitmap;
    ImageMemoryStream front;
    ImageMemoryStream back;
    std::vector<unsigned char> out = std::vector<unsigned char>(kFaceJpegCapacity);
};

std::string ProgramDirectory() {
    return ModuleDirectory();
}

bool ReadSampleCard(const std::string& directory, CIdBufferW& card) {
    CSdtFunc driver;
    if (driver.CreateDefault(directory.c_str()) != 0 || driver.FindAndSelectCard() != 0 ||
        driver.ReadIDCard() != 0) {
        return false;
    }
    card.CopyFrom(driver.Record());
    return true;
}

bool RunAllStages(const std::string& directory, const CIdBufferW& card, PictureTexts& texts,
                  PictureWarmUp* warm_up) {
    PictureOutcome outcome = RunPictureStages(directory, card, warm_up);
    texts = std::move(outcome.pictures);
    return outcome.complete();
}

StageBench::StageBench(const std::string& directory, const CIdBufferW& card) : impl_(new Impl) {
    CImagingContext& imaging = impl_->imaging;
    if (!PrepareImaging(imaging, directory, card)) {
        return;
    }
    impl_->photo_bitmap.resize(kPhotoBitmapFileSize);
    auto size = static_cast<std::uint32_t>(impl_->photo_bitmap.size());
    if (imaging.DecodePhoto(impl_->photo_bitmap.data(), &size) != 0) {
        return;
    }
    impl_->photo_bitmap.resize(size);
    imaging.SetFaceScale(kReplyFaceScale);
    ready_ = imaging.ComposeFront(impl_->front) == 0 && imaging.ComposeBack(impl_->back) == 0;
}

StageBench::~StageBench() = default;

bool StageBench::Photo(std::string& text) {
    impl_->imaging.SetFaceScale(kFullFaceScale);
    EncodedPicture photo = impl_->imaging.EncodePhoto();
    text = std::move(photo.text);
    return photo.ok();
}

bool StageBench::Face(int side, std::string& text) {
    impl_->imaging.SetFaceScale(kReplyFaceScale);
    EncodedPicture face = impl_->imaging.EncodeFace(side);
    text = std::move(face.text);
    return face.ok();
}

bool StageBench::EncodeOnly() {
    unsigned char* out = impl_->out.data();
    std::uint32_t size = kPhotoJpegCapacity;
    bool ok = EncodeJpegFromMemory(impl_->photo_bitmap.data(),
                                   static_cast<int>(impl_->photo_bitmap.size()), kJpegQuality, out,
                                   &size);
    for (const ImageMemoryStream* face : {&impl_->front, &impl_->back}) {
        size = kFaceJpegCapacity;
        ok = EncodeJpegFromBitmap(*face, kJpegQuality, out, &size) && ok;
    }
    return ok;
}

}  // namespace vorn
