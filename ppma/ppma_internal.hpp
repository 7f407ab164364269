// SPDX-License-Identifier: MIT
// Helpers shared by the PPMA module's source files; not installed.
#ifndef TRAVORN_PPMA_PPMA_INTERNAL_HPP
#define TRAVORN_PPMA_PPMA_INTERNAL_HPP

#include <cstdint>

#include "common/report.hpp"

namespace ppma_detail {

using travorn_detail::report;

// White space as the C locale's isspace sees it (blank, \t \n \v \f \r);
// false for the end of input (-1).
constexpr bool is_space(int c) { return (c == ' ') | (static_cast<unsigned>(c - '\t') < 5u); }
constexpr bool is_digit(int c) { return c >= '0' && c <= '9'; }

// The one number rule of a P3 file, for the header and the samples alike:
// an optional sign, then decimal digits, within the signed 32-bit range.
// Fed a character at a time; the magnitude stops growing once it is out of
// range, so any number of digits (leading zeros too) can be fed.
class Decimal {
 public:
  // Takes a leading '+' or '-'; false for any other character.
  bool sign(int c) {
    negative_ = c == '-';
    return c == '+' || c == '-';
  }
  void digit(int c) {
    magnitude_ = magnitude_ * 10 + static_cast<std::uint64_t>(c - '0');
    if (magnitude_ > kTooLarge) magnitude_ = kTooLarge;
  }
  bool in_range() const { return magnitude_ <= (negative_ ? kTooLarge - 1 : kTooLarge - 2); }
  std::int32_t value() const {
    return static_cast<std::int32_t>(negative_ ? 0 - magnitude_ : magnitude_);
  }

 private:
  static constexpr std::uint64_t kTooLarge = 2147483649u;  // one past -INT32_MIN
  bool negative_ = false;
  std::uint64_t magnitude_ = 0;
};

}  // namespace ppma_detail

#endif  // TRAVORN_PPMA_PPMA_INTERNAL_HPP
