// SPDX-License-Identifier: MIT
// A P3 file read row by row: the reader hands each row (or each piece of a
// wide row) to the caller's function as three arrays, and stops when the
// caller says so. Memory: one piece and the parser's chunk, whatever the
// picture's size.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "common/instruction_set.hpp"
#include "ppma/ppma.hpp"
#include "ppma/ppma_internal.hpp"
#include "ppma/ppma_reader.hpp"

using ppma_detail::report;

namespace {
// The samples of `pixels` pixels, R, G, B of each in turn, split into three
// rows; compiled for AVX2 too, whose permutations the compiler uses.
TRAVORN_INLINED inline void split(const int32_t* rgb, int32_t pixels, int32_t* const plane[3]) {
  int32_t* __restrict r = plane[0];
  int32_t* __restrict g = plane[1];
  int32_t* __restrict b = plane[2];
  for (std::size_t i = 0; i < std::size_t(pixels); ++i) {
    r[i] = rgb[3 * i];
    g[i] = rgb[3 * i + 1];
    b[i] = rgb[3 * i + 2];
  }
}
void split_plain(const int32_t* rgb, int32_t pixels, int32_t* const plane[3]) {
  split(rgb, pixels, plane);
}
TRAVORN_AVX2 void split_avx2(const int32_t* rgb, int32_t pixels, int32_t* const plane[3]) {
  split(rgb, pixels, plane);
}

// Reads the samples of `pixels` pixels into the three rows, a batch at a
// time through `rgb`; false after the reader's report.
template <typename Split>
bool read_piece(ppma_detail::ImageReader& reader, int32_t pixels, int32_t* rgb,
                int32_t* const plane[3], Split split_rows) {
  for (int32_t done = 0; done < pixels;) {
    const auto n = static_cast<int32_t>(
        std::min<std::int64_t>(std::int64_t{ppma_detail::kBatchPixels}, pixels - done));
    std::size_t samples = 0;
    if (!reader.read_pixels(rgb, std::size_t(n), &samples)) return false;
    int32_t* const at[3] = {plane[0] + done, plane[1] + done, plane[2] + done};
    split_rows(rgb, n, at);
    done += n;
  }
  return true;
}
}  // namespace

int ppma_read_rows(const char* file_name, int32_t* xsize, int32_t* ysize, int32_t* maxrgb,
                   ppma_rows_callback callback, void* context) {
  const char* const fatal = "PPMA_READ_ROWS - Fatal error!\n";
  const void* const function = callback != nullptr ? fatal : nullptr;  // only whether it is there
  if (travorn_detail::refuse_null(fatal, {{file_name, "the file name"},
                                          {xsize, "XSIZE"},
                                          {ysize, "YSIZE"},
                                          {maxrgb, "MAXRGB"},
                                          {function, "the row function"}})) {
    return 1;
  }
  ppma_detail::ImageReader reader(file_name, fatal);
  if (!reader.read_header(xsize, ysize, maxrgb)) return 1;
  // The samples as the parser gives them, a batch at a time, split into the
  // piece's three rows: little enough to stay in the processor's cache.
  constexpr std::size_t kPiece = ppma_rows_piece;
  constexpr std::size_t kBatch = ppma_detail::kBatchPixels;
  std::unique_ptr<int32_t[]> room(new (std::nothrow) int32_t[3 * (kBatch + kPiece)]);
  if (!room) {
    report(fatal) << "  Not enough memory to read the samples.\n";
    return 1;
  }
  const bool avx2 = travorn_detail::instruction_set() == travorn_detail::InstructionSet::kAvx2;
  const auto split_rows = avx2 ? split_avx2 : split_plain;
  int32_t* const rgb = room.get();
  int32_t* const plane[3] = {rgb + 3 * kBatch, rgb + 3 * kBatch + kPiece,
                             rgb + 3 * kBatch + 2 * kPiece};
  const int32_t width = *xsize;  // the header's, whatever the callback writes
  const int32_t height = *ysize;
  for (int32_t row = 0; row < height; ++row) {
    for (int32_t column = 0; column < width;) {
      const auto pixels = static_cast<int32_t>(std::min<std::int64_t>(kPiece, width - column));
      if (!read_piece(reader, pixels, rgb, plane, split_rows)) return 1;
      if (callback(context, row, column, pixels, plane[0], plane[1], plane[2]) != 0) return 0;
      column += pixels;
    }
  }
  return 0;
}
