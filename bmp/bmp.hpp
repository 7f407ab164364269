// Uncompressed 8-bit and 24-bit BMP files: write, read and describe.
//
// Failure flags are bool: false for success, true for failure. Every report
// goes to std::cout. Planes handed out through out-parameters were allocated
// with new[] and are released by the caller with delete[] (once per distinct
// plane: after an 8-bit read all three pointers designate one plane).
#ifndef TRAVORN_BMP_BMP_HPP
#define TRAVORN_BMP_BMP_HPP

#include <cstdint>
#include <iosfwd>

// Byte order of the multi-byte header fields: true (the initial value) is
// least significant byte first, the standard BMP order.
bool bmp_byte_swap_get();
void bmp_byte_swap_set(bool value);

void u_short_int_write(uint16_t value, std::ostream& file_out);
void u_long_int_write(uint32_t value, std::ostream& file_out);
void long_int_write(int32_t value, std::ostream& file_out);
bool u_short_int_read(uint16_t* value, std::istream& file_in);
bool u_long_int_read(uint32_t* value, std::istream& file_in);
bool long_int_read(int32_t* value, std::istream& file_in);

void bmp_header1_write(std::ostream& file_out, uint16_t filetype, uint32_t filesize,
                       uint16_t reserved1, uint16_t reserved2, uint32_t bitmapoffset);
bool bmp_header1_read(std::istream& file_in, uint16_t* filetype, uint32_t* filesize,
                      uint16_t* reserved1, uint16_t* reserved2, uint32_t* bitmapoffset);
void bmp_header1_print(uint16_t filetype, uint32_t filesize, uint16_t reserved1, uint16_t reserved2,
                       uint32_t bitmapoffset);
void bmp_header2_write(std::ostream& file_out, uint32_t size, uint32_t width, int32_t height,
                       uint16_t planes, uint16_t bitsperpixel, uint32_t compression,
                       uint32_t sizeofbitmap, uint32_t horzresolution, uint32_t vertresolution,
                       uint32_t colorsused, uint32_t colorsimportant);
bool bmp_header2_read(std::istream& file_in, uint32_t* size, uint32_t* width, int32_t* height,
                      uint16_t* planes, uint16_t* bitsperpixel, uint32_t* compression,
                      uint32_t* sizeofbitmap, uint32_t* horzresolution, uint32_t* vertresolution,
                      uint32_t* colorsused, uint32_t* colorsimportant);
void bmp_header2_print(uint32_t size, uint32_t width, int32_t height, uint16_t planes,
                       uint16_t bitsperpixel, uint32_t compression, uint32_t sizeofbitmap,
                       uint32_t horzresolution, uint32_t vertresolution, uint32_t colorsused,
                       uint32_t colorsimportant);

void bmp_24_data_write(std::ostream& file_out, uint32_t xsize, int32_t ysize,
                       const unsigned char* r, const unsigned char* g, const unsigned char* b);
bool bmp_24_data_read(std::istream& file_in, uint32_t xsize, int32_t ysize, unsigned char* r,
                      unsigned char* g, unsigned char* b);
void bmp_08_data_write(std::ostream& file_out, uint32_t xsize, int32_t ysize,
                       const unsigned char* plane);
bool bmp_08_data_read(std::istream& file_in, uint32_t xsize, int32_t ysize, unsigned char* plane);

void bmp_palette_write(std::ostream& file_out, uint32_t colorsused, const unsigned char* r,
                       const unsigned char* g, const unsigned char* b, const unsigned char* a);
bool bmp_palette_read(std::istream& file_in, uint32_t colorsused, unsigned char* r,
                      unsigned char* g, unsigned char* b, unsigned char* a);
void bmp_palette_print(uint32_t colorsused, const unsigned char* r, const unsigned char* g,
                       const unsigned char* b, const unsigned char* a);

bool bmp_24_write(const char* file_name, uint32_t xsize, int32_t ysize, const unsigned char* r,
                  const unsigned char* g, const unsigned char* b);
bool bmp_08_write(const char* file_name, uint32_t xsize, int32_t ysize, const unsigned char* plane);
bool bmp_read(const char* file_name, uint32_t* xsize, int32_t* ysize, unsigned char** r,
              unsigned char** g, unsigned char** b);

bool bmp_24_write_test(const char* file_name);
bool bmp_08_write_test(const char* file_name);
bool bmp_read_test(const char* file_name);
bool bmp_print_test(const char* file_name);

#endif  // TRAVORN_BMP_BMP_HPP
