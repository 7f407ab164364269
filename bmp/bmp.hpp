// SPDX-License-Identifier: MIT
/// @file bmp.hpp
/// @brief Uncompressed 8-bit and 24-bit BMP files: write, read and describe.
///
/// An image is held in byte planes of `xsize` × |`ysize`| bytes, row by row:
/// the pixel in row `i` and column `j` is element `i * xsize + j`. **Row 0 is
/// the first row stored in the file**, which is the *bottom* row of the
/// picture when the height is positive and the *top* row when it is negative;
/// the operations on planes never flip rows. To write planes whose row 0 is
/// the top row (as ppma_read() gives them), pass the height negated. The row
/// writer (bmp_24_rows_open()) is the one exception: it takes the pixels top
/// row first, as a P3 file gives them, and puts each row at its place. A 24-bit image has
/// three planes passed in the order R, G, B (the file stores each pixel as B,
/// G, R); an 8-bit image has one plane of palette indices.
///
/// **Statuses:** every operation that can fail returns a `bool`, **`true`
/// for failure and `false` for success**. (The ppma library returns `int`, 0
/// for success.) Nothing is thrown.
///
/// **Reports:** every report goes to `std::cout` as a block: an empty line, a
/// header line naming the operation in upper case (`BMP_READ: Fatal error!`),
/// and detail lines indented by two spaces.
///
/// **Ownership:** planes handed out through out-parameters were allocated
/// with `new[]` and are released by the caller with `delete[]`, **once per
/// distinct plane**: after an 8-bit bmp_read() the three pointers designate
/// one plane. Planes and arrays passed in stay the caller's.
///
/// **Pointers:** a file-level operation (it takes a file name) refuses a null
/// pointer that it needs with a report, `Null pointer to NAME.`, and `true`.
/// A stream-level operation states what it needs under `@pre`.
///
/// **Files written:** bmp_24_write() and bmp_08_write() replace a file only by
/// a whole new one: they write a new file in the same folder and rename it
/// over the old one once every byte is written and the file is closed; an
/// existing file is never written (see bmp_24_write()).
///
/// **Byte order:** the multi-byte header fields follow one process-wide
/// setting (bmp_byte_swap_set()); its initial value gives standard BMP files.
/// Single bytes (pixels, palette entries) never depend on it.
#ifndef TRAVORN_BMP_BMP_HPP
#define TRAVORN_BMP_BMP_HPP

#include <cstdint>
#include <iosfwd>

/// @cond INTERNAL
#if defined(__GNUC__)  // the library's only exports when it is built with hidden visibility
#define BMP_API __attribute__((visibility("default")))
#else
#define BMP_API
#endif
/// @endcond

/// @brief The byte order of the multi-byte header fields.
/// @return `true` (the initial value): least significant byte first, the
///         standard BMP order; `false`: most significant byte first.
BMP_API bool bmp_byte_swap_get();

/// @brief Sets the byte order of every header field written or read from the
/// next field on, for the whole process. Not safe to call while another
/// thread reads or writes a BMP file.
/// @param value `true` for least significant byte first (standard BMP files),
///        `false` for most significant byte first.
BMP_API void bmp_byte_swap_set(bool value);

/// @brief Writes an unsigned 16-bit field as 2 bytes in the current byte order.
/// @param value The field's value.
/// @param file_out Stream written to; its state is not tested.
BMP_API void u_short_int_write(uint16_t value, std::ostream& file_out);

/// @brief Writes an unsigned 32-bit field as 4 bytes in the current byte order.
/// @param value The field's value.
/// @param file_out Stream written to; its state is not tested.
BMP_API void u_long_int_write(uint32_t value, std::ostream& file_out);

/// @brief Writes a signed 32-bit field (two's complement) as 4 bytes in the
/// current byte order.
/// @param value The field's value.
/// @param file_out Stream written to; its state is not tested.
BMP_API void long_int_write(int32_t value, std::ostream& file_out);

/// @brief Reads an unsigned 16-bit field of 2 bytes in the current byte order.
/// @pre `value` is not null.
/// @param[out] value Receives the value; left unchanged on failure.
/// @param file_in Stream read from.
/// @return `false` when the value was read; `true` when the input ended
///         first (bytes read before stay consumed). Prints nothing.
BMP_API bool u_short_int_read(uint16_t* value, std::istream& file_in);

