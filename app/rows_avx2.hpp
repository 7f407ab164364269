// SPDX-License-Identifier: MIT
// The AVX2 row kernel (app/rows.hpp states the contract), compiled for AVX2
// whatever the build targets: eight pixels a step for the classes kClamp,
// kSixteenBits and kMultiply, the plain loop for kDivide and for what a
// step leaves over.
// Not installed.
#ifndef TRAVORN_APP_ROWS_AVX2_HPP
#define TRAVORN_APP_ROWS_AVX2_HPP

#include <cstddef>
#include <cstdint>

#include "app/rows.hpp"
#include "common/instruction_set.hpp"

#if TRAVORN_HAS_AVX2
#include <immintrin.h>

namespace travorn_detail {

struct Avx2Rows {
  TRAVORN_AVX2 static void interleave(const std::int32_t* rgb, std::size_t pixels, char* to,
                                      const Rescale& rescale) {
    std::size_t done = 0;
    if (rescale.kind == RescaleClass::kClamp) done = steps(rgb, pixels, to, Clamped{});
    if (rescale.kind == RescaleClass::kSixteenBits) done = steps(rgb, pixels, to, SixteenBits{});
    if (rescale.kind == RescaleClass::kMultiply) {
      done = steps(rgb, pixels, to, Scaled(rescale.scaler));
    }
    interleave_plain(rgb + 3 * done, pixels - done, to + 3 * done, rescale);
  }

 private:
  // The rescales of two registers of eight samples at once, their results
  // packed into one of 16-bit lanes, in the order of _mm256_packs_epi32:
  // each lane is the byte's value, or a value that saturates to it.
  struct Clamped {  // maxrgb 255: the saturating packs are the clamp
    TRAVORN_AVX2 __m256i operator()(__m256i a, __m256i b) const { return _mm256_packs_epi32(a, b); }
  };
  struct SixteenBits {  // ppma_detail::scale_sixteen_bits, sixteen samples at once
    TRAVORN_AVX2 __m256i operator()(__m256i a, __m256i b) const {
      const __m256i c = _mm256_packus_epi32(a, b);  // the clamp to 0..65535
      const __m256i u = _mm256_adds_epu16(c, _mm256_set1_epi16(128));
      return _mm256_srli_epi16(_mm256_mulhi_epu16(u, _mm256_set1_epi16(-255)), 8);  // 65281
    }
  };
  struct Scaled {  // ppma_detail::SampleScaler, four products of 64 bits at a time
    TRAVORN_AVX2 explicit Scaled(const ppma_detail::SampleScaler& scaler)
        : top(_mm256_set1_epi32(scaler.top())),
          multiplier(_mm256_set1_epi64x(scaler.multiplier())),
          shift(_mm_cvtsi32_si128(int(scaler.shift()))) {}
    TRAVORN_AVX2 __m256i operator()(__m256i a, __m256i b) const {
      return _mm256_packs_epi32(scale(a), scale(b));
    }
    TRAVORN_AVX2 __m256i scale(__m256i v) const {
      const __m256i c = _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), top);
      const __m256i n = _mm256_add_epi32(
          _mm256_sub_epi32(_mm256_slli_epi32(c, 9), _mm256_add_epi32(c, c)), top);  // 510 c + top
      const __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(n, multiplier), shift);
      const __m256i odd =
          _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(n, 32), multiplier), shift);
      return _mm256_or_si256(even, _mm256_slli_epi64(odd, 32));
    }
    __m256i top, multiplier;
    __m128i shift;
  };

  // Eight pixels a step: the rescale of 24 samples to 16-bit lanes, a
  // saturating pack to bytes, a permutation that puts pixels 0 to 3 in the
  // low half and 4 to 7 in the high one, a shuffle in each half that turns
  // R, G, B into B, G, R, and a second permutation that closes the gap
  // between the halves. Each step stores 32 bytes for its 24, so the steps
  // stop while 8 bytes of the pixels' own room are left. Returns the pixels
  // done.
  template <typename Step>
  TRAVORN_AVX2 TRAVORN_INLINED static std::size_t steps(const std::int32_t* rgb, std::size_t pixels,
                                                        char* to, Step rescale) {
    const __m256i halves = _mm256_setr_epi32(0, 4, 1, 3, 5, 2, 6, 7);
    const __m256i swap = _mm256_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, -1, -1, -1, -1,  //
                                          2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, -1, -1, -1, -1);
    const __m256i close = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
    std::size_t i = 0;
    for (; i + 11 <= pixels; i += 8) {
      const auto* const in = reinterpret_cast<const __m256i*>(rgb + 3 * i);
      const __m256i c = _mm256_loadu_si256(in + 2);
      // 32-bit groups of four samples: [0-3 8-11 16-19 16-19 | 4-7 12-15 20-23 20-23].
      const __m256i bytes = _mm256_packus_epi16(
          rescale(_mm256_loadu_si256(in), _mm256_loadu_si256(in + 1)), rescale(c, c));
      const __m256i pixels_in_halves = _mm256_permutevar8x32_epi32(bytes, halves);
      const __m256i swapped = _mm256_shuffle_epi8(pixels_in_halves, swap);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 3 * i),
                          _mm256_permutevar8x32_epi32(swapped, close));
    }
    return i;
  }
};

}  // namespace travorn_detail

#endif  // TRAVORN_HAS_AVX2

#endif  // TRAVORN_APP_ROWS_AVX2_HPP
