// SPDX-License-Identifier: MIT
// Whole files: the two writers, the reader and the description of a file.
// Each opens and closes its own stream and calls the format-level operations.
#include <istream>
#include <memory>
#include <new>

#include "bmp/bmp.hpp"
#include "bmp/bmp_internal.hpp"
#include "common/escaped.hpp"
#include "common/files.hpp"
#include "common/sizes.hpp"

using bmp_detail::kInfoHeaderBytes;
using bmp_detail::kMagicBM;
using bmp_detail::kPixelDataOffset;
using bmp_detail::report;
using bmp_detail::row_bytes;
using bmp_detail::row_count;
using travorn_detail::product_within;
using travorn_detail::refuse_null;

namespace {

constexpr std::uint32_t kGreyEntries = 256;
// Planes up to this many bytes each are allocated as the header says;
// larger ones only when the rest of a regular file holds their pixel rows.
constexpr std::uint64_t kTrustedBytesPerPlane = 16u << 20;
// Palettes up to this many entries are taken on trust; larger ones only when
// the rest of a regular file holds them.
constexpr std::uint32_t kTrustedPaletteEntries = 1u << 20;
// The reader skips a palette in pieces of this many entries.
constexpr std::uint32_t kPalettePiece = 4096;

}  // namespace

namespace {

// Whether a picture of `xsize` by `ysize` has pixels, and so needs planes.
bool has_pixels(std::uint32_t xsize, std::int32_t ysize) { return xsize > 0 && ysize != 0; }

// Header, optional grey palette and rows of a new file; `write_rows` writes
// the pixel rows. False on failure, after the writer's report.
template <typename WriteRows>
bool write_file(const char* file_name, const char* fatal, std::uint16_t bitsperpixel,
                std::uint32_t xsize, std::int32_t ysize, std::uint32_t colorsused,
                WriteRows write_rows) {
  std::uint64_t pixel_bytes = 0;
  if (!bmp_detail::pixel_bytes_within(xsize, ysize, bitsperpixel / 8u, colorsused, &pixel_bytes)) {
    report(fatal) << "  The image is too large for a BMP file.\n";
    return false;
  }
  travorn_detail::OutputFile file;
  if (!file.open(file_name)) {
    report(fatal) << "  Could not open the output file.\n";
    return false;
  }
  std::ostream& out = file.stream();
  bmp_detail::write_headers(out, bitsperpixel, xsize, ysize, colorsused, pixel_bytes);
  write_rows(out);
  if (!file.close()) {
    report(fatal) << "  Error while writing the output file.\n";
    return false;
  }
  return true;
}

// Reads and drops up to `count` bytes; returns how many were there. In
// pieces that a 32-bit std::streamsize holds.
std::uint64_t skip_bytes(std::istream& in, std::uint64_t count) {
  constexpr std::uint64_t kPiece = std::uint64_t{1} << 30;
  std::uint64_t skipped = 0;
  while (skipped < count) {
    in.ignore(static_cast<std::streamsize>(std::min(kPiece, count - skipped)));
    const auto got = static_cast<std::uint64_t>(in.gcount());
    skipped += got;
    if (got == 0) break;
  }
  return skipped;
}

// What the two headers of a file say, and where the reading stands.
struct Layout {
  std::uint16_t filetype = 0, reserved1 = 0, reserved2 = 0, planes = 0, bitsperpixel = 0;
  std::uint32_t filesize = 0, bitmapoffset = 0, size = 0, width = 0, compression = 0,
                sizeofbitmap = 0, horzresolution = 0, vertresolution = 0, colorsused = 0,
                colorsimportant = 0;
  std::int32_t height = 0;
  bool sized = false;                         // WIDTH and HEIGHT have been read
  std::int64_t file_size = -1;                // -1 when the input's length cannot be known
  std::uint64_t position = kPixelDataOffset;  // bytes consumed

