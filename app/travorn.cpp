// The conversion routine: P3 planes in, flipped and narrowed, 24-bit BMP out.
#include "app/travorn.hpp"

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <memory>
#include <new>

#include "bmp/bmp.hpp"
#include "ppma/ppma.hpp"

namespace {

inline std::ostream& report(const char* header_line) { return std::cout << '\n' << header_line; }

std::uint64_t pixel_count(int32_t xsize, int32_t ysize) {
  return xsize < 1 || ysize < 1 ? 0 : std::uint64_t(xsize) * std::uint64_t(ysize);
}

// Maps samples from 0..maxrgb onto 0..255: clamped, then rounded with halves
// up, in 64 bits. With maxrgb below 1 every sample becomes 0.
void rescale(std::uint64_t count, int32_t maxrgb, int32_t* plane) {
  if (maxrgb == 255) {  // only the clamp can change a sample
    for (std::uint64_t k = 0; k < count; ++k) plane[k] = std::clamp(plane[k], 0, 255);
    return;
  }
  const std::int64_t m = maxrgb;
  for (std::uint64_t k = 0; k < count; ++k) {
    if (m < 1) {
      plane[k] = 0;
      continue;
    }
    const std::int64_t v = std::clamp<std::int64_t>(plane[k], 0, m);
    plane[k] = static_cast<int32_t>((v * 510 + m) / (2 * m));
  }
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

  const std::uint64_t count = pixel_count(xsize, ysize);
  std::unique_ptr<unsigned char[]> r(new (std::nothrow) unsigned char[count]);
  std::unique_ptr<unsigned char[]> g(new (std::nothrow) unsigned char[count]);
  std::unique_ptr<unsigned char[]> b(new (std::nothrow) unsigned char[count]);
  if (!r || !g || !b) {
    report("TRAVORN - Fatal error!\n") << "  Not enough memory for the byte planes.\n";
    return 1;
  }
  const struct {
    int32_t* from;
    unsigned char* to;
  } planes[3] = {{in.r, r.get()}, {in.g, g.get()}, {in.b, b.get()}};
  for (const auto& plane : planes) {
    rescale(count, maxrgb, plane.from);
    int_2_u_char(xsize, ysize, plane.from, plane.to);
  }
  delete[] in.r;
  delete[] in.g;
  delete[] in.b;
  in.r = in.g = in.b = nullptr;

  if (bmp_24_write(output_file_name, static_cast<uint32_t>(xsize), ysize, r.get(), g.get(), b.get())) {
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
