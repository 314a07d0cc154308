// The imaging context: everything one request uses to make its photo and card pictures.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "card/sdt_buffer.h"
#include "imaging/encoding/image_codec.h"
#include "imaging/encoding/image_encoding.h"
#include "imaging/encoding/work_buffer.h"
#include "imaging/faces/card_resources.h"
#include "imaging/photo/image_holder.h"
#include "imaging/photo/photo_decoder_api.h"
#include "imaging/picture_result.h"
#include "imaging/text/warm_fonts.h"
#include "platform/shared_library.h"
#include "platform/temp_directory.h"

namespace vorn {

class CardCanvas;
class PreparedCanvases;
class PreparedFonts;

// The temporary bitmap file the decoder writes, in the request's own temporary folder; the
// photo record goes beside it under the same name ending in ".wlt".
constexpr const char* kPhotoBitmapFileName = "_qd_sdt_temp.bmp";
// The photo decoder library, looked for in the program's directory.
constexpr const wchar_t* kPhotoDecoderLibrary = L"WltRS.dll";

// The sides of a card that EncodeFace draws.
constexpr int kFrontSide = 0;
constexpr int kBackSide = 1;

// The faces' size in percent of the templates' 540 x 340; the reply's faces use 75.
constexpr int kFullFaceScale = 100;
constexpr int kReplyFaceScale = 75;

// One request's photo decoder binding, card record copy, fonts and templates, and the
// work buffer the JPEG pictures are made in. Owned by the request; never shared.
class CImagingContext {
public:
    // Its making and end, the card and the resources: imaging_context.cpp.
    CImagingContext();
    ~CImagingContext();
    CImagingContext(const CImagingContext&) = delete;
    CImagingContext& operator=(const CImagingContext&) = delete;

    // Photo decoding: photo/photo_decoding.cpp.
    bool LoadDecoder(const char* module_directory);
    // Why the last LoadDecoder could not load the library, in a sentence; empty otherwise.
    const std::wstring& DecoderLoadFailure() const { return decoder_load_failure_; }
    int DecodePhoto(unsigned char* out, std::uint32_t* size);
    int LoadPhotoBitmap(ImageMemoryStream& holder);
    void UnloadDecoder();

    // The card whose pictures are made: a copy of the record read.
    void SetCard(const CIdBufferW& record);
    // Points every template and font at the resource of the given id in the module, in entry
    // order, and registers the two fonts, or takes the prepared fonts' registration of the
    // same two fonts with their warm fonts. True when the fonts are registered; without them
    // the faces are drawn with the system's typefaces.
    bool UseModuleResources(ModuleHandle module, const int (&resource_ids)[kCardResourceCount]);
    // The faces' size in percent of the templates' size, until the decoder is unloaded.
    void SetFaceScale(int percent) { face_scale_ = percent; }
    // Face canvases made ahead of the read, which a face takes instead of making its own
    // when they come from its template; the caller keeps them until the faces are done.
    void UsePreparedCanvases(PreparedCanvases* prepared) { prepared_ = prepared; }
    // Fonts registered and warmed ahead of the read, which UseModuleResources takes instead
    // of registering its own; the caller keeps them until then.
    void UsePreparedFonts(PreparedFonts* prepared) { prepared_fonts_ = prepared; }

    // The reply's pictures as base64 JPEG text, or the code that fails the read:
    // encoding/face_output.cpp.
    EncodedPicture EncodePhoto();
    EncodedPicture EncodeFace(int side);
    int ComposeFace(int side, unsigned char* out, std::uint32_t* size);
    // The faces' common last step, scaling the canvas into the holder.
    bool FinishFace(const CardCanvas& canvas, ImageMemoryStream& holder);

    // The compositions of the two faces: faces/front_face.cpp and faces/back_face.cpp.
    int ComposeFront(ImageMemoryStream& holder);
    int ComposeBack(ImageMemoryStream& holder);

private:
    // The steps both faces begin and end with read the card, its templates and the fonts'
    // state.
    friend struct FaceStart;
    // The tests look into the request's private temporary folder.
    friend struct ImagingContextPeer;

    // Copies the requested quality into the encoder's setting when it lies in 1..100.
    void ApplyQuality();
    // Makes the request's private temporary folder at its first use; false when it cannot.
    bool EnsureTemporaryDirectory();
    // Writes the photo record to photo_file (named narrow_photo_file for the decoder) and
    // has the decoder write the bitmap file beside it.
    int WritePhotoRecord(const std::filesystem::path& photo_file,
                         const std::string& narrow_photo_file);

    CIdBufferW card_;
    // Templates and fonts: files beside the decoder once it is loaded, or a module's
    // resources.
    CardResourceTable resources_;
    int face_scale_ = kFullFaceScale;
    PreparedCanvases* prepared_ = nullptr;
    PreparedFonts* prepared_fonts_ = nullptr;
    // The warm fonts taken with the prepared registration; they go before the registration.
    WarmFonts warm_fonts_;
    int jpeg_quality_ = kJpegQuality;
    bool loaded_ = false;
    // The private temporary folder; it goes when the decoder is unloaded, with whatever the
    // decoder left inside.
    std::unique_ptr<TemporaryDirectory> temp_directory_;
    SharedLibrary library_;
    std::wstring decoder_load_failure_;
    GraphicsSession graphics_;
    std::uint32_t encoder_quality_ = kJpegQuality;
    WorkBuffer work_;
    GetBmpFn get_bmp_ = nullptr;
};

}  // namespace vorn
