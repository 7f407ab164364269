// SPDX-License-Identifier: MIT
/// @file travorn.hpp
/// @brief The conversion routine, two image helpers of the library surface
/// (the conversion uses neither) and the driver's time stamp.
#ifndef TRAVORN_APP_TRAVORN_HPP
#define TRAVORN_APP_TRAVORN_HPP

#include <cstdint>

/// @cond INTERNAL
#if defined(__GNUC__)  // the library's only exports when it is built with hidden visibility
#define TRAVORN_API __attribute__((visibility("default")))
#else
#define TRAVORN_API
#endif
/// @endcond

/// @brief Converts one P3 file into one 24-bit BMP file, streaming its rows.
///
/// Reports on `std::cout` as the driver shows them; the output replaces an
/// existing BMP file only once it is whole (a new file beside it, renamed),
/// and is refused before anything is read when it is the input, the
/// reports' stream, a file other than a BMP file or a file that no new one
/// can replace. The program that calls it installs the handler of
/// interruptions, if any (travorn's removes the unfinished file).
/// @param input_file_name NUL-terminated name of the P3 file.
/// @param output_file_name NUL-terminated name of the BMP file.
/// @return 0 on success; 1 on failure, after the reports (a null name is
///         refused with `Null pointer to the input file name.` or
///         `Null pointer to the output file name.`).
TRAVORN_API int travorn(const char* input_file_name, const char* output_file_name);

/// @brief Turns a plane of `xsize` by `ysize` samples upside down, in place.
/// @pre `plane` holds `xsize * ysize` samples when both are at least 1.
/// @param xsize Columns; nothing changes when it is below 1.
/// @param ysize Rows; nothing changes when it is below 2.
/// @param plane The samples, row by row; row i trades places with row
///        `ysize - 1 - i`.
TRAVORN_API void imat_vert_flip(int32_t xsize, int32_t ysize, int32_t* plane);

/// @brief Stores the low 8 bits of each of the `xsize * ysize` samples.
/// @pre `source` and `target` hold `xsize * ysize` elements when both sizes
///      are at least 1.
/// @param xsize Columns; nothing is stored when either size is below 1.
/// @param ysize Rows.
/// @param source The samples.
/// @param[out] target Their low bytes, in the same order (256 becomes 0, -1
///             255).
TRAVORN_API void int_2_u_char(int32_t xsize, int32_t ysize, const int32_t* source,
                              unsigned char* target);

/// @brief Prints the local date and time as one line, and flushes it.
TRAVORN_API void timestamp();

#endif  // TRAVORN_APP_TRAVORN_HPP
