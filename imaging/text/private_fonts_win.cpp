// Private fonts on Windows: registered for this process only with AddFontMemResourceEx.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "imaging/text/private_fonts.h"

namespace vorn {

namespace {

// The program's own fonts, registered once for the life of the process. Wine never lets go
// of a private font registration (its removal does nothing), so registering them for every
// request made a running service grow by the 3 MB of the fonts on each read; on Windows it
// only repeated the same work.
struct ProgramFont {
    const unsigned char* data;
    HANDLE handle;
};

SRWLOCK g_program_fonts_lock = SRWLOCK_INIT;

std::vector<ProgramFont>& ProgramFonts() {
    static std::vector<ProgramFont> fonts;
    return fonts;
}

bool IsProgramFont(HANDLE handle) {
    AcquireSRWLockShared(&g_program_fonts_lock);
    bool found = false;
    for (const ProgramFont& font : ProgramFonts()) {
        found = found || font.handle == handle;
    }
    ReleaseSRWLockShared(&g_program_fonts_lock);
    return found;
}

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;  // one is enough
}

}  // namespace

FontHandle AddPrivateFont(const unsigned char* data, std::size_t size) {
    if (data == nullptr || size == 0 || size > MAXDWORD) {
        return nullptr;
    }
    DWORD fonts = 0;
    // The system keeps its own copy of the bytes.
    HANDLE font = AddFontMemResourceEx(const_cast<unsigned char*>(data), static_cast<DWORD>(size),
                                       nullptr, &fonts);
    return fonts > 0 ? font : nullptr;
}

FontHandle AddProgramFont(const unsigned char* data, std::size_t size) {
    AcquireSRWLockExclusive(&g_program_fonts_lock);
    FontHandle handle = nullptr;
    for (const ProgramFont& font : ProgramFonts()) {
        if (font.data == data) {
            handle = font.handle;
        }
    }
    if (handle == nullptr) {
        handle = AddPrivateFont(data, size);
        if (handle != nullptr) {
            ProgramFonts().push_back({data, handle});
        }
    }
    ReleaseSRWLockExclusive(&g_program_fonts_lock);
    return handle;
}

void RemovePrivateFont(FontHandle font) {
    if (font != nullptr && !IsProgramFont(font)) {
        RemoveFontMemResourceEx(font);
    }
}

bool SystemHasFace(const wchar_t* face) {
    if (face == nullptr || *face == L'\0') {
        return false;
    }
    // The installed fonts do not change while a request runs; asking once per face is enough.
    static std::map<std::wstring, bool> known;
    const auto it = known.find(face);
    if (it != known.end()) {
        return it->second;
    }
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    HDC screen = GetDC(nullptr);
    if (screen != nullptr) {
        EnumFontFamiliesExW(screen, &wanted, NoteFound, reinterpret_cast<LPARAM>(&found), 0);
        ReleaseDC(nullptr, screen);
    }
    known.emplace(face, found);
    return found;
}

void ReleaseDrawingCaches() {
    // GDI keeps nothing of a request's drawing once its objects are deleted.
}

void WarmUpTextDrawing() {
    // GDI has its fonts ready in the system; nothing to do ahead.
}

}  // namespace vorn
