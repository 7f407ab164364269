// SPDX-License-Identifier: MIT
// Reading a P3 file: open it, read the header line by line, check the size,
// make room for the planes, read the samples.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <string>

#include "common/escaped.hpp"
#include "common/files.hpp"
#include "common/sizes.hpp"
#include "ppma/ppma.hpp"
#include "ppma/ppma_internal.hpp"
#include "ppma/ppma_parser.hpp"
#include "ppma/ppma_sink.hpp"

using ppma_detail::Decimal;
using ppma_detail::is_digit;
using ppma_detail::is_space;
using ppma_detail::kBatchPixels;
using ppma_detail::report;
using ppma_detail::SampleParser;
using ppma_detail::SampleSink;
using travorn_detail::product_within;

namespace {

// Longest header line read whole; the writer's comment line holds a file name.
constexpr std::streamsize kMaxHeaderLine = 65536;
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
class IntegerPlanes final : public SampleSink {
 public:
  IntegerPlanes(std::int32_t* r, std::int32_t* g, std::int32_t* b) : plane_{r, g, b} {}

  void begin(std::int32_t xsize, std::int32_t ysize, std::int32_t) override {
    pixels_ = std::uint64_t(xsize) * std::uint64_t(ysize);
  }
  // New planes of `pixels` elements holding the first `kept` of the old ones.
  bool make_room(std::uint64_t pixels, std::uint64_t kept) override {
    if (!travorn_detail::renew_planes(owned_, pixels, kept)) return false;
    for (int c = 0; c < 3; ++c) plane_[c] = owned_[c].get();
    room_ = pixels;
    return true;
  }
  void store(std::uint64_t first, const std::int32_t* rgb, std::size_t samples) override {
    std::int32_t* const r = plane_[0] + first;
    std::int32_t* const g = plane_[1] + first;
    std::int32_t* const b = plane_[2] + first;
    const std::size_t pixels = samples / 3;
    for (std::size_t i = 0; i < pixels; ++i) {
      r[i] = rgb[3 * i];
      g[i] = rgb[3 * i + 1];
      b[i] = rgb[3 * i + 2];
    }
    if (samples % 3 > 0) r[pixels] = rgb[3 * pixels];  // a pixel cut short keeps what it has
    if (samples % 3 > 1) g[pixels] = rgb[3 * pixels + 1];
  }

  // Hands the planes to the caller after a success, and after a failed read
  // into planes that have room for the whole image (never shorter ones).
  void hand_over(bool ok, std::int32_t** r, std::int32_t** g, std::int32_t** b) {
    if (!ok && (room_ < pixels_ || !owned_[0])) return;
    *r = owned_[0].release();
    *g = owned_[1].release();
    *b = owned_[2].release();
  }

