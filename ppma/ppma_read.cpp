// SPDX-License-Identifier: MIT
// Reading a P3 file: open it, read the header (ppma_header.cpp), accept the
// size, then hand out the samples a batch at a time, to ppma_read's planes
// or to the converter.
#include <algorithm>
#include <cstdint>
#include <istream>
#include <memory>

#include "common/files.hpp"
#include "common/sizes.hpp"
#include "ppma/ppma.hpp"
#include "ppma/ppma_internal.hpp"
#include "ppma/ppma_parser.hpp"
#include "ppma/ppma_planes.hpp"
#include "ppma/ppma_reader.hpp"

using ppma_detail::ImageReader;
using ppma_detail::kBatchPixels;
using ppma_detail::report;
using ppma_detail::SampleParser;
using travorn_detail::product_within;

namespace {

// The largest image whose samples can be indexed by a signed 32-bit number.
constexpr std::uint64_t kMaxPixels = INT32_MAX;
// Images whose integer planes take up to this many bytes in all are given
// room as the header says; larger ones only when the input can hold their
// samples, or room that grows as the samples arrive.
constexpr std::uint64_t kTrustedImageBytes = 4u << 20;
// A sample takes at least two characters: a digit and white space after it.
constexpr std::uint64_t kMinSampleChars = 2;
// Room grows first to this many pixels, then doubles.
constexpr std::uint64_t kFirstGrowth = 1u << 20;

// Three integer planes: the caller's (format-level read) or new ones.
class IntegerPlanes {
 public:
  IntegerPlanes(std::int32_t* r, std::int32_t* g, std::int32_t* b) : plane_{r, g, b} {}

  // New planes of `pixels` elements holding the first `kept` of the old ones.
  bool make_room(std::uint64_t pixels, std::uint64_t kept) {
    if (!travorn_detail::renew_planes(owned_, pixels, kept)) return false;
    for (int c = 0; c < 3; ++c) plane_[c] = owned_[c].get();
    room_ = pixels;
    return true;
  }

  // Fills the planes with `pixels` pixels of samples, a batch at a time
  // from `parse(rgb, count, &samples)`, which is true when it parsed the
  // samples of all `count` pixels. With `grows`, the room is widened before
  // the samples that need it are stored. False when a batch falls short.
  template <typename Parse>
  bool fill(std::uint64_t pixels, bool grows, Parse parse) {
    std::int32_t batch[3 * kBatchPixels];
    if (!grows) room_ = pixels;
    for (std::uint64_t done = 0; done < pixels;) {
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kBatchPixels, pixels - done));
      std::size_t parsed = 0;
      const bool whole = parse(batch, n, &parsed);
      if (done + n > room_) {
        if (!whole) return false;
        if (!make_room(std::min(pixels, std::max(kFirstGrowth, 2 * room_)), done)) {
          out_of_room_ = true;
          return false;
        }
      }
      store(done, batch, parsed);
      if (!whole) return false;
      done += n;
    }
    return true;
  }

  // Whether a fill failed for want of memory for the room to grow.
  bool out_of_room() const { return out_of_room_; }

  // Hands the planes to the caller after a success, and after a failed read
  // into planes that have room for the whole image (never shorter ones).
  void hand_over(bool ok, std::uint64_t pixels, std::int32_t** r, std::int32_t** g,
                 std::int32_t** b) {
    if (!ok && (room_ < pixels || !owned_[0])) return;
    *r = owned_[0].release();
    *g = owned_[1].release();
    *b = owned_[2].release();
  }

 private:
  void store(std::uint64_t first, const std::int32_t* rgb, std::size_t samples) {
    std::int32_t* const r = plane_[0] + first;
    std::int32_t* const g = plane_[1] + first;
    std::int32_t* const b = plane_[2] + first;
    const std::size_t pixels = samples / 3;
    ppma_detail::split_samples(rgb, pixels, r, g, b);
    if (samples % 3 > 0) r[pixels] = rgb[3 * pixels];  // a pixel cut short keeps what it has
    if (samples % 3 > 1) g[pixels] = rgb[3 * pixels + 1];
  }

  std::int32_t* plane_[3];
  std::unique_ptr<std::int32_t[]> owned_[3];
  std::uint64_t room_ = 0;
  bool out_of_room_ = false;
};

// Whether the planes of `pixels` pixels take more than the trusted size.
bool beyond_trust(std::uint64_t pixels) {
  std::uint64_t bytes = 0;
  return !product_within(3 * sizeof(std::int32_t), pixels, kTrustedImageBytes, &bytes);
}

}  // namespace

