// The program's name and version, as the version switch, the packages and the trace show them.
#pragma once

namespace vorn {

// "VornIdReader".
const char* ProgramName();
// "1.0.0": the version the build was made with.
const char* ProgramVersion();
// "VornIdReader 1.0.0": the name and the version together.
const wchar_t* ProgramVersionText();

}  // namespace vorn
