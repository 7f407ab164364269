// SPDX-License-Identifier: MIT
// Writing a P3 file: four header lines, then four pixels a line at most.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>

#include "common/escaped.hpp"
#include "common/files.hpp"
#include "ppma/ppma.hpp"
#include "ppma/ppma_internal.hpp"

using ppma_detail::report;

namespace {
constexpr int kPixelsPerLine = 4;
constexpr std::ptrdiff_t kBufferBytes = std::ptrdiff_t{64} * 1024;

// Decimal text of `value` at `out`; returns the end of what was written.
char* put_number(char* out, std::int32_t value) {
  return std::to_chars(out, out + 11, value).ptr;  // "-2147483648" is the longest
}
}  // namespace

namespace {
// The largest sample of the three planes, and 1 at least: the least maximum
// a P3 file may declare (also for an image without pixels).
int32_t largest_sample(int32_t xsize, int32_t ysize, const int32_t* r, const int32_t* g,
                       const int32_t* b) {
  int32_t largest = 1;
  const std::uint64_t pixels =
      xsize < 1 || ysize < 1 ? 0 : std::uint64_t(xsize) * std::uint64_t(ysize);
  for (std::uint64_t k = 0; k < pixels; ++k) largest = std::max({largest, r[k], g[k], b[k]});
  return largest;
}
}  // namespace

int ppma_write(const char* file_name, int32_t xsize, int32_t ysize, const int32_t* r,
               const int32_t* g, const int32_t* b) {
  const char* const fatal = "PPMA_WRITE - Fatal error!\n";
  if (travorn_detail::refuse_null(fatal, {{file_name, "the file name"}}) ||
      (xsize >= 1 && ysize >= 1 &&
       travorn_detail::refuse_null(fatal, {{r, "R"}, {g, "G"}, {b, "B"}}))) {
    return 1;  // refused before the file is created
  }
  travorn_detail::OutputFile file;
  if (!file.open(file_name)) {
    report(fatal) << "  Cannot open the output file \"" << file_name << "\".\n";
    return 1;
  }
  // The header cannot fail: the stream's state is tested once, at the close.
  ppma_write_header(file.stream(), file_name, xsize, ysize, largest_sample(xsize, ysize, r, g, b));
  if (ppma_write_data(file.stream(), xsize, ysize, r, g, b) != 0) {
    file.abandon();  // the old file is kept
    report(fatal) << "  PPMA_WRITE_DATA failed.\n";
    return 1;
  }
  if (!file.close()) {
    report(fatal) << "  Error while writing the output file.\n";
    return 1;
  }
  return 0;
}

int ppma_write_header(std::ostream& file_out, const char* file_name, int32_t xsize, int32_t ysize,
                      int32_t maxrgb) {
  file_out << "P3\n"
           << "# "
           << travorn_detail::Escaped{reinterpret_cast<const unsigned char*>(file_name),
                                      std::strlen(file_name)}
           << " created by KELMORA::PPMA_WRITE.\n"
           << xsize << "  " << ysize << "\n"
           << maxrgb << "\n";
  return 0;
}

int ppma_write_data(std::ostream& file_out, int32_t xsize, int32_t ysize, const int32_t* r,
                    const int32_t* g, const int32_t* b) {
  if (ysize < 1 || xsize < 1) return 0;
  // Lines are gathered in a buffer and written a buffer at a time; a line
  // holds at most four pixels of three numbers of 12 characters each.
  constexpr std::ptrdiff_t kLineMax = std::ptrdiff_t{kPixelsPerLine} * 3 * 12;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kBufferBytes]);
  if (!buffer) return 1;
  char* const begin = buffer.get();
  char* out = begin;
  std::uint64_t k = 0;  // pixels written so far, counted across rows
  for (int32_t j = 0; j < ysize; ++j) {
    for (int32_t i = 0; i < xsize; ++i, ++k) {
      out = put_number(out, r[k]);
      *out++ = ' ';
      out = put_number(out, g[k]);
      *out++ = ' ';
      out = put_number(out, b[k]);
      // Every fourth pixel counted from the image's first, and the last of a row, end a line.
      if ((k + 1) % kPixelsPerLine == 0 || i == xsize - 1) {
        *out++ = '\n';
        if (begin + kBufferBytes - out < kLineMax) {
          file_out.write(begin, out - begin);
          out = begin;
        }
      } else {
        *out++ = ' ';
      }
    }
  }
  file_out.write(begin, out - begin);
  return 0;
}
