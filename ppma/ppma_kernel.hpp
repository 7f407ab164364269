// SPDX-License-Identifier: MIT
// The contract between the sample parser (ppma_parser.cpp) and its kernels,
// the only code that depends on the instruction set. A kernel is a struct
// in a file of its own (ppma_kernel_portable.hpp, ppma_kernel_sse2.hpp,
// ppma_kernel_ssse3.hpp, ppma_kernel_avx2.hpp), compiled where the build
// holds its instruction set (TRAVORN_HAS_SSE2, TRAVORN_HAS_SSSE3,
// TRAVORN_HAS_AVX2), with these static functions and flags:
//
//   static Kinds classify(const char* block);
//     The 64 bytes from `block` by kind (below).
//
//   static constexpr bool kSpans;
//   static std::size_t convert_block(const char* block, std::uint64_t closes,
//                                    bool short_tokens, std::int32_t* out);
//     Only where kSpans is true. Stores in `out`, in order, the value of
//     every token whose closing byte (the white space after its last digit)
//     is at a set bit of `closes` in the 64 bytes from `block`, and returns
//     how many: each token's digits read back from its closing byte as for
//     convert. With `short_tokens`, none has more than four digits;
//     without, none more than eight, and no eight bytes from block + 8 i
//     close more than two (two_per_span). May store four values more.
//
//   static constexpr bool kFromStarts;
//   static void convert(const char* const* starts, const char** ends,
//                       std::size_t count, bool short_tokens,
//                       std::int32_t* out);
//     Stores in out[k] the value of the token that ends just before ends[k],
//     for k below `count`: one to eight digits, or with `short_tokens` one
//     to four, which a kernel may convert in a shorter way (each kernel
//     here does; the common maximum 255 gives nothing longer). A kernel whose
//     kFromStarts is true reads each token forwards from starts[k], where it
//     begins, and up to eight bytes from there; the others leave `starts`
//     alone (the parser gathers it only for them) and read each token back
//     from its end: its digits are the bytes before ends[k] back to the
//     first byte that is not a digit (white space, or a NUL byte in front
//     of the chunk), up to eight bytes before the end. `ends` has room for
//     four entries after `count`, which convert may overwrite.
//
// What the parser guarantees a kernel: 8 NUL bytes before the chunk, so
// that the eight bytes before any token's end can be loaded; at least 72
// NUL bytes after the bytes read (a block and one eight-byte load); a
// block that starts where a token may start; and before it, only bytes
// the parser has taken (white space, digits, signs) or the NUL bytes in
// front of the chunk, none of them 128 or above.
//
// Adding a kernel: a file like its siblings, and one line where the parser
// chooses (SampleParser::parse), after the instruction set is added to the
// one decision (common/instruction_set.hpp); a kernel whose functions carry
// a target attribute is called there through a function with the same
// attribute (parse_avx2, parse_ssse3), into which the parser is inlined. Shared steps are shared
// functions; no kernel builds on another's type. All are proven by the same
// table tests (tests/kernels_test.cpp). Not installed.
#ifndef TRAVORN_PPMA_PPMA_KERNEL_HPP
#define TRAVORN_PPMA_PPMA_KERNEL_HPP

#include <cstddef>
#include <cstdint>

#include "common/instruction_set.hpp"

