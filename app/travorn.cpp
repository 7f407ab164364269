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
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "bmp/bmp.hpp"
#include "bmp/bmp_internal.hpp"
#include "common/files.hpp"
#include "common/instruction_set.hpp"
#include "common/report.hpp"
#include "common/sizes.hpp"
#include "ppma/ppma.hpp"
#include "ppma/ppma_sink.hpp"

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

// The converter's destination for the samples: each batch rescaled to
// bytes straight into the BMP file's rows, which the file puts in place as
// they fill. No plane of the picture is ever made.
class BmpRows final : public ppma_detail::SampleSink {
 public:
  explicit BmpRows(const char* output_file_name) : output_file_name_(output_file_name) {}

  void begin(std::int32_t xsize, std::int32_t ysize, std::int32_t maxrgb) override {
    maxrgb_ = maxrgb;
    file_.emplace(output_file_name_, static_cast<std::uint32_t>(xsize),
                  static_cast<std::uint32_t>(ysize));
    if (maxrgb >= 1 && maxrgb <= ppma_detail::SampleScaler::kLargest) scaler_.emplace(maxrgb);
  }
  bool make_room(std::uint64_t, std::uint64_t) override { return true; }  // nothing grows here
  // Each batch rescaled and interleaved in one pass, straight into the
  // file's rows.
  void store(std::uint64_t first, const std::int32_t* rgb, std::size_t samples) override {
    for (std::size_t left = samples / 3; left > 0;) {
      std::size_t pixels = 0;
      char* const to = file_->room(first, &pixels);
      if (to == nullptr) return;  // the file failed: finish() reports it
      pixels = std::min(pixels, left);
      join(rgb, pixels, to);
      first += pixels;
      rgb += 3 * pixels;
      left -= pixels;
      file_->filled(first);
    }
  }

  // Finishes the BMP file: false on failure, after its report.
  bool finish() { return file_->finish(); }

 private:
  // Rescales `pixels` pixels of samples into the file's bytes at `to`.
  void join(const std::int32_t* rgb, std::size_t pixels, char* to) const {
    using bmp_detail::join_samples;
#if TRAVORN_HAS_AVX2
    if (travorn_detail::instruction_set() == travorn_detail::InstructionSet::kAvx2) {
      if (maxrgb_ == 255) return join_clamped_avx2(rgb, pixels, to);
      if (scaler_) return join_scaled_avx2(rgb, pixels, to, *scaler_);
    }
#endif
    if (maxrgb_ == 255) {  // the common case: only the clamp can change a sample
      join_samples(rgb, pixels, to, clamped);
    } else if (scaler_) {
      join_samples(rgb, pixels, to, *scaler_);
    } else {
      const std::int32_t top = maxrgb_;
      join_samples(rgb, pixels, to,
                   [top](std::int32_t v) { return ppma_detail::scale_sample(v, top); });
    }
  }

  const char* output_file_name_;
  std::int32_t maxrgb_ = 0;
  std::optional<ppma_detail::SampleScaler> scaler_;  // for maxima up to SampleScaler::kLargest
  std::optional<bmp_detail::StreamedFile> file_;
};

// True when `file_name` is a regular file, or a link to one, that holds
// something other than a BMP file: it is not empty and does not begin with
// the letters "BM". Such a file was not written by a BMP writer, so it is
// not replaced.
bool holds_other_than_bmp(const char* file_name) {
  if (travorn_detail::regular_file_size(file_name) <= 0) return false;
  std::ifstream in(file_name, std::ios::binary);
  char magic[2] = {};
  in.read(magic, 2);
  return in.gcount() != 2 || magic[0] != 'B' || magic[1] != 'M';
}

// Refuses, with its report, an output that must not be written, before
// anything is read or written: the input file under any name, the file or
// pipe where the reports go, or a file that is not a BMP file.
bool refused(const char* input_file_name, const char* output_file_name) {
  std::error_code ec;
  if (std::filesystem::equivalent(input_file_name, output_file_name, ec)) {
    report("TRAVORN - Fatal error!\n") << "  The output file is the input file.\n";
  } else if (travorn_detail::is_standard_output(output_file_name)) {
    report("TRAVORN - Fatal error!\n")
        << "  The output file is the standard output, where the reports go.\n";
  } else if (holds_other_than_bmp(output_file_name)) {
    report("TRAVORN - Fatal error!\n")
        << "  The output file \"" << output_file_name << "\" exists and is not a BMP file.\n";
  } else {
    return false;
  }
  return true;
}

}  // namespace

int travorn(const char* input_file_name, const char* output_file_name) {
  if (travorn_detail::refuse_null(
          "TRAVORN - Fatal error!\n",
          {{input_file_name, "the input file name"}, {output_file_name, "the output file name"}}) ||
      refused(input_file_name, output_file_name))
    return 1;
  BmpRows rows(output_file_name);
  int32_t xsize = 0;
  int32_t ysize = 0;
  int32_t maxrgb = 0;
  if (ppma_detail::read_image(input_file_name, &xsize, &ysize, &maxrgb, rows) != 0) {
    report("TRAVORN - Fatal error!\n") << "  PPMA_READ failed.\n";
    return 1;
  }
  report("TRAVORN:\n") << "  XSIZE = " << xsize << ".\n"
                       << "  YSIZE = " << ysize << ".\n";
  report("TRAVORN:\n") << "  Flipping data orientation.\n";
  if (!rows.finish()) {
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
