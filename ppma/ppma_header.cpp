// SPDX-License-Identifier: MIT
// The header of a P3 file, line by line: the magic word, then the width, the
// height and the largest sample value, each a number that is never skipped
// and ends where the number ends.
#include <algorithm>
#include <cstdint>
#include <istream>
#include <memory>
#include <new>
#include <string>

#include "common/escaped.hpp"
#include "ppma/ppma.hpp"
#include "ppma/ppma_internal.hpp"

using ppma_detail::Decimal;
using ppma_detail::is_digit;
using ppma_detail::is_space;
using ppma_detail::report;

namespace {

// Longest header line read whole; the writer's comment line holds a file name.
constexpr std::streamsize kMaxHeaderLine = 65536;

// The report of a header text where a number for item `expected` (0, 1,
// 2: XSIZE, YSIZE, MAXRGB) was expected: the text from `start` on, cut
// after 40 characters, bytes outside printable ASCII shown as \xHH.
void report_not_a_number(int expected, const char* start, const char* end) {
  constexpr std::size_t kShown = 40;
  const char* const items[] = {"XSIZE", "YSIZE", "MAXRGB"};
  const auto length = static_cast<std::size_t>(end - start);
  report("PPMA_READ_HEADER - Fatal error!\n")
      << "  A number for " << items[expected] << " was expected, not \""
      << travorn_detail::Escaped{reinterpret_cast<const unsigned char*>(start),
                                 std::min(length, kShown)}
      << (length > kShown ? "...\".\n" : "\".\n");
}

// Whether the rest of a header line, where a number is expected and none
// stands, must not be dropped: it is no comment and holds a digit (or a
// NUL byte, which would hide what follows), so it most likely holds the
// number after a typo ("640 x 480"). Dropping it would take a later number
// for this one and convert a wrong picture.
bool number_would_be_skipped(const char* rest, const char* end) {
  if (rest == end || *rest == '#') return false;
  return std::any_of(rest, end, [](char c) { return is_digit(c) || c == '\0'; });
}

// The header's numbers on the rest of a line, from `p` to `end`, as "%d"
// takes them: white space, an optional sign, digits, which end where white
// space, a '#' or the line's end follows. Stores each in turn through
// item[*expected]; returns 0 once maxrgb is stored, 1 after the report of a
// number glued to other text, out of range or that would be skipped, -1
// when the line holds no further number.
int read_header_numbers(const char* p, const char* end, int* expected,
                        std::int32_t* const item[3]) {
  for (;;) {
    while (p < end && is_space(*p)) ++p;
    const char* const start = p;
    Decimal number;
    if (p < end && number.sign(*p)) ++p;
    if (p == end || !is_digit(*p)) {
      if (!number_would_be_skipped(start, end)) return -1;
      report_not_a_number(*expected, start, end);
      return 1;
    }
    for (; p < end && is_digit(*p); ++p) number.digit(*p);
    if (p < end && !is_space(*p) && *p != '#') {  // "1O", "25S": not a number
      report_not_a_number(*expected, start, end);
      return 1;
    }
    if (!number.in_range()) {
      report("PPMA_READ_HEADER - Fatal error!\n")
          << "  The number " << std::string(start, p) << " is out of range.\n";
      return 1;
    }
    *item[*expected] = number.value();
    if (*expected == 2) return 0;  // the rest of the maxrgb line is dropped
    ++*expected;
  }
}

// Reads one header line and stores its length (NUL bytes count); false,
// after the report, at the end of the input (a last line without a newline
// is never parsed), on a line too long or on a read error.
bool read_header_line(std::istream& in, char* line, std::size_t* length) {
  in.getline(line, kMaxHeaderLine + 1);
  if (in.eof()) {
    report("PPMA_READ_HEADER - Fatal error!\n") << "  End of file.\n";
    return false;
  }
  if (in.fail()) {
    if (in.gcount() >= kMaxHeaderLine) {
      report("PPMA_READ_HEADER - Fatal error!\n")
          << "  A header line is longer than " << kMaxHeaderLine << " characters.\n";
    } else {
      report("PPMA_READ_HEADER - Fatal error!\n") << "  Error while reading the input file.\n";
    }
    return false;
  }
  *length = static_cast<std::size_t>(in.gcount() - 1);  // without the newline
  return true;
}

// Takes the magic word at `*p`: false, after the report, when it is not
// "P3" or "p3". Moves *p past it.
bool take_magic(const char** p, const char* end) {
  const char* const word = *p;
  while (*p < end && !is_space(**p)) ++*p;
  const std::string magic(word, *p);
  if (magic == "P3" || magic == "p3") return true;
  report("PPMA_READ_HEADER - Fatal error.\n")
      << "  Bad magic number = \""
      << travorn_detail::Escaped{reinterpret_cast<const unsigned char*>(word), magic.size()}
      << "\".\n";
  return false;
}

}  // namespace

int ppma_read_header(std::istream& file_in, int32_t* xsize, int32_t* ysize, int32_t* maxrgb) {
  int32_t* const item[3] = {xsize, ysize, maxrgb};
  int expected = -1;  // -1: the magic word; 0, 1, 2: xsize, ysize, maxrgb
  std::unique_ptr<char[]> line(new (std::nothrow) char[kMaxHeaderLine + 1]);
  if (!line) return 1;
  for (;;) {
    std::size_t length = 0;
    if (!read_header_line(file_in, line.get(), &length)) return 1;
    const char* p = line.get();
    const char* const end = p + length;
    if (length > 0 && *p == '#') continue;  // a comment line
    if (expected < 0) {
      while (p < end && is_space(*p)) ++p;
      if (p == end) continue;  // no word on this line
      if (!take_magic(&p, end)) return 1;
      expected = 0;
    }
    const int found = read_header_numbers(p, end, &expected, item);
    if (found >= 0) return found;
  }
}
