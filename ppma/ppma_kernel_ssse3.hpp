// SPDX-License-Identifier: MIT
// The parser's kernel with SSSE3 (the contract: ppma_kernel.hpp): blocks
// classified by the SSE2 kernel's shared function, and the tokens of a
// clean block converted eight bytes (a span) at a time, with no step for
// each token. The span's closing bits choose a shuffle (kSpanPatterns) that
// puts the bytes before each of its tokens' ends, last digit first, into a
// lane of its own. A saturating subtraction of '0' makes white space and
// NUL zero; the mask n of bytes below '0', less one, clears every byte from
// the first that is not a digit (the borrow runs up to the lowest set byte
// of n, which becomes zero; above it n is set only where no digit is); two
// multiply-adds combine the digits. Tokens gathered one by one (a run's
// last block, where the caller's count ends in it) go through the SSE2
// conversion. Its functions are compiled for SSSE3 whatever the build
// targets, where the build holds such code (TRAVORN_HAS_SSSE3), and run
// only where the one decision of the instruction set says kSsse3 or above.
// Not installed.
#ifndef TRAVORN_PPMA_PPMA_KERNEL_SSSE3_HPP
#define TRAVORN_PPMA_PPMA_KERNEL_SSSE3_HPP

#include "ppma/ppma_kernel.hpp"
#include "ppma/ppma_kernel_sse2.hpp"

#if TRAVORN_HAS_SSSE3
#include <tmmintrin.h>

namespace ppma_detail {

// The values of the tokens in the lanes of `x` (four of four bytes, or two
// of eight, each token's last digit first): short ones one to a 32-bit
// lane; long ones in the first two 32-bit lanes, repeated in the others.
template <bool kShort>
TRAVORN_SSSE3 inline __m128i ssse3_span_values(__m128i x) {
  const __m128i d = _mm_subs_epu8(x, _mm_set1_epi8('0'));  // white space, NUL: 0
  const __m128i other = _mm_cmpgt_epi8(_mm_set1_epi8('0'), x);
  const __m128i below =
      kShort ? _mm_add_epi32(other, _mm_set1_epi32(-1)) : _mm_add_epi64(other, _mm_set1_epi64x(-1));
  const __m128i digits = _mm_and_si128(below, d);
  const __m128i pairs = _mm_maddubs_epi16(digits, _mm_set1_epi16(10 << 8 | 1));
  const __m128i quads = _mm_madd_epi16(pairs, _mm_set1_epi32(100 << 16 | 1));
  if (kShort) return quads;
  return _mm_madd_epi16(_mm_packs_epi32(quads, quads), _mm_set1_epi32(10000 << 16 | 1));
}

// The block's tokens, span by span (the contract's convert_block).
template <bool kShort>
TRAVORN_SSSE3 inline std::size_t ssse3_convert_spans(const char* block, std::uint64_t closes,
                                                     std::int32_t* out) {
  const auto& patterns = kShort ? kSpanPatterns.four : kSpanPatterns.eight;
  std::size_t k = 0;
  for (int i = 0; i < 64; i += 8) {
    const unsigned span = static_cast<unsigned>(closes >> i) & 0xFFu;
    const __m128i source = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i - 8));
    const __m128i pattern = _mm_load_si128(reinterpret_cast<const __m128i*>(patterns[span]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k),
                     ssse3_span_values<kShort>(_mm_shuffle_epi8(source, pattern)));
    k += kSpanPatterns.count[span];
  }
  return k;
}

struct Ssse3Kernel {
  static Kinds classify(const char* block) { return sse2_classify(block); }

  static constexpr bool kSpans = true;
  TRAVORN_SSSE3 static std::size_t convert_block(const char* block, std::uint64_t closes,
                                                 bool short_tokens, std::int32_t* out) {
    return short_tokens ? ssse3_convert_spans<true>(block, closes, out)
                        : ssse3_convert_spans<false>(block, closes, out);
  }

  static constexpr bool kFromStarts = false;  // each value back from its end
  static void convert(const char* const*, const char** ends, std::size_t count, bool short_tokens,
                      std::int32_t* out) {
    sse2_convert(ends, count, short_tokens, out);
  }
};

}  // namespace ppma_detail
#endif  // TRAVORN_HAS_SSSE3

#endif  // TRAVORN_PPMA_PPMA_KERNEL_SSSE3_HPP
