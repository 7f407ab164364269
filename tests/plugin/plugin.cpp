// SPDX-License-Identifier: MIT
// A shared object linked against the installed libraries, as a plugin or a
// language binding would be: plugin_convert(IN, OUT) writes the BMP file
// that travorn writes (samples rescaled, the bottom row first); 0 on
// success. The static libraries must be position-independent for it to link.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bmp/bmp.hpp"
#include "ppma/ppma.hpp"

extern "C" __attribute__((visibility("default"))) int plugin_convert(const char* in,
                                                                     const char* out) {
  int32_t xsize = 0, ysize = 0, maxrgb = 0;
  int32_t *r = nullptr, *g = nullptr, *b = nullptr;
  int status = ppma_read(in, &xsize, &ysize, &maxrgb, &r, &g, &b);
  if (status == 0) {
    const std::size_t width = std::size_t(xsize);
    const int32_t* planes[3] = {r, g, b};
    std::vector<unsigned char> bytes[3];
    for (int c = 0; c < 3; ++c) {
      bytes[c].resize(width * std::size_t(ysize));
      for (int32_t row = 0; row < ysize; ++row) {  // the picture's bottom row is stored first
        ppma_scale_to_bytes(xsize, 1, maxrgb, planes[c] + std::size_t(ysize - 1 - row) * width,
                            bytes[c].data() + std::size_t(row) * width);
      }
    }
    status =
        bmp_24_write(out, uint32_t(xsize), ysize, bytes[0].data(), bytes[1].data(), bytes[2].data())
            ? 1
            : 0;
  }
  delete[] r;
  delete[] g;
  delete[] b;
  return status;
}
