// Whole files: the two writers, the reader and the description of a file.
// Each opens and closes its own stream and calls the format-level operations.
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <new>

#include "bmp/bmp.hpp"
#include "bmp/bmp_internal.hpp"
#include "common/escaped.hpp"
#include "common/output_file.hpp"
#include "common/platform.hpp"

using bmp_detail::kInfoHeaderBytes;
using bmp_detail::kMagicBM;
using bmp_detail::kPixelDataOffset;
using bmp_detail::report;
using bmp_detail::row_bytes_08;
using bmp_detail::row_bytes_24;
using bmp_detail::row_count;

namespace {

constexpr std::uint32_t kGreyEntries = 256;
// Planes up to this many bytes are allocated as the header says; larger ones
// only when the rest of a regular file holds their pixel rows.
constexpr std::uint64_t kTrustedPlaneBytes = 16u << 20;
// Palettes up to this many entries are taken on trust; larger ones only when
// the rest of a regular file holds them.
constexpr std::uint32_t kTrustedPaletteEntries = 1u << 20;
// The reader skips a palette in pieces of this many entries.
constexpr std::uint32_t kPalettePiece = 4096;

// Header, optional grey palette and rows of a new file; `write_rows` writes
// the pixel rows. True on failure, after the writer's report.
template <typename WriteRows>
bool write_file(const char* file_name, const char* fatal, std::uint16_t bitsperpixel,
                std::uint32_t xsize, std::int32_t ysize, std::uint64_t row_bytes,
                std::uint32_t colorsused, WriteRows write_rows) {
  const std::uint32_t bitmapoffset = kPixelDataOffset + 4 * colorsused;
  const std::uint64_t filesize = bitmapoffset + row_bytes * row_count(ysize);
  if (filesize > std::numeric_limits<std::uint32_t>::max()) {
    report(fatal) << "  The image is too large for a BMP file.\n";
    return true;
  }
  std::ofstream out(file_name, std::ios::out | std::ios::binary | std::ios::trunc);
  if (!out) {
    report(fatal) << "  Could not open the output file.\n";
    return true;
  }
  bmp_header1_write(out, bmp_detail::filetype_for_bm(), static_cast<std::uint32_t>(filesize), 0, 0,
                    bitmapoffset);
  bmp_header2_write(out, kInfoHeaderBytes, xsize, ysize, 1, bitsperpixel, 0, 0, 0, 0, colorsused,
                    0);
  write_rows(out);
  out.flush();
  const bool written = static_cast<bool>(out);
  out.close();
  if (!written || !out) {
    travorn_detail::remove_unfinished(file_name);
    report(fatal) << "  Error while writing the output file.\n";
    return true;
  }
  return false;
}

// Size of `file_name` when it is a regular file; -1 when its length cannot be known.
std::int64_t regular_file_size(const char* file_name) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file_name, ec)) return -1;
  const auto size = std::filesystem::file_size(file_name, ec);
  return ec ? -1 : static_cast<std::int64_t>(size);
}

// Reads and drops up to `count` bytes; returns how many were there.
std::uint64_t skip_bytes(std::istream& in, std::uint64_t count) {
  in.ignore(static_cast<std::streamsize>(count));
  return static_cast<std::uint64_t>(in.gcount());
}

// Bytes the pixel rows need before the last row's padding, which may be missing.
std::uint64_t pixel_bytes_needed(std::uint16_t bitsperpixel, std::uint32_t width,
                                 std::uint32_t rows) {
  if (rows == 0 || width == 0) return 0;
  if (bitsperpixel == 24) return row_bytes_24(width) * rows - (row_bytes_24(width) - 3ull * width);
  return row_bytes_08(width) * rows - (row_bytes_08(width) - width);
}

// A new plane of `bytes` bytes, or null when the memory cannot be had.
unsigned char* new_plane(std::uint64_t bytes) {
  auto* plane = new (std::nothrow) unsigned char[bytes];
  if (plane != nullptr) travorn_detail::advise_huge_pages(plane, bytes);
  return plane;
}

struct PlaneSet {  // three distinct planes until handed over
  std::unique_ptr<unsigned char[]> r, g, b;
};

