// Reduction of a 24-bit raster by area averaging, as GDI's HALFTONE stretch does it.
#pragma once

#include <cstdint>

namespace vorn {

// Each output pixel is the average of the source area it covers, partly covered source
// pixels weighing by the part covered. Rows are 32-bit pixels 0x00RRGGBB with the given
// strides in bytes. The output must not be larger than the source in either direction.
void AreaAverage(const unsigned char* source, int source_width, int source_height,
                 int source_stride, unsigned char* output, int output_width, int output_height,
                 int output_stride);

}  // namespace vorn
