// SPDX-License-Identifier: MIT
// Pixel rows (24-bit and 8-bit) and the palette: the bytes behind the headers.
#include <algorithm>
#include <iomanip>
#include <iostream>
#include <memory>
#include <new>

#include "bmp/bmp.hpp"
#include "bmp/bmp_internal.hpp"
#include "common/sizes.hpp"

using bmp_detail::padding_08;
using bmp_detail::padding_24;
using bmp_detail::report;
using bmp_detail::row_count;

namespace {
// The 24-bit reader moves rows in blocks of this many pixels, so that a row
// of any width needs no buffer of its own size.
constexpr std::uint32_t kBlockPixels = 16384;
// The 24-bit writer gathers rows into blocks of this many bytes.
constexpr std::size_t kBlockBytes = std::size_t{256} * 1024;
constexpr char kZeros[4] = {0, 0, 0, 0};

// Reads and drops a row's padding bytes. False, after the warning, when the
// input ends inside them: a minor error that ends the read of the rows.
bool read_padding(std::istream& in, std::uint32_t padding, const char* warning_header,
                  std::uint32_t row) {
  char pad[4];
  in.read(pad, padding);
  const auto got = static_cast<std::uint32_t>(in.gcount());
  if (got == padding) return true;
  report(warning_header) << "  Failed while reading padding character " << got << "\n"
                         << "  of total " << padding << " characters\n"
                         << "  at the end of line " << row << "\n"
                         << "\n"
                         << "  This is a minor error.\n";
  return false;
}
}  // namespace

void bmp_24_data_write(std::ostream& file_out, uint32_t xsize, int32_t ysize,
                       const unsigned char* r, const unsigned char* g, const unsigned char* b) {
  const std::uint32_t rows = row_count(ysize);
  if (xsize == 0) return;  // rows of no bytes at all
  const std::uint32_t padding = padding_24(xsize);
  // Rows are gathered into a block across their ends, and the block is
  // written whole, so that the output is made in few large writes. The
  // block holds all the rows when they are few; rows of 256 bytes in all,
  // or a large block that cannot be had, make do with one on the stack.
  std::uint64_t all_rows = 0;
  const std::size_t wanted = travorn_detail::product_within(3 * std::uint64_t{xsize} + padding,
                                                            rows, kBlockBytes, &all_rows)
                                 ? static_cast<std::size_t>(all_rows)
                                 : kBlockBytes;
  char small[256];
  std::unique_ptr<char[]> large(wanted > sizeof small ? new (std::nothrow) char[wanted] : nullptr);
  char* const block = large ? large.get() : small;
  const std::size_t size = large ? wanted : sizeof small;
  std::size_t used = 0;
  std::size_t k = 0;  // plane element of the next pixel
  for (std::uint32_t i = 0; i < rows; ++i) {
    for (std::uint32_t j = 0; j < xsize;) {
      if (used + 3 + padding > size) {
        file_out.write(block, std::streamsize(used));
        used = 0;
      }
      const auto n =
          static_cast<std::uint32_t>(std::min<std::size_t>((size - used - padding) / 3, xsize - j));
      unsigned char* __restrict out = reinterpret_cast<unsigned char*>(block + used);
      const unsigned char* __restrict from_r = r + k;
      const unsigned char* __restrict from_g = g + k;
      const unsigned char* __restrict from_b = b + k;
      for (std::size_t e = 0; e < n; ++e) {
        out[3 * e] = from_b[e];
        out[3 * e + 1] = from_g[e];
        out[3 * e + 2] = from_r[e];
      }
      k += n;
      used += 3 * std::size_t(n);
      j += n;
    }
    std::fill_n(block + used, padding, '\0');
    used += padding;
  }
  file_out.write(block, std::streamsize(used));
}

bool bmp_24_data_read(std::istream& file_in, uint32_t xsize, int32_t ysize, unsigned char* r,
                      unsigned char* g, unsigned char* b) {
  const std::uint32_t rows = row_count(ysize);
  if (xsize == 0) return false;
  const std::uint32_t padding = padding_24(xsize);
  char block[3 * kBlockPixels];
  std::size_t k = 0;
  for (std::uint32_t i = 0; i < rows; ++i) {
    for (std::uint32_t j = 0; j < xsize;) {
      const std::uint32_t n = std::min(kBlockPixels, xsize - j);
      file_in.read(block, 3 * std::streamsize(n));
      const auto got = static_cast<std::uint32_t>(file_in.gcount());
      const unsigned char* __restrict in = reinterpret_cast<const unsigned char*>(block);
      unsigned char* __restrict to_r = r + k;
      unsigned char* __restrict to_g = g + k;
      unsigned char* __restrict to_b = b + k;
      const std::uint32_t whole = got / 3;
      for (std::size_t e = 0; e < whole; ++e) {
        to_b[e] = in[3 * e];
        to_g[e] = in[3 * e + 1];
        to_r[e] = in[3 * e + 2];
      }
      in += std::size_t{3} * whole;
      k += whole;
      if (got < 3 * n) {  // the components of the failing pixel read so far stay stored
        if (got % 3 > 0) b[k] = in[0];
        if (got % 3 > 1) g[k] = in[1];
        report("BMP_24_DATA_READ: Fatal error!\n")
            << "  Failed reading "
            << "BGR"[got % 3] << " for pixel (" << j + got / 3 << "," << i << ").\n";
        return true;
      }
      j += n;
    }
    if (!read_padding(file_in, padding, "BMP_24_DATA_READ - Warning!\n", i)) return false;
  }
  return false;
}

