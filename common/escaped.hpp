// SPDX-License-Identifier: MIT
// Bytes of a file shown in a report: printable ASCII as it is, any other
// byte as \xHH, so that binary input never reaches the terminal raw.
// Header-only and private to the project.
#ifndef TRAVORN_COMMON_ESCAPED_HPP
#define TRAVORN_COMMON_ESCAPED_HPP

#include <cstddef>
#include <ostream>

namespace travorn_detail {

// Bytes of a file within a line of a report:
// `report(...) << Escaped{bytes, count}`.
struct Escaped {
  const unsigned char* bytes;
  std::size_t count;
};

inline std::ostream& operator<<(std::ostream& out, const Escaped& text) {
  const char* const hex = "0123456789ABCDEF";
  for (std::size_t i = 0; i < text.count; ++i) {
    const unsigned byte = text.bytes[i];
    if (byte >= 0x20 && byte <= 0x7E) {
      out << static_cast<char>(byte);
    } else {
      out << "\\x" << hex[byte >> 4] << hex[byte & 0xFu];
    }
  }
  return out;
}

}  // namespace travorn_detail

#endif  // TRAVORN_COMMON_ESCAPED_HPP
