// Standard streams on Linux are never translated.
#include "platform/standard_streams.h"

void SetBinaryStandardStreams() {}
