// SPDX-License-Identifier: MIT
// The sample parser. Most samples are short digit runs between single
// blanks, so the fast path classifies 64 bytes at once into white space,
// digits and anything else (with SSE2, or eight bytes at a time). Over a run
// of blocks of nothing but digits and white space, every token's end is
// known from the classes: the ends of the whole run are gathered first, and
// then the values computed without a loop over any token's digits (with
// SSE2, four tokens at a time from the bytes that end with each one's last
// digit; elsewhere one token at a time from the eight bytes where it starts
// and three multiplications), so that no branch depends on how many tokens
// a block holds. Nothing tests the chunk's end: the chunk is followed by NUL
// bytes, which are neither digits nor white space, so a token that runs into
// them ends the run. Every token that the fast path does not take (cut by
// the chunk's end, signed, nine digits or more, or no number at all) goes
// to the careful path, which reads one character at a time across refills
// and decides every case with the module's number rule.
#include "ppma/ppma_parser.hpp"

#include <algorithm>
#include <cstring>
#include <istream>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ppma/ppma_internal.hpp"

namespace ppma_detail {
namespace {

constexpr std::streamsize kChunkBytes = std::streamsize{64} * 1024;
constexpr std::size_t kBlockBytes = 64;  // bytes classified at once
// NUL bytes after the chunk: a block and one eight-byte load beyond it.
constexpr std::size_t kStopBytes = kBlockBytes + 8;
// NUL bytes before the chunk, for the eight-byte loads that end in its first bytes.
constexpr std::size_t kFrontBytes = 8;

inline bool space_at(const char* p) { return is_space(static_cast<unsigned char>(*p)); }

// Where no chunk could be allocated: an empty chunk and its stop bytes.
constexpr char kNoChunk[kStopBytes] = {};

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

// The 64 bytes of a block by kind: bit i of `space` is set when byte i is
// white space, of `other` when it is neither white space nor a digit.
struct Kinds {
  std::uint64_t space;
  std::uint64_t other;
};

inline Kinds classify(const char* p) {
  Kinds kinds{0, 0};
#if defined(__SSE2__)
  for (int i = 0; i < 64; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    // Byte ranges by one signed comparison: moved by 128 - first, the bytes
    // from `first` on become the signed bytes -128 and up.
    const __m128i control =  // \t..\r are 9..13
        _mm_cmplt_epi8(_mm_add_epi8(x, _mm_set1_epi8(128 - 9)), _mm_set1_epi8(-128 + 5));
    const __m128i space = _mm_or_si128(control, _mm_cmpeq_epi8(x, _mm_set1_epi8(' ')));
    const __m128i digit =
        _mm_cmplt_epi8(_mm_add_epi8(x, _mm_set1_epi8(128 - '0')), _mm_set1_epi8(-128 + 10));
    const auto space_mask = static_cast<unsigned>(_mm_movemask_epi8(space));
    const auto known_mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(space, digit)));
    kinds.space |= std::uint64_t{space_mask} << i;
    kinds.other |= std::uint64_t{~known_mask & 0xFFFFu} << i;
  }
#else
  // Eight bytes at a time: each range test leaves its answer in the top bit
  // of every byte, and one multiplication gathers the eight top bits.
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kTops = 0x80 * kOnes;
  for (int i = 0; i < 64; i += 8) {
    const std::uint64_t bytes = load_eight(p + i);
    const std::uint64_t low = bytes & ~kTops;  // bytes from 128 on are neither kind
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
#endif
  return kinds;
}

// The value of the `length` (1 to 8) digits in the low bytes of `digits`,
// each byte holding one digit's value, the first digit lowest: the digits
// move to the top bytes, leading zeros fill the bottom ones, and pairs,
// quadruples and octets are combined in turn, each step one multiplication
// that adds ten (a hundred, ten thousand) times a field to its neighbour.
inline std::int32_t digits_value(std::uint64_t digits, int length) {
  std::uint64_t v = digits << (8 * (8 - length));
  v = ((v * (10u << 8 | 1u)) >> 8) & 0x00FF00FF00FF00FFu;
  v = ((v * (100u << 16 | 1u)) >> 16) & 0x0000FFFF0000FFFFu;
  return static_cast<std::int32_t>((v * (std::uint64_t{10000} << 32 | 1u)) >> 32);
}

#if defined(__SSE2__)
// 1 + 2560 in each 16-bit lane: (a + 256 b) * (1 + 2560) = 256 (10 a + b) + a
// modulo 2^16, so that one multiplication and a shift combine two digits.
// Hidden from the optimiser, which would otherwise spell the multiplication
// as four shifts and additions.
inline __m128i pair_weights() {
  __m128i weights = _mm_set1_epi16(0x0A01);
#if defined(__GNUC__)
  __asm__("" : "+x"(weights));
#endif
  return weights;
}

// The values of four tokens, each read from the eight bytes that end
// with its last digit: the bytes of `p` - 8 to `p` - 1 for each p in
// `ends`. Every byte from the last one that is not a digit back is dropped
// (the one before a token is white space, NUL before a chunk's first), so
// each 64-bit lane holds one token's digits at its top, and pairs, quadruples
// and octets are combined as in digits_value, two lanes to a register.
inline __m128i token_values(const char* const ends[4]) {
  __m128i quads[2];
  for (std::size_t h = 0; h < 2; ++h) {
    const __m128i x =
        _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(ends[2 * h] - 8)),
                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(ends[2 * h + 1] - 8)));
    const __m128i d = _mm_sub_epi8(x, _mm_set1_epi8('0'));  // white space and NUL: negative
    __m128i drop = _mm_cmplt_epi8(d, _mm_setzero_si128());
    drop = _mm_or_si128(drop, _mm_srli_epi64(drop, 8));
    drop = _mm_or_si128(drop, _mm_srli_epi64(drop, 16));
    drop = _mm_or_si128(drop, _mm_srli_epi64(drop, 32));
    const __m128i digits = _mm_andnot_si128(drop, d);
    const __m128i pairs = _mm_srli_epi16(_mm_mullo_epi16(digits, pair_weights()), 8);
    quads[h] = _mm_madd_epi16(pairs, _mm_set1_epi32(1 << 16 | 100));
  }
  return _mm_madd_epi16(_mm_packs_epi32(quads[0], quads[1]), _mm_set1_epi32(1 << 16 | 10000));
}

