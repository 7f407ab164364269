// SPDX-License-Identifier: MIT
// The parser's portable kernel (the contract: ppma_kernel.hpp), plain C++
// for any host. It reads each token forwards from its start: reading back
// from the ends, as the SSE2 and AVX2 kernels do, made ppma_read 35 to 39 %
// slower at maxvals 255 and 65535 on the 12-megapixel pictures (x86-64,
// the portable kernel forced). Not installed.
#ifndef TRAVORN_PPMA_PPMA_KERNEL_PORTABLE_HPP
#define TRAVORN_PPMA_PPMA_KERNEL_PORTABLE_HPP

#include <cstddef>
#include <cstdint>

#include "ppma/ppma_kernel.hpp"

namespace ppma_detail {

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
  // end: the digits' low nibbles, moved to the top bytes; short tokens in
  // 32 bits, two multiplications instead of three.
  static constexpr bool kSpans = false;
  static constexpr bool kFromStarts = true;
  static void convert(const char* const* starts, const char** ends, std::size_t count,
                      bool short_tokens, std::int32_t* out) {
    if (short_tokens) {
      for (std::size_t k = 0; k < count; ++k) {
        const auto length = static_cast<int>(ends[k] - starts[k]);
        out[k] = combine_four_digits((load_four(starts[k]) & 0x0F0F0F0Fu) << (8 * (4 - length)));
      }
      return;
    }
    for (std::size_t k = 0; k < count; ++k) {
      const auto length = static_cast<int>(ends[k] - starts[k]);
      out[k] = combine_digits((load_eight(starts[k]) & (0x0F * kOnes)) << (8 * (8 - length)));
    }
  }
};

}  // namespace ppma_detail

#endif  // TRAVORN_PPMA_PPMA_KERNEL_PORTABLE_HPP
