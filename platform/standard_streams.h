// The process's standard streams as the native-messaging host needs them.
#pragma once

// Switches standard input, output and error to untranslated mode, so that no byte of a
// frame is altered on the way in or out.
void SetBinaryStandardStreams();
