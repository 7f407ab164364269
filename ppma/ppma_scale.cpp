// SPDX-License-Identifier: MIT
// Samples to bytes: the rescale rule of the converter, for library users.
#include <algorithm>
#include <cstdint>

#include "ppma/ppma.hpp"

void ppma_scale_to_bytes(int32_t xsize, int32_t ysize, int32_t maxrgb, const int32_t* plane,
                         unsigned char* bytes) {
  if (xsize < 1 || ysize < 1) return;
  const std::uint64_t count = std::uint64_t(xsize) * std::uint64_t(ysize);
  const std::int64_t top = maxrgb;
  for (std::uint64_t k = 0; k < count; ++k) {
    // Clamped to 0..maxrgb, then rounded with halves up, in 64 bits.
    const std::int64_t v = std::clamp<std::int64_t>(plane[k], 0, std::max<std::int64_t>(top, 0));
    bytes[k] = static_cast<unsigned char>(top < 1 ? 0 : (v * 510 + top) / (2 * top));
  }
}
