// SPDX-License-Identifier: MIT
// The sample parser. Most samples are short digit runs between single
// blanks; the parser works on the input's bytes in chunks of 64 KiB, in four
// stages:
//
//   classify  each block of 64 bytes at once into white space, digits and
//             anything else (the kernel's classify);
//   gather    over a run of blocks of nothing but digits and white space,
//             where every token ends, known from the classes alone, up to
//             512 tokens;
//   convert   the run's tokens into values, each back from its end: a
//             whole block at once where the kernel converts blocks (its
//             convert_block) and the caller's count has room for them, else
//             gathered and converted together (its convert), so that no
//             branch depends on how many tokens a block holds;
//   careful   every token the fast path does not take (cut by the chunk's
//             end, signed, nine digits or more, or no number at all) is
//             read one character at a time across refills and decided by the
//             module's number rule.
//
// Invariants the fast path relies on:
//   - the chunk has 8 NUL bytes in front of it, so that the eight bytes
//     before any token's end can be loaded, and they stop its digits;
//   - after the bytes read into a chunk come at least 72 NUL bytes (a block
//     and one eight-byte load), rewritten after every refill: NUL is neither
//     a digit nor white space, so a token that runs into them ends the run
//     and goes to the careful path, which sees the chunk's real end. Nothing
//     else tests the chunk's end;
//   - a block starts where a token may start: after white space or a
//     token's end; the bytes before it are ones the parser has taken
//     (white space, digits, signs) or the NUL bytes in front, so that
//     none is 128 or above.
// The kernels (ppma_kernel.hpp states their contract) are the only code of
// the parser that depends on the instruction set; parse() takes the one of
// the set that the one decision gives.
#include "ppma/ppma_parser.hpp"

#include <algorithm>
#include <istream>
#include <new>

#include "common/files.hpp"
#include "common/instruction_set.hpp"
#include "ppma/ppma_internal.hpp"
#include "ppma/ppma_kernel_avx2.hpp"
#include "ppma/ppma_kernel_portable.hpp"
#include "ppma/ppma_kernel_sse2.hpp"
#include "ppma/ppma_kernel_ssse3.hpp"

