// SPDX-License-Identifier: MIT
// The sample parser of the PPMA module; not installed.
#ifndef TRAVORN_PPMA_PPMA_PARSER_HPP
#define TRAVORN_PPMA_PPMA_PARSER_HPP

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>

namespace ppma_detail {

// Samples of the data section: decimal signed 32-bit numbers between white
// space. The parser takes the stream's bytes in large chunks straight from
// its buffer; the stream itself is only told when its input has ended. It
// uses the kernel of the instruction set that the one decision
// (common/instruction_set.hpp) gives.
class SampleParser {
 public:
  enum Status { kFull, kEnd, kBad };

  explicit SampleParser(std::istream& in);

  // Whether the parser has its chunk: where that memory could not be had,
  // it parses nothing (kEnd at once), and its callers report it as such.
  bool ready() const { return chunk_ != nullptr; }

  // Parses up to `count` samples into `out` and sets *parsed to how many.
  // kFull: all of them. kEnd: the input ended before the next sample began.
  // kBad: a token that is not a sample (a number that ends the input,
  // without a character after it, counts as bad).
  Status parse(std::int32_t* out, std::size_t count, std::size_t* parsed);
  // The same with the kernel of the caller's choice, inlined where it is
  // called (so into a function compiled for the kernel's instructions).
  template <typename Kernel>
  Status parse_with(std::int32_t* out, std::size_t count, std::size_t* parsed);
  // After samples were parsed, puts back into the stream what the parser
  // took from it and did not parse, so that the stream stands just after
  // the last sample's digits, as formatted extraction leaves it. A stream
  // that cannot seek back (a pipe) keeps them taken: up to one chunk.
  void give_back();

 private:
  Status parse_carefully(std::int32_t* value);
  int get();
  bool refill();

  std::istream& in_;
  std::unique_ptr<char[]> chunk_;
  bool at_end_ = false;
  const char* next_;
  const char* end_;
};

}  // namespace ppma_detail

#endif  // TRAVORN_PPMA_PPMA_PARSER_HPP