 private:
  std::int32_t* plane_[3];
  std::unique_ptr<std::int32_t[]> owned_[3];
  std::uint64_t pixels_ = 0;
  std::uint64_t room_ = 0;
};

// Parses the samples of `pixels` pixels into `sink`. With `growing`, the
// sink's room is widened before the samples that need it are stored.
// False when a token is not a sample or the input ends too soon.
bool read_samples(std::istream& in, std::uint64_t pixels, SampleSink& sink, bool growing) {
  SampleParser parser(in);
  std::int32_t batch[3 * kBatchPixels];
  std::uint64_t room = 0;
  for (std::uint64_t done = 0; done < pixels;) {
    const std::size_t n =
        static_cast<std::size_t>(std::min<std::uint64_t>(kBatchPixels, pixels - done));
    std::size_t parsed = 0;
    const bool whole = parser.parse(batch, 3 * n, &parsed) == SampleParser::kFull;
    if (growing && done + n > room) {
      if (!whole) return false;
      room = std::min(pixels, std::max(kFirstGrowth, 2 * room));
      if (!sink.make_room(room, done)) return false;
    }
    sink.store(done, batch, parsed);
    if (!whole) return false;
    done += n;
  }
  if (pixels > 0) parser.give_back();
  return true;
}

// False, after the report, for sizes that no plane can be made for; else
// stores the number of pixels.
bool size_accepted(std::int32_t xsize, std::int32_t ysize, std::uint64_t* pixels) {
  if (xsize < 0 || ysize < 0) {
    report("PPMA_READ - Fatal error!\n")
        << "  Negative image size: XSIZE = " << xsize << ", YSIZE = " << ysize << ".\n";
    return false;
  }
  if (!product_within(std::uint64_t(xsize), std::uint64_t(ysize), kMaxPixels, pixels)) {
    report("PPMA_READ - Fatal error!\n")
        << "  The image size XSIZE = " << xsize << ", YSIZE = " << ysize << " is too large.\n";
    return false;
  }
  return true;
}

// Makes room in `sink` and reads the samples of `pixels` pixels into it;
// false, after the report, on failure. Memory follows the input: beyond the trusted size, a regular
// file must be long enough for the samples, and input of unknown length makes the room grow as the
// samples arrive.
bool read_planes(std::ifstream& file_in, const char* file_name, std::uint64_t pixels,
                 SampleSink& sink) {
  const std::int64_t left =
      travorn_detail::bytes_after(travorn_detail::regular_file_size(file_name), file_in.tellg());
  std::uint64_t bytes = 0;
  const bool trusted = product_within(3 * sizeof(std::int32_t), pixels, kTrustedImageBytes, &bytes);
  const bool growing = !trusted && left < 0;
  if (!trusted && left >= 0 &&
      !product_within(3 * kMinSampleChars, pixels, std::uint64_t(left), &bytes)) {
    report("PPMA_READ - Fatal error!\n") << "  PPMA_READ_DATA failed.\n";
    return false;
  }
  if (!growing && !sink.make_room(pixels, 0)) {
    report("PPMA_READ - Fatal error!\n") << "  Not enough memory for the image planes.\n";
    return false;
  }
  if (!read_samples(file_in, pixels, sink, growing)) {
    report("PPMA_READ - Fatal error!\n") << "  PPMA_READ_DATA failed.\n";
    return false;
  }
  return true;
}

// Whether the rest of a header line, where a number is expected and none
// stands, must not be dropped: it is no comment and holds a digit, so it
// most likely holds the number after a typo ("640 x 480"). Dropping it
// would take a later number for this one and convert a wrong picture.
bool number_would_be_skipped(const char* rest) {
  if (*rest == '#') return false;
  for (; *rest != '\0'; ++rest) {
    if (is_digit(*rest)) return true;
  }
  return false;
}

// The header's numbers on the rest of a line, as "%d" takes them: white
// space, an optional sign, digits. Stores each in turn through item[*expected];
// returns 0 once maxrgb is stored, 1 after the report of a number out of
// range or of one that would be skipped, -1 when the line holds no further
// number.
int read_header_numbers(const char* p, int* expected, std::int32_t* const item[3]) {
  for (;;) {
    while (is_space(*p)) ++p;
    const char* const start = p;
    Decimal number;
    if (number.sign(*p)) ++p;
    if (!is_digit(*p) && number_would_be_skipped(start)) {
      constexpr std::size_t kShown = 40;
      const char* const items[] = {"XSIZE", "YSIZE", "MAXRGB"};
      const std::size_t length = std::strlen(start);
      report("PPMA_READ_HEADER - Fatal error!\n")
          << "  A number for " << items[*expected] << " was expected, not \""
          << travorn_detail::Escaped{reinterpret_cast<const unsigned char*>(start),
                                     std::min(length, kShown)}
          << (length > kShown ? "...\".\n" : "\".\n");
      return 1;
    }
    if (!is_digit(*p)) return -1;
    for (; is_digit(*p); ++p) number.digit(*p);
    if (!number.in_range()) {
      report("PPMA_READ_HEADER - Fatal error!\n")
          << "  The number " << std::string(start, p) << " is out of range.\n";
      return 1;
    }
    *item[*expected] = number.value();
    if (*expected == 2) return 0;  // the rest of the maxrgb line is dropped
    ++*expected;
  }
}

// Reads one header line; false, after the report, at the end of the input
// (a last line without a newline is never parsed) or on a line too long.
bool read_header_line(std::istream& in, char* line) {
  in.getline(line, kMaxHeaderLine + 1);
  if (in.eof()) {
    report("PPMA_READ_HEADER - Fatal error!\n") << "  End of file.\n";
    return false;
  }
  if (in.fail()) {
    if (in.gcount() >= kMaxHeaderLine) {
      report("PPMA_READ_HEADER - Fatal error!\n")
          << "  A header line is longer than " << kMaxHeaderLine << " characters.\n";
    } else {
      report("PPMA_READ_HEADER - Fatal error!\n") << "  Error while reading the input file.\n";
    }
    return false;
  }
  return true;
}

// Takes the magic word at the start of `*p`: false, after the report, when
// it is not "P3" or "p3". Moves *p past it.
bool take_magic(const char** p) {
  const char* const word = *p;
  while (**p != '\0' && !is_space(**p)) ++*p;
  const std::string magic(word, *p);
  if (magic == "P3" || magic == "p3") return true;
  report("PPMA_READ_HEADER - Fatal error.\n")
      << "  Bad magic number = \""
      << travorn_detail::Escaped{reinterpret_cast<const unsigned char*>(word), magic.size()}
      << "\".\n";
  return false;
}

}  // namespace

