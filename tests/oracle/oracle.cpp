// SPDX-License-Identifier: MIT
#include "oracle.hpp"

#include <charconv>
#include <fstream>
#include <iostream>
#include <sstream>

#include "ppma/ppma.hpp"

namespace {
// A sample token: an optional sign, then decimal digits, within 32 bits.
bool parse_sample(const std::string& token, int32_t* value) {
  const char* const end = token.data() + token.size();
  const char* first = token.data() + (token.size() > 1 && token[0] == '+' && token[1] != '-');
  const auto parsed = std::from_chars(first, end, *value);
  return parsed.ec == std::errc() && parsed.ptr == end;
}

// `value` as `bytes` bytes, least significant first.
void put(std::string* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
}  // namespace

bool oracle_read(const std::string& file_name, OracleImage* image) {
  std::ifstream in(file_name, std::ios::binary);
  std::ostringstream quiet;
  std::streambuf* const console = std::cout.rdbuf(quiet.rdbuf());
  const int header = ppma_read_header(in, &image->xsize, &image->ysize, &image->maxrgb);
  std::cout.rdbuf(console);
  if (header != 0 || image->xsize < 0 || image->ysize < 0) return false;
  const std::size_t n = std::size_t(image->xsize) * std::size_t(image->ysize);
  for (auto* plane : {&image->r, &image->g, &image->b}) plane->assign(n, 0);
  for (std::size_t k = 0; k < n; ++k) {
    for (auto* plane : {&image->r, &image->g, &image->b}) {
      std::string token;
      if (!(in >> token) || in.eof() || !parse_sample(token, &(*plane)[k])) return false;
    }
  }
  return true;
}

std::string oracle_bmp(const OracleImage& image) {
  const uint32_t x = static_cast<uint32_t>(image.xsize);
  const uint32_t y = static_cast<uint32_t>(image.ysize);
  const uint32_t padding = x == 0 ? 0 : (4 - (3 * x) % 4) % 4;
  const uint32_t row = x == 0 ? 0 : 3 * x + padding;
  std::string out = "BM";
  for (const uint32_t v : {54 + row * y, 0u, 54u, 40u, x, y}) put(&out, v, 4);
  for (const uint32_t v : {1u, 24u}) put(&out, v, 2);  // PLANES, BITSPERPIXEL
  for (int i = 0; i < 6; ++i) put(&out, 0, 4);
  const long long m = image.maxrgb;
  auto byte = [m](int32_t v) {
    if (m < 1) return char(0);
    const long long c = v < 0 ? 0 : v > m ? m : v;
    return static_cast<char>((c * 255 * 2 + m) / (2 * m));
  };
  for (uint32_t i = 0; i < y && x > 0; ++i) {
    const std::size_t first = std::size_t(y - 1 - i) * x;  // the bottom row first
    for (uint32_t j = 0; j < x; ++j) {
      out.push_back(byte(image.b[first + j]));
      out.push_back(byte(image.g[first + j]));
      out.push_back(byte(image.r[first + j]));
    }
    for (uint32_t p = 0; p < padding; ++p) out.push_back(0);
  }
  return out;
}
