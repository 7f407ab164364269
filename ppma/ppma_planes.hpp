// SPDX-License-Identifier: MIT
// The last step of ppma_read: the samples of a batch, R, G, B of each pixel
// in turn, split into the three planes. The plain loop, and eight pixels a
// step with AVX2 where the one decision of the instruction set says kAvx2.
// Not installed.
#ifndef TRAVORN_PPMA_PPMA_PLANES_HPP
#define TRAVORN_PPMA_PPMA_PLANES_HPP

#include <cstddef>
#include <cstdint>

#include "common/instruction_set.hpp"

#if TRAVORN_HAS_AVX2
#include <immintrin.h>
#endif

namespace ppma_detail {

// Stores the samples of `pixels` pixels from `rgb` in r[i], g[i], b[i].
inline void split_plain(const std::int32_t* rgb, std::size_t pixels, std::int32_t* r,
                        std::int32_t* g, std::int32_t* b) {
  for (std::size_t i = 0; i < pixels; ++i) {
    r[i] = rgb[3 * i];
    g[i] = rgb[3 * i + 1];
    b[i] = rgb[3 * i + 2];
  }
}

#if TRAVORN_HAS_AVX2
// split_plain for the first pixels, eight a step; returns how many it took
// (a multiple of eight). Of the 24 samples of a step, loaded as three
// registers x, y, z, the eight of one colour stand in lanes that differ
// between the registers (R: x 0, 3, 6, y 1, 4, 7, z 2, 5): two blends bring
// them into one register, one permutation puts them in order.
TRAVORN_AVX2 inline std::size_t split_avx2(const std::int32_t* rgb, std::size_t pixels,
                                           std::int32_t* r, std::int32_t* g, std::int32_t* b) {
  const __m256i order_r = _mm256_setr_epi32(0, 3, 6, 1, 4, 7, 2, 5);
  const __m256i order_g = _mm256_setr_epi32(1, 4, 7, 2, 5, 0, 3, 6);
  const __m256i order_b = _mm256_setr_epi32(2, 5, 0, 3, 6, 1, 4, 7);
  std::size_t i = 0;
  for (; i + 8 <= pixels; i += 8) {
    const auto* const in = reinterpret_cast<const __m256i*>(rgb + 3 * i);
    const __m256i x = _mm256_loadu_si256(in);
    const __m256i y = _mm256_loadu_si256(in + 1);
    const __m256i z = _mm256_loadu_si256(in + 2);
    const __m256i red = _mm256_blend_epi32(_mm256_blend_epi32(x, y, 0x92), z, 0x24);
    const __m256i green = _mm256_blend_epi32(_mm256_blend_epi32(x, y, 0x24), z, 0x49);
    const __m256i blue = _mm256_blend_epi32(_mm256_blend_epi32(x, y, 0x49), z, 0x92);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(r + i),
                        _mm256_permutevar8x32_epi32(red, order_r));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(g + i),
                        _mm256_permutevar8x32_epi32(green, order_g));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(b + i),
                        _mm256_permutevar8x32_epi32(blue, order_b));
  }
  return i;
}
#endif

// split_plain, by the instruction set: no sample is stored outside the
// planes' first `pixels` elements.
inline void split_samples(const std::int32_t* rgb, std::size_t pixels, std::int32_t* r,
                          std::int32_t* g, std::int32_t* b) {
  std::size_t done = 0;
#if TRAVORN_HAS_AVX2
  if (travorn_detail::instruction_set() == travorn_detail::InstructionSet::kAvx2) {
    done = split_avx2(rgb, pixels, r, g, b);
  }
#endif
  split_plain(rgb + 3 * done, pixels - done, r + done, g + done, b + done);
}

}  // namespace ppma_detail

#endif  // TRAVORN_PPMA_PPMA_PLANES_HPP
