// SPDX-License-Identifier: MIT
// The parser's kernel with AVX2: eight tokens converted at a time, as the
// SSE2 kernel does four. Blocks are classified by the SSE2 kernel's code,
// which the parser's AVX2 loop inlines and so compiles for AVX2 (two 32-byte
// steps of its own were 1 % faster). Its functions are compiled for AVX2
// whatever the build targets, and only run where the processor has it (the
// parser asks). Without GCC or Clang on x86-64 there is no such kernel:
// Avx2Kernel is then the SSE2 one, never chosen. Not installed.
#ifndef TRAVORN_PPMA_PPMA_KERNEL_AVX2_HPP
#define TRAVORN_PPMA_PPMA_KERNEL_AVX2_HPP

#include "common/platform.hpp"
#include "ppma/ppma_kernel_sse2.hpp"

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>

#include <cstring>

namespace ppma_detail {

struct Avx2Kernel : Sse2Kernel {
  // Eight tokens at a time; the last few, fewer than eight, four at a time.
  TRAVORN_AVX2 static void convert(const char* const* starts, const char** ends, std::size_t count,
                                   std::int32_t* out) {
    std::size_t k = 0;
    for (; k + 8 <= count; k += 8) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), values(ends + k));
    }
    if (k < count) Sse2Kernel::convert(starts, ends + k, count - k, out + k);
  }

 private:
  // As in the SSE2 kernel, twice as wide.
  TRAVORN_AVX2 static __m256i digits(__m256i x) {
    const __m256i d = _mm256_sub_epi8(x, _mm256_set1_epi8('0'));  // white space and NUL: negative
    __m256i drop = _mm256_cmpgt_epi8(_mm256_setzero_si256(), d);
    for (int shift = 8; shift < 64; shift *= 2) {
      drop = _mm256_or_si256(drop, _mm256_srli_epi64(drop, shift));
    }
    return _mm256_andnot_si256(drop, d);
  }

  // Pairs of digits combined in each 16-bit lane, then pairs of those in
  // each 32-bit lane, as in the SSE2 kernel (which explains the weights).
  TRAVORN_AVX2 static __m256i quads(__m256i digits) {
    __m256i weights = _mm256_set1_epi16(0x0A01);
    __asm__("" : "+x"(weights));
    const __m256i pairs = _mm256_srli_epi16(_mm256_mullo_epi16(digits, weights), 8);
    return _mm256_madd_epi16(pairs, _mm256_set1_epi32(1 << 16 | 100));
  }

  // The values of eight tokens of up to eight digits, four to a register.
  // The 128-bit halves pack apart, so the first register holds tokens 0, 1
  // and 4, 5 and the second 2, 3 and 6, 7: packed, they come out in order.
  TRAVORN_AVX2 static __m256i values(const char* const* ends) {
    __m256i half[2];
    for (int h = 0; h < 2; ++h) {
      std::int64_t word[4];
      for (int i = 0; i < 4; ++i) std::memcpy(&word[i], ends[2 * h + i % 2 + i / 2 * 4] - 8, 8);
      half[h] = quads(digits(_mm256_set_epi64x(word[3], word[2], word[1], word[0])));
    }
    return _mm256_madd_epi16(_mm256_packs_epi32(half[0], half[1]),
                             _mm256_set1_epi32(1 << 16 | 10000));
  }
};

}  // namespace ppma_detail
#else
namespace ppma_detail {
using Avx2Kernel = Sse2Kernel;  // never chosen
}  // namespace ppma_detail
#endif

#endif  // TRAVORN_PPMA_PPMA_KERNEL_AVX2_HPP
