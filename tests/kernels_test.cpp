// SPDX-License-Identifier: MIT
// Every kernel this build can run, on tables: the parser's on bytes (the
// kinds of every byte value at every place of a block, and the values of
// tokens with the positions where they end), the converter's row kernels on
// samples (every rescale class, every length of a row's piece, not a byte
// stored outside it), and the split of samples into planes.
#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <random>
#include <string>
#include <vector>

#include "app/rows_avx2.hpp"
#include "app/rows_portable.hpp"
#include "common/instruction_set.hpp"
#include "ppma/ppma_internal.hpp"
#include "ppma/ppma_kernel_avx2.hpp"
#include "ppma/ppma_kernel_portable.hpp"
#include "ppma/ppma_kernel_sse2.hpp"
#include "ppma/ppma_kernel_ssse3.hpp"
#include "ppma/ppma_planes.hpp"

using travorn_detail::InstructionSet;

// The kernel's name in the tests' names.
std::string kernel_name(InstructionSet set) {
  const char* const names[] = {"Portable", "Sse2", "Ssse3", "Avx2"};
  return names[static_cast<int>(set)];
}

namespace {

using ppma_detail::Kinds;

// A kernel that this build lacks stands in as the portable one; its tests
// are skipped, since the instruction set cannot be chosen.
#if !TRAVORN_HAS_SSE2
using Sse2Kernel = ppma_detail::PortableKernel;
#else
using ppma_detail::Sse2Kernel;
#endif
#if !TRAVORN_HAS_SSSE3
using Ssse3Kernel = ppma_detail::PortableKernel;
#else
using ppma_detail::Ssse3Kernel;
#endif
#if !TRAVORN_HAS_AVX2
using Avx2Kernel = ppma_detail::PortableKernel;
using Avx2Rows = travorn_detail::PortableRows;
#else
using ppma_detail::Avx2Kernel;
using travorn_detail::Avx2Rows;
#endif

// Every kernel, each skipped where this build or this processor cannot run it.
template <typename K, InstructionSet kSet>
struct On {
  using Kernel = K;
  static constexpr InstructionSet set = kSet;
};
using KernelTypes =
    ::testing::Types<On<ppma_detail::PortableKernel, InstructionSet::kPortable>,
                     On<Sse2Kernel, InstructionSet::kSse2>, On<Ssse3Kernel, InstructionSet::kSsse3>,
                     On<Avx2Kernel, InstructionSet::kAvx2>>;
using SpanKernelTypes = ::testing::Types<On<Ssse3Kernel, InstructionSet::kSsse3>,
                                         On<Avx2Kernel, InstructionSet::kAvx2>>;
using RowKernelTypes = ::testing::Types<On<travorn_detail::PortableRows, InstructionSet::kPortable>,
                                        On<Avx2Rows, InstructionSet::kAvx2>>;
struct KernelName {
  template <typename T>
  static std::string GetName(int) {
    return kernel_name(T::set);
  }
};
// Each test on its instruction set, the one decision as it was again after it.
template <typename T>
class Kernels : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!travorn_detail::use_instruction_set(T::set))
      GTEST_SKIP() << "not in this build, or not on this processor";
  }
  void TearDown() override { travorn_detail::use_instruction_set(before_); }

 private:
  const InstructionSet before_ = travorn_detail::instruction_set();
};
TYPED_TEST_SUITE(Kernels, KernelTypes, KernelName);
template <typename T>
class RowKernels : public Kernels<T> {};
TYPED_TEST_SUITE(RowKernels, RowKernelTypes, KernelName);
template <typename T>
class SpanKernels : public Kernels<T> {};
TYPED_TEST_SUITE(SpanKernels, SpanKernelTypes, KernelName);

// A block as the parser sees it: 8 NUL bytes in front, 64 bytes (the text,
// then blanks) from data() + 8, 72 NUL bytes after.
std::string block_of(const std::string& text) {
  return std::string(8, '\0') + text + std::string(64 - text.size(), ' ') + std::string(72, '\0');
}

TYPED_TEST(Kernels, ClassifyEveryByteAtEveryPlace) {
  for (int value = 0; value < 256; ++value) {
    const bool space = value == ' ' || (value >= '\t' && value <= '\r');
    const bool digit = value >= '0' && value <= '9';
    for (int place = 0; place < 64; ++place) {
      std::string block = block_of(std::string(64, '7'));
      block[8 + place] = static_cast<char>(value);
      const Kinds kinds = TypeParam::Kernel::classify(block.data() + 8);
      const std::uint64_t bit = std::uint64_t{1} << place;
      ASSERT_EQ(kinds.space, space ? bit : 0) << "byte " << value << " at " << place;
      ASSERT_EQ(kinds.other != 0, !space && !digit) << "byte " << value << " at " << place;
    }
  }
}

