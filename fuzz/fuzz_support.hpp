// SPDX-License-Identifier: MIT
// What the fuzz targets share: the input as a file that the readers open by
// name, and std::cout silenced while they run.
#ifndef TRAVORN_FUZZ_FUZZ_SUPPORT_HPP
#define TRAVORN_FUZZ_FUZZ_SUPPORT_HPP

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <streambuf>
#include <string>

// One in-memory file for the whole run, rewritten for every input and named
// through /proc/self/fd: a regular file of exactly the input's length.
class InputFile {
 public:
  InputFile() {
    fd_ = ::memfd_create("travorn-fuzz", 0);
    if (fd_ < 0) std::abort();
    name_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  const char* hold(const std::uint8_t* data, std::size_t size) {
    if (::ftruncate(fd_, 0) != 0) std::abort();
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<std::size_t>(n);
    }
    return name_.c_str();
  }

 private:
  int fd_ = -1;
  std::string name_;
};

// Discards what is written to it.
class NullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// std::cout writes nowhere while this object lives.
class QuietCout {
 public:
  QuietCout() : old_(std::cout.rdbuf(&null_)) {}
  ~QuietCout() { std::cout.rdbuf(old_); }
  QuietCout(const QuietCout&) = delete;
  QuietCout& operator=(const QuietCout&) = delete;

 private:
  NullBuffer null_;
  std::streambuf* old_;
};

#endif  // TRAVORN_FUZZ_FUZZ_SUPPORT_HPP
