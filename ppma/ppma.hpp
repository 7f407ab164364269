// ASCII PPM ("P3") images: read, check, write and generate.
//
// Status results are 0 for success and 1 for failure. Every report goes to
// std::cout. Planes handed out through out-parameters were allocated with
// new[] and are released by the caller with delete[].
#ifndef TRAVORN_PPMA_PPMA_HPP
#define TRAVORN_PPMA_PPMA_HPP

#include <cstdint>
#include <iosfwd>

int ppma_read(const char* file_name, int32_t* xsize, int32_t* ysize, int32_t* maxrgb, int32_t** r,
              int32_t** g, int32_t** b);
int ppma_read_header(std::istream& file_in, int32_t* xsize, int32_t* ysize, int32_t* maxrgb);
int ppma_read_data(std::istream& file_in, int32_t xsize, int32_t ysize, int32_t* r, int32_t* g,
                   int32_t* b);

int ppma_check_data(int32_t xsize, int32_t ysize, int32_t maxrgb, const int32_t* r,
                    const int32_t* g, const int32_t* b);

int ppma_write(const char* file_name, int32_t xsize, int32_t ysize, const int32_t* r,
               const int32_t* g, const int32_t* b);
int ppma_write_header(std::ostream& file_out, const char* file_name, int32_t xsize, int32_t ysize,
                      int32_t maxrgb);
int ppma_write_data(std::ostream& file_out, int32_t xsize, int32_t ysize, const int32_t* r,
                    const int32_t* g, const int32_t* b);

// Maps each of the xsize * ysize samples of `plane` from 0..maxrgb onto
// 0..255 into `bytes`, exactly as travorn does: a sample is clamped to
// 0..maxrgb, then scaled by 255 / maxrgb and rounded with halves up; with
// maxrgb below 1 every byte is 0. Nothing is written for sizes below 1.
void ppma_scale_to_bytes(int32_t xsize, int32_t ysize, int32_t maxrgb, const int32_t* plane,
                         unsigned char* bytes);

int ppma_example(int32_t xsize, int32_t ysize, int32_t* r, int32_t* g, int32_t* b);
int ppma_read_test(const char* file_name);
int ppma_write_test(const char* file_name);

#endif  // TRAVORN_PPMA_PPMA_HPP
