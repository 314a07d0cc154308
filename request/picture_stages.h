// The picture stages of a read: the holder's photo and both card faces as base64 JPEG.
#pragma once

#include <string>

#include "card/sdt_buffer.h"
#include "imaging/picture_result.h"
#include "request/reply_document.h"

namespace vorn {

constexpr const wchar_t* kDecoderLoadFailed = L"加载二代证解码库失败.";
constexpr const wchar_t* kPhotoDecodeFailed = L"照片解码失败.";
constexpr const wchar_t* kFrontPictureFailed = L"生成身份证正面合成图失败.";
constexpr const wchar_t* kBackPictureFailed = L"生成身份证背面合成图失败.";

class CImagingContext;
class PictureWarmUp;

// Binds the photo decoder from the directory and, when that succeeds, points the templates
// and fonts at the program's own resources, registers the fonts and copies the card in.
// Returns whether the decoder was bound.
bool PrepareImaging(CImagingContext& imaging, const std::string& directory, const CIdBufferW& card);

// What the picture stages made: the pictures, and the message and code of the stage that
// failed, if one did.
struct PictureOutcome {
    // The pictures made before a stage failed stay; the reply shows them only when the read
    // succeeded.
    PictureTexts pictures;
    // The failing stage's code for the reply's result; a missing decoder leaves it 0, so the
    // card's text fields are still shown.
    int code = kPictureDone;
    // The failing stage's message; null when every picture was made.
    const wchar_t* message = nullptr;

    bool complete() const { return message == nullptr; }
};

// Runs after the card was read and copied: binds the photo decoder from the program's
// directory, points the templates and fonts at the program's own resources, and makes the
// three pictures, each stage only when the one before succeeded. With the read's warm-up,
// it waits for the warm-up to finish; the faces then take its canvases made from their
// templates, and the context takes its registered fonts instead of registering its own.
PictureOutcome RunPictureStages(const std::string& directory, const CIdBufferW& card,
                                PictureWarmUp* warm_up = nullptr);

}  // namespace vorn
