// SPDX-License-Identifier: MIT
// The conversion routine on any bytes, once with each instruction set that
// this machine runs, against the plain design (tests/oracle): where the
// plain design converts the input, status 0 and the same bytes; where it
// does not, status 1 and no file.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/travorn.hpp"
#include "common/instruction_set.hpp"
#include "fuzz_support.hpp"
#include "oracle.hpp"

namespace {
// The output, in a folder of its own for the whole run.
class OutputFolder {
 public:
  OutputFolder() {
    char pattern[] = "/tmp/travorn-fuzz-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) std::abort();
    folder_ = pattern;
    name_ = folder_ + "/out.bmp";
  }
  ~OutputFolder() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  const char* name() const { return name_.c_str(); }
  // The file's bytes, or "-" when there is none.
  std::string take() const {
    std::ifstream in(name_, std::ios::binary);
    std::string bytes = in ? std::string(std::istreambuf_iterator<char>(in), {}) : "-";
    std::remove(name_.c_str());
    return bytes;
  }

 private:
  std::string folder_, name_;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using travorn_detail::InstructionSet;
  static InputFile file;
  static const OutputFolder output;
  const char* name = file.hold(data, size);
  OracleImage image;
  const bool converts = oracle_read(name, &image) && oracle_converts(image);
  const std::string expected = converts ? oracle_bmp(image) : "-";
  QuietCout quiet;
  for (const InstructionSet set : {InstructionSet::kPortable, InstructionSet::kSse2,
                                   InstructionSet::kSsse3, InstructionSet::kAvx2}) {
    if (!travorn_detail::use_instruction_set(set)) continue;
    const int status = travorn(name, output.name());
    if (status != (converts ? 0 : 1) || output.take() != expected) std::abort();
  }
  return 0;
}