  std::int64_t bytes_left() const {
    return travorn_detail::bytes_after(file_size, std::int64_t(position));
  }
};

// Whether `file` could be opened; notes its size. False, after the report
// under `header_line`, when it could not.
bool opened(const travorn_detail::InputFile& file, const char* header_line, Layout* h) {
  if (!file.is_open()) {
    report(header_line) << "  Could not open the input file.\n";
    return false;
  }
  h->file_size = file.facts().size;
  return true;
}

void report_bad_magic(std::uint16_t filetype) {
  const unsigned char magic[2] = {static_cast<unsigned char>(filetype >> 8),
                                  static_cast<unsigned char>(filetype & 0xFFu)};
  report("BMP_READ: Fatal error!\n")
      << "  The file's internal magic number is not \"BM\".\n"
      << "  with the numeric value " << kMagicBM << "\n"
      << "\n"
      << "  Instead, it is \"" << travorn_detail::Escaped{magic, 2} << "\".\n"
      << "  with the numeric value " << filetype << "\n"
      << "\n"
      << "  (Perhaps you need to reverse the byte swapping option!)\n";
}

// Reads both headers into *h and skips what a longer bitmap header adds.
// The description prints each header as it is read; the reader checks the
// magic number instead. False on failure, after the report.
bool read_headers(std::istream& in, const char* fatal, bool print, Layout* h) {
  if (bmp_header1_read(in, &h->filetype, &h->filesize, &h->reserved1, &h->reserved2,
                       &h->bitmapoffset)) {
    report(fatal) << "  BMP_HEADER1_READ failed.\n";
    return false;
  }
  if (print)
    bmp_header1_print(h->filetype, h->filesize, h->reserved1, h->reserved2, h->bitmapoffset);
  if (!print && h->filetype != kMagicBM) {
    report_bad_magic(h->filetype);
    return false;
  }
  if (bmp_header2_read(in, &h->size, &h->width, &h->height, &h->planes, &h->bitsperpixel,
                       &h->compression, &h->sizeofbitmap, &h->horzresolution, &h->vertresolution,
                       &h->colorsused, &h->colorsimportant)) {
    report(fatal) << "  BMP_HEADER2_READ failed.\n";
    return false;
  }
  h->sized = true;
  if (print) {
    bmp_header2_print(h->size, h->width, h->height, h->planes, h->bitsperpixel, h->compression,
                      h->sizeofbitmap, h->horzresolution, h->vertresolution, h->colorsused,
                      h->colorsimportant);
  }
  if (h->compression != 0) {
    report(fatal) << "  Unsupported value of COMPRESSION = " << h->compression << "\n";
    return false;
  }
  if (h->size > kInfoHeaderBytes) h->position += skip_bytes(in, h->size - kInfoHeaderBytes);
  return true;
}

// Reads and drops the palette in pieces, so that COLORSUSED costs no
// memory. False on failure, after the report.
bool skip_palette(std::istream& in, const char* fatal, Layout* h) {
  unsigned char piece[4][kPalettePiece];
  for (std::uint64_t first = 0; first < h->colorsused; first += kPalettePiece) {  // never wraps
    const auto count =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(kPalettePiece, h->colorsused - first));
    if (bmp_detail::palette_read_from(in, static_cast<std::uint32_t>(first), count, piece[0],
                                      piece[1], piece[2], piece[3])) {
      report(fatal) << "  BMP_PALETTE_READ failed.\n";
      return false;
    }
  }
  h->position += 4ull * h->colorsused;
  return true;
}

// Reads the palette whole and prints it; beyond the trusted number of
// entries, only a file that holds them may claim them. False on failure,
// after the report.
bool print_palette(std::istream& in, const char* fatal, Layout* h) {
  const std::uint64_t entries = h->colorsused;
  if (entries > kTrustedPaletteEntries &&
      (h->bytes_left() < 0 || std::uint64_t(h->bytes_left()) < 4 * entries)) {
    report(fatal) << "  COLORSUSED = " << entries << " is more than the file holds.\n";
    return false;
  }
  std::unique_ptr<unsigned char[]> palette(
      travorn_detail::new_plane<unsigned char>(4 * entries + 1));
  if (!palette) {
    report(fatal) << "  Not enough memory for the palette.\n";
    return false;
  }
  unsigned char* const r = palette.get();
  if (bmp_palette_read(in, h->colorsused, r, r + entries, r + 2 * entries, r + 3 * entries)) {
    report(fatal) << "  BMP_PALETTE_READ failed.\n";
    return false;
  }
  bmp_palette_print(h->colorsused, r, r + entries, r + 2 * entries, r + 3 * entries);
  h->position += 4 * entries;
  return true;
}

