// Reading a P3 file: the header line by line, then the samples as a stream.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <thread>

#include "common/huge_pages.hpp"
#include "ppma/ppma.hpp"
#include "ppma/ppma_internal.hpp"

using ppma_detail::is_digit;
using ppma_detail::is_space;
using ppma_detail::report;

namespace {

// Longest header line read whole; the writer's comment line holds a file name.
constexpr std::streamsize kMaxHeaderLine = 65536;
// The largest image whose samples can be indexed by a signed 32-bit number.
constexpr std::uint64_t kMaxPixels = INT32_MAX;
// Planes up to this many bytes are allocated as the header says; larger ones
// only when the input can hold the samples (or grow as samples arrive).
constexpr std::uint64_t kTrustedPlaneBytes = 4u << 20;
// A sample takes at least two characters: a digit and white space after it.
constexpr std::uint64_t kMinSampleChars = 2;
// Images of at least this many samples in a regular file are read on two threads.
constexpr std::uint64_t kParallelSamples = std::uint64_t{1} << 20;
constexpr std::streamsize kCountChunk = std::streamsize{64} * 1024;
// Where no white space follows the cut this soon, the one-thread read decides.
constexpr std::uint64_t kLongestCutToken = 4096;

// White space as the C locale's isspace sees it, as a table for the hot loop.
struct SpaceTable {
  bool is[256] = {};
  constexpr SpaceTable() {
    for (int c = 0; c < 256; ++c) is[c] = is_space(c);
  }
};
constexpr SpaceTable kSpace;

// Samples of the data section, parsed straight from the stream buffer in
// large chunks. The chunk ends with a NUL that is neither white space nor a
// digit, so the fast path needs no bounds test: a token it cannot finish
// inside the chunk (cut by the chunk's end, too long, or not a number) goes
// to the careful path, which reads one character at a time, refills the
// chunk as needed and decides every case.
class SampleSource {
 public:
  enum Result { kSample, kEnd, kBad };

  // Takes at most `budget` bytes from the stream (all of it by default).
  explicit SampleSource(std::istream& in, std::uint64_t budget = UINT64_MAX)
      : in_(in),
        sb_(in.rdbuf()),
        budget_(budget),
        chunk_(new (std::nothrow) char[kChunkBytes + 1]) {}

  // kSample: one sample stored in *value. kEnd: the input ended before a
  // sample began. kBad: a token that is not a decimal signed 32-bit number
  // between white space (a number that ends the file counts as bad).
  Result next(std::int32_t* value) {
    const char* p = next_;
    while (kSpace.is[static_cast<unsigned char>(*p)]) ++p;
    const bool negative = *p == '-';
    const char* const digits = p + (*p == '-' || *p == '+');
    const char* q = digits;
    std::uint64_t magnitude = 0;
    for (unsigned d; (d = unsigned(static_cast<unsigned char>(*q)) - '0') < 10 && q - digits < 10;
         ++q) {
      magnitude = magnitude * 10 + d;
    }
    if (q != digits && q != end_ && kSpace.is[static_cast<unsigned char>(*q)] &&
        magnitude <= (negative ? 2147483648u : 2147483647u)) {
      *value = static_cast<std::int32_t>(negative ? 0 - magnitude : magnitude);
      next_ = q + 1;
      return kSample;
    }
    next_ = p;
    return next_carefully(value);
  }

 private:
  static constexpr std::streamsize kChunkBytes = std::streamsize{64} * 1024;

#if defined(__GNUC__)
  __attribute__((noinline))
#endif
  Result
  next_carefully(std::int32_t* value) {
    int c = get();
    while (is_space(c)) c = get();
    if (c < 0) return kEnd;
    const bool negative = c == '-';
    if (c == '+' || c == '-') c = get();
    if (!is_digit(c)) return kBad;
    std::uint64_t magnitude = 0;
    do {
      magnitude = magnitude * 10 + std::uint64_t(c - '0');
      if (magnitude > 2147483648u) return kBad;
      c = get();
    } while (is_digit(c));
    if (!is_space(c)) return kBad;  // letters, '.', '#' or the end of the file
    if (!negative && magnitude > INT32_MAX) return kBad;
    *value = static_cast<std::int32_t>(negative ? 0 - magnitude : magnitude);
    return kSample;
  }

  int get() {
    if (next_ == end_ && !refill()) return -1;
    return static_cast<unsigned char>(*next_++);
  }