// The same for tokens of four digits at most, from the four bytes that end
// with each one's last digit, one token to a 32-bit lane.
inline __m128i short_token_values(const char* const ends[4]) {
  __m128i words[4];
  for (int i = 0; i < 4; ++i) {
    std::int32_t word;
    std::memcpy(&word, ends[i] - 4, 4);
    words[i] = _mm_cvtsi32_si128(word);
  }
  const __m128i x = _mm_unpacklo_epi64(_mm_unpacklo_epi32(words[0], words[1]),
                                       _mm_unpacklo_epi32(words[2], words[3]));
  const __m128i d = _mm_sub_epi8(x, _mm_set1_epi8('0'));
  __m128i drop = _mm_cmplt_epi8(d, _mm_setzero_si128());
  drop = _mm_or_si128(drop, _mm_srli_epi32(drop, 8));
  drop = _mm_or_si128(drop, _mm_srli_epi32(drop, 16));
  const __m128i digits = _mm_andnot_si128(drop, d);
  const __m128i pairs = _mm_srli_epi16(_mm_mullo_epi16(digits, pair_weights()), 8);
  return _mm_madd_epi16(pairs, _mm_set1_epi32(1 << 16 | 100));
}

#else
// Four bytes with the first in the lowest position, on any host.
inline std::uint32_t load_four(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return std::uint32_t{u[0]} | std::uint32_t{u[1]} << 8 | std::uint32_t{u[2]} << 16 |
         std::uint32_t{u[3]} << 24;
}

// The value of one to four digits, as digits_value computes it, in one step less.
inline std::int32_t short_digits_value(std::uint32_t digits, int length) {
  std::uint32_t v = digits << (8 * (4 - length));
  v = ((v * (10u << 8 | 1u)) >> 8) & 0x00FF00FFu;
  return static_cast<std::int32_t>((v * (100u << 16 | 1u)) >> 16);
}
#endif

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

// Stores the values of the `count` tokens that start at `from` (without
// SSE2) and end at `at`, which has room for four more entries. With
// `kShort`, none has more than four digits.
template <bool kShort>
void convert_tokens([[maybe_unused]] const char* const* from, const char** at, std::size_t count,
                    std::int32_t* out) {
#if defined(__SSE2__)
  const auto values = [](const char* const* four) {
    if constexpr (kShort) return short_token_values(four);
    return token_values(four);
  };
  for (std::size_t i = count; i < count + 4; ++i) at[i] = at[count - 1];
  std::size_t k = 0;
  for (; k + 4 <= count; k += 4) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), values(at + k));
  }
  if (k < count) {
    alignas(16) std::int32_t some[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(some), values(at + k));
    std::copy_n(some, count - k, out + k);
  }
#else
  for (std::size_t k = 0; k < count; ++k) {
    const auto length = static_cast<int>(at[k] - from[k]);
    out[k] = kShort ? short_digits_value(load_four(from[k]) & 0x0F0F0F0Fu, length)
                    : digits_value(load_eight(from[k]) & 0x0F0F0F0F0F0F0F0Fu, length);
  }
#endif
}

