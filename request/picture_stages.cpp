#include "request/picture_stages.h"

#include <cwchar>

#include "imaging/faces/card_resources.h"
#include "imaging/imaging_context.h"
#include "resources/resource_ids.h"

const int kProgramResourceIds[kCardResourceCount] = {
    VORN_RESOURCE_RESIDENT_FRONT, VORN_RESOURCE_RESIDENT_BACK, VORN_RESOURCE_FOREIGNER_FRONT,
    VORN_RESOURCE_FOREIGNER_BACK, VORN_RESOURCE_PERMIT_FRONT,  VORN_RESOURCE_HONGKONG_MACAU_BACK,
    VORN_RESOURCE_TAIWAN_BACK,    VORN_RESOURCE_OCR_FONT,      VORN_RESOURCE_CJK_FONT,
};

namespace {

void SetMessage(wchar_t* message, std::size_t capacity, const wchar_t* text) {
    if (message != nullptr && capacity > 0) {
        std::wcsncpy(message, text, capacity - 1);
        message[capacity - 1] = L'\0';
    }
}

}  // namespace

bool UseProgramResources(CImagingContext& imaging) {
    return imaging.UseModuleResources(OwnModule(), kProgramResourceIds);
}

bool PrepareImaging(CImagingContext& imaging, const std::string& directory,
                    const CIdBufferW& card) {
    if (!imaging.LoadDecoder(directory.c_str())) {
        return false;
    }
    UseProgramResources(imaging);
    imaging.SetCard(card);
    return true;
}

void RunPictureStages(const std::string& directory, const CIdBufferW& card, int* result,
                      wchar_t* message, std::size_t message_capacity, PictureTexts& pictures) {
    CImagingContext imaging;
    if (!PrepareImaging(imaging, directory, card)) {
        SetMessage(message, message_capacity, kDecoderLoadFailed);
        return;
    }

    int code = imaging.EncodePhoto(pictures.photo);
    if (code != 0) {
        *result = code;
        SetMessage(message, message_capacity, kPhotoDecodeFailed);
        return;
    }
    imaging.SetFaceScale(kReplyFaceScale);
    code = imaging.EncodeFace(pictures.front, kFrontSide);
    if (code != 0) {
        *result = code;
        SetMessage(message, message_capacity, kFrontPictureFailed);
        return;
    }
    code = imaging.EncodeFace(pictures.back, kBackSide);
    if (code != 0) {
        *result = code;
        SetMessage(message, message_capacity, kBackPictureFailed);
    }
}