/// @brief Reads an unsigned 32-bit field of 4 bytes in the current byte order.
/// @pre `value` is not null.
/// @param[out] value Receives the value; left unchanged on failure.
/// @param file_in Stream read from.
/// @return `false` when the value was read; `true` when the input ended
///         first. Prints nothing.
BMP_API bool u_long_int_read(uint32_t* value, std::istream& file_in);

/// @brief Reads a signed 32-bit field of 4 bytes in the current byte order.
/// @pre `value` is not null.
/// @param[out] value Receives the value; left unchanged on failure.
/// @param file_in Stream read from.
/// @return `false` when the value was read; `true` when the input ended
///         first. Prints nothing.
BMP_API bool long_int_read(int32_t* value, std::istream& file_in);

/// @brief Writes the 14-byte file header, each field as given.
///
/// To make a file begin with the letters "BM", pass `filetype` 19778 when
/// bmp_byte_swap_get() is `true` and 16973 when it is `false`.
/// @param file_out Stream at offset 0 of the new file.
/// @param filetype FILETYPE, written as an ordinary 16-bit field.
/// @param filesize FILESIZE: the whole file's size in bytes.
/// @param reserved1 RESERVED1.
/// @param reserved2 RESERVED2.
/// @param bitmapoffset BITMAPOFFSET: where the pixel rows begin.
BMP_API void bmp_header1_write(std::ostream& file_out, uint16_t filetype, uint32_t filesize,
                               uint16_t reserved1, uint16_t reserved2, uint32_t bitmapoffset);

/// @brief Reads the 14-byte file header.
/// @pre No pointer is null.
/// @param file_in Stream at offset 0.
/// @param[out] filetype FILETYPE as first byte × 256 + second byte, whatever
///        the byte order: 16973 for a file that begins with "BM".
/// @param[out] filesize FILESIZE.
/// @param[out] reserved1 RESERVED1.
/// @param[out] reserved2 RESERVED2.
/// @param[out] bitmapoffset BITMAPOFFSET.
/// @return `false` when all five fields were read; `true` when the input
///         ended first (the field that failed and those after it are left
///         unchanged). Prints nothing.
BMP_API bool bmp_header1_read(std::istream& file_in, uint16_t* filetype, uint32_t* filesize,
                              uint16_t* reserved1, uint16_t* reserved2, uint32_t* bitmapoffset);

/// @brief Prints the file header's fields on `std::cout`: an empty line,
/// `  Contents of BMP file header:`, an empty line and one line a field
/// (`    FILETYPE =     16973`), values in decimal from the 20th column.
/// @param filetype FILETYPE, printed as a number.
/// @param filesize FILESIZE.
/// @param reserved1 RESERVED1.
/// @param reserved2 RESERVED2.
/// @param bitmapoffset BITMAPOFFSET.
BMP_API void bmp_header1_print(uint16_t filetype, uint32_t filesize, uint16_t reserved1,
                               uint16_t reserved2, uint32_t bitmapoffset);

/// @brief Writes the 40-byte bitmap header, each field as given.
/// @param file_out Stream at offset 14 of the new file.
/// @param size SIZE: the bitmap header's length, 40.
/// @param width WIDTH in pixels.
/// @param height HEIGHT in rows: positive when the bottom row is stored
///        first, negative when the top row is.
/// @param planes PLANES, 1.
/// @param bitsperpixel BITSPERPIXEL: 8 or 24.
/// @param compression COMPRESSION, 0 for none.
/// @param sizeofbitmap SIZEOFBITMAP.
/// @param horzresolution HORZRESOLUTION.
/// @param vertresolution VERTRESOLUTION.
/// @param colorsused COLORSUSED: palette entries after the header.
/// @param colorsimportant COLORSIMPORTANT.
BMP_API void bmp_header2_write(std::ostream& file_out, uint32_t size, uint32_t width,
                               int32_t height, uint16_t planes, uint16_t bitsperpixel,
                               uint32_t compression, uint32_t sizeofbitmap, uint32_t horzresolution,
                               uint32_t vertresolution, uint32_t colorsused,
                               uint32_t colorsimportant);

