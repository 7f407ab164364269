// SPDX-License-Identifier: MIT
// The rescale of a P3 file's samples to bytes, as ppma_scale_to_bytes and
// the converter apply it. Part of the project, not of the installed
// interface.
#ifndef TRAVORN_PPMA_PPMA_SCALE_HPP
#define TRAVORN_PPMA_PPMA_SCALE_HPP

#include <cstdint>

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
    multiplier_ = (std::uint64_t{1} << shift_) / divisor + 1;
  }
  unsigned char operator()(std::int32_t v) const {
    const std::uint64_t clamped = std::uint32_t(v < 0 ? 0 : v > top_ ? top_ : v);
    return static_cast<unsigned char>(((clamped * 510 + std::uint32_t(top_)) * multiplier_) >>
                                      shift_);
  }
  std::int32_t top() const { return top_; }
  std::uint32_t multiplier() const { return std::uint32_t(multiplier_); }
  unsigned shift() const { return shift_; }

 private:
  std::int32_t top_;
  std::uint64_t multiplier_ = 0;
  unsigned shift_ = 0;
};

}  // namespace ppma_detail

#endif  // TRAVORN_PPMA_PPMA_SCALE_HPP
