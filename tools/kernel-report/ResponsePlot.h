// Magnitude-response pictures of the kernel set: one PNG per rate group and slope, the 13 split
// frequencies as 13 curves over a logarithmic frequency axis.
#pragma once

#include <cstdint>
#include <string>

namespace kestrane::kernelgen {

// Draws the 13 records of one rate group and slope into `path`. Answers false when the file
// could not be written.
bool drawResponsePlot(int32_t rateIndex, int32_t slope, const std::string& path);

}  // namespace kestrane::kernelgen
