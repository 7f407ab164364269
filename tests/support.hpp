// Shared helpers of the tests: captured output, scratch folders, file bytes.
#ifndef TRAVORN_TESTS_SUPPORT_HPP
#define TRAVORN_TESTS_SUPPORT_HPP

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

struct CoutCapture {  // std::cout writes into buf while this object lives; read buf.str()
  std::ostringstream buf;
  std::streambuf* old = std::cout.rdbuf(buf.rdbuf());
  ~CoutCapture() { std::cout.rdbuf(old); }
  std::string str() const { return buf.str(); }
};

// A fresh folder per test, removed afterwards.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::filesystem::path dir_;
};

Bytes read_bytes(const std::string& file_name);
std::string read_text(const std::string& file_name);
void write_bytes(const std::string& file_name, const Bytes& bytes);
void write_text(const std::string& file_name, const std::string& text);
Bytes to_bytes(const std::string& text);

// Little-endian field builders for hand-made BMP files.
void put16(Bytes* out, std::uint32_t value);
void put32(Bytes* out, std::uint32_t value);
// The 54 header bytes of a BMP file with the given fields.
Bytes bmp_headers(std::uint32_t filesize, std::uint32_t bitmapoffset, std::uint32_t size,
                  std::uint32_t width, std::int32_t height, std::uint16_t bits,
                  std::uint32_t compression = 0, std::uint32_t colorsused = 0);

// Runs a shell command; returns its exit status and stores its standard output.
int run_command(const std::string& command, std::string* output);

// The largest single operator new request since the last reset; tracked in
// ordinary builds (a sanitizer's own allocator stays in place elsewhere).
bool allocation_tracked();
void reset_largest_allocation();
std::size_t largest_allocation();

#endif  // TRAVORN_TESTS_SUPPORT_HPP
