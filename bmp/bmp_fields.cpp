// SPDX-License-Identifier: MIT
// Byte order and the six binary field codecs.
#include <istream>
#include <ostream>

#include "bmp/bmp.hpp"
#include "bmp/bmp_internal.hpp"

namespace {
bool bmp_byte_swap = true;  // true: least significant byte first

// One byte of the stream, or -1 when the input has ended or failed.
int read_byte(std::istream& in) {
  const auto c = in.get();
  return in ? static_cast<int>(static_cast<unsigned char>(c)) : -1;
}
}  // namespace

bool bmp_byte_swap_get() { return bmp_byte_swap; }

void bmp_byte_swap_set(bool value) { bmp_byte_swap = value; }

void u_short_int_write(uint16_t value, std::ostream& file_out) {
  const char low = static_cast<char>(value & 0xFFu);
  const char high = static_cast<char>(value >> 8);
  file_out.put(bmp_byte_swap ? low : high);
  file_out.put(bmp_byte_swap ? high : low);
}

void u_long_int_write(uint32_t value, std::ostream& file_out) {
  const auto low = static_cast<uint16_t>(value & 0xFFFFu);
  const auto high = static_cast<uint16_t>(value >> 16);
  u_short_int_write(bmp_byte_swap ? low : high, file_out);
  u_short_int_write(bmp_byte_swap ? high : low, file_out);
}

void long_int_write(int32_t value, std::ostream& file_out) {
  u_long_int_write(static_cast<uint32_t>(value), file_out);  // two's-complement pattern
}

bool u_short_int_read(uint16_t* value, std::istream& file_in) {
  const int first = read_byte(file_in);
  if (first < 0) return true;
  const int second = read_byte(file_in);
  if (second < 0) return true;
  *value = bmp_byte_swap ? static_cast<uint16_t>(first | (second << 8))
                         : static_cast<uint16_t>((first << 8) | second);
  return false;
}

bool u_long_int_read(uint32_t* value, std::istream& file_in) {
  uint16_t first = 0;
  uint16_t second = 0;
  if (u_short_int_read(&first, file_in)) return true;
  if (u_short_int_read(&second, file_in)) return true;
  const uint32_t low = bmp_byte_swap ? first : second;
  const uint32_t high = bmp_byte_swap ? second : first;
  *value = (high << 16) | low;
  return false;
}

bool long_int_read(int32_t* value, std::istream& file_in) {
  uint32_t bits = 0;
  if (u_long_int_read(&bits, file_in)) return true;
  *value = static_cast<int32_t>(bits);  // bit 31 set gives a negative value
  return false;
}
