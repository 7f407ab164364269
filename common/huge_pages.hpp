// Large image planes are fresh memory that the parse or the row reader then
// touches page by page. Backing such a block with huge pages (where the
// kernel grants them on request) makes that first touch several times
// cheaper. The advice covers the pages that hold the block, which belong to
// the process's own memory; it changes no byte of it. Header-only and
// private to the libraries.
#ifndef TRAVORN_COMMON_HUGE_PAGES_HPP
#define TRAVORN_COMMON_HUGE_PAGES_HPP

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace travorn_detail {

#if defined(__linux__)
// Gives `advice` for the pages that hold [block, block + bytes).
inline void advise_pages(void* block, std::size_t bytes, int advice) {
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t before = reinterpret_cast<std::uintptr_t>(block) & (page - 1);
  ::madvise(static_cast<char*>(block) - before, before + bytes, advice);
}
#endif

inline void advise_huge_pages(void* block, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
  constexpr std::size_t kWorthIt = std::size_t(2) << 20;
  if (bytes >= kWorthIt) advise_pages(block, bytes, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

// Has the kernel map and zero the pages of [block, block + bytes) in one
// call, as a first write would, without changing a byte: cheaper than one
// page fault per page. Safe while other threads write into the block.
inline void populate_for_writing(void* block, std::size_t bytes) {
#if defined(MADV_POPULATE_WRITE)
  advise_pages(block, bytes, MADV_POPULATE_WRITE);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace travorn_detail

#endif  // TRAVORN_COMMON_HUGE_PAGES_HPP
