// SPDX-License-Identifier: MIT
// The one way a report begins: every report is a block on standard output
// that opens with an empty line and a header line naming who reports
// ("TRAVORN:\n", "BMP_READ: Fatal error!\n"); its detail lines follow.
// Header-only and private to the project.
#ifndef TRAVORN_COMMON_REPORT_HPP
#define TRAVORN_COMMON_REPORT_HPP

#include <iostream>

namespace travorn_detail {

// Prints the empty line and `header_line`; the detail lines follow on the
// stream it returns.
inline std::ostream& report(const char* header_line) { return std::cout << '\n' << header_line; }

}  // namespace travorn_detail

#endif  // TRAVORN_COMMON_REPORT_HPP
