// SPDX-License-Identifier: MIT
// The synthetic example picture.
//
// The picture's edges depend on the precision of every step: single (float)
// where a value is kept, double where a product or the sine is computed.
// Build without -ffast-math and without contraction into fused multiply-adds.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "ppma/ppma.hpp"

int ppma_example(int32_t xsize, int32_t ysize, int32_t* r, int32_t* g, int32_t* b) {
  if (ysize < 1 || xsize < 1) return 0;
  const float dy = static_cast<float>(ysize - 1);  // 0 for one row: the levels become infinite
  const float dx = static_cast<float>(xsize - 1);  // 0 for one column: x becomes NaN
  for (int32_t i = 0; i < ysize; ++i) {
    const float y = static_cast<float>(ysize + 1 - i) / dy;
    for (int32_t j = 0; j < xsize; ++j) {
      const float x = static_cast<float>(j) / dx;
      const double xd = x;
      const float cr = static_cast<float>((xd - 0.5) * ((xd - 0.5) * 4.0));
      const float cg = static_cast<float>(std::sin(xd * 3.14159265));
      const float cb = x;
      const std::size_t k = std::size_t(i) * std::size_t(xsize) + std::size_t(j);
      // Comparisons in single admit equality and fail on NaN.
      r[k] = y <= cr ? static_cast<int32_t>(static_cast<double>(cr) * 255.0) : 50;
      g[k] = y <= cg ? static_cast<int32_t>(static_cast<double>(cg) * 255.0) : 150;
      b[k] = y <= cb ? static_cast<int32_t>(static_cast<double>(cb) * 255.0) : 250;
    }
  }
  return 0;
}