/// @brief Reads the 40-byte bitmap header, each field as it stands.
/// @pre No pointer is null.
/// @param file_in Stream at offset 14.
/// @param[out] size SIZE.
/// @param[out] width WIDTH.
/// @param[out] height HEIGHT, with its sign.
/// @param[out] planes PLANES.
/// @param[out] bitsperpixel BITSPERPIXEL.
/// @param[out] compression COMPRESSION.
/// @param[out] sizeofbitmap SIZEOFBITMAP.
/// @param[out] horzresolution HORZRESOLUTION.
/// @param[out] vertresolution VERTRESOLUTION.
/// @param[out] colorsused COLORSUSED.
/// @param[out] colorsimportant COLORSIMPORTANT.
/// @return `false` when all eleven fields were read; `true` when the input
///         ended first (the field that failed and those after it are left
///         unchanged). Prints nothing.
BMP_API bool bmp_header2_read(std::istream& file_in, uint32_t* size, uint32_t* width,
                              int32_t* height, uint16_t* planes, uint16_t* bitsperpixel,
                              uint32_t* compression, uint32_t* sizeofbitmap,
                              uint32_t* horzresolution, uint32_t* vertresolution,
                              uint32_t* colorsused, uint32_t* colorsimportant);

/// @brief Prints the bitmap header's fields on `std::cout`: an empty line,
/// `  Contents of BMP file bitmap header:`, an empty line and one line a
/// field (`    WIDTH =           21`), values in decimal from the 23rd column.
/// @param size SIZE.
/// @param width WIDTH.
/// @param height HEIGHT, printed with its sign.
/// @param planes PLANES.
/// @param bitsperpixel BITSPERPIXEL.
/// @param compression COMPRESSION.
/// @param sizeofbitmap SIZEOFBITMAP.
/// @param horzresolution HORZRESOLUTION.
/// @param vertresolution VERTRESOLUTION.
/// @param colorsused COLORSUSED.
/// @param colorsimportant COLORSIMPORTANT.
BMP_API void bmp_header2_print(uint32_t size, uint32_t width, int32_t height, uint16_t planes,
                               uint16_t bitsperpixel, uint32_t compression, uint32_t sizeofbitmap,
                               uint32_t horzresolution, uint32_t vertresolution,
                               uint32_t colorsused, uint32_t colorsimportant);

/// @brief Writes |`ysize`| rows of 24-bit pixels: each pixel as the bytes B,
/// G, R, each row padded with zero bytes to a multiple of 4 bytes.
/// @pre `r`, `g` and `b` are not null when the image has pixels.
/// @param file_out Stream at the first pixel byte; its state is not tested.
/// @param xsize Pixels a row.
/// @param ysize Rows; only its magnitude counts (plane row 0 is written
///        first either way).
/// @param r R plane of `xsize` × |`ysize`| bytes, rows in file order.
/// @param g G plane, as `r`.
/// @param b B plane, as `r`.
BMP_API void bmp_24_data_write(std::ostream& file_out, uint32_t xsize, int32_t ysize,
                               const unsigned char* r, const unsigned char* g,
                               const unsigned char* b);

/// @brief Reads |`ysize`| rows of 24-bit pixels (B, G, R bytes, rows padded
/// to a multiple of 4 bytes) into the caller's planes.
/// @pre `r`, `g` and `b` are not null when the image has pixels.
/// @param file_in Stream at the first pixel byte.
/// @param xsize Pixels a row.
/// @param ysize Rows; only its magnitude counts.
/// @param[out] r Caller-owned R plane of `xsize` × |`ysize`| bytes, filled
///        with the rows in file order.
/// @param[out] g G plane, as `r`.
/// @param[out] b B plane, as `r`.
/// @return `false` when every pixel was read, also when the input ends in
///         the last row's padding (after the warning
///         `BMP_24_DATA_READ - Warning!`); `true` when it ends in the padding
///         of an earlier row (the same warning: the rows after it are
///         missing), or when it ends before a pixel byte, after
///         `BMP_24_DATA_READ: Fatal error!` with
///         `Failed reading G for pixel (column,row).` (B, G or R).
BMP_API bool bmp_24_data_read(std::istream& file_in, uint32_t xsize, int32_t ysize,
                              unsigned char* r, unsigned char* g, unsigned char* b);

/// @brief Writes |`ysize`| rows of 8-bit pixels (one byte each), each row
/// padded with zero bytes to a multiple of 4 bytes.
/// @pre `plane` is not null when the image has pixels.
/// @param file_out Stream at the first pixel byte; its state is not tested.
/// @param xsize Pixels a row.
/// @param ysize Rows; only its magnitude counts.
/// @param plane `xsize` × |`ysize`| palette indices, rows in file order.
BMP_API void bmp_08_data_write(std::ostream& file_out, uint32_t xsize, int32_t ysize,
                               const unsigned char* plane);

