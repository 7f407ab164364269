// SPDX-License-Identifier: MIT
// The plain one-item-at-a-time design of the conversion, kept as an oracle
// for the fast paths: one formatted extraction per sample, one byte at a time
// into the BMP file. Slow, short and easy to check against the format.
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
// The bytes of the BMP file that the converter must write for `image`.
std::string oracle_bmp(const OracleImage& image);

#endif  // TRAVORN_TESTS_ORACLE_HPP