// Whether the file's depth is one the reader knows; false, after the
// report, when it is not.
bool known_depth(const char* fatal, const Layout& h) {
  if (h.bitsperpixel == 8 || h.bitsperpixel == 24) return true;
  report(fatal) << "  Unrecognized value of BITSPERPIXEL = " << h.bitsperpixel << "\n";
  return false;
}

// Skips to BITMAPOFFSET, then checks that planes can be made for the rows:
// a height that has a magnitude and, beyond the trusted size, a known depth
// and a regular file that holds the rows. Stores the bytes of a plane. False
// on failure, after the report.
bool check_rows(std::istream& in, const char* fatal, Layout* h, std::uint64_t* plane_bytes) {
  if (h->bitmapoffset > h->position) h->position += skip_bytes(in, h->bitmapoffset - h->position);
  if (h->height == INT32_MIN) {
    report(fatal) << "  Unsupported value of HEIGHT = " << h->height << "\n";
    return false;
  }
  const std::uint32_t rows = row_count(h->height);
  *plane_bytes = std::uint64_t{h->width} * rows;  // both below 2^32: no wrap
  if (*plane_bytes <= kTrustedBytesPerPlane) return true;
  if (!known_depth(fatal, *h)) return false;
  const std::uint64_t row = row_bytes(h->width, h->bitsperpixel / 8u);
  const std::uint64_t last_padding = bmp_detail::padding(h->width, h->bitsperpixel / 8u);
  // The rows but the last one's padding, which may be missing, must be in the file.
  std::uint64_t needed = 0;
  if (h->bytes_left() < 0 ||
      !product_within(row, rows, std::uint64_t(h->bytes_left()) + last_padding, &needed)) {
    report(fatal) << "  The image of WIDTH = " << h->width << " and HEIGHT = " << h->height
                  << " is larger than the file.\n";
    return false;
  }
  return true;
}

// Reads the rows into the planes (one plane at 8 bits). False on failure,
// after the report.
bool read_rows(std::istream& in, const char* fatal, const Layout& h, unsigned char* r,
               unsigned char* g, unsigned char* b) {
  if (h.bitsperpixel == 8 ? bmp_08_data_read(in, h.width, h.height, r)
                          : bmp_24_data_read(in, h.width, h.height, r, g, b)) {
    report(fatal) << (h.bitsperpixel == 8 ? "  BMP_08_DATA_READ failed.\n"
                                          : "  BMP_24_DATA_READ failed.\n");
    return false;
  }
  return true;
}

// `count` planes of `bytes` bytes each. False, after the report, when the
// memory cannot be had.
bool make_planes(const char* fatal, int count, std::uint64_t bytes,
                 std::unique_ptr<unsigned char[]> plane[3]) {
  for (int c = 0; c < count; ++c) {
    plane[c].reset(travorn_detail::new_plane<unsigned char>(bytes));
    if (!plane[c]) {
      report(fatal) << "  Not enough memory for the image planes.\n";
      return false;
    }
  }
  return true;
}

// Reads the rows into planes of `bytes` bytes that the caller owns from the
// moment they exist: at 8 bits one plane, which the three pointers share,
// else three; a failed 8-bit read leaves the caller three planes, as any
// other failure does. False on failure, after the report.
bool read_planes(std::istream& in, const char* fatal, const Layout& h, std::uint64_t bytes,
                 unsigned char** r, unsigned char** g, unsigned char** b) {
  const bool one = h.bitsperpixel == 8;
  std::unique_ptr<unsigned char[]> plane[3];
  if (!make_planes(fatal, one ? 1 : 3, bytes, plane)) return false;
  *r = plane[0].release();
  *g = one ? *r : plane[1].release();
  *b = one ? *r : plane[2].release();
  if (!known_depth(fatal, h)) return false;
  if (read_rows(in, fatal, h, *r, *g, *b)) return true;
  if (one) {
    *g = travorn_detail::new_plane<unsigned char>(bytes);
    *b = travorn_detail::new_plane<unsigned char>(bytes);
  }
  return false;
}

}  // namespace

