// SPDX-License-Identifier: MIT
// The parser's kernel with AVX2 (the contract: ppma_kernel.hpp): eight
// tokens converted at a time, as the SSE2 kernel does four. Blocks are
// classified 32 bytes at a time (avx2_classify); the last few tokens go
// through the SSE2 conversion. Its functions are compiled for AVX2
// whatever the build targets, where the build holds AVX2 code
// (TRAVORN_HAS_AVX2), and run only where the one decision of the
// instruction set says kAvx2. Not installed.
#ifndef TRAVORN_PPMA_PPMA_KERNEL_AVX2_HPP
#define TRAVORN_PPMA_PPMA_KERNEL_AVX2_HPP

#include "ppma/ppma_kernel.hpp"
#include "ppma/ppma_kernel_sse2.hpp"

#if TRAVORN_HAS_AVX2
#include <immintrin.h>

#include <cstring>

namespace ppma_detail {

// As sse2_digits, twice as wide.
template <int kBytes>
TRAVORN_AVX2 inline __m256i avx2_digits(__m256i x) {
  const __m256i d = _mm256_sub_epi8(x, _mm256_set1_epi8('0'));  // white space and NUL: negative
  __m256i drop = _mm256_cmpgt_epi8(_mm256_setzero_si256(), d);
  for (int shift = 8; shift < 8 * kBytes; shift *= 2) {  // within each lane
    drop = _mm256_or_si256(
        drop, kBytes == 8 ? _mm256_srli_epi64(drop, shift) : _mm256_srli_epi32(drop, shift));
  }
  return _mm256_andnot_si256(drop, d);
}

// As sse2_quads (which explains the weights), twice as wide.
TRAVORN_AVX2 inline __m256i avx2_quads(__m256i digits) {
  __m256i weights = _mm256_set1_epi16(0x0A01);
  __asm__("" : "+x"(weights));
  const __m256i pairs = _mm256_srli_epi16(_mm256_mullo_epi16(digits, weights), 8);
  return _mm256_madd_epi16(pairs, _mm256_set1_epi32(1 << 16 | 100));
}

// The values of eight tokens of up to eight digits, four to a register.
// The 128-bit halves pack apart, so the first register holds tokens 0, 1
// and 4, 5 and the second 2, 3 and 6, 7: packed, they come out in order.
TRAVORN_AVX2 inline __m256i avx2_values(const char* const* ends) {
  __m256i half[2];
  for (int h = 0; h < 2; ++h) {
    std::int64_t word[4];
    for (int i = 0; i < 4; ++i) std::memcpy(&word[i], ends[2 * h + i % 2 + i / 2 * 4] - 8, 8);
    half[h] = avx2_quads(avx2_digits<8>(_mm256_set_epi64x(word[3], word[2], word[1], word[0])));
  }
  return _mm256_madd_epi16(_mm256_packs_epi32(half[0], half[1]),
                           _mm256_set1_epi32(1 << 16 | 10000));
}

// The values of eight tokens of up to four digits, one to a 32-bit lane:
// half the work of avx2_values.
TRAVORN_AVX2 inline __m256i avx2_short_values(const char* const* ends) {
  std::int32_t w[8];
  for (int i = 0; i < 8; ++i) std::memcpy(&w[i], ends[i] - 4, 4);
  return avx2_quads(
      avx2_digits<4>(_mm256_setr_epi32(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7])));
}

// As ssse3_span_values, twice as wide: two spans, one to each half.
template <bool kShort>
TRAVORN_AVX2 inline __m256i avx2_span_values(__m256i x) {
  const __m256i d = _mm256_subs_epu8(x, _mm256_set1_epi8('0'));  // white space, NUL: 0
  const __m256i other = _mm256_cmpgt_epi8(_mm256_set1_epi8('0'), x);
  const __m256i below = kShort ? _mm256_add_epi32(other, _mm256_set1_epi32(-1))
                               : _mm256_add_epi64(other, _mm256_set1_epi64x(-1));
  const __m256i digits = _mm256_and_si256(below, d);
  const __m256i pairs = _mm256_maddubs_epi16(digits, _mm256_set1_epi16(10 << 8 | 1));
  const __m256i quads = _mm256_madd_epi16(pairs, _mm256_set1_epi32(100 << 16 | 1));
  if (kShort) return quads;
  return _mm256_madd_epi16(_mm256_packs_epi32(quads, quads), _mm256_set1_epi32(10000 << 16 | 1));
}

