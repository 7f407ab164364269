// SPDX-License-Identifier: MIT
// The 14-byte file header and the 40-byte bitmap header: write, read, print;
// and the two headers of the files the writers make.
#include <iostream>

#include "bmp/bmp.hpp"
#include "bmp/bmp_internal.hpp"

void bmp_detail::write_headers(std::ostream& out, std::uint16_t bitsperpixel, std::uint32_t xsize,
                               std::int32_t ysize, std::uint32_t colorsused,
                               std::uint64_t pixel_bytes) {
  const std::uint32_t bitmapoffset = kPixelDataOffset + 4 * colorsused;
  const auto bm = bmp_byte_swap_get() ? std::uint16_t{'M' << 8 | 'B'} : kMagicBM;  // "BM" on disk
  bmp_header1_write(out, bm, static_cast<std::uint32_t>(bitmapoffset + pixel_bytes), 0, 0,
                    bitmapoffset);
  bmp_header2_write(out, kInfoHeaderBytes, xsize, ysize, 1, bitsperpixel, 0, 0, 0, 0, colorsused,
                    0);
}

void bmp_header1_write(std::ostream& file_out, uint16_t filetype, uint32_t filesize,
                       uint16_t reserved1, uint16_t reserved2, uint32_t bitmapoffset) {
  u_short_int_write(filetype, file_out);     // offset 0
  u_long_int_write(filesize, file_out);      // offset 2
  u_short_int_write(reserved1, file_out);    // offset 6
  u_short_int_write(reserved2, file_out);    // offset 8
  u_long_int_write(bitmapoffset, file_out);  // offset 10; 14 bytes in all
}

bool bmp_header1_read(std::istream& file_in, uint16_t* filetype, uint32_t* filesize,
                      uint16_t* reserved1, uint16_t* reserved2, uint32_t* bitmapoffset) {
  if (u_short_int_read(filetype, file_in)) return true;
  if (bmp_byte_swap_get()) {  // first byte * 256 + second byte, whatever the order
    *filetype = static_cast<uint16_t>(((*filetype & 0xFFu) << 8) | (*filetype >> 8));
  }
  return u_long_int_read(filesize, file_in) || u_short_int_read(reserved1, file_in) ||
         u_short_int_read(reserved2, file_in) || u_long_int_read(bitmapoffset, file_in);
}

void bmp_header1_print(uint16_t filetype, uint32_t filesize, uint16_t reserved1, uint16_t reserved2,
                       uint32_t bitmapoffset) {
  std::cout << "\n"
            << "  Contents of BMP file header:\n"
            << "\n"
            << "    FILETYPE =     " << filetype << "\n"
            << "    FILESIZE =     " << filesize << "\n"
            << "    RESERVED1 =    " << reserved1 << "\n"
            << "    RESERVED2 =    " << reserved2 << "\n"
            << "    BITMAPOFFSET = " << bitmapoffset << "\n"
            << std::flush;
}

void bmp_header2_write(std::ostream& file_out, uint32_t size, uint32_t width, int32_t height,
                       uint16_t planes, uint16_t bitsperpixel, uint32_t compression,
                       uint32_t sizeofbitmap, uint32_t horzresolution, uint32_t vertresolution,
                       uint32_t colorsused, uint32_t colorsimportant) {
  u_long_int_write(size, file_out);             // offset 14
  u_long_int_write(width, file_out);            // offset 18
  long_int_write(height, file_out);             // offset 22
  u_short_int_write(planes, file_out);          // offset 26
  u_short_int_write(bitsperpixel, file_out);    // offset 28
  u_long_int_write(compression, file_out);      // offset 30
  u_long_int_write(sizeofbitmap, file_out);     // offset 34
  u_long_int_write(horzresolution, file_out);   // offset 38
  u_long_int_write(vertresolution, file_out);   // offset 42
  u_long_int_write(colorsused, file_out);       // offset 46
  u_long_int_write(colorsimportant, file_out);  // offset 50; 54 bytes in all
}

bool bmp_header2_read(std::istream& file_in, uint32_t* size, uint32_t* width, int32_t* height,
                      uint16_t* planes, uint16_t* bitsperpixel, uint32_t* compression,
                      uint32_t* sizeofbitmap, uint32_t* horzresolution, uint32_t* vertresolution,
                      uint32_t* colorsused, uint32_t* colorsimportant) {
  // Stops at the first field that cannot be read; later fields stay unwritten.
  return u_long_int_read(size, file_in) || u_long_int_read(width, file_in) ||
         long_int_read(height, file_in) || u_short_int_read(planes, file_in) ||
         u_short_int_read(bitsperpixel, file_in) || u_long_int_read(compression, file_in) ||
         u_long_int_read(sizeofbitmap, file_in) || u_long_int_read(horzresolution, file_in) ||
         u_long_int_read(vertresolution, file_in) || u_long_int_read(colorsused, file_in) ||
         u_long_int_read(colorsimportant, file_in);
}

void bmp_header2_print(uint32_t size, uint32_t width, int32_t height, uint16_t planes,
                       uint16_t bitsperpixel, uint32_t compression, uint32_t sizeofbitmap,
                       uint32_t horzresolution, uint32_t vertresolution, uint32_t colorsused,
                       uint32_t colorsimportant) {
  std::cout << "\n"
            << "  Contents of BMP file bitmap header:\n"
            << "\n"
            << "    SIZE =            " << size << "\n"
            << "    WIDTH =           " << width << "\n"
            << "    HEIGHT =          " << height << "\n"
            << "    PLANES =          " << planes << "\n"
            << "    BITSPERPIXEL =    " << bitsperpixel << "\n"
            << "    COMPRESSION =     " << compression << "\n"
            << "    SIZEOFBITMAP =    " << sizeofbitmap << "\n"
            << "    HORZRESOLUTION =  " << horzresolution << "\n"
            << "    VERTRESOLUTION =  " << vertresolution << "\n"
            << "    COLORSUSED =      " << colorsused << "\n"
            << "    COLORSIMPORTANT = " << colorsimportant << "\n"
            << std::flush;
}
