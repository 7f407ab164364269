// SPDX-License-Identifier: MIT
// The rescale of a P3 file's samples to bytes, as ppma_scale_to_bytes and
// the converter apply it. Part of the project, not of the installed
// interface.
#ifndef TRAVORN_PPMA_PPMA_SCALE_HPP
#define TRAVORN_PPMA_PPMA_SCALE_HPP

#include <cstdint>

#include "common/instruction_set.hpp"

namespace ppma_detail {

// The byte of sample `v` of an image whose samples run from 0 to `maxrgb`:
// clamped to that range, scaled by 255 / maxrgb and rounded with halves up,
// in 64 bits; 0 for every sample when maxrgb is below 1.
inline unsigned char scale_sample(std::int32_t v, std::int32_t maxrgb) {
  if (maxrgb < 1) return 0;
  const std::int64_t top = maxrgb;
  const std::int64_t clamped = v < 0 ? 0 : v > top ? top : v;
  return static_cast<unsigned char>((clamped * 510 + top) / (2 * top));
}

// scale_sample for the samples of one image, its division made a
// multiplication and a shift: for maxrgb from 1 to kLargest the numerator
// clamped * 510 + maxrgb stays below 2^kBits, and for a divisor d = 2 *
// maxrgb with 2^(l-1) < d <= 2^l, the multiplier m = floor(2^(kBits + l) /
// d) + 1 gives 2^(kBits + l) < m d <= 2^(kBits + l) + 2^l, which makes
// floor(n / d) = floor(n m / 2^(kBits + l)) for every n below 2^kBits
// (Granlund and Montgomery, "Division by invariant integers using
// multiplication", 1994). m is below 2^31 and n m below 2^60.
class SampleScaler {
 public:
  static constexpr std::int32_t kLargest = 1 << 20;
  static constexpr unsigned kBits = 29;  // 510 * 2^20 + 2^20 < 2^29

  // For 1 <= maxrgb <= kLargest.
  explicit SampleScaler(std::int32_t maxrgb) : top_(maxrgb) {
    const auto divisor = 2 * std::uint64_t(std::uint32_t(maxrgb));
    unsigned l = 0;
    while ((std::uint64_t{1} << l) < divisor) ++l;
    shift_ = kBits + l;
    multiplier_ = static_cast<std::uint32_t>((std::uint64_t{1} << shift_) / divisor + 1);
  }
  // A product of two 32-bit numbers, which vector code forms too.
  unsigned char operator()(std::int32_t v) const {
    const auto clamped = std::uint32_t(v < 0 ? 0 : v > top_ ? top_ : v);
    const std::uint32_t numerator = clamped * 510 + std::uint32_t(top_);  // below 2^kBits
    return static_cast<unsigned char>((std::uint64_t{numerator} * multiplier_) >> shift_);
  }
  std::int32_t top() const { return top_; }
  std::uint32_t multiplier() const { return multiplier_; }
  unsigned shift() const { return shift_; }

 private:
  std::int32_t top_;
  std::uint32_t multiplier_ = 0;  // below 2^31
  unsigned shift_ = 0;
};

// scale_sample for maxrgb 65535 by one 32-bit multiplication: 255 / 65535
// is 1 / 257, so the byte of a sample c clamped to 0..65535 is floor((c +
// 128.5) / 257), which for whole numbers is floor(u / 257) with u = c +
// 128. As 257 * 65281 = 2^24 + 1, u * 65281 / 2^24 exceeds u / 257 by u /
// (257 * 2^24), less than 2^-15 for u up to 65663, while u / 257 falls
// short of the next whole number by 1 / 257 at least: the quotient is
// floor(u * 65281 / 2^24), and the product stays below 2^32. Vector code
// may hold u in 16 bits, saturated at 65535, where the quotient is 255
// already.
inline unsigned char scale_sixteen_bits(std::int32_t v) {
  const std::uint32_t u = std::uint32_t(v < 0 ? 0 : v > 65535 ? 65535 : v) + 128;
  return static_cast<unsigned char>((u * 65281u) >> 24);
}

// The classes of rescale, each giving scale_sample's byte by its own means:
// kClamp for maxrgb 255 (the sample clamped to 0..255), kSixteenBits for
// 65535 (scale_sixteen_bits), kMultiply for any other maxrgb from 1 to
// SampleScaler::kLargest (the multiplication), kDivide above it
// (scale_sample's division), kZero below 1 (0 for every sample).
enum class RescaleClass { kClamp, kSixteenBits, kMultiply, kDivide, kZero };

// How the samples of one picture, from 0 to `maxrgb`, become bytes: the one
// decision of the rescale's class, made once for the picture.
struct Rescale {
  explicit Rescale(std::int32_t top)
      : kind(top < 1                         ? RescaleClass::kZero
             : top == 255                    ? RescaleClass::kClamp
             : top == 65535                  ? RescaleClass::kSixteenBits
             : top <= SampleScaler::kLargest ? RescaleClass::kMultiply
                                             : RescaleClass::kDivide),
        maxrgb(top),
        scaler(top < 1                        ? 1
               : top > SampleScaler::kLargest ? SampleScaler::kLargest
                                              : top) {}

  // Calls `visit` with the byte function of the class, a sample's byte from
  // its value, so that a loop over samples is made for each class.
  template <typename Visit>
  TRAVORN_INLINED void visit(Visit visit) const {
    switch (kind) {
      case RescaleClass::kClamp:
        return visit([](std::int32_t v) {
          return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v);
        });
      case RescaleClass::kSixteenBits:
        return visit([](std::int32_t v) { return scale_sixteen_bits(v); });
      case RescaleClass::kMultiply:
        return visit(scaler);
      case RescaleClass::kDivide:
        return visit([top = maxrgb](std::int32_t v) { return scale_sample(v, top); });
      case RescaleClass::kZero:
        return visit([](std::int32_t) { return static_cast<unsigned char>(0); });
    }
  }

  RescaleClass kind;
  std::int32_t maxrgb;
  SampleScaler scaler;  // the multiplication of kMultiply
};

}  // namespace ppma_detail

#endif  // TRAVORN_PPMA_PPMA_SCALE_HPP
