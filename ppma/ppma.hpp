// SPDX-License-Identifier: MIT
/// @file ppma.hpp
/// @brief ASCII PPM ("P3") images: read, check, write and generate.
///
/// An image is three separate planes R, G and B of `xsize` × `ysize` signed
/// 32-bit samples each, row by row: the sample of column `i` (0-based, left to
/// right) in row `j` (0-based, **top row first**, as a P3 file lists them) is
/// element `j * xsize + i`. The planes are passed in the order R, G, B.
///
/// **Statuses:** every operation that can fail returns an `int`, **0 for
/// success and 1 for failure**. (The bmp library returns `bool`, `true` for
/// failure.) Nothing is thrown.
///
/// **Reports:** every report goes to `std::cout` as a block: an empty line, a
/// header line naming the operation in upper case (`PPMA_READ - Fatal
/// error!`), and detail lines indented by two spaces. When a callee fails, its
/// report comes first and each caller adds its own block.
///
/// **Ownership:** a plane handed out through an out-parameter was allocated
/// with `new[]`; the caller owns it from then on, also when the operation
/// failed, and releases it with `delete[]`. Planes passed in stay the caller's.
///
/// **Pointers:** a file-level operation (it takes a file name) refuses a null
/// pointer that it needs with a report, `Null pointer to NAME.`, and status
/// 1. A stream-level operation states what it needs under `@pre`.
///
/// **Files written:** ppma_write() replaces a file only by a whole new one:
/// it writes a new file in the same folder and renames it over the old one
/// once every byte is written and the file is closed; an existing file is
/// never written (see ppma_write()).
#ifndef TRAVORN_PPMA_PPMA_HPP
#define TRAVORN_PPMA_PPMA_HPP

#include <cstdint>
#include <iosfwd>

/// @cond INTERNAL
#if defined(__GNUC__)  // the library's only exports when it is built with hidden visibility
#define PPMA_API __attribute__((visibility("default")))
#else
#define PPMA_API
#endif
/// @endcond

/// @brief Reads a P3 file into three newly allocated integer planes.
///
/// Opens `file_name` in binary mode, reads the header with ppma_read_header()
/// and the samples as ppma_read_data() does, and closes the file. The header
/// is the magic word `P3` (or `p3`), `xsize`, `ysize` and `maxrgb`, in any
/// grouping over lines, with whole-line comments (`#` first); the samples
/// begin on the line after `maxrgb`. Sizes of 0 are accepted (empty planes);
/// negative sizes and images of more than 2147483647 pixels are refused
/// before any plane is allocated. Large planes are allocated only when the
/// rest of a regular file can hold the samples (two characters each at
/// least); from a pipe they grow as the samples arrive.
///
/// @param file_name NUL-terminated path of the P3 file.
/// @param[out] xsize Columns of the image (set as soon as the header gives it).
/// @param[out] ysize Rows of the image.
/// @param[out] maxrgb The largest sample value the header declares; the
///        samples are not checked against it (see ppma_check_data()), and a
///        value below 1 is read as it stands.
/// @param[out] r Receives the R plane: `xsize * ysize` samples, top row first,
///        allocated with `new[]`. Set the three pointers to null before the
///        call; after it, release every one that is not null with `delete[]`,
///        whatever the status (after a failed data read only the samples read
///        before the failure are defined).
/// @param[out] g Receives the G plane, as `r`.
/// @param[out] b Receives the B plane, as `r`.
/// @return 0 when the whole image was read; 1 on failure, after a report:
///         `PPMA_READ - Fatal error!` with `Null pointer to the file name.`
///         (`XSIZE`, `YSIZE`, `MAXRGB`, `R`, `G`, `B`: nothing is read),
///         `Cannot open the input file "NAME".`,
///         `PPMA_READ_HEADER failed.` (after the header's own report),
///         `Negative image size: XSIZE = X, YSIZE = Y.`,
///         `The image size XSIZE = X, YSIZE = Y is too large.`,
///         `Not enough memory for the image planes.`,
///         `Not enough memory to read the samples.` or
///         `PPMA_READ_DATA failed.` (short data, a token that is not a 32-bit
///         decimal number, a last sample with no character after it, a
///         regular file too short for the planes it declares).
PPMA_API int ppma_read(const char* file_name, int32_t* xsize, int32_t* ysize, int32_t* maxrgb,
                       int32_t** r, int32_t** g, int32_t** b);

