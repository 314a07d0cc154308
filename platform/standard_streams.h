// The process's standard streams as the native-messaging host needs them.
#pragma once

namespace vorn {

// Switches standard input, output and error to untranslated mode, so that no byte of a
// frame is altered on the way in or out.
void SetBinaryStandardStreams();
// Makes a write to a pipe whose reader has gone fail with an error instead of ending the
// process: a browser may close the host's output before the reply is written.
void MakeClosedPipeWritesFail();

}  // namespace vorn
