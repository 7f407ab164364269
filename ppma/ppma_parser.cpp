// The sample parser. Most samples are short digit runs between single
// blanks, so the fast path reads eight bytes at once, finds where the digits
// end and converts them with three multiplications, with no loop over the
// digits and no test of the chunk's end: the chunk is followed by NUL bytes,
// which are neither digits nor white space, so a token that runs into them
// fails the fast path. Every token that the fast path does not take (cut by
// the chunk's end, signed, eight digits or more, or no number at all) goes
// to the careful path, which reads one character at a time across refills
// and decides every case with the module's number rule.
#include "ppma/ppma_parser.hpp"

#include <algorithm>
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

// Four and eight bytes with the first in the lowest position, on any host
// (the compiler makes each one load, with a byte swap on big-endian hosts).
inline std::uint32_t load_four(const char* p) {
  const auto* u = reinterpret_cast<const unsigned char*>(p);
  return std::uint32_t{u[0]} | std::uint32_t{u[1]} << 8 | std::uint32_t{u[2]} << 16 |
         std::uint32_t{u[3]} << 24;
}
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
  for (int i = 0; i < 64; ++i) {
    kinds.space |= std::uint64_t{space_at(p + i)} << i;
    kinds.other |= std::uint64_t{!space_at(p + i) && !is_digit(p[i])} << i;
  }
#endif
  return kinds;
}

// The value of the `length` (1 to 7) digits in the low bytes of `digits`,
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

// The same for one to four digits, in one step less.
inline std::int32_t short_digits_value(std::uint32_t digits, int length) {
  std::uint32_t v = digits << (8 * (4 - length));
  v = ((v * (10u << 8 | 1u)) >> 8) & 0x00FF00FFu;
  return static_cast<std::int32_t>((v * (100u << 16 | 1u)) >> 16);
}

// Takes the tokens of a block of nothing but digits and white space
// (`space` marks the white space) whose ends lie in the block, while each
// has at most seven digits; `limit` at the most. Clears each taken token's
// bit from *starts and sets *after past its end. Returns how many it took.
inline std::size_t take_plain_numbers(const char* block, std::uint64_t space, std::uint64_t* starts,
                                      std::size_t limit, std::int32_t* out, const char** after) {
  std::uint64_t ends = space & ~((space << 1) | 1u);
  const std::uint64_t digit = ~space;
  std::uint64_t left = *starts;
  std::size_t k = 0;
  int end = -1;
  if ((digit & digit >> 1 & digit >> 2 & digit >> 3 & digit >> 4) == 0) {  // four digits at most
    for (; ends != 0 && k < limit; ++k, left &= left - 1, ends &= ends - 1) {
      const int start = lowest_bit(left);
      end = lowest_bit(ends);
      out[k] = short_digits_value(load_four(block + start) & 0x0F0F0F0Fu, end - start);
    }
  } else {
    for (; ends != 0 && k < limit; ++k, left &= left - 1, ends &= ends - 1) {
      const int start = lowest_bit(left);
      if (lowest_bit(ends) - start > 7) break;
      end = lowest_bit(ends);
      out[k] = digits_value(load_eight(block + start) & 0x0F0F0F0F0F0F0F0Fu, end - start);
    }
  }
  *starts = left;
  if (k > 0) *after = block + end + 1;
  return k;
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
    : in_(in), chunk_(new (std::nothrow) char[kChunkBytes + kStopBytes]()) {
  next_ = end_ = chunk_ ? chunk_.get() : kNoChunk;
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
    // Tokens start after white space and end at white space.
    std::uint64_t starts = ~kinds.space & ((kinds.space << 1) | 1u);
    const char* after = block + kBlockBytes;
    if (kinds.other == 0) {
      k += take_plain_numbers(block, kinds.space, &starts, count - k, out + k, &after);
    }
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
  const std::streamsize got = buffer->sgetn(chunk_.get(), kChunkBytes);
  if (got <= 0) {
    at_end_ = true;
    in_.setstate(std::ios::eofbit);
    return false;
  }
  next_ = chunk_.get();
  end_ = next_ + got;
  std::fill_n(chunk_.get() + got, kStopBytes, '\0');
  return true;
}

}  // namespace ppma_detail