void bmp_08_data_write(std::ostream& file_out, uint32_t xsize, int32_t ysize,
                       const unsigned char* plane) {
  const std::uint32_t rows = row_count(ysize);
  if (xsize == 0) return;
  const std::uint32_t padding = padding_08(xsize);
  const char* row = reinterpret_cast<const char*>(plane);
  for (std::uint32_t i = 0; i < rows; ++i) {
    file_out.write(row, xsize);
    file_out.write(kZeros, padding);
    row += xsize;
  }
}

bool bmp_08_data_read(std::istream& file_in, uint32_t xsize, int32_t ysize, unsigned char* plane) {
  const std::uint32_t rows = row_count(ysize);
  if (xsize == 0) return false;
  const std::uint32_t padding = padding_08(xsize);
  char* row = reinterpret_cast<char*>(plane);
  for (std::uint32_t i = 0; i < rows; ++i) {
    file_in.read(row, xsize);
    const auto got = static_cast<std::uint32_t>(file_in.gcount());
    if (got < xsize) {
      report("BMP_08_DATA_READ: Fatal error!\n")
          << "  Failed reading R for pixel (" << got << "," << i << ").\n";
      return true;
    }
    if (!read_padding(file_in, padding, "BMP_08_DATA_READ - Warning!\n", i)) return false;
    row += xsize;
  }
  return false;
}

void bmp_palette_write(std::ostream& file_out, uint32_t colorsused, const unsigned char* r,
                       const unsigned char* g, const unsigned char* b, const unsigned char* a) {
  for (std::uint32_t i = 0; i < colorsused; ++i) {
    const char entry[4] = {static_cast<char>(b[i]), static_cast<char>(g[i]),
                           static_cast<char>(r[i]), static_cast<char>(a[i])};
    file_out.write(entry, 4);
  }
}

bool bmp_detail::palette_read_from(std::istream& in, std::uint32_t first, std::uint32_t count,
                                   unsigned char* r, unsigned char* g, unsigned char* b,
                                   unsigned char* a) {
  for (std::uint32_t i = 0; i < count; ++i) {
    unsigned char entry[4];
    in.read(reinterpret_cast<char*>(entry), 4);
    const auto got = static_cast<std::uint32_t>(in.gcount());
    unsigned char* const slots[4] = {&b[i], &g[i], &r[i], &a[i]};
    for (std::uint32_t c = 0; c < got; ++c) *slots[c] = entry[c];
    if (got < 4) {
      report("BMP_PALETTE_READ: Fatal error!\n")
          << "  Failed reading "
          << "BGRA"[got] << " for palette color " << first + i << ".\n";
      return true;
    }
  }
  return false;
}

bool bmp_palette_read(std::istream& file_in, uint32_t colorsused, unsigned char* r,
                      unsigned char* g, unsigned char* b, unsigned char* a) {
  return bmp_detail::palette_read_from(file_in, 0, colorsused, r, g, b, a);
}

void bmp_palette_print(uint32_t colorsused, const unsigned char* r, const unsigned char* g,
                       const unsigned char* b, const unsigned char* a) {
  std::cout << "\n"
            << "  Palette information from BMP file:\n"
            << "\n";
  if (colorsused == 0) {
    std::cout << "    There are NO colors defined for the palette.\n";
    return;
  }
  std::cout << "\n"
            << " Color    Blue   Green     Red   Trans\n"
            << "\n";
  for (std::uint32_t i = 0; i < colorsused; ++i) {
    // Bytes print as numbers, each right-aligned under its heading.
    std::cout << std::setw(6) << i << "  " << std::setw(6) << unsigned{b[i]} << "  " << std::setw(6)
              << unsigned{g[i]} << "  " << std::setw(6) << unsigned{r[i]} << "  " << std::setw(6)
              << unsigned{a[i]} << "\n";
  }
}
