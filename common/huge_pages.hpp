// Large image planes are fresh memory that the parse or the row reader then
// touches page by page. Backing the page-aligned interior of such a block
// with huge pages (where the kernel grants them on request) makes that first
// touch several times cheaper. Header-only and private to the libraries.
#ifndef TRAVORN_COMMON_HUGE_PAGES_HPP
#define TRAVORN_COMMON_HUGE_PAGES_HPP

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace travorn_detail {

inline void advise_huge_pages(void* block, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = std::uintptr_t(2) << 20;
  const auto start = reinterpret_cast<std::uintptr_t>(block);
  const std::uintptr_t begin = (start + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t end = (start + bytes) & ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace travorn_detail

#endif  // TRAVORN_COMMON_HUGE_PAGES_HPP
