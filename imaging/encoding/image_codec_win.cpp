// Pictures on Windows: GDI+ reads image files from memory streams and writes JPEG.
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imaging/encoding/image_codec.h"
#include "imaging/drawing/picture_win.h"

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
bool MakeStream(SIZE_T size, HGLOBAL* block, IStream** stream) {
    *block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (*block == nullptr) {
        return false;
    }
    if (CreateStreamOnHGlobal(*block, TRUE, stream) != S_OK) {
        GlobalFree(*block);
        *block = nullptr;
        return false;
    }
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

PictureState* WrapBitmap(GpBitmap* bitmap) {
    if (bitmap == nullptr) {
        return nullptr;
    }
    auto* state = new (std::nothrow) PictureState;
    if (state == nullptr) {
        GdipDisposeImage(bitmap);
        return nullptr;
    }
    state->bitmap = bitmap;
    return state;
}

void DestroyPictureState(PictureState* state) {
    if (state == nullptr) {
        return;
    }
    // The bitmap reads from the stream, so it goes first; the stream frees the block.
    if (state->bitmap != nullptr) {
        GdipDisposeImage(state->bitmap);
    }
    if (state->stream != nullptr) {
        state->stream->Release();
    }
    delete state;
}

bool LoadBitmapFromMemory(const unsigned char* bytes, std::size_t length,
                          ImageMemoryStream& holder) {
    holder.Release();
    if (bytes == nullptr || length == 0 || length > MAXDWORD) {
        return false;
    }
    auto* state = new (std::nothrow) PictureState;
    if (state == nullptr) {
        return false;
    }
    ULONG written = 0;
    if (!MakeStream(length, &state->block, &state->stream) ||
        state->stream->Write(bytes, static_cast<ULONG>(length), &written) != S_OK ||
        written != length) {
        DestroyPictureState(state);
        return false;
    }
    LARGE_INTEGER start{};
    state->stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (GdipCreateBitmapFromStream(state->stream, &state->bitmap) != Ok ||
        state->bitmap == nullptr) {
        state->bitmap = nullptr;
        DestroyPictureState(state);
        return false;
    }
    holder.Adopt(state);
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
    IStream* stream = nullptr;
    if (!MakeStream(0, &block, &stream)) {
        return false;
    }
    bool ok = GdipSaveImageToStream(holder.state()->bitmap, stream, &jpeg_clsid, &parameters) == Ok;
    if (ok) {
        // The stream may have replaced its block while growing; ask it for the current one.
        HGLOBAL current = nullptr;
        ok = GetHGlobalFromStream(stream, &current) == S_OK;
        const SIZE_T size = ok ? GlobalSize(current) : 0;
        STATSTG status{};
        const SIZE_T used = stream->Stat(&status, STATFLAG_NONAME) == S_OK
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
    stream->Release();
    return ok;
}

bool PictureSize(const ImageMemoryStream& holder, int* width, int* height) {
    if (!holder.HasBitmap()) {
        return false;
    }
    UINT w = 0;
    UINT h = 0;
    if (GdipGetImageWidth(holder.state()->bitmap, &w) != Ok ||
        GdipGetImageHeight(holder.state()->bitmap, &h) != Ok) {
        return false;
    }
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}
