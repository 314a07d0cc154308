// The processor time this process has used, for benchmarks on a machine that others share:
// waiting for a turn on the processor lengthens the wall-clock time, not this.
#pragma once

double ProcessorMilliseconds();
