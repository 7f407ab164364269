// SPDX-License-Identifier: MIT
// The parser's kernel in plain C++, for any host: eight bytes at a time in
// 64-bit integers. Not installed.
#ifndef TRAVORN_PPMA_PPMA_KERNEL_PORTABLE_HPP
#define TRAVORN_PPMA_PPMA_KERNEL_PORTABLE_HPP

#include "ppma/ppma_kernel.hpp"

namespace ppma_detail {

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

  // Each value from the eight bytes before its end: every byte from the
  // last one that is not a digit back is dropped. (Short tokens gain
  // nothing from a shorter load here.)
  static void convert(const char** ends, std::size_t count, bool /*short_tokens*/,
                      std::int32_t* out) {
    for (std::size_t k = 0; k < count; ++k) {
      const std::uint64_t bytes = load_eight(ends[k] - 8);
      const std::uint64_t other = not_digits(bytes);
      const std::uint64_t keep =
          other == 0 ? ~std::uint64_t{0} : ~std::uint64_t{0} << (highest_bit(other) + 1);
      out[k] = combine_digits((bytes ^ (0x30 * kOnes)) & keep);
    }
  }
};

}  // namespace ppma_detail

#endif  // TRAVORN_PPMA_PPMA_KERNEL_PORTABLE_HPP
