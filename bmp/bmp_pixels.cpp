// SPDX-License-Identifier: MIT
// Pixel rows (24-bit and 8-bit) and the palette: the bytes behind the headers.
#include <algorithm>
#include <cstdint>
#include <iomanip>
#include <iostream>
#include <memory>
#include <new>

#include "bmp/bmp.hpp"
#include "bmp/bmp_internal.hpp"
#include "common/instruction_set.hpp"
#include "common/sizes.hpp"

using bmp_detail::padding;
using bmp_detail::report;
using bmp_detail::row_count;

namespace {
// Every pixel row, 24-bit and 8-bit, written and read, moves through one
// block: as large as all the rows need, up to this many bytes, or a small
// block on the stack when that cannot be had. Rows are gathered into the
// block across their ends for writing; a row wider than the block moves in
// pieces of whole pixels.
constexpr std::size_t kRowBlockBytes = std::size_t{256} * 1024;

class RowBlock {
 public:
  // For `rows` rows of `row_bytes` bytes each; the size through the one
  // checked product, so that no width and height can wrap it.
  RowBlock(std::uint64_t row_bytes, std::uint32_t rows) {
    std::uint64_t all = 0;
    if (travorn_detail::product_within(row_bytes, rows, kRowBlockBytes, &all)) {
      wanted_ = static_cast<std::size_t>(all);
    }
    if (wanted_ > sizeof small_) large_.reset(new (std::nothrow) char[wanted_]);
  }
  char* data() { return large_ ? large_.get() : small_; }
  std::size_t size() const { return large_ ? wanted_ : sizeof small_; }

 private:
  char small_[256];
  std::size_t wanted_ = kRowBlockBytes;
  std::unique_ptr<char[]> large_;
};

// A pixel is kDepth bytes in the file: B, G, R (24-bit) or an index (8-bit).
// interleave takes `n` pixels from element `k` of the planes to the file's
// bytes; split the other way.
template <int kDepth>
void interleave(const unsigned char* const plane[3], std::uint64_t k, std::size_t n, char* to) {
  auto* __restrict out = reinterpret_cast<unsigned char*>(to);
  if constexpr (kDepth == 1) {
    std::copy_n(plane[0] + k, n, out);
  } else {
    const unsigned char* __restrict r = plane[0] + k;
    const unsigned char* __restrict g = plane[1] + k;
    const unsigned char* __restrict b = plane[2] + k;
    for (std::size_t e = 0; e < n; ++e) {
      out[3 * e] = b[e];
      out[3 * e + 1] = g[e];
      out[3 * e + 2] = r[e];
    }
  }
}
template <int kDepth>
void split(const char* from, std::size_t n, unsigned char* const plane[3], std::uint64_t k) {
  const auto* __restrict in = reinterpret_cast<const unsigned char*>(from);
  if constexpr (kDepth == 1) {
    std::copy_n(in, n, plane[0] + k);
  } else {
    unsigned char* __restrict r = plane[0] + k;
    unsigned char* __restrict g = plane[1] + k;
    unsigned char* __restrict b = plane[2] + k;
    for (std::size_t e = 0; e < n; ++e) {
      b[e] = in[3 * e];
      g[e] = in[3 * e + 1];
      r[e] = in[3 * e + 2];
    }
  }
}

// The same for 24-bit rows, compiled for AVX2 where the build holds AVX2
// code: the compiler turns the loops into byte shuffles that SSE2 lacks.
TRAVORN_AVX2 void interleave_avx2(const unsigned char* const plane[3], std::uint64_t k,
                                  std::size_t n, char* to) {
  interleave<3>(plane, k, n, to);
}
TRAVORN_AVX2 void split_avx2(const char* from, std::size_t n, unsigned char* const plane[3],
                             std::uint64_t k) {
  split<3>(from, n, plane, k);
}

// The plain step, or for 24-bit rows its AVX2 compilation where the one
// decision of the instruction set says AVX2 (never in a build without it).
template <int kDepth, typename Step>
Step chosen(Step plain, Step avx2) {
  using travorn_detail::InstructionSet;
  return kDepth == 3 && travorn_detail::instruction_set() == InstructionSet::kAvx2 ? avx2 : plain;
}

}  // namespace

