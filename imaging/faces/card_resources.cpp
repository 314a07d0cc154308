#include "imaging/faces/card_resources.h"

#include <cwchar>

#include "imaging/text/font_faces.h"
#include "platform/file_bytes.h"

namespace vorn {

const wchar_t* const kCardResourceFileNames[kCardResourceCount] = {
    L"bkF.bmp",   L"bkB.bmp",   L"bkFgnF.bmp",      L"bkFgnB.bmp",       L"bkHmtF.bmp",
    L"bkHmB.bmp", L"bkTwB.bmp", L"OCR-B-10 BT.TTF", L"方正黑体简体.TTF",
};

namespace {

// No font file the program uses comes near this; a larger file is not read into memory.
constexpr std::size_t kMaxFontFileSize = 64u * 1024u * 1024u;

int g_private_fonts = 0;

// In place marks bytes that stay where they are while the program runs.
FontHandle Register(const unsigned char* data, std::size_t size, bool in_place = false) {
    FontHandle font = in_place ? AddProgramFont(data, size) : AddPrivateFont(data, size);
    if (font != nullptr) {
        ++g_private_fonts;
    }
    return font;
}

FontHandle RegisterEntry(const ResourceEntry& entry) {
    if (entry.source == kResourceFromFile) {
        return LoadFontFile(entry.path.c_str());
    }
    if (entry.source != kResourceFromModule) {
        return nullptr;
    }
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    if (!FindModuleResource(entry.module, entry.resource_id, ResourceKind::kFont, &data, &size) ||
        size == 0) {
        return nullptr;
    }
    return Register(data, size, true);
}

}  // namespace

bool RegisterCardFonts(CardResourceTable& table) {
    ReleaseCardFont(table.ocr_font);
    ReleaseCardFont(table.cjk_font);
    table.registered = 0;
    table.ocr_font = RegisterEntry(table.entries[kOcrFontResource]);
    if (table.ocr_font == nullptr) {
        return false;
    }
    table.cjk_font = RegisterEntry(table.entries[kCjkFontResource]);
    table.registered = table.ocr_font != nullptr && table.cjk_font != nullptr ? 1 : 0;
    return table.registered != 0;
}

bool SameResource(const ResourceEntry& left, const ResourceEntry& right) {
    if (left.source != right.source) {
        return false;
    }
    if (left.source == kResourceFromModule) {
        return left.module == right.module && left.resource_id == right.resource_id;
    }
    return left.path == right.path;
}

void PointAtModule(CardResourceTable& table, ModuleHandle module,
                   const int (&resource_ids)[kCardResourceCount]) {
    for (int entry = 0; entry < kCardResourceCount; ++entry) {
        table.entries[entry].source = kResourceFromModule;
        table.entries[entry].module = module;
        table.entries[entry].resource_id = resource_ids[entry];
    }
}

void ResetCardResources(CardResourceTable& table) {
    ReleaseCardFont(table.ocr_font);
    ReleaseCardFont(table.cjk_font);
    table.registered = 0;
    for (ResourceEntry& entry : table.entries) {
        entry = ResourceEntry{};
    }
    // The request's fonts are gone; nothing drawn with them may stay behind.
    ReleaseDrawingCaches();
}

FontHandle LoadFontFile(const wchar_t* path) {
    if (path == nullptr || *path == L'\0') {
        return nullptr;
    }
    const std::size_t length = std::wcslen(path);
    if (path[length - 1] == L'\\') {
        return nullptr;
    }
    const auto bytes = ReadFileBytes(PathFromWide(path), kMaxFontFileSize);
    if (!bytes) {
        return nullptr;
    }
    return Register(bytes->data(), bytes->size());
}

void ReleaseCardFont(FontHandle& font) {
    if (font != nullptr) {
        RemovePrivateFont(font);
        --g_private_fonts;
        font = nullptr;
    }
}

const wchar_t* ResolveFaceName(const wchar_t* face) {
    if (face == nullptr || g_private_fonts == 0) {
        return face;
    }
    if (std::wcscmp(face, kFaceOcrNumbers) == 0) {
        return kEmbeddedOcrFamily;
    }
    if (std::wcscmp(face, kFaceCjkHei) == 0) {
        return kEmbeddedCjkFamily;
    }
    if (*face != L'\0' && !SystemHasFace(face)) {
        return kEmbeddedCjkFamily;
    }
    return face;
}

int PrivateFontCount() {
    return g_private_fonts;
}

}  // namespace vorn
