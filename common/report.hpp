// SPDX-License-Identifier: MIT
// The one way a report begins: every report is a block on standard output
// that opens with an empty line and a header line naming who reports
// ("TRAVORN:\n", "BMP_READ: Fatal error!\n"); its detail lines follow.
// Header-only and private to the project.
#ifndef TRAVORN_COMMON_REPORT_HPP
#define TRAVORN_COMMON_REPORT_HPP

#include <initializer_list>
#include <iostream>

namespace travorn_detail {

// One report block on its way to standard output. The detail lines follow
// with <<; the block reaches the output when the statement that made it
// ends, so that a log of a run that is killed holds every block made
// before the end.
class Report {
 public:
  explicit Report(const char* header_line) { std::cout << '\n' << header_line; }
  Report(const Report&) = delete;
  Report& operator=(const Report&) = delete;
  ~Report() { std::cout.flush(); }

  template <typename T>
  Report& operator<<(const T& value) {
    std::cout << value;
    return *this;
  }
};

// Prints the empty line and `header_line`; the detail lines follow on the
// block it returns.
inline Report report(const char* header_line) { return Report(header_line); }

// A pointer a call needs, and what the report calls it.
struct Needed {
  const void* pointer;
  const char* name;
};

// True, after the report "  Null pointer to NAME.\n" under `header_line`,
// when one of `needed` is null; the first null one is named.
inline bool refuse_null(const char* header_line, std::initializer_list<Needed> needed) {
  for (const Needed& n : needed) {
    if (n.pointer == nullptr) {
      report(header_line) << "  Null pointer to " << n.name << ".\n";
      return true;
    }
  }
  return false;
}

}  // namespace travorn_detail

#endif  // TRAVORN_COMMON_REPORT_HPP
