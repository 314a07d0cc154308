// The Windows entry function, with wide-character arguments.
#include <string>
#include <vector>

#include "host/entry_point.h"
#include "platform/working_memory.h"

using namespace vorn;

int wmain(int argc, wchar_t** argv) {
    KeepFreedMemoryForReuse();
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(argv[i]);
    }
    return RunProgram(arguments);
}