bool bmp_24_write(const char* file_name, uint32_t xsize, int32_t ysize, const unsigned char* r,
                  const unsigned char* g, const unsigned char* b) {
  const char* const fatal = "BMP_24_WRITE - Fatal error!\n";
  if (refuse_null(fatal, {{file_name, "the file name"}}) ||
      (has_pixels(xsize, ysize) && refuse_null(fatal, {{r, "R"}, {g, "G"}, {b, "B"}}))) {
    return true;
  }
  return !write_file(file_name, fatal, 24, xsize, ysize, 0,
                     [&](std::ostream& out) { bmp_24_data_write(out, xsize, ysize, r, g, b); });
}

bool bmp_08_write(const char* file_name, uint32_t xsize, int32_t ysize,
                  const unsigned char* plane) {
  const char* const fatal = "BMP_08_WRITE - Fatal error!\n";
  if (refuse_null(fatal, {{file_name, "the file name"}}) ||
      (has_pixels(xsize, ysize) && refuse_null(fatal, {{plane, "the plane"}}))) {
    return true;
  }
  return !write_file(file_name, fatal, 8, xsize, ysize, kGreyEntries, [&](std::ostream& out) {
    unsigned char grey[kGreyEntries];
    unsigned char alpha[kGreyEntries] = {};
    for (std::uint32_t i = 0; i < kGreyEntries; ++i) {
      grey[i] = static_cast<unsigned char>(i);
    }
    bmp_palette_write(out, kGreyEntries, grey, grey, grey, alpha);
    bmp_08_data_write(out, xsize, ysize, plane);
  });
}

bool bmp_read(const char* file_name, uint32_t* xsize, int32_t* ysize, unsigned char** r,
              unsigned char** g, unsigned char** b) {
  const char* const fatal = "BMP_READ: Fatal error!\n";
  if (refuse_null("BMP_READ - Fatal error!\n", {{file_name, "the file name"},
                                                {xsize, "XSIZE"},
                                                {ysize, "YSIZE"},
                                                {r, "R"},
                                                {g, "G"},
                                                {b, "B"}})) {
    return true;
  }
  travorn_detail::InputFile file(file_name);
  Layout h;
  if (!opened(file, "BMP_READ - Fatal error!\n", &h)) return true;
  std::istream& in = file.stream();
  const bool headers_read = read_headers(in, fatal, false, &h);
  if (h.sized) {
    *xsize = h.width;
    *ysize = h.height;
  }
  std::uint64_t bytes = 0;
  return !(headers_read && skip_palette(in, fatal, &h) && check_rows(in, fatal, &h, &bytes) &&
           read_planes(in, fatal, h, bytes, r, g, b));
}

bool bmp_print_test(const char* file_name) {
  const char* const fatal = "BMP_PRINT_TEST: Fatal error!\n";
  if (refuse_null("BMP_PRINT_TEST - Fatal error!\n", {{file_name, "the file name"}})) return true;
  travorn_detail::InputFile file(file_name);
  Layout h;
  if (!opened(file, "BMP_PRINT_TEST - Fatal error!\n", &h)) return true;
  std::istream& in = file.stream();
  report("BMP_PRINT_TEST:\n") << "  Contents of BMP file \"" << file_name << "\"\n";
  std::uint64_t bytes = 0;
  std::unique_ptr<unsigned char[]> plane[3];
  return !(read_headers(in, fatal, true, &h) && print_palette(in, fatal, &h) &&
           check_rows(in, fatal, &h, &bytes) && known_depth(fatal, h) &&
           make_planes(fatal, h.bitsperpixel == 8 ? 1 : 3, bytes, plane) &&
           read_rows(in, fatal, h, plane[0].get(), plane[1].get(), plane[2].get()));
}