// The reader and the description of a file share one walk through the file.
// `describe` selects the description: a banner, the headers and the palette
// printed, no magic-number check, and the planes dropped at the end.
bool walk_file(const char* file_name, bool describe, std::uint32_t* xsize, std::int32_t* ysize,
               unsigned char** r_out, unsigned char** g_out, unsigned char** b_out) {
  const char* const fatal =
      describe ? "BMP_PRINT_TEST: Fatal error!\n" : "BMP_READ: Fatal error!\n";
  std::ifstream in(file_name, std::ios::in | std::ios::binary);
  if (!in) {
    report(describe ? "BMP_PRINT_TEST - Fatal error!\n" : "BMP_READ - Fatal error!\n")
        << "  Could not open the input file.\n";
    return true;
  }
  const std::int64_t file_size = regular_file_size(file_name);
  if (describe) {
    report("BMP_PRINT_TEST:\n") << "  Contents of BMP file \"" << file_name << "\"\n";
  }

  std::uint16_t filetype = 0, reserved1 = 0, reserved2 = 0;
  std::uint32_t filesize = 0, bitmapoffset = 0;
  if (bmp_header1_read(in, &filetype, &filesize, &reserved1, &reserved2, &bitmapoffset)) {
    report(fatal) << "  BMP_HEADER1_READ failed.\n";
    return true;
  }
  if (describe) {
    bmp_header1_print(filetype, filesize, reserved1, reserved2, bitmapoffset);
  } else if (filetype != kMagicBM) {
    std::cout << "\n"
              << "BMP_READ: Fatal error!\n"
              << "  The file's internal magic number is not \"BM\".\n"
              << "  with the numeric value " << kMagicBM << "\n"
              << "\n"
              << "  Instead, it is \"";
    const unsigned char magic[2] = {static_cast<unsigned char>(filetype >> 8),
                                    static_cast<unsigned char>(filetype & 0xFFu)};
    travorn_detail::print_escaped(std::cout, magic, 2);
    std::cout << "\".\n"
              << "  with the numeric value " << filetype << "\n"
              << "\n"
              << "  (Perhaps you need to reverse the byte swapping option!)\n";
    return true;
  }

  std::uint32_t size = 0, width = 0, compression = 0, sizeofbitmap = 0, horzresolution = 0,
                vertresolution = 0, colorsused = 0, colorsimportant = 0;
  std::int32_t height = 0;
  std::uint16_t planes = 0, bitsperpixel = 0;
  std::uint32_t* const width_to = describe ? &width : xsize;
  std::int32_t* const height_to = describe ? &height : ysize;
  if (bmp_header2_read(in, &size, width_to, height_to, &planes, &bitsperpixel, &compression,
                       &sizeofbitmap, &horzresolution, &vertresolution, &colorsused,
                       &colorsimportant)) {
    report(fatal) << "  BMP_HEADER2_READ failed.\n";
    return true;
  }
  width = *width_to;
  height = *height_to;
  if (describe) {
    bmp_header2_print(size, width, height, planes, bitsperpixel, compression, sizeofbitmap,
                      horzresolution, vertresolution, colorsused, colorsimportant);
  }
  if (compression != 0) {
    report(fatal) << "  Unsupported value of COMPRESSION = " << compression << "\n";
    return true;
  }

  // Bytes consumed so far; the layout's stretches are skipped by reading.
  std::uint64_t position = kPixelDataOffset;
  if (size > kInfoHeaderBytes) position += skip_bytes(in, size - kInfoHeaderBytes);
  const auto bytes_left = [&]() -> std::int64_t {
    return file_size < 0 ? -1 : std::max<std::int64_t>(0, file_size - std::int64_t(position));
  };

  if (describe) {
    const std::uint64_t palette_bytes = 4ull * colorsused;
    if (colorsused > kTrustedPaletteEntries &&
        (bytes_left() < 0 || std::uint64_t(bytes_left()) < palette_bytes)) {
      report(fatal) << "  COLORSUSED = " << colorsused << " is more than the file holds.\n";
      return true;
    }
    std::unique_ptr<unsigned char[]> palette(new (std::nothrow) unsigned char[palette_bytes + 1]);
    if (!palette) {
      report(fatal) << "  Not enough memory for the palette.\n";
      return true;
    }
    unsigned char* const pr = palette.get();
    unsigned char* const pg = pr + colorsused;
    unsigned char* const pb = pg + colorsused;
    unsigned char* const pa = pb + colorsused;
    if (bmp_palette_read(in, colorsused, pr, pg, pb, pa)) {
      report(fatal) << "  BMP_PALETTE_READ failed.\n";
      return true;
    }
    bmp_palette_print(colorsused, pr, pg, pb, pa);
  } else {
    unsigned char piece[4][kPalettePiece];
    for (std::uint32_t first = 0; first < colorsused; first += kPalettePiece) {
      const std::uint32_t count = std::min(kPalettePiece, colorsused - first);
      if (bmp_detail::palette_read_from(in, first, count, piece[0], piece[1], piece[2], piece[3])) {
        report(fatal) << "  BMP_PALETTE_READ failed.\n";
        return true;
      }
    }
  }
  position += 4ull * colorsused;
  if (bitmapoffset > position) position += skip_bytes(in, bitmapoffset - position);

  const std::uint32_t rows = row_count(height);
  const std::uint64_t plane_bytes = std::uint64_t(width) * rows;
  const auto unrecognized_depth = [&] {
    report(fatal) << "  Unrecognized value of BITSPERPIXEL = " << bitsperpixel << "\n";
    return true;
  };
  if (plane_bytes > kTrustedPlaneBytes) {  // planes that only a long enough file may claim
    if (bitsperpixel != 8 && bitsperpixel != 24) return unrecognized_depth();
    if (bytes_left() < 0 ||
        std::uint64_t(bytes_left()) < pixel_bytes_needed(bitsperpixel, width, rows)) {
      report(fatal) << "  The image of WIDTH = " << width << " and HEIGHT = " << height
                    << " is larger than the file.\n";
      return true;
    }
  }
  PlaneSet plane;
  plane.r.reset(new_plane(plane_bytes));
  plane.g.reset(new_plane(plane_bytes));
  plane.b.reset(new_plane(plane_bytes));
  if (!plane.r || !plane.g || !plane.b) {
    report(fatal) << "  Not enough memory for the image planes.\n";
    return true;
  }
  unsigned char* const pr = plane.r.get();
  unsigned char* const pg = plane.g.get();
  unsigned char* const pb = plane.b.get();
  if (!describe) {  // the caller owns the planes from here on, on every path
    *r_out = plane.r.release();
    *g_out = plane.g.release();
    *b_out = plane.b.release();
  }

  if (bitsperpixel == 8) {
    if (bmp_08_data_read(in, width, height, pr)) {
      report(fatal) << "  BMP_08_DATA_READ failed.\n";
      return true;
    }
    if (!describe) {
      delete[] * g_out;
      delete[] * b_out;
      *g_out = pr;
      *b_out = pr;
    }
  } else if (bitsperpixel == 24) {
    if (bmp_24_data_read(in, width, height, pr, pg, pb)) {
      report(fatal) << "  BMP_24_DATA_READ failed.\n";
      return true;
    }
  } else {
    return unrecognized_depth();  // the three planes stay with the caller
  }
  return false;
}

}  // namespace

bool bmp_24_write(const char* file_name, uint32_t xsize, int32_t ysize, const unsigned char* r,
                  const unsigned char* g, const unsigned char* b) {
  const std::uint64_t row = xsize == 0 ? 0 : row_bytes_24(xsize);
  return write_file(file_name, "BMP_24_WRITE - Fatal error!\n", 24, xsize, ysize, row, 0,
                    [&](std::ostream& out) { bmp_24_data_write(out, xsize, ysize, r, g, b); });
}

bool bmp_08_write(const char* file_name, uint32_t xsize, int32_t ysize,
                  const unsigned char* plane) {
  const std::uint64_t row = xsize == 0 ? 0 : row_bytes_08(xsize);
  return write_file(file_name, "BMP_08_WRITE - Fatal error!\n", 8, xsize, ysize, row, kGreyEntries,
                    [&](std::ostream& out) {
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
  return walk_file(file_name, false, xsize, ysize, r, g, b);
}

bool bmp_print_test(const char* file_name) {
  return walk_file(file_name, true, nullptr, nullptr, nullptr, nullptr, nullptr);
}
