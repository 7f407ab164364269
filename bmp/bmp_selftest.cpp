// SPDX-License-Identifier: MIT
// The module's self-tests: two fixed images written, any file read back.
#include <iostream>
#include <memory>

#include "bmp/bmp.hpp"
#include "bmp/bmp_internal.hpp"

using bmp_detail::report;

bool bmp_24_write_test(const char* file_name) {
  constexpr int kSide = 200;
  auto r = std::make_unique<unsigned char[]>(std::size_t{kSide} * kSide);
  auto g = std::make_unique<unsigned char[]>(std::size_t{kSide} * kSide);
  auto b = std::make_unique<unsigned char[]>(std::size_t{kSide} * kSide);
  for (int i = 0; i < kSide; ++i) {
    for (int j = 0; j < kSide; ++j) {
      const int k = i * kSide + j;
      if (i + j <= kSide) {  // red up to and including the anti-diagonal i + j = 200
        r[k] = 255;
      } else if (j < i) {
        g[k] = 255;
      } else {
        b[k] = 255;
      }
    }
  }
  if (bmp_24_write(file_name, kSide, kSide, r.get(), g.get(), b.get())) {
    report("BMP_24_WRITE_TEST - Fatal error!\n") << "  The test failed.\n";
    return true;
  }
  return false;
}

bool bmp_08_write_test(const char* file_name) {
  constexpr int kSide = 255;
  auto plane = std::make_unique<unsigned char[]>(std::size_t{kSide} * kSide);
  for (int i = 0; i < kSide; ++i) {
    for (int j = 0; j < kSide; ++j) plane[i * kSide + j] = static_cast<unsigned char>(j % (i + 1));
  }
  if (bmp_08_write(file_name, kSide, kSide, plane.get())) {
    report("BMP_08_WRITE_TEST - Fatal error!\n") << "  The test failed.\n";
    return true;
  }
  return false;
}

bool bmp_read_test(const char* file_name) {
  uint32_t xsize = 0;
  int32_t ysize = 0;
  unsigned char* r = nullptr;
  unsigned char* g = nullptr;
  unsigned char* b = nullptr;
  const bool failed = bmp_read(file_name, &xsize, &ysize, &r, &g, &b);
  // After an 8-bit read all three designate one plane: release it once.
  if (g != r) delete[] g;
  if (b != r && b != g) delete[] b;
  delete[] r;
  return failed;
}
