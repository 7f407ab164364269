// Helpers shared by the PPMA module's source files; not installed.
#ifndef TRAVORN_PPMA_PPMA_INTERNAL_HPP
#define TRAVORN_PPMA_PPMA_INTERNAL_HPP

#include <iostream>

namespace ppma_detail {

// Prints the empty line and the header line of a report block.
inline std::ostream& report(const char* header_line) { return std::cout << '\n' << header_line; }

// White space as the C locale's isspace sees it (blank, \t \n \v \f \r);
// false for the end of input (-1). Branch-free, so that loops over a buffer
// can be vectorised.
constexpr bool is_space(int c) { return (c == ' ') | (static_cast<unsigned>(c - '\t') < 5u); }
constexpr bool is_digit(int c) { return c >= '0' && c <= '9'; }

}  // namespace ppma_detail

#endif  // TRAVORN_PPMA_PPMA_INTERNAL_HPP