/// @brief Reads |`ysize`| rows of 8-bit pixels into the caller's plane.
/// @pre `plane` is not null when the image has pixels.
/// @param file_in Stream at the first pixel byte.
/// @param xsize Pixels a row.
/// @param ysize Rows; only its magnitude counts.
/// @param[out] plane Caller-owned plane of `xsize` × |`ysize`| bytes, filled
///        with the rows in file order.
/// @return `false` when every pixel was read, also when the input ends in
///         the last row's padding (after the warning
///         `BMP_08_DATA_READ - Warning!`); `true` when it ends in the padding
///         of an earlier row (the same warning: the rows after it are
///         missing), or when it ends before a pixel, after
///         `BMP_08_DATA_READ: Fatal error!`.
BMP_API bool bmp_08_data_read(std::istream& file_in, uint32_t xsize, int32_t ysize,
                              unsigned char* plane);

/// @brief Writes a palette: for each entry the four bytes B, G, R, A.
/// @pre `r`, `g`, `b` and `a` are not null when `colorsused` is not 0.
/// @param file_out Stream after the bitmap header; its state is not tested.
/// @param colorsused Number of entries.
/// @param r Red of each entry (`colorsused` bytes).
/// @param g Green of each entry.
/// @param b Blue of each entry.
/// @param a Fourth byte of each entry.
BMP_API void bmp_palette_write(std::ostream& file_out, uint32_t colorsused, const unsigned char* r,
                               const unsigned char* g, const unsigned char* b,
                               const unsigned char* a);

/// @brief Reads a palette of `colorsused` entries (B, G, R, A bytes each).
/// @pre `r`, `g`, `b` and `a` are not null when `colorsused` is not 0.
/// @param file_in Stream at the first palette byte.
/// @param colorsused Number of entries; 0 reads nothing.
/// @param[out] r Caller-owned array of `colorsused` bytes: each entry's red.
/// @param[out] g Each entry's green, as `r`.
/// @param[out] b Each entry's blue, as `r`.
/// @param[out] a Each entry's fourth byte, as `r`.
/// @return `false` when every entry was read; `true` when the input ended
///         first, after `BMP_PALETTE_READ: Fatal error!` with
///         `Failed reading R for palette color N.` (B, G, R or A).
BMP_API bool bmp_palette_read(std::istream& file_in, uint32_t colorsused, unsigned char* r,
                              unsigned char* g, unsigned char* b, unsigned char* a);

/// @brief Prints a palette on `std::cout` as a table (` Color    Blue   Green
/// Red   Trans`), each value in decimal right-aligned in six columns; with no
/// entry, `    There are NO colors defined for the palette.`.
/// @pre `r`, `g`, `b` and `a` are not null when `colorsused` is not 0.
/// @param colorsused Number of entries.
/// @param r Red of each entry (`colorsused` bytes).
/// @param g Green of each entry.
/// @param b Blue of each entry.
/// @param a Fourth byte of each entry.
BMP_API void bmp_palette_print(uint32_t colorsused, const unsigned char* r, const unsigned char* g,
                               const unsigned char* b, const unsigned char* a);

/// @brief Writes an uncompressed 24-bit BMP file: the two headers (no
/// palette, BITMAPOFFSET 54) and the pixel rows in plane order.
///
/// The rows are written in plane order and never flipped: with a positive
/// `ysize` plane row 0 must be the picture's bottom row; for planes whose row
/// 0 is the top row, pass `-ysize`.
///
/// A regular file, existing or new, is replaced only by a whole new one,
/// written in binary mode and renamed over `file_name` once every byte is
/// written and the file is closed without error: a failure leaves an
/// existing file as it was, and a reader of `file_name` never sees half a
/// picture; no existing regular file is ever opened for writing, cut or
/// removed. The new file is made in the same folder, without a name until
/// it is whole where the system offers that (Linux), else under a hidden
/// name of its own; it is readable by its owner alone while it is written,
/// and gets its final mode after its last byte: a replaced file's
/// permission bits, and its owner and group where the process may set them;
/// 0666 less the umask for a new file. Just before the rename its name is
/// checked to be still the file written (a swapped name is a write error).
/// A symbolic link is followed and stays a link. Access lists and extended
/// attributes are not copied, and another hard link to the old file keeps
/// the old picture. The data are not synced to the disk. An existing file
/// that the process may not write, or that no new file can replace (its
/// folder takes no new file, or refuses the rename), is refused, as is a
/// name that cannot be a file, before anything is written. Devices, pipes
/// and terminals are written in place. The library installs no signal
/// handler: when the program is killed while it writes, the old file stays
/// whole, and a hidden new file (where new files have a name from the
/// start) may remain.
/// @param file_name NUL-terminated path of the file to write.
/// @param xsize WIDTH in pixels.
/// @param ysize HEIGHT, written with its sign; |`ysize`| rows are written.
/// @param r R plane of `xsize` × |`ysize`| bytes, rows in file order; may be
///        null only when the image has no pixel.
/// @param g G plane, as `r`.
/// @param b B plane, as `r`.
/// @return `false` when the file was written and put in place; `true` after
///         a `BMP_24_WRITE - Fatal error!` report:
///         `Null pointer to the file name.` or `Null pointer to R.` (G, B),
///         `The image is too large for a BMP file.` (in these, no file is
///         created or touched), `Could not open the output file.` (also for
///         an existing file that no new file can replace), or
///         `Error while writing the output file.` (a full disk, a size limit,
///         a failed rename), in which case the new file is removed.
BMP_API bool bmp_24_write(const char* file_name, uint32_t xsize, int32_t ysize,
                          const unsigned char* r, const unsigned char* g, const unsigned char* b);