  bool refill() {
    if (sb_ == nullptr || !chunk_ || at_end_ || budget_ == 0) return false;
    const auto want = static_cast<std::streamsize>(std::min<std::uint64_t>(kChunkBytes, budget_));
    const std::streamsize got = sb_->sgetn(chunk_.get(), want);
    if (got <= 0) {
      at_end_ = true;
      in_.setstate(std::ios::eofbit);
      return false;
    }
    budget_ -= static_cast<std::uint64_t>(got);
    next_ = chunk_.get();
    end_ = next_ + got;
    chunk_[got] = '\0';  // the fast path's stop
    return true;
  }

  std::istream& in_;
  std::streambuf* sb_;
  std::uint64_t budget_;
  std::unique_ptr<char[]> chunk_;
  bool at_end_ = false;
  const char* next_ = "";  // an empty chunk with its stop, until the first refill
  const char* end_ = next_;
};

// A new plane of `pixels` samples, or null when the memory cannot be had.
std::int32_t* new_plane(std::uint64_t pixels) {
  auto* plane = new (std::nothrow) std::int32_t[pixels];
  if (plane != nullptr) travorn_detail::advise_huge_pages(plane, pixels * sizeof(std::int32_t));
  return plane;
}

// Stores the samples that `source` yields at sample indices `from` up to
// `to` (index t is plane t % 3, pixel t / 3). Stops early when the input
// ends; *reached is then the index of the first sample not stored. False on
// a token that is not a sample.
bool fill(SampleSource& source, std::uint64_t from, std::uint64_t to, std::int32_t* const plane[3],
          std::uint64_t* reached) {
  std::uint64_t pixel = from / 3;
  int component = static_cast<int>(from % 3);
  for (std::uint64_t t = from; t < to; ++t) {
    const SampleSource::Result result = source.next(&plane[component][pixel]);
    if (result == SampleSource::kBad) return false;
    if (result == SampleSource::kEnd) {
      *reached = t;
      return true;
    }
    if (++component == 3) {
      component = 0;
      ++pixel;
    }
  }
  *reached = to;
  return true;
}

// Counts the tokens (runs of characters other than white space) in the next
// `bytes` bytes of `sb`; false when the input ends before them.
bool count_tokens(std::streambuf* sb, std::uint64_t bytes, std::uint64_t* count) {
  std::unique_ptr<char[]> chunk(new (std::nothrow) char[kCountChunk + 1]);
  if (!chunk) return false;
  // A token starts where a character other than white space follows white
  // space; the byte before the first is taken as white space. Written
  // without a carried state, so that the compiler can vectorise it.
  chunk[0] = ' ';
  std::uint64_t tokens = 0;
  while (bytes > 0) {
    const auto want = static_cast<std::streamsize>(std::min<std::uint64_t>(kCountChunk, bytes));
    const std::streamsize got = sb->sgetn(chunk.get() + 1, want);
    if (got <= 0) return false;
    const auto* c = reinterpret_cast<const unsigned char*>(chunk.get());
    std::uint64_t starts = 0;
    for (std::streamsize i = 1; i <= got; ++i)
      starts += unsigned{!is_space(c[i])} & unsigned{is_space(c[i - 1])};
    tokens += starts;
    chunk[0] = chunk[static_cast<std::size_t>(got)];  // carried over as the byte before
    bytes -= static_cast<std::uint64_t>(got);
  }
  *count = tokens;
  return true;
}

// Maps the pages of pixels [from, to) of the three planes in one call each.
void populate(std::int32_t* const plane[3], std::uint64_t from, std::uint64_t to) {
  for (int c = 0; c < 3 && from < to; ++c) {
    travorn_detail::populate_for_writing(plane[c] + from, (to - from) * sizeof(std::int32_t));
  }
}

// Reads the samples of a large regular file on two threads. The data section
// is cut at the first white space after three fifths of it. This thread parses the
// first part from `file_in`; a helper opens the file again, counts the tokens
// of the first part, so that it knows the index of its first sample, then
// parses the second part. The two write disjoint samples. True only when
// both parts hold nothing but samples and together give every sample the
// image needs: exactly what the one-thread read accepts. Otherwise (a bad
// token, a short or odd file, no thread to be had) false, and the caller
// reads the data again from `data_start` on one thread, which decides.
bool read_in_halves(std::istream& file_in, const char* file_name, std::uint64_t data_start,
                    std::uint64_t file_size, std::uint64_t pixels, std::int32_t* const plane[3]) {
  const std::uint64_t samples = 3 * pixels;
  std::ifstream second(file_name, std::ios::in | std::ios::binary);
  if (!second || file_size <= data_start) return false;
  // The helper also counts the first part's tokens, which costs about half
  // as much as parsing them: cutting at three fifths evens the two out.
  const std::uint64_t cut = data_start + (file_size - data_start) / 5 * 3;
  if (!second.seekg(static_cast<std::streamoff>(cut))) return false;
  std::uint64_t split = cut;  // the white space that ends the first part
  for (int c = second.rdbuf()->sbumpc(); !is_space(c); c = second.rdbuf()->sbumpc(), ++split) {
    if (c == std::char_traits<char>::eof() || split - cut > kLongestCutToken) return false;
  }
  const std::uint64_t first_bytes = split + 1 - data_start;
  if (!second.seekg(static_cast<std::streamoff>(data_start))) return false;

  bool second_ok = false;
  std::uint64_t first_count = 0;
  std::thread helper;
  try {
    helper = std::thread([&] {
      if (!count_tokens(second.rdbuf(), first_bytes, &first_count)) return;
      populate(plane, std::min(first_count, samples) / 3, pixels);
      SampleSource source(second);  // from the start of the second part to the end of the file
      std::uint64_t reached = 0;
      second_ok = fill(source, std::min(first_count, samples), samples, plane, &reached) &&
                  reached == samples;
    });
  } catch (...) {
    return false;
  }
  populate(plane, 0, pixels / 5 * 3);
  SampleSource source(file_in, first_bytes);
  std::uint64_t reached = 0;
  const bool first_ok = fill(source, 0, samples, plane, &reached);
  helper.join();
  return first_ok && second_ok && reached == std::min(first_count, samples);
}

// Reads the samples of an image whose length of input is unknown into
// planes that grow as samples arrive, up to `pixels` each.
bool read_growing(std::istream& in, std::uint64_t pixels,
                  std::unique_ptr<std::int32_t[]> plane[3]) {
  SampleSource source(in);
  std::uint64_t capacity = 0;
  for (std::uint64_t k = 0; k < pixels; ++k) {
    if (k == capacity) {
      const std::uint64_t grown = std::min(pixels, std::max<std::uint64_t>(1u << 20, 2 * capacity));
      for (int c = 0; c < 3; ++c) {
        std::unique_ptr<std::int32_t[]> bigger(new_plane(grown));
        if (!bigger) return false;
        std::copy(plane[c].get(), plane[c].get() + capacity, bigger.get());
        plane[c] = std::move(bigger);
      }
      capacity = grown;
    }
    for (int c = 0; c < 3; ++c) {
      if (source.next(&plane[c][k]) != SampleSource::kSample) return false;
    }
  }
  return true;
}

// Bytes left after the stream's position when `file_name` is a regular file; -1 otherwise.
std::int64_t bytes_left(std::ifstream& in, const char* file_name) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file_name, ec)) return -1;
  const auto size = std::filesystem::file_size(file_name, ec);
  const std::streamoff position = in.tellg();
  if (ec || position < 0) return -1;
  return std::max<std::int64_t>(0, static_cast<std::int64_t>(size) - position);
}

}  // namespace

