// SPDX-License-Identifier: MIT
// bmp_print_test on any bytes: a status and its report, nothing else.
#include "bmp/bmp.hpp"
#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static InputFile file;
  const char* name = file.hold(data, size);
  QuietCout quiet;
  bmp_print_test(name);
  return 0;
}