namespace ppma_detail {

// The bytes of a 64-byte block by kind: bit i of `space` is set when byte i
// is white space; `other` is not zero when some byte is neither white space
// nor a digit (which bits it sets is the kernel's own).
struct Kinds {
  std::uint64_t space;
  std::uint64_t other;
};

constexpr std::uint64_t kOnes = 0x0101010101010101u;
constexpr std::uint64_t kTops = 0x80 * kOnes;

// Index of the lowest set bit of a nonzero value.
inline int lowest_bit(std::uint64_t x) {
#if defined(__GNUC__)
  return __builtin_ctzll(x);
#else
  int n = 0;
  for (; (x & 1u) == 0; x >>= 1) ++n;
  return n;
#endif
}
// Whether no eight bytes from a multiple of eight hold more than two of
// the set bits of `bits`: each byte's lowest set bit cleared twice, after
// which a byte that held three or more is not zero. A byte's x & (x - 1)
// is taken as x & ((x | 0x80) - 1), which equals it for every byte value
// and, its minuend never below 0x80, borrows from no other byte.
inline bool two_per_span(std::uint64_t bits) {
  const std::uint64_t once = bits & ((bits | kTops) - kOnes);
  return (once & ((once | kTops) - kOnes)) == 0;
}

// The shuffles of the span conversion (ppma_kernel_ssse3.hpp), by the
// closing bits of eight bytes, the span: for the j-th closing byte, at
// span place p, the bytes before it, last first, from a register of the
// eight bytes before the span and the span (so the last digit is at
// 7 + p). `four`: four lanes of four bytes; `eight`: two lanes of eight
// bytes (the first two closing bytes); lanes for no token take zeros
// (index 0x80). 8.25 KiB, made at compile time.
struct SpanPatterns {
  alignas(16) unsigned char four[256][16];
  alignas(16) unsigned char eight[256][16];
  unsigned char count[256];  // closing bytes in the span
};
constexpr SpanPatterns make_span_patterns() {
  SpanPatterns t{};
  for (int mask = 0; mask < 256; ++mask) {
    for (int i = 0; i < 16; ++i) t.four[mask][i] = t.eight[mask][i] = 0x80;
    int j = 0;
    for (int p = 0; p < 8; ++p) {
      if ((mask >> p & 1) == 0) continue;
      for (int k = 0; k < 4 && j < 4; ++k)
        t.four[mask][4 * j + k] = static_cast<unsigned char>(7 + p - k);
      for (int k = 0; k < 8 && j < 2; ++k)
        t.eight[mask][8 * j + k] = static_cast<unsigned char>(7 + p - k);
      ++j;
    }
    t.count[mask] = static_cast<unsigned char>(j);
  }
  return t;
}
inline constexpr SpanPatterns kSpanPatterns = make_span_patterns();

// Index of the highest set bit of a nonzero value.
inline int highest_bit(std::uint64_t x) {
#if defined(__GNUC__)
  return 63 - __builtin_clzll(x);
#else
  int n = 63;
  for (; (x >> 63) == 0; x <<= 1) --n;
  return n;
#endif
}

// Eight bytes with the first in the lowest position, on any host (the
// compiler makes them one load, with a byte swap on big-endian hosts).
inline std::uint64_t load_eight(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return std::uint64_t{u[0]} | std::uint64_t{u[1]} << 8 | std::uint64_t{u[2]} << 16 |
         std::uint64_t{u[3]} << 24 | std::uint64_t{u[4]} << 32 | std::uint64_t{u[5]} << 40 |
         std::uint64_t{u[6]} << 48 | std::uint64_t{u[7]} << 56;
}

// Four bytes with the first in the lowest position, on any host.
inline std::uint32_t load_four(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return std::uint32_t{u[0]} | std::uint32_t{u[1]} << 8 | std::uint32_t{u[2]} << 16 |
         std::uint32_t{u[3]} << 24;
}

// The value of up to eight digits held one a byte, each byte the digit's
// value, the last digit in the top byte and zeros below the first: pairs,
// quadruples and octets are combined in turn, each step one multiplication
// that adds ten (a hundred, ten thousand) times a field to its neighbour.
inline std::int32_t combine_digits(std::uint64_t v) {
  v = ((v * (10u << 8 | 1u)) >> 8) & 0x00FF00FF00FF00FFu;
  v = ((v * (100u << 16 | 1u)) >> 16) & 0x0000FFFF0000FFFFu;
  return static_cast<std::int32_t>((v * (std::uint64_t{10000} << 32 | 1u)) >> 32);
}
// The same for up to four digits in 32 bits.
inline std::int32_t combine_four_digits(std::uint32_t v) {
  v = ((v * (10u << 8 | 1u)) >> 8) & 0x00FF00FFu;
  return static_cast<std::int32_t>((v * (100u << 16 | 1u)) >> 16);
}

}  // namespace ppma_detail

#endif  // TRAVORN_PPMA_PPMA_KERNEL_HPP
