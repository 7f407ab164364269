// SPDX-License-Identifier: MIT
// The parser's kernel with SSE2 (the contract: ppma_kernel.hpp), on every
// x86-64 processor: sixteen bytes classified at a time, four tokens
// converted at a time, each read back from its end. Its steps are shared
// functions, which the AVX2 kernel calls too. Compiled where the build holds
// SSE2 code (TRAVORN_HAS_SSE2). Not installed.
#ifndef TRAVORN_PPMA_PPMA_KERNEL_SSE2_HPP
#define TRAVORN_PPMA_PPMA_KERNEL_SSE2_HPP

#include "ppma/ppma_kernel.hpp"

#if TRAVORN_HAS_SSE2
#include <emmintrin.h>

#include <algorithm>
#include <cstring>

namespace ppma_detail {

// The 64 bytes from `block` by kind, sixteen at a time. Byte ranges by one
// signed comparison: moved by 128 - first, the bytes from `first` on become
// the signed bytes -128 and up.
inline Kinds sse2_classify(const char* block) {
  std::uint64_t space_bits = 0;
  __m128i known = _mm_set1_epi8(-1);  // a bit for bytes i, i + 16, i + 32 and i + 48 together
  for (int i = 0; i < 64; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i));
    const __m128i control =  // \t..\r are 9..13
        _mm_cmplt_epi8(_mm_add_epi8(x, _mm_set1_epi8(128 - 9)), _mm_set1_epi8(-128 + 5));
    const __m128i space = _mm_or_si128(control, _mm_cmpeq_epi8(x, _mm_set1_epi8(' ')));
    const __m128i digit =
        _mm_cmplt_epi8(_mm_add_epi8(x, _mm_set1_epi8(128 - '0')), _mm_set1_epi8(-128 + 10));
    space_bits |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(space))} << i;
    known = _mm_and_si128(known, _mm_or_si128(space, digit));
  }
  return Kinds{space_bits, ~static_cast<unsigned>(_mm_movemask_epi8(known)) & 0xFFFFu};
}

// The `kBytes` bytes (8 or 4) before each end, one token to a lane of that
// many bytes: the digits' values, with every byte from the last one that is
// not a digit back made zero, so that each lane holds one token's digits at
// its top.
template <int kBytes>
inline __m128i sse2_digits(__m128i x) {
  const __m128i d = _mm_sub_epi8(x, _mm_set1_epi8('0'));  // white space and NUL: negative
  __m128i drop = _mm_cmplt_epi8(d, _mm_setzero_si128());
  for (int shift = 8; shift < 8 * kBytes; shift *= 2) {  // within each lane
    drop =
        _mm_or_si128(drop, kBytes == 8 ? _mm_srli_epi64(drop, shift) : _mm_srli_epi32(drop, shift));
  }
  return _mm_andnot_si128(drop, d);
}

// Pairs of digits combined in each 16-bit lane, then pairs of those in each
// 32-bit lane, as in combine_digits. The weights 1 + 2560 in each 16-bit
// lane: (a + 256 b) * (1 + 2560) = 256 (10 a + b) + a modulo 2^16, so that
// one multiplication and a shift combine two digits; hidden from the
// optimiser, which would otherwise spell the multiplication as four shifts
// and additions.
inline __m128i sse2_quads(__m128i digits) {
  __m128i weights = _mm_set1_epi16(0x0A01);
#if defined(__GNUC__)
  __asm__("" : "+x"(weights));
#endif
  const __m128i pairs = _mm_srli_epi16(_mm_mullo_epi16(digits, weights), 8);
  return _mm_madd_epi16(pairs, _mm_set1_epi32(1 << 16 | 100));
}

// The values of four tokens of up to eight digits, from the eight bytes
// before each end, two to a register; packed, their quadruples combine.
inline __m128i sse2_values(const char* const* ends) {
  __m128i half[2];
  for (int h = 0; h < 2; ++h) {
    std::int64_t word[2];
    for (int i = 0; i < 2; ++i) std::memcpy(&word[i], ends[2 * h + i] - 8, 8);
    half[h] = sse2_quads(sse2_digits<8>(_mm_set_epi64x(word[1], word[0])));
  }
  return _mm_madd_epi16(_mm_packs_epi32(half[0], half[1]), _mm_set1_epi32(1 << 16 | 10000));
}

// The values of four tokens of up to four digits, one to a 32-bit lane:
// half the work of sse2_values.
inline __m128i sse2_short_values(const char* const* ends) {
  std::int32_t word[4];
  for (int i = 0; i < 4; ++i) std::memcpy(&word[i], ends[i] - 4, 4);
  return sse2_quads(sse2_digits<4>(_mm_setr_epi32(word[0], word[1], word[2], word[3])));
}

// The values of `count` tokens, four at a time, each back from its end;
// with `short_tokens`, none has more than four digits.
inline void sse2_convert(const char** ends, std::size_t count, bool short_tokens,
                         std::int32_t* out) {
  for (std::size_t i = count; i < count + 4; ++i) ends[i] = ends[count - 1];
  for (std::size_t k = 0; k < count; k += 4) {
    const __m128i four = short_tokens ? sse2_short_values(ends + k) : sse2_values(ends + k);
    if (k + 4 <= count) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), four);
    } else {
      alignas(16) std::int32_t some[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(some), four);
      std::copy_n(some, count - k, out + k);
    }
  }
}

struct Sse2Kernel {
  static Kinds classify(const char* block) { return sse2_classify(block); }

  static constexpr bool kSpans = false;
  static constexpr bool kFromStarts = false;  // each value back from its end
  static void convert(const char* const*, const char** ends, std::size_t count, bool short_tokens,
                      std::int32_t* out) {
    sse2_convert(ends, count, short_tokens, out);
  }
};

}  // namespace ppma_detail
#endif  // TRAVORN_HAS_SSE2

#endif  // TRAVORN_PPMA_PPMA_KERNEL_SSE2_HPP
