// SPDX-License-Identifier: MIT
// Samples to bytes: the rescale rule of the converter, for library users.
#include <cstdint>

#include "ppma/ppma.hpp"
#include "ppma/ppma_scale.hpp"

void ppma_scale_to_bytes(int32_t xsize, int32_t ysize, int32_t maxrgb, const int32_t* plane,
                         unsigned char* bytes) {
  if (xsize < 1 || ysize < 1) return;
  const std::uint64_t count = std::uint64_t(xsize) * std::uint64_t(ysize);
  for (std::uint64_t k = 0; k < count; ++k) bytes[k] = ppma_detail::scale_sample(plane[k], maxrgb);
}