/// @brief Writes an uncompressed 8-bit BMP file: the two headers, a palette
/// of 256 grey levels (entry i is i, i, i) and the pixel rows in plane order.
/// @param file_name NUL-terminated path of the file to write.
/// @param xsize WIDTH in pixels.
/// @param ysize HEIGHT, written with its sign; |`ysize`| rows are written.
/// @param plane `xsize` × |`ysize`| palette indices, rows in file order; may
///        be null only when the image has no pixel.
/// @return `false` when the file was written and put in place; `true` after
///         a `BMP_08_WRITE - Fatal error!` report, as bmp_24_write() gives
///         (`Null pointer to the plane.` for a null plane). The file is
///         written as bmp_24_write() writes it.
BMP_API bool bmp_08_write(const char* file_name, uint32_t xsize, int32_t ysize,
                          const unsigned char* plane);

/// @brief A 24-bit BMP file being written row by row: made by
/// bmp_24_rows_open(), fed by bmp_24_rows_put(), ended (and released) by
/// bmp_24_rows_finish().
struct bmp_24_rows;

/// @brief Starts a 24-bit BMP file written row by row, the top row first, as
/// a P3 file gives its rows (ppma_read_rows()).
///
/// The file gets bmp_24_write()'s headers and is made and replaced as
/// bmp_24_write() makes and replaces a file: the new file is made now,
/// beside the old one, each block of rows goes to its place in it as the
/// pixels come, and it replaces the old file only when bmp_24_rows_finish()
/// has put it whole; after any failure the old file stays as it was. With a
/// positive `ysize` the file holds the bottom row first (HEIGHT `ysize`), as
/// BMP viewers expect; with a negative one, the top row first. Memory: a
/// block of rows (256 KiB at most) whatever the picture's size; only an
/// output written in place (a pipe, a terminal, a device) keeps the file's
/// pixel rows in memory until bmp_24_rows_finish(), since it cannot take
/// writes at a place.
/// @param file_name NUL-terminated path of the file to write.
/// @param xsize WIDTH in pixels.
/// @param ysize HEIGHT, written with its sign; |`ysize`| rows follow.
/// @return The rows to feed, owned by the library until bmp_24_rows_finish()
///         releases them; null on failure, after a
///         `BMP_24_ROWS_OPEN - Fatal error!` report: `Null pointer to the file
///         name.`, `The image is too large for a BMP file.`, `Could not open
///         the output file.` (also for an existing file that no new file can
///         replace), `Not enough memory for the rows.`.
BMP_API bmp_24_rows* bmp_24_rows_open(const char* file_name, uint32_t xsize, int32_t ysize);

/// @brief Puts the next `pixels` pixels of the picture, in reading order (the
/// top row first, each row from the left), given as three arrays of bytes
/// R, G and B: a whole row, a piece of one or several rows at once.
/// @param rows From bmp_24_rows_open(), not finished yet.
/// @param pixels How many pixels the arrays hold; 0 puts nothing.
/// @param r The pixels' R bytes; may be null only when `pixels` is 0.
/// @param g G bytes, as `r`.
/// @param b B bytes, as `r`.
/// @return `false` when the pixels are put; `true` after a
///         `BMP_24_ROWS_PUT - Fatal error!` report: a null pointer, more
///         pixels than the picture has left (`N pixels are more than the M
///         that the picture has left.`; nothing is put), or
///         `Error while writing the output file.` (a full disk, a size
///         limit: reported once; the file is abandoned and every later put
///         fails). Finish the rows in every case.
BMP_API bool bmp_24_rows_put(bmp_24_rows* rows, uint32_t pixels, const unsigned char* r,
                             const unsigned char* g, const unsigned char* b);

