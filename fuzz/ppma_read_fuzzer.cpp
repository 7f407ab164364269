// SPDX-License-Identifier: MIT
// ppma_read on any bytes: a status, every plane freed, nothing else.
#include "fuzz_support.hpp"
#include "ppma/ppma.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static InputFile file;
  const char* name = file.hold(data, size);
  QuietCout quiet;
  int32_t xsize = 0, ysize = 0, maxrgb = 0;
  int32_t *r = nullptr, *g = nullptr, *b = nullptr;
  const int status = ppma_read(name, &xsize, &ysize, &maxrgb, &r, &g, &b);
  if (status == 0) {
    // A good read hands over whole planes: check them, as a caller would.
    ppma_check_data(xsize, ysize, maxrgb, r, g, b);
  } else if (status != 1) {
    std::abort();
  }
  delete[] r;
  delete[] g;
  delete[] b;
  return 0;
}
