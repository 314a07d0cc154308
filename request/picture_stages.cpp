#include "request/picture_stages.h"

#include <cwchar>

#include "imaging/faces/card_resources.h"
#include "imaging/imaging_context.h"

namespace {

void SetMessage(wchar_t* message, std::size_t capacity, const wchar_t* text) {
    if (message != nullptr && capacity > 0) {
        std::wcsncpy(message, text, capacity - 1);
        message[capacity - 1] = L'\0';
    }
}

}  // namespace

void UseProgramResources(CardResourceTable& table) {
    const ModuleHandle program = OwnModule();
    for (int entry = 0; entry < kCardResourceCount; ++entry) {
        table.entries[entry].source = kResourceFromModule;
        table.entries[entry].module = program;
        table.entries[entry].resource_id = kCardResourceIds[entry];
    }
}

bool PrepareImaging(CImagingContext& imaging, const std::string& directory,
                    const CIdBufferW& card) {
    if (!imaging.LoadDecoder(directory.c_str())) {
        return false;
    }
    UseProgramResources(imaging.resources);
    imaging.resources.fonts_registered = RegisterCardFonts(imaging.resources);
    imaging.card.CopyFrom(card);
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
    imaging.face_scale = kReplyFaceScale;
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
