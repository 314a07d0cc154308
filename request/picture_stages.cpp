#include "request/picture_stages.h"

#include <utility>

#include "diagnostics/trace_log.h"
#include "imaging/faces/program_resources.h"
#include "imaging/imaging_context.h"
#include "request/picture_warm_up.h"

namespace vorn {

bool PrepareImaging(CImagingContext& imaging, const std::string& directory,
                    const CIdBufferW& card) {
    if (!imaging.LoadDecoder(directory.c_str())) {
        if (!imaging.DecoderLoadFailure().empty()) {
            TraceWrite(L"%ls", imaging.DecoderLoadFailure().c_str());
        }
        return false;
    }
    UseProgramResources(imaging);
    imaging.SetCard(card);
    return true;
}

PictureOutcome RunPictureStages(const std::string& directory, const CIdBufferW& card,
                                PictureWarmUp* warm_up) {
    PictureOutcome outcome;
    CImagingContext imaging;
    if (warm_up != nullptr) {
        warm_up->Finish();
        imaging.UsePreparedCanvases(&warm_up->canvases());
        imaging.UsePreparedFonts(&warm_up->fonts());
    }
    if (!PrepareImaging(imaging, directory, card)) {
        outcome.message = kDecoderLoadFailed;
        return outcome;
    }
    // Keeps a stage's picture, or records its failure; true when the next stage may run.
    auto keep = [&outcome](EncodedPicture picture, std::string& text, const wchar_t* failure) {
        if (!picture.ok()) {
            outcome.code = picture.code;
            outcome.message = failure;
            return false;
        }
        text = std::move(picture.text);
        return true;
    };
    if (!keep(imaging.EncodePhoto(), outcome.pictures.photo, kPhotoDecodeFailed)) {
        return outcome;
    }
    imaging.SetFaceScale(kReplyFaceScale);
    if (keep(imaging.EncodeFace(kFrontSide), outcome.pictures.front, kFrontPictureFailed)) {
        keep(imaging.EncodeFace(kBackSide), outcome.pictures.back, kBackPictureFailed);
    }
    return outcome;
}

}  // namespace vorn
