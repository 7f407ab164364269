// SPDX-License-Identifier: MIT
// The parser's kernels. What the sample parser asks of the instruction set:
// a kernel, written once for each instruction set in a file of its own
// (this one, plain C++ for any host; ppma_kernel_sse2.hpp;
// ppma_kernel_avx2.hpp), is a class with two static functions and a flag.
//
//   static Kinds classify(const char* block);
//     The 64 bytes from `block` by kind (below).
//
//   static constexpr bool kFromStarts;
//   static void convert(const char* const* starts, const char** ends,
//                       std::size_t count, std::int32_t* out);
//     Stores in out[k] the value of the token that ends just before ends[k],
//     for k below `count`: one to eight digits. A kernel whose kFromStarts
//     is true reads each token forwards from starts[k], where it begins, and
//     up to eight bytes from there; the others leave `starts` alone (the
//     parser gathers it only for them) and read each token back from its
//     end: its digits are the bytes before ends[k] back to the first byte
//     that is not a digit (white space, or a NUL byte in front of the
//     chunk), up to eight bytes before the end. `ends` has room for four
//     entries after `count`, which convert may overwrite.
//
// The portable kernel reads forwards: reading back from the ends made
// ppma_read 35 to 39 % slower at maxvals 255 and 65535 on the 12-megapixel
// pictures (x86-64, the portable kernel forced). SSE2 reads back from the
// ends, four tokens to a register, and AVX2 eight to two registers. All are
// proven by the same table tests. The parser chooses one when it first runs
// (ppma_parser.cpp). Not installed.
#ifndef TRAVORN_PPMA_PPMA_KERNEL_PORTABLE_HPP
#define TRAVORN_PPMA_PPMA_KERNEL_PORTABLE_HPP

#include <cstddef>
#include <cstdint>

namespace ppma_detail {

// The bytes of a 64-byte block by kind: bit i of `space` is set when byte i
// is white space, of `other` when it is neither white space nor a digit.
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
// Eight bytes with the first in the lowest position, on any host (the
// compiler makes them one load, with a byte swap on big-endian hosts).
inline std::uint64_t load_eight(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return std::uint64_t{u[0]} | std::uint64_t{u[1]} << 8 | std::uint64_t{u[2]} << 16 |
         std::uint64_t{u[3]} << 24 | std::uint64_t{u[4]} << 32 | std::uint64_t{u[5]} << 40 |
         std::uint64_t{u[6]} << 48 | std::uint64_t{u[7]} << 56;
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

// The portable kernel: eight bytes at a time in 64-bit integers.
struct PortableKernel {
  // Each range test leaves its answer in the top bit of every byte (bytes
  // from 128 on are neither kind), and one multiplication gathers the eight
  // top bits.
  static Kinds classify(const char* block) {
    Kinds kinds{0, 0};
    for (int i = 0; i < 64; i += 8) {
      const std::uint64_t bytes = load_eight(block + i);
      const std::uint64_t low = bytes & ~kTops;
      const auto from = [low](std::uint64_t first) { return low + (0x80 - first) * kOnes; };
      const auto upto = [low](std::uint64_t last) { return ~(low + (0x7F - last) * kOnes); };
      const std::uint64_t space = ((from(9) & upto(13)) | (from(' ') & upto(' '))) & ~bytes & kTops;
      const std::uint64_t known = space | (from('0') & upto('9') & ~bytes & kTops);
      const auto gather = [](std::uint64_t tops) {
        return (((tops >> 7) * 0x0102040810204080u) >> 56) & 0xFFu;
      };
      kinds.space |= gather(space) << i;
      kinds.other |= (gather(known) ^ 0xFFu) << i;
    }
    return kinds;
  }

  // Each value forwards from the token's start, its length known from its
  // end: the digits' low nibbles, moved to the top bytes.
  static constexpr bool kFromStarts = true;
  static void convert(const char* const* starts, const char** ends, std::size_t count,
                      std::int32_t* out) {
    for (std::size_t k = 0; k < count; ++k) {
      const auto length = static_cast<int>(ends[k] - starts[k]);
      out[k] = combine_digits((load_eight(starts[k]) & (0x0F * kOnes)) << (8 * (8 - length)));
    }
  }
};

}  // namespace ppma_detail

#endif  // TRAVORN_PPMA_PPMA_KERNEL_PORTABLE_HPP