// Takes the tokens that end in the run of clean blocks (nothing but digits
// and white space, no token over eight digits) from `block` on, whose
// classes are `kinds`; `limit` at the most. First their ends are gathered,
// then their values computed, so that neither loop depends on how many
// tokens each block holds. Sets *after past the last one's end. Returns how
// many it took: none when the first block ends no token or holds a long one.
std::size_t take_clean_run(const char* block, Kinds kinds, std::size_t limit, std::int32_t* out,
                           const char** after) {
  const char* at[kRunTokens + 4];
#if defined(__SSE2__)
  const char* const* const from = nullptr;  // the values come from the ends alone
#else
  const char* from[kRunTokens + 1];  // where each token starts
  std::size_t started = 0;
#endif
  std::size_t n = 0;
  std::uint64_t before = 0;        // the digits of the block before
  std::uint64_t white_before = 1;  // whether the byte before the block is white space
  bool short_tokens = true;
  for (;;) {
    const std::uint64_t digit = ~kinds.space;
    const std::uint64_t across = digit << 8 | before >> 56;  // runs across the blocks' border
    // Tokens end where white space follows a digit. A block that ends none
    // (white space, or the start of a token it does not end) ends the run,
    // so that no stretch of blank blocks is scanned again for each of them.
    const std::uint64_t ends = kinds.space & ~(kinds.space << 1 | white_before);
    if (ends == 0 || nine_digits(digit) || nine_digits(across)) break;
    short_tokens = short_tokens && !five_digits(digit) && !five_digits(across);
#if !defined(__SSE2__)
    for (std::uint64_t starts = digit & (kinds.space << 1 | white_before); starts != 0;
         starts &= starts - 1) {
      from[started++] = block + lowest_bit(starts);
    }
#endif
    for (std::uint64_t left = ends; left != 0; left &= left - 1) at[n++] = block + lowest_bit(left);
    if (n >= limit || n + kBlockBytes / 2 > kRunTokens) break;  // a block adds 32 ends at most
    white_before = kinds.space >> 63;
    before = digit;
    block += kBlockBytes;
    kinds = classify(block);
    if (kinds.other != 0) break;
  }
  const std::size_t count = std::min(n, limit);
  if (count == 0) return 0;
  *after = at[count - 1] + 1;
  if (short_tokens) {
    convert_tokens<true>(from, at, count, out);
  } else {
    convert_tokens<false>(from, at, count, out);
  }
  return count;
}

// Takes an unsigned run of one to seven digits followed by white space at
// `p`: stores its value, returns the position after the white space. Null
// when the token at `p` is anything else.
inline const char* take_short_number(const char* p, std::int32_t* value) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  const std::uint64_t digits = load_eight(p) - 0x30 * kOnes;
  // A byte's top bit is set when it is not a digit (below '0' or above '9').
  const std::uint64_t not_digit = ((digits + 0x76 * kOnes) | digits) & 0x80 * kOnes;
  if (not_digit == 0) return nullptr;  // eight digits or more
  const int length = lowest_bit(not_digit) / 8;
  if (length == 0 || !space_at(p + length)) return nullptr;
  *value = digits_value(digits, length);
  return p + length + 1;
}

}  // namespace

SampleParser::SampleParser(std::istream& in)
    : in_(in), chunk_(new (std::nothrow) char[kFrontBytes + kChunkBytes + kStopBytes]()) {
  next_ = end_ = chunk_ ? chunk_.get() + kFrontBytes : kNoChunk;
}

// The bytes of a block of 64 are classified at once, and its tokens are
// taken where they start, each independently of the one before, so that
// the processor can work on several at a time. In a block of nothing but
// digits and white space, each token's end is known from the classes too.
// A block starts where a token may start: after white space or a token's end.
SampleParser::Status SampleParser::parse(std::int32_t* out, std::size_t count,
                                         std::size_t* parsed) {
  const char* block = next_;
  std::size_t k = 0;
  while (k < count) {
    const Kinds kinds = classify(block);
    const char* after = block + kBlockBytes;
    if (kinds.other == 0) {
      const std::size_t taken = take_clean_run(block, kinds, count - k, out + k, &after);
      if (taken > 0) {
        k += taken;
        block = after;
        continue;
      }
    }
    // One token at a time: tokens start after white space.
    std::uint64_t starts = ~kinds.space & ((kinds.space << 1) | 1u);
    for (; starts != 0 && k < count; starts &= starts - 1) {
      const char* const end = take_short_number(block + lowest_bit(starts), &out[k]);
      if (end == nullptr) break;
      after = end;
      ++k;
    }
    if (starts != 0 && k < count) {  // a token the fast paths could not take
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
    block = k < count ? std::max(after, block + kBlockBytes) : after;
  }
  next_ = block;
  *parsed = k;
  return kFull;
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

int SampleParser::get() {
  if (next_ == end_ && !refill()) return -1;
  return static_cast<unsigned char>(*next_++);
}

bool SampleParser::refill() {
  std::streambuf* const buffer = in_.rdbuf();
  if (buffer == nullptr || !chunk_ || at_end_) return false;
  char* const data = chunk_.get() + kFrontBytes;
  const std::streamsize got = buffer->sgetn(data, kChunkBytes);
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
