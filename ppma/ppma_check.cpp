// SPDX-License-Identifier: MIT
// Checking integer planes against the rules of the format.
#include <cstdint>
#include <iostream>

#include "ppma/ppma.hpp"
#include "ppma/ppma_internal.hpp"

using ppma_detail::report;

namespace {
// Whether every sample of the plane `letter` lies in 0..maxrgb, row by row;
// false after the report of the first that does not.
bool samples_in_range(const int32_t* v, char letter, int32_t xsize, int32_t ysize, int32_t maxrgb) {
  for (int32_t j = 0; j < ysize; ++j) {
    for (int32_t i = 0; i < xsize; ++i, ++v) {
      if (*v < 0) {
        report("PPMA_CHECK_DATA - Fatal error!\n")
            << "  Negative data.\n"
            << "  " << letter << "(" << i << "," << j << ")=" << *v << "\n";
        return false;
      }
      if (*v > maxrgb) {
        report("PPMA_CHECK_DATA - Fatal error!\n")
            << "  Data exceeds MAXRGB = " << maxrgb << "\n"
            << "  " << letter << "(" << i << "," << j << ")=" << *v << "\n";
        return false;
      }
    }
  }
  return true;
}
}  // namespace

int ppma_check_data(int32_t xsize, int32_t ysize, int32_t maxrgb, const int32_t* r,
                    const int32_t* g, const int32_t* b) {
  if (xsize < 1) {
    report("PPMA_CHECK_DATA: Error!\n") << "  xsize <= 0.\n"
                                        << "  xsize = " << xsize << "\n";
    return 1;
  }
  if (ysize < 1) {
    report("PPMA_CHECK_DATA: Error!\n") << "  ysize <= 0.\n"
                                        << "  ysize = " << ysize << "\n";
    return 1;
  }
  const struct {
    const int32_t* samples;
    char letter;
  } planes[3] = {{r, 'R'}, {g, 'G'}, {b, 'B'}};
  for (const auto& plane : planes) {
    if (plane.samples == nullptr) {
      report("PPMA_CHECK_DATA: Error!\n") << "  Null pointer to " << plane.letter << ".\n";
      return 1;
    }
  }
  for (const auto& plane : planes) {  // one plane after the other
    if (!samples_in_range(plane.samples, plane.letter, xsize, ysize, maxrgb)) return 1;
  }
  return 0;
}
