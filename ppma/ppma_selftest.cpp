// SPDX-License-Identifier: MIT
// The module's self-tests: the example picture written, any file read back
// and checked.
#include <cstdint>
#include <memory>

#include "ppma/ppma.hpp"
#include "ppma/ppma_internal.hpp"

using ppma_detail::report;

int ppma_write_test(const char* file_name) {
  constexpr int32_t kSide = 300;
  auto r = std::make_unique<int32_t[]>(std::size_t{kSide} * kSide);
  auto g = std::make_unique<int32_t[]>(std::size_t{kSide} * kSide);
  auto b = std::make_unique<int32_t[]>(std::size_t{kSide} * kSide);
  ppma_example(kSide, kSide, r.get(), g.get(), b.get());
  if (ppma_write(file_name, kSide, kSide, r.get(), g.get(), b.get()) != 0) {
    report("PPMA_WRITE_TEST - Fatal error!\n") << "  PPMA_WRITE failed.\n";
    return 1;
  }
  return 0;
}

int ppma_read_test(const char* file_name) {
  int32_t xsize = 0;
  int32_t ysize = 0;
  int32_t maxrgb = 0;
  int32_t* r = nullptr;
  int32_t* g = nullptr;
  int32_t* b = nullptr;
  const int status = ppma_read(file_name, &xsize, &ysize, &maxrgb, &r, &g, &b);
  const std::unique_ptr<int32_t[]> planes[3] = {
      std::unique_ptr<int32_t[]>(r), std::unique_ptr<int32_t[]>(g), std::unique_ptr<int32_t[]>(b)};
  if (status != 0) {
    report("PPMA_READ_TEST - Fatal error!\n") << "  PPMA_READ failed.\n";
    return 1;
  }
  report("PPMA_READ_TEST:\n") << "  PPMA_READ was able to read \"" << file_name << "\".\n";
  if (ppma_check_data(xsize, ysize, maxrgb, r, g, b) != 0) {
    report("PPMA_READ_TEST - Fatal error!\n")
        << "  PPMA_CHECK_DATA reports bad data in the file.\n";
    return 1;
  }
  report("PPMA_READ_TEST:\n") << "  PPMA_CHECK_DATA has approved the data from the file.\n";
  return 0;
}
