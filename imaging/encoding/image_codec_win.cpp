// Pictures on Windows: GDI+ reads image files from memory streams and writes JPEG.
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "imaging/encoding/image_codec.h"
#include "imaging/drawing/picture_win.h"
#include "platform/handles_win.h"

namespace vorn {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

constexpr const wchar_t* kJpegMimeType = L"image/jpeg";
// GDI+'s EncoderQuality parameter, {1d5be4b5-fa4a-452d-9cdd-5db35105e7eb}.
constexpr GUID kEncoderQuality = {
    0x1d5be4b5, 0xfa4a, 0x452d, {0x9c, 0xdd, 0x5d, 0xb3, 0x51, 0x05, 0xe7, 0xeb}};
constexpr ULONG kParameterTypeLong = 4;

// The class id of the first installed encoder of exactly this MIME type.
bool FindEncoderClsid(const wchar_t* mime_type, CLSID* clsid) {
    UINT count = 0;
    UINT bytes = 0;
    if (GdipGetImageEncodersSize(&count, &bytes) != Ok || count == 0 || bytes == 0) {
        return false;
    }
    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[bytes]);
    if (block == nullptr) {
        return false;
    }
    auto* encoders = reinterpret_cast<ImageCodecInfo*>(block.get());
    if (GdipGetImageEncoders(count, bytes, encoders) != Ok) {
        return false;
    }
    for (UINT i = 0; i < count; ++i) {
        if (encoders[i].MimeType != nullptr && std::wcscmp(encoders[i].MimeType, mime_type) == 0) {
            *clsid = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

// A movable, zero-filled block and a stream over it that frees the block when released.
bool MakeStream(SIZE_T size, HGLOBAL* block, ComReference<IStream>* stream) {
    GlobalMemory owned(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
    IStream* made = nullptr;
    if (!owned || CreateStreamOnHGlobal(owned.get(), TRUE, &made) != S_OK) {
        return false;
    }
    // The stream owns the block from now on.
    *block = owned.release();
    stream->reset(made);
    return true;
}

}  // namespace

GraphicsSession::GraphicsSession() {
    GdiplusStartupInput input;  // version 1, no debug callback, nothing suppressed
    ULONG_PTR token = 0;
    started_ = GdiplusStartup(&token, &input, nullptr) == Ok;
    token_ = token;
}

GraphicsSession::~GraphicsSession() {
    if (started_) {
        GdiplusShutdown(token_);
    }
}

PictureState* WrapBitmap(GdiplusBitmap bitmap) {
    if (!bitmap) {
        return nullptr;
    }
    auto* state = new (std::nothrow) PictureState;
    if (state != nullptr) {
        state->bitmap = std::move(bitmap);
    }
    return state;
}

void DestroyPictureState(PictureState* state) {
    delete state;
}

bool LoadBitmapFromMemory(const unsigned char* bytes, std::size_t length,
                          ImageMemoryStream& holder) {
    holder.Release();
    if (bytes == nullptr || length == 0 || length > MAXDWORD) {
        return false;
    }
    std::unique_ptr<PictureState> state(new (std::nothrow) PictureState);
    if (state == nullptr) {
        return false;
    }
    ULONG written = 0;
    if (!MakeStream(length, &state->block, &state->stream) ||
        state->stream.get()->Write(bytes, static_cast<ULONG>(length), &written) != S_OK ||
        written != length) {
        return false;
    }
    LARGE_INTEGER start{};
    state->stream.get()->Seek(start, STREAM_SEEK_SET, nullptr);
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromStream(state->stream.get(), &bitmap) != Ok || bitmap == nullptr) {
        return false;
    }
    state->bitmap.reset(bitmap);
    holder.Adopt(state.release());
    return true;
}

bool EncodePictureAsJpeg(const ImageMemoryStream& holder, std::uint32_t quality,
                         std::vector<unsigned char>& jpeg) {
    if (!holder.HasBitmap()) {
        return false;
    }
    CLSID jpeg_clsid;
    if (!FindEncoderClsid(kJpegMimeType, &jpeg_clsid)) {
        return false;
    }
    ULONG quality_value = quality;
    EncoderParameters parameters;
    parameters.Count = 1;
    parameters.Parameter[0].Guid = kEncoderQuality;
    parameters.Parameter[0].NumberOfValues = 1;
    parameters.Parameter[0].Type = kParameterTypeLong;
    parameters.Parameter[0].Value = &quality_value;

    HGLOBAL block = nullptr;
    ComReference<IStream> stream;
    if (!MakeStream(0, &block, &stream)) {
        return false;
    }
    bool ok = GdipSaveImageToStream(holder.state()->bitmap.get(), stream.get(), &jpeg_clsid,
                                    &parameters) == Ok;
    if (ok) {
        // The stream may have replaced its block while growing; ask it for the current one.
        HGLOBAL current = nullptr;
        ok = GetHGlobalFromStream(stream.get(), &current) == S_OK;
        const SIZE_T size = ok ? GlobalSize(current) : 0;
        STATSTG status{};
        const SIZE_T used = stream.get()->Stat(&status, STATFLAG_NONAME) == S_OK
                                ? static_cast<SIZE_T>(status.cbSize.QuadPart)
                                : size;
        const void* data = ok ? GlobalLock(current) : nullptr;
        ok = data != nullptr && used <= size;
        if (ok) {
            try {
                jpeg.assign(static_cast<const unsigned char*>(data),
                            static_cast<const unsigned char*>(data) + used);
            } catch (const std::bad_alloc&) {
                ok = false;
            }
        }
        if (data != nullptr) {
            GlobalUnlock(current);
        }
    }
    return ok;
}

bool PictureSize(const ImageMemoryStream& holder, int* width, int* height) {
    if (!holder.HasBitmap()) {
        return false;
    }
    UINT w = 0;
    UINT h = 0;
    if (GdipGetImageWidth(holder.state()->bitmap.get(), &w) != Ok ||
        GdipGetImageHeight(holder.state()->bitmap.get(), &h) != Ok) {
        return false;
    }
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

}  // namespace vorn
