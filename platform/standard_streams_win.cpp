// Standard streams on Windows translate line ends unless told otherwise.
#include "platform/standard_streams.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace vorn {

void SetBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

// Windows raises no signal for a closed pipe: the write fails by itself.
void MakeClosedPipeWritesFail() {}

}  // namespace vorn
