// On Linux there is no desktop to show a box on: the text goes to standard error.
#include "platform/error_box.h"

#include <cstdio>

namespace vorn {

void ShowErrorBox(const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
}

}  // namespace vorn
