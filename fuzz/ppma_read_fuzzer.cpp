// SPDX-License-Identifier: MIT
// ppma_read on any bytes, once with each parser kernel that this machine
// runs: a status, every plane freed, and from every kernel the same status,
// the same header values and, after a good read, the same planes; the plain
// design (tests/oracle) reads the same image, or refuses it as well.
#include <vector>

#include "common/instruction_set.hpp"
#include "fuzz_support.hpp"
#include "oracle.hpp"
#include "ppma/ppma.hpp"

namespace {

struct Read {
  int status = 0;
  int32_t xsize = 0, ysize = 0, maxrgb = 0;
  std::vector<int32_t> samples;  // R, then G, then B, after a good read

  bool operator!=(const Read& other) const {
    return status != other.status || xsize != other.xsize || ysize != other.ysize ||
           maxrgb != other.maxrgb || samples != other.samples;
  }
};

Read read(const char* name) {
  Read result;
  int32_t *r = nullptr, *g = nullptr, *b = nullptr;
  result.status = ppma_read(name, &result.xsize, &result.ysize, &result.maxrgb, &r, &g, &b);
  if (result.status == 0) {
    // A good read hands over whole planes: check them, as a caller would.
    ppma_check_data(result.xsize, result.ysize, result.maxrgb, r, g, b);
    const std::size_t n = std::size_t(result.xsize) * std::size_t(result.ysize);
    for (const int32_t* plane : {r, g, b})
      result.samples.insert(result.samples.end(), plane, plane + n);
  } else if (result.status != 1) {
    std::abort();
  }
  delete[] r;
  delete[] g;
  delete[] b;
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using travorn_detail::InstructionSet;
  static InputFile file;
  const char* name = file.hold(data, size);
  QuietCout quiet;
  OracleImage image;
  Read plain;
  plain.status = oracle_read(name, &image) ? 0 : 1;
  if (plain.status == 0) {
    plain = {0, image.xsize, image.ysize, image.maxrgb, image.r};
    plain.samples.insert(plain.samples.end(), image.g.begin(), image.g.end());
    plain.samples.insert(plain.samples.end(), image.b.begin(), image.b.end());
  }
  for (const InstructionSet set : {InstructionSet::kPortable, InstructionSet::kSse2,
                                   InstructionSet::kSsse3, InstructionSet::kAvx2}) {
    if (!travorn_detail::use_instruction_set(set)) continue;
    const Read fast = read(name);
    if (fast.status != plain.status || (plain.status == 0 && fast != plain)) std::abort();
  }
  return 0;
}
