// SPDX-License-Identifier: MIT
// The plain one-item-at-a-time design of the conversion, kept as an oracle
// for the fast paths: a header read line by line with the format's rules
// written out once more, one formatted extraction per sample, one byte at a
// time into the BMP file. Slow, short and easy to check against the format.
#ifndef TRAVORN_TESTS_ORACLE_HPP
#define TRAVORN_TESTS_ORACLE_HPP

#include <cstdint>
#include <string>
#include <vector>

struct OracleImage {
  int32_t xsize = 0, ysize = 0, maxrgb = 0;
  std::vector<int32_t> r, g, b;
};

// Reads a P3 file; false where the library's reader must fail too.
bool oracle_read(const std::string& file_name, OracleImage* image);
// Whether the converter writes a file for an image that was read: its
// samples have a range (maxrgb at least 1) and its BMP file fits 32 bits.
bool oracle_converts(const OracleImage& image);
// The bytes of the BMP file that the converter must write for `image`.
std::string oracle_bmp(const OracleImage& image);

#endif  // TRAVORN_TESTS_ORACLE_HPP
