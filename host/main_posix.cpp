// The Linux entry function: arguments arrive as UTF-8 and become wide text.
#include <string>
#include <vector>

#include "host/entry_point.h"
#include "platform/text_conversion.h"
#include "platform/working_memory.h"

using namespace vorn;

int main(int argc, char** argv) {
    KeepFreedMemoryForReuse();
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(Utf8ToWide(argv[i]));
    }
    return RunProgram(arguments);
}
