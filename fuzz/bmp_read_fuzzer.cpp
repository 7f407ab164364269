// SPDX-License-Identifier: MIT
// bmp_read on any bytes, with either byte order: a status, every plane freed.
#include "bmp/bmp.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static InputFile file;
  const char* name = file.hold(data, size);
  QuietCout quiet;
  bmp_byte_swap_set(size == 0 || (data[size - 1] & 1) == 0);
  uint32_t xsize = 0;
  int32_t ysize = 0;
  unsigned char *r = nullptr, *g = nullptr, *b = nullptr;
  const bool failed = bmp_read(name, &xsize, &ysize, &r, &g, &b);
  if (!failed) {
    // A good read hands over whole planes: touch their last bytes.
    const std::uint64_t n =
        std::uint64_t(xsize) * (ysize < 0 ? 0 - std::uint64_t(ysize) : std::uint64_t(ysize));
    if (n > 0 && (r == nullptr || g == nullptr || b == nullptr)) std::abort();
    if (n > 0) {
      volatile unsigned char sink = r[n - 1] ^ g[n - 1] ^ b[n - 1];
      (void)sink;
    }
  }
  if (g != r) delete[] g;
  if (b != r && b != g) delete[] b;
  delete[] r;
  bmp_byte_swap_set(true);
  return 0;
}
