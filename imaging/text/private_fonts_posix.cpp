// Private fonts on Linux: kept by the program's own font registry, not fontconfig's, so no
// other program sees them.
#include "imaging/text/font_library_posix.h"
#include "imaging/text/private_fonts.h"
#include "platform/text_conversion.h"

namespace vorn {

FontHandle AddPrivateFont(const unsigned char* data, std::size_t size) {
    return AddMemoryFont(data, size, true);
}

FontHandle AddProgramFont(const unsigned char* data, std::size_t size) {
    return AddMemoryFont(data, size, false);
}

void RemovePrivateFont(FontHandle font) {
    RemoveMemoryFont(font);
}

bool SystemHasFace(const wchar_t* face) {
    return face != nullptr && *face != L'\0' && SystemHasFamily(WideToUtf8(face));
}

void ReleaseDrawingCaches() {
    ReleaseFontCaches();
}

void WarmUpTextDrawing() {
    WarmUpFontMatching();
}

}  // namespace vorn