TYPED_TEST(Kernels, ConvertTokensOfOneToEightDigits) {
  const struct {
    const char* text;  // 64 bytes at most, every token followed by white space
    std::vector<int> ends;
    std::vector<std::int32_t> values;
  } rows[] = {
      {"0 1 9 10 99 100 255 1000 9999 ",
       {1, 3, 5, 8, 11, 15, 19, 24, 29},
       {0, 1, 9, 10, 99, 100, 255, 1000, 9999}},
      {"7\t8\n9\v1\f2\r3 ", {1, 3, 5, 7, 9, 11}, {7, 8, 9, 1, 2, 3}},
      {"12345 65535 99999999 00000001 0000 ", {5, 11, 20, 29, 34}, {12345, 65535, 99999999, 1, 0}},
      {"87654321\n7654321\n654321\n54321\n4321\n",
       {8, 16, 23, 29, 34},
       {87654321, 7654321, 654321, 54321, 4321}},
      {"1 22 333 4444 55555 666666 7777777 88888888 9 ",
       {1, 4, 8, 13, 19, 26, 34, 43, 45},
       {1, 22, 333, 4444, 55555, 666666, 7777777, 88888888, 9}},
      {"1 12 123 1234 0 00 000 0000 9 99 999 9999 4321 0 ",
       {1, 4, 8, 13, 15, 18, 22, 27, 29, 32, 36, 41, 46, 48},
       {1, 12, 123, 1234, 0, 0, 0, 0, 9, 99, 999, 9999, 4321, 0}},
  };
  for (const auto& row : rows) {
    const std::string block = block_of(row.text);
    const Kinds kinds = TypeParam::Kernel::classify(block.data() + 8);
    std::vector<const char*> from, at(row.ends.size() + 4);
    for (std::uint64_t s = ~kinds.space & (kinds.space << 1 | 1); s != 0; s &= s - 1) {
      from.push_back(block.data() + 8 + ppma_detail::lowest_bit(s));
    }
    for (std::size_t k = 0; k < row.ends.size(); ++k) at[k] = block.data() + 8 + row.ends[k];
    // Each row converted as any tokens, and as short ones where every
    // token has four digits at most.
    std::size_t longest = 0;
    for (std::size_t k = 0, digits = 0; row.text[k] != '\0'; ++k) {
      digits = row.text[k] >= '0' && row.text[k] <= '9' ? digits + 1 : 0;
      longest = std::max(longest, digits);
    }
    const bool short_tokens = longest <= 4;
    for (const bool as_short : {false, short_tokens}) {
      std::vector<std::int32_t> values(row.ends.size());
      TypeParam::Kernel::convert(from.data(), at.data(), row.ends.size(), as_short, values.data());
      EXPECT_EQ(values, row.values) << row.text << (as_short ? " as short tokens" : "");
    }
  }
}

// Whole blocks of random tokens (one to eight digits, leading zeros, every
// kind of white space, the first begun, perhaps with a sign, in the eight
// bytes before the block), converted at once, against the values of their
// digits: short ones with the short conversion, all with the long one where
// no span closes more than two; the four values after them may be written,
// no more.
TYPED_TEST(SpanKernels, ConvertWholeBlocksOfEveryTokenLength) {
  using Kernel = typename TypeParam::Kernel;
  // A build without the kernel stands the portable one in, skipped in SetUp.
  if constexpr (Kernel::kSpans) {
    std::mt19937 random(11);
    const char spaces[] = " \t\n\v\f\r";
    int tested[2] = {0, 0};
    for (int trial = 0; trial < 20000; ++trial) {
      const int longest = trial % 2 == 0 ? 4 : 8;
      std::string text(std::size_t(random() % 8), '7');  // a token begun before the block
      if (text.size() > 1 && random() % 2 == 0) text[0] = "+-"[random() % 2];  // signed
      while (text.size() < 8 + 64) {
        if (random() % 3 == 0 || text.empty()) text += spaces[random() % 6];
        text += spaces[random() % 6];
        const int digits = 1 + int(random() % unsigned(longest));
        for (int d = 0; d < digits; ++d)
          text += char('0' + (random() % 4 == 0 ? 0 : random() % 10));
      }
      text.resize(8 + 64);  // the eight bytes before the block, and the block
      text = std::string(8, '\0') + text + ' ' + std::string(72, '\0');
      const char* block = text.data() + 16;
      const Kinds kinds = Kernel::classify(block);
      const std::uint64_t white_before = ppma_detail::is_space(block[-1]) ? 1 : 0;
      const std::uint64_t closes = kinds.space & ~(kinds.space << 1 | white_before);
      std::vector<std::int32_t> expected;
      for (int place = 0; place < 64; ++place) {
        if ((closes >> place & 1) == 0) continue;
        std::int32_t value = 0, scale = 1;
        for (const char* d = block + place - 1; *d >= '0' && *d <= '9'; --d, scale *= 10) {
          value += (*d - '0') * scale;
        }
        expected.push_back(value);
      }
      const bool short_tokens = longest == 4;
      if (!short_tokens && !ppma_detail::two_per_span(closes)) continue;
      ++tested[short_tokens];
      std::vector<std::int32_t> out(expected.size() + 8, -7);
      const std::size_t count = Kernel::convert_block(block, closes, short_tokens, out.data());
      ASSERT_EQ(count, expected.size()) << text.substr(16, 64);
      EXPECT_EQ(std::vector<std::int32_t>(out.begin(), out.begin() + count), expected)
          << text.substr(16, 64) << (short_tokens ? " as short tokens" : "");
      EXPECT_EQ(std::vector<std::int32_t>(out.end() - 4, out.end()),
                std::vector<std::int32_t>(4, -7));
    }
    EXPECT_GT(tested[0], 1000);
    EXPECT_GT(tested[1], 1000);
  }
}

