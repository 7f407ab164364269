// consumer IN.ppm OUT.bmp: reads a PPMA file and writes it as a top-down
// 24-bit BMP file (a negative height keeps the top row first).
#include <cstdint>
#include <vector>

#include "bmp/bmp.hpp"
#include "ppma/ppma.hpp"

int main(int argc, char* argv[]) {
  if (argc != 3) return 2;
  int32_t xsize = 0, ysize = 0, maxrgb = 0;
  int32_t *r = nullptr, *g = nullptr, *b = nullptr;
  int status = ppma_read(argv[1], &xsize, &ysize, &maxrgb, &r, &g, &b);
  if (status == 0) {
    std::vector<unsigned char> planes[3];
    const int32_t* from[3] = {r, g, b};
    for (int c = 0; c < 3; ++c) planes[c].assign(from[c], from[c] + int64_t(xsize) * ysize);
    status = bmp_24_write(argv[2], uint32_t(xsize), -ysize, planes[0].data(), planes[1].data(),
                          planes[2].data());
  }
  delete[] r;  // the planes are the caller's, on every path
  delete[] g;
  delete[] b;
  return status;
}