int ppma_detail::read_image(const char* file_name, std::int32_t* xsize, std::int32_t* ysize,
                            std::int32_t* maxrgb, SampleSink& sink) {
  std::ifstream file_in(file_name, std::ios::in | std::ios::binary);
  if (!file_in) {
    report("PPMA_READ - Fatal error!\n")
        << "  Cannot open the input file \"" << file_name << "\".\n";
    return 1;
  }
  if (ppma_read_header(file_in, xsize, ysize, maxrgb) != 0) {
    report("PPMA_READ - Fatal error!\n") << "  PPMA_READ_HEADER failed.\n";
    return 1;
  }
  std::uint64_t pixels = 0;
  if (!size_accepted(*xsize, *ysize, &pixels)) return 1;
  sink.begin(*xsize, *ysize, *maxrgb);
  return read_planes(file_in, file_name, pixels, sink) ? 0 : 1;
}

int ppma_read(const char* file_name, int32_t* xsize, int32_t* ysize, int32_t* maxrgb, int32_t** r,
              int32_t** g, int32_t** b) {
  if (travorn_detail::refuse_null("PPMA_READ - Fatal error!\n", {{file_name, "the file name"},
                                                                 {xsize, "XSIZE"},
                                                                 {ysize, "YSIZE"},
                                                                 {maxrgb, "MAXRGB"},
                                                                 {r, "R"},
                                                                 {g, "G"},
                                                                 {b, "B"}})) {
    return 1;
  }
  IntegerPlanes planes(nullptr, nullptr, nullptr);
  const int status = ppma_detail::read_image(file_name, xsize, ysize, maxrgb, planes);
  planes.hand_over(status == 0, r, g, b);
  return status;
}

int ppma_read_header(std::istream& file_in, int32_t* xsize, int32_t* ysize, int32_t* maxrgb) {
  int32_t* const item[3] = {xsize, ysize, maxrgb};
  int expected = -1;  // -1: the magic word; 0, 1, 2: xsize, ysize, maxrgb
  std::unique_ptr<char[]> line(new (std::nothrow) char[kMaxHeaderLine + 1]);
  if (!line) return 1;
  for (;;) {
    if (!read_header_line(file_in, line.get())) return 1;
    const char* p = line.get();
    if (*p == '#') continue;  // a comment line
    if (expected < 0) {
      while (is_space(*p)) ++p;
      if (*p == '\0') continue;  // no word on this line
      if (!take_magic(&p)) return 1;
      expected = 0;
    }
    const int found = read_header_numbers(p, &expected, item);
    if (found >= 0) return found;
  }
}

int ppma_read_data(std::istream& file_in, int32_t xsize, int32_t ysize, int32_t* r, int32_t* g,
                   int32_t* b) {
  if (ysize < 1 || xsize < 1) return 0;
  IntegerPlanes planes(r, g, b);
  return read_samples(file_in, std::uint64_t(xsize) * std::uint64_t(ysize), planes, false) ? 0 : 1;
}
