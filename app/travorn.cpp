// SPDX-License-Identifier: MIT
// The conversion routine: a P3 file in, a 24-bit BMP file out. The samples
// are parsed in file order; each batch is rescaled to 0..255 and
// interleaved in one pass into the BMP file's rows, which go to their place
// a block at a time (the file holds the bottom row first): no plane of the
// picture is ever made, and the memory in use does not depend on the
// picture's size.
#include "app/travorn.hpp"

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <memory>

#include "bmp/bmp.hpp"
#include "bmp/bmp_internal.hpp"
#include "common/files.hpp"
#include "common/instruction_set.hpp"
#include "common/report.hpp"
#include "common/sizes.hpp"
#include "ppma/ppma.hpp"
#include "ppma/ppma_reader.hpp"
#include "ppma/ppma_scale.hpp"

#if TRAVORN_HAS_AVX2
#include <immintrin.h>
#endif

namespace {

using travorn_detail::report;

// A sample clamped to 0..255, the rescale of the common maximum 255.
constexpr auto clamped = [](std::int32_t v) {
  return static_cast<unsigned char>(std::clamp(v, 0, 255));
};

#if TRAVORN_HAS_AVX2
// The rescales of eight samples at once for join_avx2: each leaves the
// bytes' values in 32-bit lanes, or values that saturate to them.
struct ClampedAvx2 {  // maxval 255: the saturating packs after it are the clamp
  TRAVORN_AVX2 __m256i operator()(__m256i v) const { return v; }
};
struct ScaledAvx2 {  // ppma_detail::SampleScaler, four products of 64 bits at a time
  TRAVORN_AVX2 explicit ScaledAvx2(const ppma_detail::SampleScaler& scaler)
      : top(_mm256_set1_epi32(scaler.top())),
        multiplier(_mm256_set1_epi64x(scaler.multiplier())),
        shift(_mm_cvtsi32_si128(int(scaler.shift()))) {}
  TRAVORN_AVX2 __m256i operator()(__m256i v) const {
    const __m256i c = _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), top);
    const __m256i n =
        _mm256_add_epi32(_mm256_sub_epi32(_mm256_slli_epi32(c, 9), _mm256_add_epi32(c, c)), top);
    const __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(n, multiplier), shift);
    const __m256i odd =
        _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(n, 32), multiplier), shift);
    return _mm256_or_si256(even, _mm256_slli_epi64(odd, 32));
  }
  __m256i top, multiplier;
  __m128i shift;
};

// The rescale and the interleave into the file's rows with AVX2, eight
// pixels a step: the rescale of 24 samples, saturating packs to bytes, a
// permutation that puts pixels 0 to 3 in the low half and 4 to 7 in the
// high one, a shuffle in each half that turns R, G, B into B, G, R, and a
// second permutation that closes the gap between the halves. Each step
// stores 32 bytes for its 24, so the steps stop while 8 bytes of the
// pixels' own room are left, and the last pixels go the plain way, by
// `byte`. At maxval 255 four times as fast as the compiler's vector code
// for the plain loop.
template <typename Rescale, typename Byte>
TRAVORN_AVX2 TRAVORN_INLINED inline void join_avx2(const std::int32_t* rgb, std::size_t pixels,
                                                   char* to, Rescale rescale, Byte byte) {
  const __m256i halves = _mm256_setr_epi32(0, 4, 1, 3, 5, 2, 6, 7);
  const __m256i swap = _mm256_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, -1, -1, -1, -1,  //
                                        2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, -1, -1, -1, -1);
  const __m256i close = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
  std::size_t i = 0;
  for (; i + 11 <= pixels; i += 8) {
    const auto* const in = reinterpret_cast<const __m256i*>(rgb + 3 * i);
    const __m256i c = rescale(_mm256_loadu_si256(in + 2));
    // 32-bit groups of four samples: [0-3 8-11 16-19 16-19 | 4-7 12-15 20-23 20-23].
    const __m256i bytes = _mm256_packus_epi16(
        _mm256_packs_epi32(rescale(_mm256_loadu_si256(in)), rescale(_mm256_loadu_si256(in + 1))),
        _mm256_packs_epi32(c, c));
    const __m256i pixels_in_halves = _mm256_permutevar8x32_epi32(bytes, halves);
    const __m256i swapped = _mm256_shuffle_epi8(pixels_in_halves, swap);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 3 * i),
                        _mm256_permutevar8x32_epi32(swapped, close));
  }
  bmp_detail::join_samples(rgb + 3 * i, pixels - i, to + 3 * i, byte);
}

