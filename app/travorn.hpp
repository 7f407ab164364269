// SPDX-License-Identifier: MIT
// The conversion routine and its two image helpers.
#ifndef TRAVORN_APP_TRAVORN_HPP
#define TRAVORN_APP_TRAVORN_HPP

#include <cstdint>

// Converts one P3 file into one 24-bit BMP file; 0 on success, 1 on failure.
int travorn(const char* input_file_name, const char* output_file_name);
// Turns a plane of xsize by ysize samples upside down, in place.
void imat_vert_flip(int32_t xsize, int32_t ysize, int32_t* plane);
// Stores the low 8 bits of each of the xsize * ysize samples.
void int_2_u_char(int32_t xsize, int32_t ysize, const int32_t* source, unsigned char* target);
// Prints the local date and time as one line.
void timestamp();

#endif  // TRAVORN_APP_TRAVORN_HPP
