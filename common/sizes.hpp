// SPDX-License-Identifier: MIT
// Size arithmetic that cannot wrap, on any platform, and planes that are
// refused rather than thrown for. Every size decision of the libraries and
// the converter that a product could wrap goes through these; a product of
// two 32-bit numbers in 64 bits, which cannot wrap, is formed as it is.
// Header-only and private to the project.
#ifndef TRAVORN_COMMON_SIZES_HPP
#define TRAVORN_COMMON_SIZES_HPP

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "common/platform.hpp"

namespace travorn_detail {

// Stores a * b and returns true when the product is at most `limit`;
// returns false otherwise. It divides before it multiplies, so no product
// is ever formed beyond the limit.
constexpr bool product_within(std::uint64_t a, std::uint64_t b, std::uint64_t limit,
                              std::uint64_t* product) {
  if (a != 0 && b > limit / a) return false;
  *product = a * b;
  return true;
}

// A new array of `count` elements, or null when it cannot be had: also when
// its bytes would not fit in a size_t (a 32-bit host), where new[] would
// throw instead.
template <typename T>
T* new_plane(std::uint64_t count) {
  std::uint64_t bytes = 0;
  if (!product_within(count, sizeof(T), SIZE_MAX, &bytes)) return nullptr;
  T* plane = new (std::nothrow) T[static_cast<std::size_t>(count)];
  if (plane != nullptr) advise_huge_pages(plane, static_cast<std::size_t>(bytes));
  return plane;
}

// Replaces each of three planes with a new one of `count` elements that
// begins with the first `keep` elements of the old one (room that grows as
// samples arrive); false, with the planes not yet replaced unchanged, when
// the memory cannot be had.
template <typename T>
bool renew_planes(std::unique_ptr<T[]> (&planes)[3], std::uint64_t count, std::uint64_t keep) {
  for (auto& plane : planes) {
    std::unique_ptr<T[]> bigger(new_plane<T>(count));
    if (!bigger) return false;
    if (keep > 0) {
      std::memcpy(bigger.get(), plane.get(), static_cast<std::size_t>(keep) * sizeof(T));
    }
    plane = std::move(bigger);
  }
  return true;
}

}  // namespace travorn_detail

#endif  // TRAVORN_COMMON_SIZES_HPP
