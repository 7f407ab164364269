// SPDX-License-Identifier: MIT
// Helpers shared by the BMP module's source files; not installed.
#ifndef TRAVORN_BMP_BMP_INTERNAL_HPP
#define TRAVORN_BMP_BMP_INTERNAL_HPP

#include <cstdint>
#include <iosfwd>

#include "common/report.hpp"

namespace bmp_detail {

constexpr std::uint32_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kPixelDataOffset = kFileHeaderBytes + kInfoHeaderBytes;  // 54
constexpr std::uint16_t kMagicBM = 'B' << 8 | 'M';  // as bmp_header1_read gives it

// Zero bytes that pad a row of `width` pixels of `depth` bytes each (3 at
// 24 bits, 1 at 8) to a multiple of 4; the bytes of the whole padded row, in
// 64 bits so that no width wraps.
constexpr std::uint32_t padding(std::uint32_t width, std::uint32_t depth) {
  return (4u - (depth * width) % 4u) % 4u;  // a product that wraps keeps its remainder by 4
}
constexpr std::uint64_t row_bytes(std::uint32_t width, std::uint32_t depth) {
  return std::uint64_t{depth} * width + padding(width, depth);
}
static_assert(padding(1, 3) == 1 && padding(2, 3) == 2 && padding(3, 3) == 3 && padding(4, 3) == 0);
static_assert(padding(1, 1) == 3 && padding(2, 1) == 2 && padding(3, 1) == 1 && padding(4, 1) == 0);
static_assert(row_bytes(UINT32_MAX, 3) == 12884901888u);

// Number of rows a signed height stands for: its magnitude, 2147483648 for INT32_MIN.
constexpr std::uint32_t row_count(std::int32_t height) {
  return height < 0 ? 0u - static_cast<std::uint32_t>(height) : static_cast<std::uint32_t>(height);
}
static_assert(row_count(-3) == 3 && row_count(INT32_MIN) == 2147483648u);

using travorn_detail::report;

// Writes 24-bit rows as bmp_24_data_write does, or with `bottom_up` the
// planes' rows from the last to the first, so that planes whose row 0 is a
// picture's top row make a file with a positive HEIGHT, bottom row first.
void write_24_rows(std::ostream& file_out, std::uint32_t xsize, std::int32_t ysize,
                   const unsigned char* r, const unsigned char* g, const unsigned char* b,
                   bool bottom_up);

// Writes a 24-bit file as bmp_24_write does, its rows by write_24_rows.
bool write_24(const char* file_name, std::uint32_t xsize, std::int32_t ysize,
              const unsigned char* r, const unsigned char* g, const unsigned char* b,
              bool bottom_up);

// Palette rows with their entry numbers counted from `first`, so that a
// palette read in pieces reports the entry's place in the whole table.
bool palette_read_from(std::istream& in, std::uint32_t first, std::uint32_t count, unsigned char* r,
                       unsigned char* g, unsigned char* b, unsigned char* a);

}  // namespace bmp_detail

#endif  // TRAVORN_BMP_BMP_INTERNAL_HPP