TRAVORN_AVX2 void join_clamped_avx2(const std::int32_t* rgb, std::size_t pixels, char* to) {
  join_avx2(rgb, pixels, to, ClampedAvx2{}, clamped);
}
TRAVORN_AVX2 void join_scaled_avx2(const std::int32_t* rgb, std::size_t pixels, char* to,
                                   const ppma_detail::SampleScaler& scaler) {
  join_avx2(rgb, pixels, to, ScaledAvx2(scaler), scaler);
}
#endif

// The converter's rows: each batch of samples rescaled to bytes straight
// into the BMP file's rows, which the file puts in place as they fill. No
// plane of the picture is ever made.
class BmpRows {
 public:
  // For a picture whose samples run from 0 to `maxrgb`, at least 1.
  BmpRows(bmp_detail::StreamedFile& file, std::int32_t maxrgb)
      : file_(file),
        maxrgb_(maxrgb),
        scaled_(maxrgb <= ppma_detail::SampleScaler::kLargest),
        scaler_(std::min(maxrgb, ppma_detail::SampleScaler::kLargest)) {}

  // Whether more pixels may come: false once the file has failed.
  bool ready() const { return file_.ready(); }

  // Rescales and interleaves `pixels` pixels of samples, pixels `first` and
  // on, in one pass straight into the file's rows.
  void store(std::uint64_t first, const std::int32_t* rgb, std::size_t pixels) {
    for (std::size_t left = pixels; left > 0;) {
      std::size_t piece = 0;
      char* const to = file_.room(first, &piece);
      if (to == nullptr) return;  // the file failed: finish() reports it
      piece = std::min(piece, left);
      join(rgb, piece, to);
      first += piece;
      rgb += 3 * piece;
      left -= piece;
      file_.filled(first);
    }
  }

 private:
  // Rescales `pixels` pixels of samples into the file's bytes at `to`.
  void join(const std::int32_t* rgb, std::size_t pixels, char* to) const {
    using bmp_detail::join_samples;
#if TRAVORN_HAS_AVX2
    if (travorn_detail::instruction_set() == travorn_detail::InstructionSet::kAvx2) {
      if (maxrgb_ == 255) return join_clamped_avx2(rgb, pixels, to);
      if (scaled_) return join_scaled_avx2(rgb, pixels, to, scaler_);
    }
#endif
    if (maxrgb_ == 255) {  // the common case: only the clamp can change a sample
      join_samples(rgb, pixels, to, clamped);
    } else if (scaled_) {
      join_samples(rgb, pixels, to, scaler_);
    } else {
      const std::int32_t top = maxrgb_;
      join_samples(rgb, pixels, to,
                   [top](std::int32_t v) { return ppma_detail::scale_sample(v, top); });
    }
  }

  bmp_detail::StreamedFile& file_;
  std::int32_t maxrgb_;
  bool scaled_;  // rescaled by scaler_, for maxima up to SampleScaler::kLargest
  ppma_detail::SampleScaler scaler_;
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
  ppma_detail::ImageReader reader(input_file_name);
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
  bmp_detail::StreamedFile file(output, static_cast<std::uint32_t>(xsize),
                                static_cast<std::uint32_t>(ysize));
  BmpRows rows(file, maxrgb);
  if (!convert(reader, rows)) return read_failed();
  report("TRAVORN:\n") << "  XSIZE = " << xsize << ".\n"
                       << "  YSIZE = " << ysize << ".\n";
  report("TRAVORN:\n") << "  Flipping data orientation.\n";
  if (!file.finish()) {
    report("TRAVORN - Fatal error!\n") << "  BMP_24_WRITE failed.\n";
    return 1;
  }
  report("TRAVORN:\n") << "  Normal end of translation.\n";
  return 0;
}

void imat_vert_flip(int32_t xsize, int32_t ysize, int32_t* plane) {
  if (xsize < 1 || ysize < 2) return;
  const auto width = static_cast<std::size_t>(xsize);
  for (std::int32_t i = 0; i < ysize / 2; ++i) {  // row i with row ysize - 1 - i
    std::swap_ranges(plane + std::size_t(i) * width, plane + std::size_t(i + 1) * width,
                     plane + std::size_t(ysize - 1 - i) * width);
  }
}

void int_2_u_char(int32_t xsize, int32_t ysize, const int32_t* source, unsigned char* target) {
  const std::uint64_t count =
      xsize < 1 || ysize < 1 ? 0 : std::uint64_t(xsize) * std::uint64_t(ysize);
  for (std::uint64_t k = 0; k < count; ++k) {
    target[k] = static_cast<unsigned char>(static_cast<uint32_t>(source[k]) & 0xFFu);
  }
}
