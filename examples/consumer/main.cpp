// SPDX-License-Identifier: MIT
// consumer IN.ppm OUT.bmp: reads a PPMA file and writes it as a top-down
// 24-bit BMP file (a negative height keeps the top row first), with the
// pixels travorn gives it for any maxval.
#include <cstdint>
#include <vector>

#include "bmp/bmp.hpp"
#include "ppma/ppma.hpp"
#include "travorn_version.hpp"

static_assert(TRAVORN_VERSION_MAJOR == 1, "written for the interface of travorn 1");

int main(int argc, char* argv[]) {
  if (argc != 3) return 2;
  int32_t xsize = 0, ysize = 0, maxrgb = 0;
  int32_t *r = nullptr, *g = nullptr, *b = nullptr;
  int status = ppma_read(argv[1], &xsize, &ysize, &maxrgb, &r, &g, &b);  // 0: read
  if (status == 0) {
    std::vector<unsigned char> bytes[3];
    const int32_t* planes[3] = {r, g, b};
    for (int c = 0; c < 3; ++c) {
      bytes[c].resize(std::size_t(xsize) * std::size_t(ysize));
      ppma_scale_to_bytes(xsize, ysize, maxrgb, planes[c], bytes[c].data());  // 0..maxrgb to 0..255
    }
    // bmp_ functions return true on failure.
    const bool failed = bmp_24_write(argv[2], uint32_t(xsize), -ysize, bytes[0].data(),
                                     bytes[1].data(), bytes[2].data());
    status = failed ? 1 : 0;
  }
  delete[] r;  // the planes are the caller's, on every path
  delete[] g;
  delete[] b;
  return status;
}