// False, after the report, for sizes that no plane can be made for; else
// stores the number of pixels.
bool ImageReader::size_accepted(std::int32_t xsize, std::int32_t ysize) {
  if (xsize < 0 || ysize < 0) {
    report(fatal_) << "  Negative image size: XSIZE = " << xsize << ", YSIZE = " << ysize << ".\n";
    return false;
  }
  if (!product_within(std::uint64_t(xsize), std::uint64_t(ysize), kMaxPixels, &pixels_)) {
    report(fatal_) << "  The image size XSIZE = " << xsize << ", YSIZE = " << ysize
                   << " is too large.\n";
    return false;
  }
  return true;
}

bool ImageReader::read_header(std::int32_t* xsize, std::int32_t* ysize, std::int32_t* maxrgb) {
  if (!file_.is_open()) {
    report(fatal_) << "  Cannot open the input file \"" << file_name_ << "\".\n";
    return false;
  }
  std::istream& in = file_.stream();
  if (ppma_read_header(in, xsize, ysize, maxrgb) != 0) {
    report(fatal_) << "  PPMA_READ_HEADER failed.\n";
    return false;
  }
  if (!size_accepted(*xsize, *ysize)) return false;
  // Memory follows the input: beyond the trusted size, a regular file must
  // be long enough for the samples it declares.
  const std::int64_t left = travorn_detail::bytes_after(facts().size, in.tellg());
  std::uint64_t bytes = 0;
  if (beyond_trust(pixels_) && left >= 0 &&
      !product_within(3 * kMinSampleChars, pixels_, std::uint64_t(left), &bytes)) {
    report_data_failure();
    return false;
  }
  parser_.emplace(in);
  if (!parser_->ready()) {
    report(fatal_) << "  Not enough memory to read the samples.\n";
    return false;
  }
  return true;
}

bool ImageReader::room_grows() const { return beyond_trust(pixels_) && facts().size < 0; }

bool ImageReader::read_pixels(std::int32_t* rgb, std::size_t count, std::size_t* samples) {
  if (parser_->parse(rgb, 3 * count, samples) == SampleParser::kFull) return true;
  report_data_failure();
  return false;
}

void ImageReader::report_data_failure() const { report(fatal_) << "  PPMA_READ_DATA failed.\n"; }

int ppma_read(const char* file_name, int32_t* xsize, int32_t* ysize, int32_t* maxrgb, int32_t** r,
              int32_t** g, int32_t** b) {
  const char* const fatal = "PPMA_READ - Fatal error!\n";
  if (travorn_detail::refuse_null(fatal, {{file_name, "the file name"},
                                          {xsize, "XSIZE"},
                                          {ysize, "YSIZE"},
                                          {maxrgb, "MAXRGB"},
                                          {r, "R"},
                                          {g, "G"},
                                          {b, "B"}})) {
    return 1;
  }
  ImageReader reader(file_name, fatal);
  if (!reader.read_header(xsize, ysize, maxrgb)) return 1;
  // From a pipe, planes beyond the trusted size grow as the samples arrive.
  IntegerPlanes planes(nullptr, nullptr, nullptr);
  const bool grows = reader.room_grows();
  if (!grows && !planes.make_room(reader.pixels(), 0)) {
    report(fatal) << "  Not enough memory for the image planes.\n";
    return 1;
  }
  const bool read = planes.fill(reader.pixels(), grows,
                                [&](std::int32_t* rgb, std::size_t n, std::size_t* samples) {
                                  return reader.read_pixels(rgb, n, samples);
                                });
  if (planes.out_of_room()) reader.report_data_failure();  // as data that fell short
  planes.hand_over(read, reader.pixels(), r, g, b);
  return read ? 0 : 1;
}

int ppma_read_data(std::istream& file_in, int32_t xsize, int32_t ysize, int32_t* r, int32_t* g,
                   int32_t* b) {
  if (ysize < 1 || xsize < 1) return 0;
  SampleParser parser(file_in);
  if (!parser.ready()) return 1;
  IntegerPlanes planes(r, g, b);
  const bool read = planes.fill(std::uint64_t(xsize) * std::uint64_t(ysize), false,
                                [&](std::int32_t* rgb, std::size_t n, std::size_t* samples) {
                                  return parser.parse(rgb, 3 * n, samples) == SampleParser::kFull;
                                });
  if (read) parser.give_back();
  return read ? 0 : 1;
}
