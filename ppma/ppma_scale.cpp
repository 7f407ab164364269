// SPDX-License-Identifier: MIT
// Samples to bytes: the rescale rule of the converter, for library users.
// The loop of each rescale class is compiled twice: for the build's target,
// and for AVX2, whose wider lanes and narrowing packs the compiler uses.
#include <cstdint>

#include "common/instruction_set.hpp"
#include "ppma/ppma.hpp"
#include "ppma/ppma_scale.hpp"

namespace {
TRAVORN_INLINED inline void scale(const int32_t* plane, std::uint64_t count, unsigned char* bytes,
                                  const ppma_detail::Rescale& rescale) {
  rescale.visit([&](auto byte) {
    for (std::uint64_t k = 0; k < count; ++k) bytes[k] = byte(plane[k]);
  });
}
void scale_plain(const int32_t* plane, std::uint64_t count, unsigned char* bytes,
                 const ppma_detail::Rescale& rescale) {
  scale(plane, count, bytes, rescale);
}
TRAVORN_AVX2 void scale_avx2(const int32_t* plane, std::uint64_t count, unsigned char* bytes,
                             const ppma_detail::Rescale& rescale) {
  scale(plane, count, bytes, rescale);
}
}  // namespace

void ppma_scale_to_bytes(int32_t xsize, int32_t ysize, int32_t maxrgb, const int32_t* plane,
                         unsigned char* bytes) {
  if (xsize < 1 || ysize < 1) return;
  const std::uint64_t count = std::uint64_t(xsize) * std::uint64_t(ysize);
  const bool avx2 = travorn_detail::instruction_set() == travorn_detail::InstructionSet::kAvx2;
  (avx2 ? scale_avx2 : scale_plain)(plane, count, bytes, ppma_detail::Rescale(maxrgb));
}
