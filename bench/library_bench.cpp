// SPDX-License-Identifier: MIT
// Times one library operation on a file, for the benchmark script:
//   library_bench read-ppma IN.ppm            ppma_read alone
//   library_bench write-ppma IN.ppm OUT.ppm   ppma_write of the image that IN holds
//   library_bench read-bmp IN.bmp             bmp_read alone
// A first argument --kernel=portable, --kernel=sse2, --kernel=ssse3 or --kernel=avx2 makes
// the P3 parser use that kernel instead of the fastest the processor runs.
// Prints the seconds that the operation took, and nothing of the library's
// reports unless it fails.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>

#include "bmp/bmp.hpp"
#include "common/instruction_set.hpp"
#include "ppma/ppma.hpp"

namespace {
double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

int main(int argc, char* argv[]) {
  using travorn_detail::InstructionSet;
  const std::string kernel = argc > 1 ? argv[1] : "";
  if (kernel.rfind("--kernel=", 0) == 0) {
    const InstructionSet set = kernel == "--kernel=avx2"    ? InstructionSet::kAvx2
                               : kernel == "--kernel=ssse3" ? InstructionSet::kSsse3
                               : kernel == "--kernel=sse2"  ? InstructionSet::kSse2
                                                            : InstructionSet::kPortable;
    if (!travorn_detail::use_instruction_set(set)) {
      std::fprintf(stderr, "library_bench: no %s kernel here\n", argv[1]);
      return 2;
    }
    --argc;
    ++argv;
  }
  if (argc < 3) {
    std::fprintf(
        stderr,
        "usage: library_bench [--kernel=portable|sse2|ssse3|avx2] read-ppma|write-ppma|read-bmp "
        "IN [OUT]\n");
    return 2;
  }
  const std::string what = argv[1];
  std::ostringstream reports;
  std::streambuf* const console = std::cout.rdbuf(reports.rdbuf());
  int status = 0;
  double seconds = 0;
  if (what == "read-ppma" || what == "write-ppma") {
    int32_t xsize = 0, ysize = 0, maxrgb = 0;
    int32_t *r = nullptr, *g = nullptr, *b = nullptr;
    auto start = std::chrono::steady_clock::now();
    status = ppma_read(argv[2], &xsize, &ysize, &maxrgb, &r, &g, &b);
    seconds = seconds_since(start);
    if (status == 0 && what == "write-ppma" && argc > 3) {
      start = std::chrono::steady_clock::now();
      status = ppma_write(argv[3], xsize, ysize, r, g, b);
      seconds = seconds_since(start);
    }
    delete[] r;
    delete[] g;
    delete[] b;
  } else if (what == "read-bmp") {
    uint32_t xsize = 0;
    int32_t ysize = 0;
    unsigned char *r = nullptr, *g = nullptr, *b = nullptr;
    const auto start = std::chrono::steady_clock::now();
    status = bmp_read(argv[2], &xsize, &ysize, &r, &g, &b) ? 1 : 0;
    seconds = seconds_since(start);
    if (g != r) delete[] g;
    if (b != r && b != g) delete[] b;
    delete[] r;
  } else {
    status = 2;
  }
  std::cout.rdbuf(console);
  if (status != 0) std::cout << reports.str();
  std::printf("%.4f\n", seconds);
  return status;
}
