// The version comes from the build (the project's one version), given to this file alone so
// that a new version recompiles one file.
#include "host/program_version.h"

namespace vorn {

#define VORN_WIDEN_TEXT(text) L##text
#define VORN_WIDE(text) VORN_WIDEN_TEXT(text)

const wchar_t* ProgramVersionText() {
    return L"VornIdReader " VORN_WIDE(VORN_PROGRAM_VERSION);
}

}  // namespace vorn
