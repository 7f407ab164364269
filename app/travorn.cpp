// SPDX-License-Identifier: MIT
// The conversion routine: a P3 file in, a 24-bit BMP file out. The samples
// are pulled from the reader in file order; each batch is rescaled to
// 0..255 and interleaved in one pass into the BMP file's rows by a row
// kernel (app/rows.hpp), and the rows go to their place a block at a time
// (the file holds the bottom row first): no plane of the picture is ever
// made, and the memory in use does not depend on the picture's size.
#include "app/travorn.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "app/rows.hpp"
#include "app/rows_avx2.hpp"
#include "app/rows_portable.hpp"
#include "bmp/bmp_internal.hpp"
#include "common/files.hpp"
#include "common/report.hpp"
#include "ppma/ppma_reader.hpp"

namespace {

using travorn_detail::report;

// The row kernel of the instruction set that the one decision gives: the
// one place where the converter chooses.
using Interleave = void (*)(const std::int32_t*, std::size_t, char*,
                            const travorn_detail::Rescale&);
Interleave interleave_for(travorn_detail::InstructionSet set) {
#if TRAVORN_HAS_AVX2
  if (set == travorn_detail::InstructionSet::kAvx2) return travorn_detail::Avx2Rows::interleave;
#endif
  (void)set;
  return travorn_detail::PortableRows::interleave;
}

// The converter's rows: each batch of samples rescaled to bytes straight
// into the BMP file's rows, which the file puts in place as they fill. No
// plane of the picture is ever made.
class BmpRows {
 public:
  // For a picture whose samples run from 0 to `maxrgb`, at least 1.
  BmpRows(bmp_detail::StreamedFile& file, std::int32_t maxrgb)
      : file_(file),
        rescale_(maxrgb),
        interleave_(interleave_for(travorn_detail::instruction_set())) {}

  // Whether more pixels may come: false once the file has failed.
  bool ready() const { return file_.ready(); }

  // Rescales and interleaves `pixels` pixels of samples, pixels `first` and
  // on, in one pass straight into the file's rows, a row's piece at a time.
  void store(std::uint64_t first, const std::int32_t* rgb, std::size_t pixels) {
    for (std::size_t left = pixels; left > 0;) {
      std::size_t piece = 0;
      char* const to = file_.room(first, &piece);
      if (to == nullptr) return;  // the file failed: finish() reports it
      piece = std::min(piece, left);
      interleave_(rgb, piece, to, rescale_);
      first += piece;
      rgb += 3 * piece;
      left -= piece;
      file_.filled(first);
    }
  }

 private:
  bmp_detail::StreamedFile& file_;
  travorn_detail::Rescale rescale_;
  Interleave interleave_;
};

// Pulls the samples from `reader` into `rows`, a batch at a time, until the
// last pixel, or until the file fails (the read stops then, quietly). False,
// after the reader's report, when the input fails.
bool convert(ppma_detail::ImageReader& reader, BmpRows& rows) {
  std::int32_t batch[3 * ppma_detail::kBatchPixels];
  for (std::uint64_t done = 0; done < reader.pixels() && rows.ready();) {
    const auto n = static_cast<std::size_t>(
        std::min<std::uint64_t>(ppma_detail::kBatchPixels, reader.pixels() - done));
    std::size_t samples = 0;
    if (!reader.read_pixels(batch, n, &samples)) return false;
    rows.store(done, batch, n);
    done += n;
  }
  return true;
}

// True when the output is an existing regular file, or a link to one, that
// holds something other than a BMP file: it is not empty and does not begin
// with the letters "BM". Such a file was not written by a BMP writer, so it
// is not replaced.
bool holds_other_than_bmp(const travorn_detail::OutputFile& output) {
  if (output.target().kind != travorn_detail::FileKind::kRegular || output.target().size <= 0) {
    return false;
  }
  char magic[2] = {};
  return !output.read_start(magic, 2) || magic[0] != 'B' || magic[1] != 'M';
}

// Refuses, with its report, an output that must not be written, before
// anything is read or written: the input under any name (a device such as
// /dev/null is never taken for it), the file or pipe where the reports go, a
// file that is not a BMP file, or a file that no new one can replace.
bool refused(const ppma_detail::ImageReader& reader, const travorn_detail::OutputFile& output,
             travorn_detail::OutputFile::Route route, const char* output_file_name) {
  using travorn_detail::same_file;
  const travorn_detail::FileFacts& target = output.target();
  if (reader.is_open() && reader.facts().kind != travorn_detail::FileKind::kDevice &&
      same_file(reader.facts(), target)) {
    report("TRAVORN - Fatal error!\n") << "  The output file is the input file.\n";
  } else if (same_file(travorn_detail::standard_output(), target)) {
    report("TRAVORN - Fatal error!\n")
        << "  The output file is the standard output, where the reports go.\n";
  } else if (holds_other_than_bmp(output)) {
    report("TRAVORN - Fatal error!\n")
        << "  The output file \"" << output_file_name << "\" exists and is not a BMP file.\n";
  } else if (route == travorn_detail::OutputFile::Route::kKept) {
    report("TRAVORN - Fatal error!\n") << "  No new file can be made beside \"" << output_file_name
                                       << "\" to replace it, so it is kept.\n";
  } else {
    return false;
  }
  return true;
}

int read_failed() {
  report("TRAVORN - Fatal error!\n") << "  PPMA_READ failed.\n";
  return 1;
}

}  // namespace

// The output is looked at, and a new file made beside it, before the input
// is read; once the header is accepted, what the output cannot take (it
// cannot be opened, the picture is too large for a BMP file) is reported
// before a sample is read, after the size lines as the writer's failure.
int travorn(const char* input_file_name, const char* output_file_name) {
  if (travorn_detail::refuse_null(
          "TRAVORN - Fatal error!\n",
          {{input_file_name, "the input file name"}, {output_file_name, "the output file name"}})) {
    return 1;
  }
  ppma_detail::ImageReader reader(input_file_name, "PPMA_READ - Fatal error!\n");
  travorn_detail::OutputFile output;
  if (refused(reader, output, output.prepare(output_file_name), output_file_name)) return 1;
  int32_t xsize = 0;
  int32_t ysize = 0;
  int32_t maxrgb = 0;
  if (!reader.read_header(&xsize, &ysize, &maxrgb)) return read_failed();
  if (maxrgb < 1) {
    report("TRAVORN - Fatal error!\n")
        << "  The maximum sample value MAXRGB = " << maxrgb << " is below 1.\n";
    return 1;
  }
  bmp_detail::StreamedFile file(output, static_cast<std::uint32_t>(xsize), ysize);
  BmpRows rows(file, maxrgb);
  if (!convert(reader, rows)) return read_failed();
  report("TRAVORN:\n") << "  XSIZE = " << xsize << ".\n"
                       << "  YSIZE = " << ysize << ".\n";
  report("TRAVORN:\n") << "  Flipping data orientation.\n";
  if (!file.finish()) {
    file.report_failure("BMP_24_WRITE - Fatal error!\n");
    report("TRAVORN - Fatal error!\n") << "  BMP_24_WRITE failed.\n";
    return 1;
  }
  report("TRAVORN:\n") << "  Normal end of translation.\n";
  return 0;
}