/// @brief The most pixels of a row that ppma_read_rows() hands over at once: a
/// wider row comes in pieces of this many pixels, the last one shorter.
constexpr int32_t ppma_rows_piece = 4096;

/// @brief The function that ppma_read_rows() hands each row to.
///
/// It receives `pixels` pixels of row `row` (0 is the top row), from column
/// `column` on (0, or where the last piece of a wide row ended), as three
/// arrays of signed 32-bit samples, R, G and B; they are the reader's and
/// valid until the function returns. It returns 0 to go on reading, anything
/// else to stop.
using ppma_rows_callback = int (*)(void* context, int32_t row, int32_t column, int32_t pixels,
                                   const int32_t* r, const int32_t* g, const int32_t* b);

/// @brief Reads a P3 file row by row, handing each row to `callback`, top row
/// first, in memory that does not depend on the picture's size.
///
/// The header is read, and the size accepted or refused, as ppma_read() does
/// (the same rules, the same refusals); its values are stored through
/// `xsize`, `ysize` and `maxrgb` before the first row is handed over, so the
/// callback may look at them (through `context`). Then each row goes to
/// `callback` as three arrays, R, G and B, in pieces of ppma_rows_piece
/// pixels for a wider row. Three arrays, not the file's interleaved order,
/// since every other operation of both libraries takes planes: a row's R
/// array is a row of ppma_read()'s R plane, fit for ppma_scale_to_bytes()
/// (as an image of one row) and bmp_24_rows_put(). The samples are not
/// rescaled or checked against `maxrgb`.
///
/// The caller stops the read by returning nonzero from `callback`: nothing
/// more is read or printed, and the result is 0 (the read ended where the
/// caller asked). A picture with no pixel calls `callback` no time.
///
/// @param file_name NUL-terminated path of the P3 file.
/// @param[out] xsize Columns of the image.
/// @param[out] ysize Rows of the image.
/// @param[out] maxrgb The largest sample value the header declares.
/// @param callback The function each row goes to.
/// @param context Passed to `callback` as it is; may be null.
/// @return 0 when every row was read, or when `callback` stopped the read; 1
///         on failure, after a `PPMA_READ_ROWS - Fatal error!` report with
///         the lines that ppma_read() prints (`Cannot open the input file
///         "NAME".`, `PPMA_READ_HEADER failed.` after the header's own report,
///         the size refusals, `Not enough memory to read the samples.`,
///         `PPMA_READ_DATA failed.`) or `Null pointer to the file name.`
///         (`XSIZE`, `YSIZE`, `MAXRGB`, `the row function`). Rows handed over
///         before a failure stay handed over.
PPMA_API int ppma_read_rows(const char* file_name, int32_t* xsize, int32_t* ysize, int32_t* maxrgb,
                            ppma_rows_callback callback, void* context);

/// @brief Parses a P3 header from a stream positioned at the file's start.
///
/// Reads line by line (lines of up to 65536 characters): skips comment lines
/// (`#` as their first character) and blank lines before the magic word,
/// takes the magic word (`P3` or `p3` exactly), then the three numbers, each
/// from the rest of the current line or from the next line that holds one.
/// The rest of a line that holds no number where one is expected is dropped
/// when it is blank, begins with `#` or holds neither a digit nor a NUL byte
/// (`2 1 pixels`, `3 # 4 5`); otherwise it most likely holds the number after
/// a typo (`640 x 480`) and the header is refused. A number ends at white
/// space, `#` or the line's end: one followed directly by anything else
/// (`1O`, `25S`) is refused too. Whatever follows `maxrgb` on its line is
/// dropped.
///
/// @pre `xsize`, `ysize` and `maxrgb` point to writable integers.
/// @param file_in Stream opened on the file (binary mode advised); the
///        operation neither opens nor closes it, and reads it from where it
///        stands.
/// @param[out] xsize Columns, stored as soon as it is parsed.
/// @param[out] ysize Rows, stored as soon as it is parsed.
/// @param[out] maxrgb The declared largest sample value.
/// @return 0 with the stream at the start of the line after `maxrgb`'s; 1 on
///         failure, after a `PPMA_READ_HEADER` report: `End of file.`,
///         `A header line is longer than 65536 characters.`,
///         `Error while reading the input file.`, `Bad magic number = "WORD".`,
///         `The number N is out of range.` (outside the signed 32-bit range),
///         or `A number for YSIZE was expected, not "x 480".` (`XSIZE`,
///         `MAXRGB`; also `not "1O".` for a number glued to other text). The
///         text shown is cut after 40 characters, its bytes outside printable
///         ASCII shown as `\xHH`. Values parsed before a failure stay stored.
PPMA_API int ppma_read_header(std::istream& file_in, int32_t* xsize, int32_t* ysize,
                              int32_t* maxrgb);

