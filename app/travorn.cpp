// The conversion routine: P3 planes in, flipped and narrowed, 24-bit BMP out.
#include "app/travorn.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "bmp/bmp.hpp"
#include "ppma/ppma.hpp"

namespace {

inline std::ostream& report(const char* header_line) { return std::cout << '\n' << header_line; }

std::uint64_t pixel_count(int32_t xsize, int32_t ysize) {
  return xsize < 1 || ysize < 1 ? 0 : std::uint64_t(xsize) * std::uint64_t(ysize);
}

// Maps a sample from 0..maxrgb onto 0..255: clamped, then rounded with
// halves up, in 64 bits. With maxrgb below 1 every sample becomes 0.
inline unsigned char rescale(int32_t sample, std::int64_t maxrgb) {
  if (maxrgb < 1) return 0;
  const std::int64_t v = std::clamp<std::int64_t>(sample, 0, maxrgb);
  return static_cast<unsigned char>((v * 510 + maxrgb) / (2 * maxrgb));
}

// Rescales and narrows a plane into its own first `count` bytes, then hands
// the rest of its pages back to the system: the bytes are all that is needed
// from here on. Bytes k..k+63 overlap only samples below k + 64, and each
// block is copied out before its bytes are stored, so nothing is read after
// it was overwritten.
unsigned char* narrow_in_place(int32_t* plane, std::uint64_t count, int32_t maxrgb) {
  // Below this maximum every sample's byte comes from a table made once.
  constexpr int32_t kTableMax = 1 << 20;
  std::unique_ptr<unsigned char[]> table;
  if (maxrgb >= 1 && maxrgb <= kTableMax && count > std::uint64_t(maxrgb)) {
    table.reset(new (std::nothrow) unsigned char[std::size_t(maxrgb) + 1]);
    for (int32_t v = 0; table && v <= maxrgb; ++v) table[std::size_t(v)] = rescale(v, maxrgb);
  }
  auto* bytes = reinterpret_cast<unsigned char*>(plane);
  constexpr std::uint64_t kBlock = 64;
  int32_t block[kBlock];
  for (std::uint64_t k = 0; k < count; k += kBlock) {
    const std::uint64_t n = std::min(kBlock, count - k);
    std::memcpy(block, plane + k, n * sizeof(int32_t));
    unsigned char narrowed[kBlock];
    if (maxrgb == 255) {  // the common case: only the clamp can change a sample
      for (std::uint64_t e = 0; e < n; ++e) {
        narrowed[e] = static_cast<unsigned char>(std::clamp<int32_t>(block[e], 0, 255));
      }
    } else if (table) {
      for (std::uint64_t e = 0; e < n; ++e) {
        narrowed[e] = table[std::size_t(std::clamp<int32_t>(block[e], 0, maxrgb))];
      }
    } else {
      for (std::uint64_t e = 0; e < n; ++e) narrowed[e] = rescale(block[e], maxrgb);
    }
    std::memcpy(bytes + k, narrowed, n);
  }
#if defined(MADV_DONTNEED)
  // Whole pages strictly after the bytes and inside the plane.
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<std::uintptr_t>(plane);
  const std::uintptr_t begin = ((start + count + page - 1) & ~(page - 1)) - start;
  const std::uintptr_t end = ((start + count * sizeof(int32_t)) & ~(page - 1)) - start;
  if (end > begin) ::madvise(bytes + begin, end - begin, MADV_DONTNEED);
#endif
  return bytes;
}

struct IntegerPlanes {  // released on every way out of the routine
  int32_t* r = nullptr;
  int32_t* g = nullptr;
  int32_t* b = nullptr;
  ~IntegerPlanes() {
    delete[] r;
    delete[] g;
    delete[] b;
  }
};

}  // namespace

int travorn(const char* input_file_name, const char* output_file_name) {
  IntegerPlanes in;
  int32_t xsize = 0;
  int32_t ysize = 0;
  int32_t maxrgb = 0;
  if (ppma_read(input_file_name, &xsize, &ysize, &maxrgb, &in.r, &in.g, &in.b) != 0) {
    report("TRAVORN - Fatal error!\n") << "  PPMA_READ failed.\n";
    return 1;
  }
  report("TRAVORN:\n") << "  XSIZE = " << xsize << ".\n"
                       << "  YSIZE = " << ysize << ".\n";
  report("TRAVORN:\n") << "  Flipping data orientation.\n";
  imat_vert_flip(xsize, ysize, in.r);
  imat_vert_flip(xsize, ysize, in.g);
  imat_vert_flip(xsize, ysize, in.b);

  // Each integer plane becomes its own byte plane; the integer planes are
  // released once the file is written.
  const std::uint64_t count = pixel_count(xsize, ysize);
  const unsigned char* r = narrow_in_place(in.r, count, maxrgb);
  const unsigned char* g = narrow_in_place(in.g, count, maxrgb);
  const unsigned char* b = narrow_in_place(in.b, count, maxrgb);
  if (bmp_24_write(output_file_name, static_cast<uint32_t>(xsize), ysize, r, g, b)) {
    report("TRAVORN - Fatal error!\n") << "  BMP_24_WRITE failed.\n";
    return 1;
  }
  report("TRAVORN:\n") << "  Normal end of translation.\n";
  return 0;
}

void imat_vert_flip(int32_t xsize, int32_t ysize, int32_t* plane) {
  if (xsize < 1 || ysize < 2) return;
  const std::size_t width = static_cast<std::size_t>(xsize);
  for (int32_t i = 0; i < ysize / 2; ++i) {
    int32_t* top = plane + std::size_t(i) * width;
    int32_t* bottom = plane + std::size_t(ysize - 1 - i) * width;
    std::swap_ranges(top, top + width, bottom);
  }
}

void int_2_u_char(int32_t xsize, int32_t ysize, const int32_t* source, unsigned char* target) {
  const std::uint64_t count = pixel_count(xsize, ysize);
  for (std::uint64_t k = 0; k < count; ++k) {
    target[k] = static_cast<unsigned char>(static_cast<uint32_t>(source[k]) & 0xFFu);
  }
}
