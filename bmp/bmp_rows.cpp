// SPDX-License-Identifier: MIT
// A 24-bit file written row by row, the top row first: each row's pixels
// interleaved into the block of rows that goes to its place in the new file,
// which replaces the old one when finished whole.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>

#include "bmp/bmp.hpp"
#include "bmp/bmp_internal.hpp"
#include "common/files.hpp"

using bmp_detail::report;
using travorn_detail::refuse_null;

struct bmp_24_rows {
  travorn_detail::OutputFile file;
  std::optional<bmp_detail::StreamedFile> rows;
  std::uint64_t pixels = 0;  // of the picture
  std::uint64_t given = 0;   // put so far
  bool reported = false;     // the writing's failure has been reported
};

namespace {
// The report of a failure of the writing, once; true, as the module's
// failures are.
bool failed(bmp_24_rows* rows, const char* fatal) {
  if (!rows->reported) rows->rows->report_failure(fatal);
  rows->reported = true;
  return true;
}
}  // namespace

bmp_24_rows* bmp_24_rows_open(const char* file_name, uint32_t xsize, int32_t ysize) {
  const char* const fatal = "BMP_24_ROWS_OPEN - Fatal error!\n";
  if (refuse_null(fatal, {{file_name, "the file name"}})) return nullptr;
  std::unique_ptr<bmp_24_rows> rows(new (std::nothrow) bmp_24_rows);
  if (!rows) {
    report(fatal) << "  Not enough memory for the rows.\n";
    return nullptr;
  }
  rows->file.prepare(file_name);
  rows->rows.emplace(rows->file, xsize, ysize);
  rows->pixels = std::uint64_t{xsize} * bmp_detail::row_count(ysize);
  if (!rows->rows->ready()) {
    rows->rows->report_failure(fatal);
    return nullptr;  // the new file is removed with `rows`
  }
  return rows.release();
}

bool bmp_24_rows_put(bmp_24_rows* rows, uint32_t pixels, const unsigned char* r,
                     const unsigned char* g, const unsigned char* b) {
  const char* const fatal = "BMP_24_ROWS_PUT - Fatal error!\n";
  if (refuse_null(fatal, {{rows, "the rows"}}) ||
      (pixels > 0 && refuse_null(fatal, {{r, "R"}, {g, "G"}, {b, "B"}}))) {
    return true;
  }
  if (pixels > rows->pixels - rows->given) {
    report(fatal) << "  " << pixels << " pixels are more than the " << rows->pixels - rows->given
                  << " that the picture has left.\n";
    return true;
  }
  const unsigned char* const plane[3] = {r, g, b};
  for (std::uint64_t done = 0; done < pixels && rows->rows->ready();) {
    std::size_t piece = 0;
    char* const to = rows->rows->room(rows->given, &piece);
    if (to == nullptr) break;
    piece = static_cast<std::size_t>(std::min<std::uint64_t>(piece, pixels - done));
    bmp_detail::interleave_24(plane, done, piece, to);
    done += piece;
    rows->given += piece;
    rows->rows->filled(rows->given);
  }
  return !rows->rows->ready() && failed(rows, fatal);
}

bool bmp_24_rows_finish(bmp_24_rows* rows) {
  const char* const fatal = "BMP_24_ROWS_FINISH - Fatal error!\n";
  if (refuse_null(fatal, {{rows, "the rows"}})) return true;
  const std::unique_ptr<bmp_24_rows> owned(rows);  // released whatever the outcome
  if (rows->reported) return true;                 // bmp_24_rows_put() has said why
  if (rows->given < rows->pixels) {
    report(fatal) << "  " << rows->given << " of the picture's " << rows->pixels
                  << " pixels were put.\n";
    return true;  // the new file is removed with `rows`
  }
  return !rows->rows->finish() && failed(rows, fatal);
}
