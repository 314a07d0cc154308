// The version comes from the build (the project's one version), given to this file alone so
// that a new version recompiles one file.
#include "host/program_version.h"

namespace vorn {

#define VORN_PROGRAM_NAME "VornIdReader"
#define VORN_WIDEN_TEXT(text) L##text
#define VORN_WIDE(text) VORN_WIDEN_TEXT(text)

const char* ProgramName() {
    return VORN_PROGRAM_NAME;
}

const char* ProgramVersion() {
    return VORN_PROGRAM_VERSION;
}

const wchar_t* ProgramVersionText() {
    return VORN_WIDE(VORN_PROGRAM_NAME) L" " VORN_WIDE(VORN_PROGRAM_VERSION);
}

}  // namespace vorn
