// SPDX-License-Identifier: MIT
// A P3 file read by a caller that pulls its samples: the reader behind
// ppma_read and the converter. Part of the project, not of the installed
// interface.
#ifndef TRAVORN_PPMA_PPMA_READER_HPP
#define TRAVORN_PPMA_PPMA_READER_HPP

#include <cstddef>
#include <cstdint>
#include <optional>

#include "common/files.hpp"
#include "ppma/ppma_parser.hpp"

namespace ppma_detail {

// The most pixels that ppma_read and the converter ask for at once.
constexpr std::size_t kBatchPixels = 1024;

// A P3 file read in file order (the top row first, each pixel R, G, B), a
// batch of samples at a time, as its caller asks: the caller decides when
// the reading stops, and stops by not asking again (nothing is printed
// then). The file is opened by its name once, at construction, without
// waiting for the writer of a FIFO, so that the caller can learn what the
// input is (facts()) before anything is read.
class ImageReader {
 public:
  // Reports go under `fatal`, the header line of the operation that reads.
  ImageReader(const char* file_name, const char* fatal)
      : file_name_(file_name), fatal_(fatal), file_(file_name) {}

  bool is_open() const { return file_.is_open(); }
  const travorn_detail::FileFacts& facts() const { return file_.facts(); }

  // Reads the header and accepts the size, with every report of ppma_read
  // (under the reading operation's name):
  // the file that cannot be opened, the header's own report and "PPMA_READ_HEADER
  // failed.", negative sizes, more than 2147483647 pixels, and, beyond the
  // size trusted on the header's word, a regular file too short for the
  // samples it declares; and the memory to read the samples in chunks, which
  // may be refused (`Not enough memory to read the samples.`). The values go
  // through the pointers as they are read. False after the reports.
  bool read_header(std::int32_t* xsize, std::int32_t* ysize, std::int32_t* maxrgb);

  // After read_header(): the picture's pixels, and whether planes for them
  // should grow as the samples arrive, since they would take more than the
  // size trusted on the header's word and the input's length is unknown (a
  // pipe).
  std::uint64_t pixels() const { return pixels_; }
  bool room_grows() const;

  // Parses the samples of the next `count` pixels into `rgb` (3 * `count`
  // values) and sets *samples to how many were parsed. False, after the
  // report "PPMA_READ_DATA failed.", when the input ends too
  // soon or holds a token that is not a sample. After the last pixel, the
  // input must hold one character more, as ever.
  bool read_pixels(std::int32_t* rgb, std::size_t count, std::size_t* samples);

  // The report of data that failed, for a caller that fails them itself.
  void report_data_failure() const;

 private:
  bool size_accepted(std::int32_t xsize, std::int32_t ysize);

  const char* file_name_;
  const char* fatal_;
  travorn_detail::InputFile file_;
  std::optional<SampleParser> parser_;  // made for the samples, after the header
  std::uint64_t pixels_ = 0;
};

}  // namespace ppma_detail

#endif  // TRAVORN_PPMA_PPMA_READER_HPP
