// SPDX-License-Identifier: MIT
// Helpers shared by the BMP module's source files; not installed.
#ifndef TRAVORN_BMP_BMP_INTERNAL_HPP
#define TRAVORN_BMP_BMP_INTERNAL_HPP

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <vector>

#include "common/files.hpp"
#include "common/instruction_set.hpp"
#include "common/report.hpp"
#include "common/sizes.hpp"

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

// Stores the bytes of the pixel rows of a file of `xsize` by |`ysize`|
// pixels of `depth` bytes each, after `colorsused` palette entries; false
// when the file would not fit the 4294967295 bytes that FILESIZE holds.
inline bool pixel_bytes_within(std::uint32_t xsize, std::int32_t ysize, std::uint32_t depth,
                               std::uint32_t colorsused, std::uint64_t* bytes) {
  return travorn_detail::product_within(row_bytes(xsize, depth), row_count(ysize),
                                        UINT32_MAX - kPixelDataOffset - 4 * colorsused, bytes);
}

using travorn_detail::report;

// The two headers of a file of `bitsperpixel` bits a pixel, with
// `colorsused` palette entries and `pixel_bytes` bytes of rows after them
// (as pixel_bytes_within() gave them: the caller has checked the size).
void write_headers(std::ostream& out, std::uint16_t bitsperpixel, std::uint32_t xsize,
                   std::int32_t ysize, std::uint32_t colorsused, std::uint64_t pixel_bytes);

// Stores `n` pixels of the three planes, from element `k` on, as the bytes
// B, G, R of a 24-bit row at `to` (compiled for AVX2 where the one decision
// says so).
void interleave_24(const unsigned char* const plane[3], std::uint64_t k, std::size_t n, char* to);

// Reads palette entries with their numbers counted from `first`, so that a
// palette read in pieces reports the entry's place in the whole table. As
// bmp_palette_read: true on failure, after its report.
bool palette_read_from(std::istream& in, std::uint32_t first, std::uint32_t count, unsigned char* r,
                       unsigned char* g, unsigned char* b, unsigned char* a);

// A 24-bit file written as its pixels arrive, the top row first, into an
// output the caller has prepared: with a positive HEIGHT the file holds the
// picture's bottom row first, with a negative one the top row. Each block of rows goes straight to
// its place in the new file beside the output; where the output is written in place (a pipe, a
// terminal, a device), the blocks gather in memory and go out in order at the end. Memory in use:
// one block (256 KiB at most) whatever the picture's size, or, written in place, the file's bytes
// as they arrive. A failure (too large, not opened, a write) stops the writing, is told by ready()
// and finish(), and reported by report_failure(); a file not finished is removed, and an old one
// stays whole.
class StreamedFile {
 public:
  // For a picture of `width` by |`height`| pixels into `file`, HEIGHT
  // `height`; a device or a pipe is opened now (a FIFO waits for its reader).
  StreamedFile(travorn_detail::OutputFile& file, std::uint32_t width, std::int32_t height);

  // Whether the pixels may come: false once the picture is known too large,
  // the file could not be opened or a write failed.
  bool ready() const { return failure_ == Failure::kNone; }

  // Where pixel `first` (counted across the rows from the top row's first)
  // goes among the file's bytes, and in *pixels how many pixels from there
  // on may be stored at once, within its row; nullptr once
  // the writing has failed. Pixels come in order; after storing them, the
  // caller says filled() up to the pixel after the last.
  char* room(std::uint64_t first, std::size_t* pixels);
  // The pixels before `end` are stored: a block they fill goes to its place.
  void filled(std::uint64_t end);

  // Writes the headers and what is left, and puts the file in place; false
  // on failure, with the file abandoned.
  bool finish();
  // The report of the failure, under the writing operation's header line.
  void report_failure(const char* fatal) const;

 private:
  enum class Failure { kNone, kTooLarge, kOpen, kWrite };
  struct Block {  // bytes of the file from `offset` on
    std::uint64_t offset;
    std::size_t size;
    std::unique_ptr<char[]> bytes;
  };

  bool start_block(std::uint64_t first);
  void flush();
  bool write_rest();
  std::uint64_t place(std::uint64_t pixel) const;

  travorn_detail::OutputFile& file_;
  std::uint32_t width_, height_;  // height_: the number of rows
  bool top_down_;                 // HEIGHT negative: the top row first in the file
  std::uint64_t row_bytes_;
  std::uint64_t pixel_bytes_ = 0;   // of the rows: the file's size less its headers'
  std::size_t pieces_per_row_ = 1;  // the blocks of a row, where a row is wider than a block
  std::size_t rows_per_block_ = 0;  // 0: a row is wider than a block, written in pieces
  Failure failure_ = Failure::kNone;
  Block block_{0, 0, nullptr};
  std::size_t block_room_ = 0;
  std::uint64_t block_end_ = 0;  // the pixel after the block's last
  std::vector<Block> kept_;      // written in place: every block, in memory
};

}  // namespace bmp_detail

#endif  // TRAVORN_BMP_BMP_INTERNAL_HPP