/// @brief Writes the headers and what is left of the rows, puts the new file
/// in place of the old one, and releases `rows`, whatever the outcome.
/// @param rows From bmp_24_rows_open(); not usable afterwards.
/// @return `false` when the whole file was written and put in place; `true`
///         after a `BMP_24_ROWS_FINISH - Fatal error!` report (`N of the
///         picture's M pixels were put.`, `Error while writing the output
///         file.`, `Null pointer to the rows.`) or after the failure that
///         bmp_24_rows_put() reported: the new file is then removed, and an
///         old one stays as it was.
BMP_API bool bmp_24_rows_finish(bmp_24_rows* rows);

/// @brief Reads an uncompressed 8-bit or 24-bit BMP file into newly allocated
/// byte planes.
///
/// Checks that the file begins with "BM", skips a longer bitmap header and
/// any gap up to BITMAPOFFSET, and refuses compressed files, a HEIGHT of
/// -2147483648 and planes larger than the file could hold, before anything
/// is allocated.
/// @param file_name NUL-terminated path of the BMP file.
/// @param[out] xsize WIDTH in pixels.
/// @param[out] ysize HEIGHT with its sign: positive when plane row 0 is the
///        picture's bottom row, negative when it is the top row.
/// @param[out] r Receives the R plane of `xsize` × |`ysize`| bytes, rows in
///        file order, allocated with `new[]`. For an 8-bit file `r`, `g` and
///        `b` all receive **one** plane of palette indices: release it once.
///        Set the three pointers to null before the call and release each
///        distinct non-null one with `delete[]` whatever the status.
/// @param[out] g Receives the G plane, as `r`.
/// @param[out] b Receives the B plane, as `r`.
/// @return `false` when the whole image was read; `true` after a report:
///         `BMP_READ - Fatal error!` with `Could not open the input file.` or
///         `Null pointer to the file name.` (`XSIZE`, `YSIZE`, `R`, `G`, `B`:
///         nothing is read), or
///         `BMP_READ: Fatal error!` with the reason (a header that ends early,
///         the magic-number report, an unsupported COMPRESSION or HEIGHT, an
///         unrecognized BITSPERPIXEL, `BMP_24_DATA_READ failed.`, ...).
BMP_API bool bmp_read(const char* file_name, uint32_t* xsize, int32_t* ysize, unsigned char** r,
                      unsigned char** g, unsigned char** b);

/// @brief Writes the 200 × 200 test picture (red where row + column <= 200,
/// then green below the diagonal, blue above) with bmp_24_write().
/// @param file_name NUL-terminated path of the file to write.
/// @return `false` when written (nothing printed); `true` after the writer's
///         report and `BMP_24_WRITE_TEST - Fatal error!` with `The test failed.`.
BMP_API bool bmp_24_write_test(const char* file_name);

/// @brief Writes the 255 × 255 test plane (column mod (row + 1)) with
/// bmp_08_write().
/// @param file_name NUL-terminated path of the file to write.
/// @return `false` when written (nothing printed); `true` after the writer's
///         report and `BMP_08_WRITE_TEST - Fatal error!` with `The test failed.`.
BMP_API bool bmp_08_write_test(const char* file_name);

/// @brief Reads a BMP file with bmp_read() and releases what it handed out.
/// @param file_name NUL-terminated path of the file to read.
/// @return The status of bmp_read(), whose reports are the only output.
BMP_API bool bmp_read_test(const char* file_name);

/// @brief Describes a BMP file on `std::cout`: a `BMP_PRINT_TEST:` banner
/// naming the file, both headers (bmp_header1_print(), bmp_header2_print())
/// and the palette (bmp_palette_print()); then reads the pixel rows to check
/// that the file is whole, without printing them. The magic number is shown,
/// not checked.
/// @param file_name NUL-terminated path of the file to describe.
/// @return `false` when the whole file was read; `true` after a
///         `BMP_PRINT_TEST - Fatal error!` report (`Could not open the input
///         file.` or `Null pointer to the file name.`) or a `BMP_PRINT_TEST: Fatal error!` report
///         naming what failed.
BMP_API bool bmp_print_test(const char* file_name);

#endif  // TRAVORN_BMP_BMP_HPP
