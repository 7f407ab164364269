// SPDX-License-Identifier: MIT
// Two image helpers of the library surface: a plane turned upside down, and
// samples narrowed to their low bytes. The converter uses neither: it puts
// each row at its place in the file and rescales the samples.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "app/travorn.hpp"

void imat_vert_flip(int32_t xsize, int32_t ysize, int32_t* plane) {
  if (xsize < 1 || ysize < 2) return;
  const auto width = static_cast<std::size_t>(xsize);
  for (std::int32_t i = 0; i < ysize / 2; ++i) {  // row i with row ysize - 1 - i
    std::swap_ranges(plane + std::size_t(i) * width, plane + std::size_t(i + 1) * width,
                     plane + std::size_t(ysize - 1 - i) * width);
  }
}

void int_2_u_char(int32_t xsize, int32_t ysize, const int32_t* source, unsigned char* target) {
  const std::uint64_t count =
      xsize < 1 || ysize < 1 ? 0 : std::uint64_t(xsize) * std::uint64_t(ysize);
  for (std::uint64_t k = 0; k < count; ++k) {
    target[k] = static_cast<unsigned char>(static_cast<uint32_t>(source[k]) & 0xFFu);
  }
}
