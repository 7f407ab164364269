#include "support.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

void TempDirTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir_ = std::filesystem::temp_directory_path() /
         ("travorn-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
          std::to_string(::getpid()));
  std::filesystem::remove_all(dir_);
  std::filesystem::create_directories(dir_);
}

void TempDirTest::TearDown() { std::filesystem::remove_all(dir_); }

Bytes read_bytes(const std::string& file_name) {
  std::ifstream in(file_name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string read_text(const std::string& file_name) {
  const Bytes bytes = read_bytes(file_name);
  return std::string(bytes.begin(), bytes.end());
}

void write_bytes(const std::string& file_name, const Bytes& bytes) {
  std::ofstream out(file_name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void write_text(const std::string& file_name, const std::string& text) {
  write_bytes(file_name, to_bytes(text));
}

Bytes to_bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

void put16(Bytes* out, std::uint32_t value) {
  out->push_back(static_cast<unsigned char>(value & 0xFF));
  out->push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
}

void put32(Bytes* out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

Bytes bmp_headers(std::uint32_t filesize, std::uint32_t bitmapoffset, std::uint32_t size,
                  std::uint32_t width, std::int32_t height, std::uint16_t bits,
                  std::uint32_t compression, std::uint32_t colorsused) {
  Bytes out = {'B', 'M'};
  put32(&out, filesize);
  put32(&out, 0);
  put32(&out, bitmapoffset);
  put32(&out, size);
  put32(&out, width);
  put32(&out, static_cast<std::uint32_t>(height));
  put16(&out, 1);
  put16(&out, bits);
  put32(&out, compression);
  put32(&out, 0);
  put32(&out, 0);
  put32(&out, 0);
  put32(&out, colorsused);
  put32(&out, 0);
  return out;
}

int run_command(const std::string& command, std::string* output) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  output->clear();
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output->append(chunk, got);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#if defined(__SANITIZE_ADDRESS__)
#define TRAVORN_TRACK_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TRAVORN_TRACK_ALLOCATIONS 0
#endif
#endif
#ifndef TRAVORN_TRACK_ALLOCATIONS
#define TRAVORN_TRACK_ALLOCATIONS 1
#endif

#if TRAVORN_TRACK_ALLOCATIONS
#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> largest{0};

void* allocate(std::size_t n) noexcept {
  std::size_t seen = largest.load();
  while (n > seen && !largest.compare_exchange_weak(seen, n)) {
  }
  return std::malloc(n == 0 ? 1 : n);
}

void* allocate_or_throw(std::size_t n) {
  void* p = allocate(n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
}  // namespace

void* operator new(std::size_t n) { return allocate_or_throw(n); }
void* operator new[](std::size_t n) { return allocate_or_throw(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

bool allocation_tracked() { return true; }
void reset_largest_allocation() { largest = 0; }
std::size_t largest_allocation() { return largest; }
#else
bool allocation_tracked() { return false; }
void reset_largest_allocation() {}
std::size_t largest_allocation() { return 0; }
#endif