// Each rescale class (the clamp of 255; the 16-bit steps of 65535; the
// multiplication, at its ends and between; the division) on pieces of 1 to 40 pixels and a long
// one, whose samples reach both ends of 32 bits and go past the maximum, and on a piece of every
// sample from -8 to 65543 in turn: the bytes of scale_sample in the order B, G, R, and 32 guard
// bytes untouched before and after the piece.
TYPED_TEST(RowKernels, EveryRescaleClassAndEveryLengthOfAPiece) {
  std::vector<std::size_t> lengths(40);
  for (std::size_t n = 0; n < lengths.size(); ++n) lengths[n] = n + 1;
  lengths.push_back(1000);
  const std::size_t kEveryValue = 21850;  // -8 to 65543 in turn: the top of 16 bits
  lengths.push_back(kEveryValue);
  for (const std::int32_t maxrgb : {255, 1, 15, 65535, 1 << 20, (1 << 20) + 1, INT32_MAX}) {
    const travorn_detail::Rescale rescale(maxrgb);
    for (const std::size_t pixels : lengths) {
      std::vector<std::int32_t> rgb(3 * pixels);
      for (std::size_t k = 0; k < rgb.size(); ++k) {
        const std::int64_t v = std::int64_t(k * 2654435761u % (std::uint64_t(maxrgb) + 11)) - 5;
        rgb[k] = pixels == kEveryValue ? std::int32_t(k) - 8
                 : k % 97 == 3         ? INT32_MIN
                 : k % 89 == 5         ? INT32_MAX
                                       : std::int32_t(v);
      }
      std::string expected(32, 'G');
      for (std::size_t i = 0; i < pixels; ++i) {
        for (const std::size_t c : {2, 1, 0}) {
          expected += char(ppma_detail::scale_sample(rgb[3 * i + c], maxrgb));
        }
      }
      expected += std::string(32, 'G');
      std::string out(expected.size(), 'G');
      TypeParam::Kernel::interleave(rgb.data(), pixels, out.data() + 32, rescale);
      ASSERT_EQ(out, expected) << "maxrgb " << maxrgb << ", " << pixels << " pixels";
    }
  }
}

// The parser's test for blocks whose spans close two tokens at most: every
// byte value at every span, among bytes of one or two set bits.
TEST(SpanCounts, NoSpanOfMoreThanTwo) {
  for (int span = 0; span < 8; ++span) {
    for (unsigned byte = 0; byte < 256; ++byte) {
      const std::uint64_t others = 0x0300810006402000u & ~(std::uint64_t{0xFF} << 8 * span);
      const std::uint64_t bits = others | std::uint64_t{byte} << 8 * span;
      ASSERT_EQ(ppma_detail::two_per_span(bits), std::bitset<8>(byte).count() <= 2) << bits;
    }
  }
}

// The split of 0 to 40 pixels and a long run into planes, on each
// instruction set: the i-th sample of each colour at i, and guard values
// untouched before and after each plane.
TYPED_TEST(Kernels, SplitSamplesIntoPlanesOfEveryLength) {
  for (std::size_t pixels = 0; pixels <= 1000; pixels += pixels < 40 ? 1 : 960) {
    std::vector<std::int32_t> rgb(3 * pixels);
    for (std::size_t k = 0; k < rgb.size(); ++k) rgb[k] = std::int32_t(k * 2654435761u);
    std::vector<std::int32_t> expected[3], planes[3];
    for (int c = 0; c < 3; ++c) {
      expected[c].assign(pixels + 16, -7 - c);
      for (std::size_t i = 0; i < pixels; ++i) expected[c][8 + i] = rgb[3 * i + c];
      planes[c].assign(pixels + 16, -7 - c);
    }
    ppma_detail::split_samples(rgb.data(), pixels, &planes[0][8], &planes[1][8], &planes[2][8]);
    for (int c = 0; c < 3; ++c) {
      ASSERT_EQ(planes[c], expected[c]) << "plane " << c << ", " << pixels << " pixels";
    }
  }
}

}  // namespace
