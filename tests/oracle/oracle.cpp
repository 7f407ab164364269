// SPDX-License-Identifier: MIT
#include "oracle.hpp"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

namespace {
bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A sample token: an optional sign, then decimal digits, within 32 bits.
bool parse_sample(const std::string& token, int32_t* value) {
  const char* const end = token.data() + token.size();
  const char* first = token.data() + (token.size() > 1 && token[0] == '+' && token[1] != '-');
  const auto parsed = std::from_chars(first, end, *value);
  return parsed.ec == std::errc() && parsed.ptr == end;
}

// The header: the magic word on the first line that is not blank or a
// comment ('#' first), then three numbers in any grouping over lines. A
// number ends at white space, '#' or the line's end, else the header is
// refused; where a number is expected and none stands, the rest of the line
// is dropped unless it holds a digit or a NUL byte and is no comment.
bool read_header(std::istream& in, int32_t* item[3]) {
  int expected = -1;
  for (std::string line; std::getline(in, line) && !in.eof();) {
    if (line.size() > 65536) return false;
    if (!line.empty() && line[0] == '#') continue;
    std::size_t p = 0;
    while (p < line.size() && is_space(line[p])) ++p;
    if (expected < 0) {
      const std::size_t word = p;
      while (p < line.size() && !is_space(line[p])) ++p;
      if (p == word) continue;
      if (line.compare(word, p - word, "P3") != 0 && line.compare(word, p - word, "p3") != 0)
        return false;
      expected = 0;
    }
    for (;;) {
      while (p < line.size() && is_space(line[p])) ++p;
      const std::string rest = line.substr(p);
      std::size_t digits = rest.size() > 0 && (rest[0] == '+' || rest[0] == '-');
      const std::size_t first_digit = digits;
      while (digits < rest.size() && is_digit(rest[digits])) ++digits;
      if (digits == first_digit) {
        if (!rest.empty() && rest[0] != '#' &&
            rest.find_first_of(std::string("0123456789\0", 11)) != std::string::npos)
          return false;
        break;  // the next line
      }
      if (digits < rest.size() && !is_space(rest[digits]) && rest[digits] != '#') return false;
      long long value = 0;
      for (std::size_t d = first_digit; d < digits; ++d) {
        value = std::min(value * 10 + (rest[d] - '0'), 1LL << 40);
      }
      if (rest[0] == '-') value = -value;
      if (value < INT32_MIN || value > INT32_MAX) return false;
      *item[expected] = static_cast<int32_t>(value);
      if (expected == 2) return true;
      ++expected;
      p += digits;
    }
  }
  return false;
}

// `value` as `bytes` bytes, least significant first.
void put(std::string* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint64_t row_bytes(const OracleImage& image) {
  const uint64_t x = static_cast<uint32_t>(image.xsize);
  return x == 0 ? 0 : 3 * x + (4 - (3 * x) % 4) % 4;
}
}  // namespace

bool oracle_read(const std::string& file_name, OracleImage* image) {
  std::ifstream in(file_name, std::ios::binary);
  int32_t* item[3] = {&image->xsize, &image->ysize, &image->maxrgb};
  if (!read_header(in, item) || image->xsize < 0 || image->ysize < 0 ||
      int64_t(image->xsize) * image->ysize > INT32_MAX) {
    return false;
  }
  const std::size_t n = std::size_t(image->xsize) * std::size_t(image->ysize);
  // A sample takes two characters at least: a shorter file cannot hold them.
  const auto header_end = in.tellg();
  in.seekg(0, std::ios::end);
  if (uint64_t(in.tellg() - header_end) < 6 * uint64_t(n)) return false;
  in.seekg(header_end);
  for (auto* plane : {&image->r, &image->g, &image->b}) plane->assign(n, 0);
  for (std::size_t k = 0; k < n; ++k) {
    for (auto* plane : {&image->r, &image->g, &image->b}) {
      std::string token;
      if (!(in >> token) || in.eof() || !parse_sample(token, &(*plane)[k])) return false;
    }
  }
  return true;
}

bool oracle_converts(const OracleImage& image) {
  return image.maxrgb >= 1 && row_bytes(image) * uint64_t(image.ysize) + 54 <= UINT32_MAX;
}

std::string oracle_bmp(const OracleImage& image) {
  const uint32_t x = static_cast<uint32_t>(image.xsize);
  const uint32_t y = static_cast<uint32_t>(image.ysize);
  const auto row = static_cast<uint32_t>(row_bytes(image));
  std::string out = "BM";
  for (const uint32_t v : {54 + row * y, 0u, 54u, 40u, x, y}) put(&out, v, 4);
  for (const uint32_t v : {1u, 24u}) put(&out, v, 2);  // PLANES, BITSPERPIXEL
  for (int i = 0; i < 6; ++i) put(&out, 0, 4);
  const long long m = image.maxrgb;
  auto byte = [m](int32_t v) {
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
    for (uint32_t p = 3 * x; p < row; ++p) out.push_back(0);
  }
  return out;
}