/// @brief Reads `xsize * ysize` pixels of samples into the caller's planes.
///
/// The samples are decimal integers (optional sign, digits, within the signed
/// 32-bit range) separated by white space, pixel by pixel from the top row,
/// each pixel R, G, B. Anything after the last pixel is ignored, but the last
/// sample must be followed by at least one character. Nothing is read when
/// either size is below 1.
///
/// The samples are taken from the stream in large chunks. After a successful
/// read, a stream that can seek exactly (a file stream in binary mode, a
/// string stream) stands just after the last sample's digits, as formatted
/// extraction leaves it, so that a second picture of the same file is read
/// next. A stream that cannot seek back (a pipe) may have been read up to
/// 64 KiB beyond that point. After a failed read, where the stream stands is
/// not promised.
///
/// @pre `r`, `g` and `b` are not null when both sizes are at least 1.
/// @param file_in Stream positioned where the samples begin (after
///        ppma_read_header()); neither opened nor closed here.
/// @param xsize Columns.
/// @param ysize Rows.
/// @param r Caller-owned R plane of at least `xsize * ysize` elements, filled
///        top row first.
/// @param g Caller-owned G plane, as `r`.
/// @param b Caller-owned B plane, as `r`.
/// @return 0 when every sample was read; 1 when the data end early or hold
///         a token that is not a sample, or when the memory to read them in
///         chunks cannot be had. Prints nothing.
PPMA_API int ppma_read_data(std::istream& file_in, int32_t xsize, int32_t ysize, int32_t* r,
                            int32_t* g, int32_t* b);

/// @brief Checks an image against the rules of the format and reports the
/// first violation.
///
/// The tests, in order: `xsize` and `ysize` at least 1; no null plane; then
/// every sample of R, then of G, then of B, row by row, between 0 and
/// `maxrgb` inclusive. The planes are only read.
///
/// @param xsize Columns.
/// @param ysize Rows.
/// @param maxrgb The largest sample value allowed.
/// @param r R plane of `xsize * ysize` samples, top row first, or null.
/// @param g G plane, as `r`.
/// @param b B plane, as `r`.
/// @return 0 when every test passes (nothing printed); 1 at the first failed
///         test, after one report: `PPMA_CHECK_DATA: Error!` with
///         `xsize <= 0.`, `ysize <= 0.` or `Null pointer to R.` (G, B), or
///         `PPMA_CHECK_DATA - Fatal error!` with `Negative data.` or
///         `Data exceeds MAXRGB = M` and the sample's place as `L(column,row)=v`.
PPMA_API int ppma_check_data(int32_t xsize, int32_t ysize, int32_t maxrgb, const int32_t* r,
                             const int32_t* g, const int32_t* b);

/// @brief Writes an image as a P3 file.
///
/// Writes the header (ppma_write_header(), with `maxrgb` the largest sample
/// of the three planes, 1 if none is larger: the least a P3 file may
/// declare) and the samples
/// (ppma_write_data()) in binary mode. The samples are written as they are,
/// unchecked.
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
/// @param file_name NUL-terminated path of the file to write; it also
///        appears, as given, in the file's comment line.
/// @param xsize Columns.
/// @param ysize Rows.
/// @param r R plane of at least `xsize * ysize` samples, top row first; may
///        be null only when the image has no pixel.
/// @param g G plane, as `r`.
/// @param b B plane, as `r`.
/// @return 0 when the whole file was written and put in place; 1 on failure,
///         after a `PPMA_WRITE - Fatal error!` report:
///         `Null pointer to the file name.` or `Null pointer to R.` (G, B;
///         no file is created or touched), `Cannot open the output file "NAME".`
///         (also for an existing file that no new file can replace),
///         `PPMA_WRITE_DATA failed.` (no memory for its buffer) or
///         `Error while writing the output file.` (a full disk, a size
///         limit, a failed rename), in which case the new file is removed.
PPMA_API int ppma_write(const char* file_name, int32_t xsize, int32_t ysize, const int32_t* r,
                        const int32_t* g, const int32_t* b);