namespace ppma_detail {
namespace {

constexpr std::streamsize kChunkBytes = std::streamsize{64} * 1024;
constexpr std::size_t kBlockBytes = 64;  // bytes classified at once
// NUL bytes after the chunk: a block and one eight-byte load beyond it.
constexpr std::size_t kStopBytes = kBlockBytes + 8;
// NUL bytes before the chunk, for the eight-byte loads that end in its first bytes.
constexpr std::size_t kFrontBytes = 8;

// Where no chunk could be allocated: an empty chunk and its stop bytes, so
// that a parser that is not ready() parses nothing, safely.
constexpr char kNoChunk[kStopBytes] = {};

// Tokens that one run of clean blocks gathers at the most.
constexpr std::size_t kRunTokens = 512;

// Whether `digit` marks a run of nine digits, or of five, wholly inside.
inline bool nine_digits(std::uint64_t digit) {
  std::uint64_t run = digit & digit >> 1;  // runs of 2, 4 and 8
  run &= run >> 2;
  run &= run >> 4;
  return (run & digit >> 8) != 0;
}
inline bool five_digits(std::uint64_t digit) {
  std::uint64_t run = digit & digit >> 1;
  run &= run >> 2;
  return (run & digit >> 4) != 0;
}

// The kernel's convert_block, where it has one.
template <typename Kernel>
TRAVORN_INLINED inline std::size_t convert_block(const char* block, std::uint64_t closes,
                                                 bool short_tokens, std::int32_t* out) {
  if constexpr (Kernel::kSpans) {
    return Kernel::convert_block(block, closes, short_tokens, out);
  } else {
    return 0;
  }
}

// Takes the tokens that end in the run of clean blocks (nothing but digits
// and white space, no token over eight digits) from `block` on, whose
// classes are `kinds`; `limit` at the most. A kernel that converts blocks
// takes each block whole while `limit` leaves room for it; the rest have
// their ends gathered, then their values computed, so that neither loop
// depends on how many tokens each block holds. The kernel is told when no
// token so far has more than four digits. Sets *after past the last one's
// end. Returns how many it took: none when the first block ends no token or
// holds a long one.
template <typename Kernel>
TRAVORN_INLINED inline std::size_t take_clean_run(const char* block, Kinds kinds, std::size_t limit,
                                                  std::int32_t* out, const char** after) {
  static_assert(!(Kernel::kSpans && Kernel::kFromStarts), "whole blocks gather no starts");
  const char* at[kRunTokens + 4];
  const char* from[Kernel::kFromStarts ? kRunTokens + 1 : 1];  // where each token starts
  std::size_t n = 0;
  std::size_t started = 0;
  int carried = 0;                 // digits at the end of the block before
  std::uint64_t white_before = 1;  // whether the byte before the block is white space
  bool short_tokens = true;
  std::size_t whole = 0;       // values of whole blocks, stored in `out` at once
  const char* last = nullptr;  // the last of those blocks, and its closing bits
  std::uint64_t last_ends = 0;
  for (;;) {
    const std::uint64_t digit = ~kinds.space;
    // Tokens end where white space follows a digit. A block that ends none
    // (white space, or the start of a token it does not end) ends the run,
    // so that no stretch of blank blocks is scanned again for each of them.
    const std::uint64_t ends = kinds.space & ~(kinds.space << 1 | white_before);
    if (ends == 0) break;
    // This block is clean (it holds no NUL byte), so the next one lies
    // within the bytes read and the stop bytes after them. A kernel that
    // converts whole blocks has the next block's classes started here,
    // before this block's conversion, so that the two overlap; the next
    // block's conversion waits on its classes otherwise. For the other
    // kernels it only crowds the registers (measured slower).
    Kinds next{};
    if constexpr (Kernel::kSpans) next = Kernel::classify(block + kBlockBytes);
    const int across = carried + lowest_bit(~digit);  // the run across the blocks' border
    const bool five = across >= 5 || five_digits(digit);
    if (five && (across >= 9 || nine_digits(digit))) break;
    short_tokens = short_tokens && !five;
    if constexpr (Kernel::kFromStarts) {
      for (std::uint64_t s = digit & (kinds.space << 1 | white_before); s != 0; s &= s - 1) {
        from[started++] = block + lowest_bit(s);
      }
    }
    if (Kernel::kSpans && n == 0 && whole + kBlockBytes / 2 + 4 <= limit &&
        (short_tokens || two_per_span(ends))) {
      whole += convert_block<Kernel>(block, ends, short_tokens, out + whole);
      last = block;
      last_ends = ends;
    } else {
      for (std::uint64_t left = ends; left != 0; left &= left - 1) {
        at[n++] = block + lowest_bit(left);
      }
    }
    // A block adds 32 ends at most.
    if (whole + n >= limit || n + kBlockBytes / 2 > kRunTokens) break;
    white_before = kinds.space >> 63;
    carried = 63 - highest_bit(~digit);
    block += kBlockBytes;
    if constexpr (Kernel::kSpans) {
      kinds = next;
    } else {
      kinds = Kernel::classify(block);
    }
    if (kinds.other != 0) break;
  }
  const std::size_t count = std::min(n, limit - whole);
  if (count == 0) {
    if (whole > 0) *after = last + highest_bit(last_ends) + 1;
    return whole;
  }
  *after = at[count - 1] + 1;
  Kernel::convert(from, at, count, short_tokens, out + whole);
  return whole + count;
}

}  // namespace

SampleParser::SampleParser(std::istream& in)
    : in_(in), chunk_(new (std::nothrow) char[kFrontBytes + kChunkBytes + kStopBytes]) {
  // The NUL bytes in front and after no bytes at all; the rest of the chunk
  // is left untouched until the input fills it, so that a small input costs
  // a page or two, not the whole chunk.
  if (chunk_) std::fill_n(chunk_.get(), kFrontBytes + kStopBytes, '\0');
  next_ = end_ = chunk_ ? chunk_.get() + kFrontBytes : kNoChunk;
}

// Block by block: a run of clean blocks goes to take_clean_run; the first
// token of any other block, to the careful path, after which the blocks
// start again where that token ended. A block of nothing but white space is
// passed over whole.
template <typename Kernel>
TRAVORN_INLINED inline SampleParser::Status SampleParser::parse_with(std::int32_t* out,
                                                                     std::size_t count,
                                                                     std::size_t* parsed) {
  const char* block = next_;
  std::size_t k = 0;
  while (k < count) {
    const Kinds kinds = Kernel::classify(block);
    if (kinds.other == 0) {
      const char* after = block;
      const std::size_t taken = take_clean_run<Kernel>(block, kinds, count - k, out + k, &after);
      if (taken > 0) {
        k += taken;
        block = after;
        continue;
      }
    }
    // A token the fast path could not take: tokens start after white space.
    const std::uint64_t starts = ~kinds.space & ((kinds.space << 1) | 1u);
    if (starts != 0) {
      next_ = block + lowest_bit(starts);
      const Status status = parse_carefully(&out[k]);
      if (status != kFull) {
        *parsed = k;
        return status;
      }
      ++k;
      block = next_;  // the chunk may have been refilled
      continue;
    }
    block += kBlockBytes;
  }
  next_ = block;
  *parsed = k;
  return kFull;
}

#if TRAVORN_HAS_AVX2
namespace {
// The parser whole, compiled for AVX2.
TRAVORN_AVX2 SampleParser::Status parse_avx2(SampleParser& parser, std::int32_t* out,
                                             std::size_t count, std::size_t* parsed) {
  return parser.parse_with<Avx2Kernel>(out, count, parsed);
}
}  // namespace
#endif
#if TRAVORN_HAS_SSSE3
namespace {
// The parser whole, compiled for SSSE3.
TRAVORN_SSSE3 SampleParser::Status parse_ssse3(SampleParser& parser, std::int32_t* out,
                                               std::size_t count, std::size_t* parsed) {
  return parser.parse_with<Ssse3Kernel>(out, count, parsed);
}
}  // namespace
#endif

SampleParser::Status SampleParser::parse(std::int32_t* out, std::size_t count,
                                         std::size_t* parsed) {
  using travorn_detail::InstructionSet;
  switch (travorn_detail::instruction_set()) {  // a kernel a line
#if TRAVORN_HAS_AVX2
    case InstructionSet::kAvx2:
      return parse_avx2(*this, out, count, parsed);
#endif
#if TRAVORN_HAS_SSSE3
    case InstructionSet::kSsse3:
      return parse_ssse3(*this, out, count, parsed);
#endif
#if TRAVORN_HAS_SSE2
    case InstructionSet::kSse2:
      return parse_with<Sse2Kernel>(out, count, parsed);
#endif
    default:
      return parse_with<PortableKernel>(out, count, parsed);
  }
}

SampleParser::Status SampleParser::parse_carefully(std::int32_t* value) {
  int c = get();
  while (is_space(c)) c = get();
  if (c < 0) return kEnd;
  Decimal number;
  if (number.sign(c)) c = get();
  if (!is_digit(c)) return kBad;
  while (is_digit(c)) {
    number.digit(c);
    c = get();
  }
  // Letters, '.', '#' or the end of the input after the digits spoil the token.
  if (!is_space(c) || !number.in_range()) return kBad;
  *value = number.value();
  return kFull;
}

void SampleParser::give_back() {
  std::streambuf* const buffer = in_.rdbuf();
  if (buffer == nullptr || !chunk_) return;
  // The white space that ended the last sample was taken with it.
  buffer->pubseekoff(-static_cast<std::streamoff>(end_ - next_ + 1), std::ios::cur, std::ios::in);
}

int SampleParser::get() {
  if (next_ == end_ && !refill()) return -1;
  return static_cast<unsigned char>(*next_++);
}

bool SampleParser::refill() {
  std::streambuf* const buffer = in_.rdbuf();
  if (buffer == nullptr || !chunk_ || at_end_) return false;
  char* const data = chunk_.get() + kFrontBytes;
  std::streamsize got = 0;
  try {
    got = buffer->sgetn(data, kChunkBytes);
  } catch (const travorn_detail::ReadFailure&) {  // a read error of the module's own file
    in_.setstate(std::ios::badbit);
  }
  if (got <= 0) {
    at_end_ = true;
    in_.setstate(std::ios::eofbit);
    return false;
  }
  next_ = data;
  end_ = data + got;
  std::fill_n(data + got, kStopBytes, '\0');
  return true;
}

}  // namespace ppma_detail