// Sixteen bytes from `low` and from `high`, one to each half.
TRAVORN_AVX2 inline __m256i avx2_halves(const void* low, const void* high) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(static_cast<const __m128i*>(low))),
      _mm_loadu_si128(static_cast<const __m128i*>(high)), 1);
}

// The block's tokens, two spans at a time (the contract's convert_block):
// spans i and i + 2, whose bytes and the eight before them are the
// halves of one 32-byte load.
template <bool kShort>
TRAVORN_AVX2 inline std::size_t avx2_convert_spans(const char* block, std::uint64_t closes,
                                                   std::int32_t* out) {
  const auto* const table =
      reinterpret_cast<const unsigned char*>(kShort ? &kSpanPatterns.four : &kSpanPatterns.eight);
  __m256i values[2];
  std::size_t k = 0;
  for (int i = 0; i < 8; i += 4) {
    // Each span's closing bits rotated into bits 4 to 11: 16 times them,
    // the offset of its row in the table, with as many bits set.
    std::uint64_t row[4];
    for (int j = 0; j < 4; ++j) {
      const int turn = (8 * (i + j) + 60) % 64;  // a rotation, which leaves `closes` whole
      row[j] = (closes >> turn | closes << (64 - turn)) & 0xFF0u;
    }
    for (int j = 0; j < 2; ++j) {
      const __m256i source = _mm256_loadu_si256(
          reinterpret_cast<const __m256i*>(block + std::ptrdiff_t{8} * (i + j) - 8));
      values[j] = avx2_span_values<kShort>(
          _mm256_shuffle_epi8(source, avx2_halves(table + row[j], table + row[j + 2])));
    }
    for (int j = 0; j < 4; ++j) {
      const __m128i v = j < 2 ? _mm256_castsi256_si128(values[j % 2])
                              : _mm256_extracti128_si256(values[j % 2], 1);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), v);
      k += static_cast<std::size_t>(__builtin_popcountll(row[j]));
    }
  }
  return k;
}

// The 64 bytes from `block` by kind, 32 at a time, as sse2_classify.
TRAVORN_AVX2 inline Kinds avx2_classify(const char* block) {
  __m256i space[2], known[2];
  for (int h = 0; h < 2; ++h) {
    const __m256i x =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + std::ptrdiff_t{32} * h));
    const __m256i control =  // \t..\r are 9..13
        _mm256_cmpgt_epi8(_mm256_set1_epi8(-128 + 5),
                          _mm256_add_epi8(x, _mm256_set1_epi8(128 - 9)));
    space[h] = _mm256_or_si256(control, _mm256_cmpeq_epi8(x, _mm256_set1_epi8(' ')));
    const __m256i digit = _mm256_cmpgt_epi8(_mm256_set1_epi8(-128 + 10),
                                            _mm256_add_epi8(x, _mm256_set1_epi8(128 - '0')));
    known[h] = _mm256_or_si256(space[h], digit);
  }
  const auto low = static_cast<std::uint32_t>(_mm256_movemask_epi8(space[0]));
  const auto high = static_cast<std::uint32_t>(_mm256_movemask_epi8(space[1]));
  // One mask for both halves: a bit for bytes i and i + 32 together.
  const auto known_mask =
      static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(known[0], known[1])));
  return Kinds{std::uint64_t{high} << 32 | low, std::uint32_t(~known_mask)};
}

struct Avx2Kernel {
  TRAVORN_AVX2 static Kinds classify(const char* block) { return avx2_classify(block); }

  static constexpr bool kSpans = true;
  TRAVORN_AVX2 static std::size_t convert_block(const char* block, std::uint64_t closes,
                                                bool short_tokens, std::int32_t* out) {
    return short_tokens ? avx2_convert_spans<true>(block, closes, out)
                        : avx2_convert_spans<false>(block, closes, out);
  }

  static constexpr bool kFromStarts = false;  // each value back from its end
  // Eight tokens at a time, short ones in one register; the last few,
  // fewer than eight, four at a time.
  TRAVORN_AVX2 static void convert(const char* const*, const char** ends, std::size_t count,
                                   bool short_tokens, std::int32_t* out) {
    std::size_t k = 0;
    if (short_tokens) {
      for (; k + 8 <= count; k += 8) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), avx2_short_values(ends + k));
      }
    }
    for (; k + 8 <= count; k += 8) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), avx2_values(ends + k));
    }
    if (k < count) sse2_convert(ends + k, count - k, short_tokens, out + k);
  }
};

}  // namespace ppma_detail
#endif  // TRAVORN_HAS_AVX2

#endif  // TRAVORN_PPMA_PPMA_KERNEL_AVX2_HPP