/// @brief Writes the four header lines of a P3 file.
///
/// Writes `P3`, `# NAME created by KELMORA::PPMA_WRITE.`, `xsize`, two
/// spaces and `ysize`, then `maxrgb`, each line ended by a newline. Each byte
/// of the name outside printable ASCII is written as `\xHH`, so that no name
/// can end the comment line.
///
/// @pre `file_name` is not null.
/// @param file_out Stream of the new file; neither opened nor closed here.
/// @param file_name Name shown in the comment line (escaped as above).
/// @param xsize Columns.
/// @param ysize Rows.
/// @param maxrgb The largest sample value to declare.
/// @return Always 0; the stream's state is left for the caller to test.
PPMA_API int ppma_write_header(std::ostream& file_out, const char* file_name, int32_t xsize,
                               int32_t ysize, int32_t maxrgb);

/// @brief Writes the samples of an image in P3 layout.
///
/// Pixel by pixel from the top row, each as `R G B`; a pixel is followed by
/// a newline when it ends its row, when it is the fourth of a group of four
/// counted from the image's first pixel, or when it is the last pixel, and by
/// one space otherwise. Nothing is written when either size is below 1.
///
/// @pre `r`, `g` and `b` are not null when both sizes are at least 1.
/// @param file_out Stream of the new file, after the header.
/// @param xsize Columns.
/// @param ysize Rows.
/// @param r R plane of at least `xsize * ysize` samples, top row first.
/// @param g G plane, as `r`.
/// @param b B plane, as `r`.
/// @return 0, the stream's state left for the caller to test; 1 when the
///         memory for its buffer of lines cannot be had (nothing written).
PPMA_API int ppma_write_data(std::ostream& file_out, int32_t xsize, int32_t ysize, const int32_t* r,
                             const int32_t* g, const int32_t* b);

/// @brief Maps a plane's samples from `0..maxrgb` onto bytes `0..255`, as the
/// travorn converter does.
///
/// Each sample is clamped to `0..maxrgb`, then scaled by 255 / `maxrgb` and
/// rounded with halves up (exact 64-bit arithmetic); with `maxrgb` below 1
/// every byte is 0. Nothing is written when either size is below 1.
///
/// @pre `plane` and `bytes` are not null when both sizes are at least 1.
/// @param xsize Columns.
/// @param ysize Rows.
/// @param maxrgb The image's declared largest sample value.
/// @param plane `xsize * ysize` samples, in any row order.
/// @param[out] bytes Caller-owned array of at least `xsize * ysize` bytes;
///        element k receives the byte of sample k.
PPMA_API void ppma_scale_to_bytes(int32_t xsize, int32_t ysize, int32_t maxrgb,
                                  const int32_t* plane, unsigned char* bytes);

/// @brief Fills three planes with the synthetic example picture.
///
/// Over a background of (50, 150, 250), each channel shows the area under one
/// curve (a parabola for red, a sine arch for green, a ramp for blue), shaded
/// by the curve's height; the values lie in 0..255. Nothing is written when
/// `ysize` or `xsize` is below 1.
///
/// @pre `r`, `g` and `b` are not null when both sizes are at least 1.
/// @param xsize Columns.
/// @param ysize Rows.
/// @param[out] r Caller-allocated R plane of at least `xsize * ysize`
///        elements, filled top row first.
/// @param[out] g G plane, as `r`.
/// @param[out] b B plane, as `r`.
/// @return Always 0; prints nothing.
PPMA_API int ppma_example(int32_t xsize, int32_t ysize, int32_t* r, int32_t* g, int32_t* b);

/// @brief Reads a P3 file with ppma_read(), checks it with ppma_check_data()
/// and reports the outcome.
///
/// @param file_name NUL-terminated path of the file to read.
/// @return 0 when the file was read and approved, after two `PPMA_READ_TEST:`
///         reports (`PPMA_READ was able to read "NAME".`, then
///         `PPMA_CHECK_DATA has approved the data from the file.`); 1 after
///         the callees' reports and a `PPMA_READ_TEST - Fatal error!` report
///         (`PPMA_READ failed.` or
///         `PPMA_CHECK_DATA reports bad data in the file.`). The planes are
///         released inside.
PPMA_API int ppma_read_test(const char* file_name);

/// @brief Writes the 300 × 300 example picture (ppma_example()) as a P3 file
/// with ppma_write().
///
/// @param file_name NUL-terminated path of the file to write.
/// @return 0 when the file was written (nothing printed); 1 after
///         ppma_write()'s report and `PPMA_WRITE_TEST - Fatal error!` with
///         `PPMA_WRITE failed.`.
PPMA_API int ppma_write_test(const char* file_name);

#endif  // TRAVORN_PPMA_PPMA_HPP