namespace {

// Writes `rows` rows of `width` pixels from the planes, plane row 0 first.
template <int kDepth>
void write_rows(std::ostream& out, std::uint32_t width, std::uint32_t rows,
                const unsigned char* const plane[3]) {
  if (width == 0) return;  // rows of no bytes at all
  const std::uint32_t pad = padding(width, kDepth);
  RowBlock block(std::uint64_t{kDepth} * width + pad, rows);
  const auto interleave_n = chosen<kDepth>(interleave<kDepth>, interleave_avx2);
  std::size_t used = 0;
  for (std::uint32_t i = 0; i < rows; ++i) {
    const std::uint64_t first = std::uint64_t{i} * width;
    for (std::uint32_t j = 0; j < width;) {
      if (used + kDepth + pad > block.size()) {
        out.write(block.data(), std::streamsize(used));
        used = 0;
      }
      const auto n = static_cast<std::uint32_t>(
          std::min<std::size_t>((block.size() - used - pad) / kDepth, width - j));
      interleave_n(plane, first + j, n, block.data() + used);
      used += std::size_t{kDepth} * n;
      j += n;
    }
    std::fill_n(block.data() + used, pad, '\0');
    used += pad;
  }
  out.write(block.data(), std::streamsize(used));
}

// Reads and drops a row's padding bytes. False, after the warning, when the
// input ends inside them: a minor error that ends the read of the rows.
bool read_padding(std::istream& in, std::uint32_t count, const char* warning_header,
                  std::uint32_t row) {
  char pad[4];
  in.read(pad, count);
  const auto got = static_cast<std::uint32_t>(in.gcount());
  if (got == count) return true;
  report(warning_header) << "  Failed while reading padding character " << got << "\n"
                         << "  of total " << count << " characters\n"
                         << "  at the end of line " << row << "\n"
                         << "\n"
                         << "  This is a minor error.\n";
  return false;
}

// Reads `rows` rows of `width` pixels into the planes, a piece of a row at
// a time. False, after the report, when the input ends before a pixel's last
// byte (the components of that pixel read so far stay stored) or in the
// padding of a row before the last.
template <int kDepth>
bool read_rows(std::istream& in, std::uint32_t width, std::uint32_t rows,
               unsigned char* const plane[3], const char* fatal, const char* warning) {
  if (width == 0) return true;
  const std::uint32_t pad = padding(width, kDepth);
  RowBlock block(std::uint64_t{kDepth} * width, rows);
  const std::size_t most = block.size() / kDepth;
  const auto split_n = chosen<kDepth>(split<kDepth>, split_avx2);
  std::uint64_t k = 0;  // plane element of the next pixel
  for (std::uint32_t i = 0; i < rows; ++i) {
    for (std::uint32_t j = 0; j < width;) {
      const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(most, width - j));
      in.read(block.data(), std::streamsize{kDepth} * n);
      const auto got = static_cast<std::uint32_t>(in.gcount());
      split_n(block.data(), got / kDepth, plane, k);
      k += got / kDepth;
      if (got < kDepth * n) {
        for (std::uint32_t c = 0; c < got % kDepth; ++c) {  // B, then G
          plane[2 - c][k] = static_cast<unsigned char>(block.data()[got - got % kDepth + c]);
        }
        report(fatal) << "  Failed reading " << (kDepth == 3 ? "BGR"[got % 3] : 'R')
                      << " for pixel (" << j + got / kDepth << "," << i << ").\n";
        return false;
      }
      j += n;
    }
    // A cut in the last row's padding is a minor error: every pixel is
    // read. Before the last row, the rows after it are missing.
    if (!read_padding(in, pad, warning, i)) return i + 1 == rows;
  }
  return true;
}
}  // namespace

void bmp_detail::interleave_24(const unsigned char* const plane[3], std::uint64_t k, std::size_t n,
                               char* to) {
  chosen<3>(interleave<3>, interleave_avx2)(plane, k, n, to);
}

void bmp_24_data_write(std::ostream& file_out, uint32_t xsize, int32_t ysize,
                       const unsigned char* r, const unsigned char* g, const unsigned char* b) {
  const unsigned char* const planes[3] = {r, g, b};
  write_rows<3>(file_out, xsize, row_count(ysize), planes);
}

bool bmp_24_data_read(std::istream& file_in, uint32_t xsize, int32_t ysize, unsigned char* r,
                      unsigned char* g, unsigned char* b) {
  unsigned char* const planes[3] = {r, g, b};
  return !read_rows<3>(file_in, xsize, row_count(ysize), planes, "BMP_24_DATA_READ: Fatal error!\n",
                       "BMP_24_DATA_READ - Warning!\n");
}

void bmp_08_data_write(std::ostream& file_out, uint32_t xsize, int32_t ysize,
                       const unsigned char* plane) {
  const unsigned char* const planes[3] = {plane, nullptr, nullptr};
  write_rows<1>(file_out, xsize, row_count(ysize), planes);
}

bool bmp_08_data_read(std::istream& file_in, uint32_t xsize, int32_t ysize, unsigned char* plane) {
  unsigned char* const planes[3] = {plane, nullptr, nullptr};
  return !read_rows<1>(file_in, xsize, row_count(ysize), planes, "BMP_08_DATA_READ: Fatal error!\n",
                       "BMP_08_DATA_READ - Warning!\n");
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
    std::cout << "    There are NO colors defined for the palette.\n" << std::flush;
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
  std::cout.flush();
}
