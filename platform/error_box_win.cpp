// The message box on Windows, shown only where someone can dismiss it.
#include "platform/error_box.h"

#include <windows.h>

#include <cstdio>

namespace vorn {

void ShowErrorBox(const char* text, const char* caption) {
    // A service or a host started by a browser has no console window: a box there would
    // wait for a click nobody can give, so the text goes to standard error instead.
    if (GetConsoleWindow() == nullptr) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return;
    }
    MessageBoxA(nullptr, text, caption, MB_ICONERROR | MB_OK);
}

}  // namespace vorn