int ppma_read(const char* file_name, int32_t* xsize, int32_t* ysize, int32_t* maxrgb, int32_t** r,
              int32_t** g, int32_t** b) {
  std::ifstream file_in(file_name);
  if (!file_in) {
    report("PPMA_READ - Fatal error!\n")
        << "  Cannot open the input file \"" << file_name << "\".\n";
    return 1;
  }
  if (ppma_read_header(file_in, xsize, ysize, maxrgb) != 0) {
    report("PPMA_READ - Fatal error!\n") << "  PPMA_READ_HEADER failed.\n";
    return 1;
  }
  if (*xsize < 0 || *ysize < 0) {
    report("PPMA_READ - Fatal error!\n")
        << "  Negative image size: XSIZE = " << *xsize << ", YSIZE = " << *ysize << ".\n";
    return 1;
  }
  const std::uint64_t pixels = std::uint64_t(*xsize) * std::uint64_t(*ysize);
  if (pixels > kMaxPixels) {
    report("PPMA_READ - Fatal error!\n")
        << "  The image size XSIZE = " << *xsize << ", YSIZE = " << *ysize << " is too large.\n";
    return 1;
  }

  std::unique_ptr<std::int32_t[]> plane[3];
  const std::int64_t left = bytes_left(file_in, file_name);
  if (3 * sizeof(std::int32_t) * pixels > kTrustedPlaneBytes) {
    const bool fits = left >= 0 && std::uint64_t(left) >= 3 * kMinSampleChars * pixels;
    if (left < 0) {  // a pipe or a device: the planes grow with the samples
      if (!read_growing(file_in, pixels, plane)) {
        report("PPMA_READ - Fatal error!\n") << "  PPMA_READ_DATA failed.\n";
        return 1;
      }
      *r = plane[0].release();
      *g = plane[1].release();
      *b = plane[2].release();
      return 0;
    }
    if (!fits) {  // the file is too short for its header: fail as short data, allocating nothing
      report("PPMA_READ - Fatal error!\n") << "  PPMA_READ_DATA failed.\n";
      return 1;
    }
  }
  for (auto& p : plane) {
    p.reset(new_plane(pixels));
    if (!p) {
      report("PPMA_READ - Fatal error!\n") << "  Not enough memory for the image planes.\n";
      return 1;
    }
  }
  *r = plane[0].release();
  *g = plane[1].release();
  *b = plane[2].release();
  if (left >= 0 && 3 * pixels >= kParallelSamples) {
    const auto data_start =
        static_cast<std::uint64_t>(static_cast<std::streamoff>(file_in.tellg()));
    std::int32_t* const planes[3] = {*r, *g, *b};
    if (read_in_halves(file_in, file_name, data_start, data_start + std::uint64_t(left), pixels,
                       planes)) {
      return 0;
    }
    file_in.clear();  // anything unusual: the one-thread read decides
    file_in.seekg(static_cast<std::streamoff>(data_start));
  }
  if (ppma_read_data(file_in, *xsize, *ysize, *r, *g, *b) != 0) {
    report("PPMA_READ - Fatal error!\n") << "  PPMA_READ_DATA failed.\n";
    return 1;
  }
  return 0;
}

