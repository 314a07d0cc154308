// Standard streams on Linux are never translated.
#include "platform/standard_streams.h"

#include <csignal>

namespace vorn {

void SetBinaryStandardStreams() {}

void MakeClosedPipeWritesFail() {
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace vorn