int ppma_read_header(std::istream& file_in, int32_t* xsize, int32_t* ysize, int32_t* maxrgb) {
  int32_t* const item[3] = {xsize, ysize, maxrgb};
  int expected = -1;  // -1: the magic word; 0, 1, 2: xsize, ysize, maxrgb
  std::unique_ptr<char[]> line(new (std::nothrow) char[kMaxHeaderLine + 1]);
  if (!line) return 1;
  for (;;) {
    file_in.getline(line.get(), kMaxHeaderLine + 1);
    if (file_in.eof()) {  // tested first: a last line without a newline is never parsed
      report("PPMA_READ_HEADER - Fatal error!\n") << "  End of file.\n";
      return 1;
    }
    if (file_in.fail()) {
      if (file_in.gcount() >= kMaxHeaderLine) {
        report("PPMA_READ_HEADER - Fatal error!\n")
            << "  A header line is longer than " << kMaxHeaderLine << " characters.\n";
      } else {
        report("PPMA_READ_HEADER - Fatal error!\n") << "  Error while reading the input file.\n";
      }
      return 1;
    }
    const char* p = line.get();
    if (*p == '#') continue;  // a comment line
    if (expected < 0) {
      while (is_space(*p)) ++p;
      if (*p == '\0') continue;  // no word on this line
      const char* const word = p;
      while (*p != '\0' && !is_space(*p)) ++p;
      const std::string magic(word, p);
      if (magic != "P3" && magic != "p3") {
        report("PPMA_READ_HEADER - Fatal error.\n")
            << "  Bad magic number = \"" << magic << "\".\n";
        return 1;
      }
      expected = 0;
    }
    for (;;) {  // numbers as "%d" takes them: white space, an optional sign, digits
      const char* q = p;
      while (is_space(*q)) ++q;
      const char* const start = q;
      const bool negative = *q == '-';
      if (*q == '+' || *q == '-') ++q;
      if (!is_digit(*q)) break;  // no number here: the rest of the line is dropped
      std::uint64_t magnitude = 0;
      bool too_large = false;
      for (; is_digit(*q); ++q) {
        magnitude = magnitude * 10 + std::uint64_t(*q - '0');
        if (magnitude > 2147483648u) {
          too_large = true;
          magnitude = 2147483648u;
        }
      }
      if (too_large || (!negative && magnitude > INT32_MAX)) {
        report("PPMA_READ_HEADER - Fatal error!\n")
            << "  The number " << std::string(start, q) << " is out of range.\n";
        return 1;
      }
      *item[expected] = static_cast<int32_t>(negative ? 0 - magnitude : magnitude);
      if (expected == 2) return 0;  // the rest of the maxrgb line is dropped
      ++expected;
      p = q;
    }
  }
}

int ppma_read_data(std::istream& file_in, int32_t xsize, int32_t ysize, int32_t* r, int32_t* g,
                   int32_t* b) {
  if (ysize < 1 || xsize < 1) return 0;
  SampleSource source(file_in);
  const std::uint64_t samples = 3 * std::uint64_t(xsize) * std::uint64_t(ysize);
  std::int32_t* const plane[3] = {r, g, b};
  std::uint64_t reached = 0;
  return fill(source, 0, samples, plane, &reached) && reached == samples ? 0 : 1;
}
