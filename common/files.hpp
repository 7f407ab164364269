// SPDX-License-Identifier: MIT
// The files the libraries read and write, beyond their streams: how long
// an input is, and what becomes of an output that could not be finished,
// whether a write failed or the process was interrupted. Header-only and
// private to the project.
#ifndef TRAVORN_COMMON_FILES_HPP
#define TRAVORN_COMMON_FILES_HPP

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>
#include <system_error>

#include "common/platform.hpp"

namespace travorn_detail {

// Size of `file_name` when it is a regular file; -1 when its length cannot
// be known (a pipe, a device).
inline std::int64_t regular_file_size(const char* file_name) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file_name, ec)) return -1;
  const auto size = std::filesystem::file_size(file_name, ec);
  return ec ? -1 : static_cast<std::int64_t>(size);
}

// Bytes of a file of `file_size` bytes after `position`; -1 when the size is
// unknown (-1), as for a pipe.
inline std::int64_t bytes_after(std::int64_t file_size, std::int64_t position) {
  if (file_size < 0) return -1;
  return file_size > position ? file_size - position : 0;
}

// The file that a writer is writing and has not yet finished, or null: the
// hidden new file beside the final one, or a regular file written in place.
// An interruption handler removes it (unlink_now) before the process ends,
// so that a picture cut short never stays behind. Only the writers set it;
// only the application installs a handler.
inline std::atomic<const char*> unfinished_output{nullptr};

// The buffer of a stream that writes to a file descriptor. A failed write
// fails the stream (badbit); large writes go straight to the file.
class DescriptorBuffer final : public std::streambuf {
 public:
  void attach(int fd) {
    fd_ = fd;
    setp(buffer_, buffer_ + sizeof buffer_);
  }

 protected:
  int_type overflow(int_type c) override {
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (n < epptr() - pptr()) {
      std::copy_n(s, n, pptr());
      pbump(static_cast<int>(n));
      return n;
    }
    return drain() && write_all(fd_, s, static_cast<std::size_t>(n)) ? n : 0;
  }
  int sync() override { return drain() ? 0 : -1; }

 private:
  bool drain() {
    const bool written = write_all(fd_, pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(buffer_, buffer_ + sizeof buffer_);
    return written;
  }

  int fd_ = -1;
  char buffer_[std::size_t{64} * 1024];
};

// An output file that replaces the file of its name only once it is whole.
// A regular file, existing or new, is written as a new file beside it, in
// the same folder under a hidden name of its own, and moved over the final
// name by one rename once every byte is written and the file is closed.
// Symbolic links are followed, so a link stays a link; a replaced file's
// permission bits (and owner and group, where the process may set them)
// carry over. Devices, pipes and other files that are not regular, and a
// file in a folder where no new file may be made, are written in place.
// The file is written through stream() in order, or, where it is a new file
// beside the final one, at any place with write_at().
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() {
    if (fd_ >= 0) abandon();
  }

  // Where a file would go. kBeside: a new file renamed over the final one;
  // kInPlace: the named file itself; kRefused: nowhere, since the name
  // cannot be written (an existing file whose permissions refuse it, a
  // folder, a name in a missing folder).
  enum class Route { kBeside, kInPlace, kRefused };

  // Opens `file_name` for writing, beside it where it can; false, with
  // nothing written or created, when it cannot be written. With
  // `only_beside`, a file that would be written in place is not opened
  // (*route says so): nothing is lost that way, should the caller not
  // finish it.
  bool open(const char* file_name, bool only_beside = false, Route* route = nullptr) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(file_name);
    for (int hop = 0; hop < kMaxLinks && fs::is_symlink(fs::symlink_status(target, ec)); ++hop) {
      const fs::path link = fs::read_symlink(target, ec);
      target = link.is_absolute() ? link : target.parent_path() / link;
    }
    const fs::file_status status = fs::status(target, ec);
    const bool exists = fs::exists(status);
    Route went = Route::kInPlace;
    if (!target.filename().empty() && (!exists || fs::is_regular_file(status))) {
      // An existing file must let itself be written: the new file must not
      // sidestep its permissions.
      const int probe = exists ? open_for_writing(target.string().c_str(), Opening::kExisting) : -1;
      if (exists && probe < 0) {
        went = Route::kRefused;
      } else {
        if (exists) {
          close_file(probe);
          owner_ = owner_of(target.string().c_str());
        }
        if (open_beside(target)) went = Route::kBeside;
      }
    }
    if (went == Route::kInPlace && !only_beside && !open_in_place(file_name))
      went = Route::kRefused;
    if (route != nullptr) *route = went;
    return went != Route::kRefused;
  }

  std::ostream& stream() { return out_; }

  // Leaves the file unfinished, as if a write had failed.
  void abandon() {
    out_.setstate(std::ios::badbit);
    close();
  }

  // Writes `count` bytes at byte `offset` of a file opened beside the final
  // one; false, remembered, on failure.
  bool write_at(std::uint64_t offset, const char* bytes, std::size_t count) {
    out_.flush();
    if (!travorn_detail::write_at(fd_, offset, bytes, count)) out_.setstate(std::ios::badbit);
    return static_cast<bool>(out_);
  }

  // Closes the file and, when every byte was written, puts it in place.
  // False when a write, the close or the rename failed: the new file is then
  // removed (and a regular file written in place too, since a file cut short
  // must not look like a picture); a replaced file stays as it was.
  bool close() {
    out_.flush();
    bool finished = static_cast<bool>(out_);
    finished = close_file(fd_) && finished;
    fd_ = -1;
    [[maybe_unused]] const InterruptionsHeld held;
    if (finished && !final_.empty()) {
      give_owner(written_.c_str(), owner_);
      std::error_code ec;
      std::filesystem::rename(written_, final_, ec);
      finished = !ec;
    }
    if (!finished && removable_) remove_file();
    unfinished_output.store(nullptr);
    return finished;
  }

 private:
  static constexpr int kMaxLinks = 40;  // as many links as a system follows

  // Creates the hidden new file beside `target`; false when the folder
  // does not let one be made.
  bool open_beside(const std::filesystem::path& target) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::filesystem::path hidden = target.parent_path() / ".";
      hidden += target.filename();
      hidden += "." + unique_suffix();
      written_ = hidden.string();
      [[maybe_unused]] const InterruptionsHeld held;  // recorded from the moment it exists
      const int fd = open_for_writing(written_.c_str(), Opening::kNew);
      if (fd < 0 && errno == EEXIST) continue;
      if (fd < 0) break;
      attach(fd, true);
      final_ = target.string();
      return true;
    }
    written_.clear();
    return false;
  }

  // Opens `file_name` itself, as a device or pipe is written. A regular
  // file counts as unfinished from the moment it is opened.
  bool open_in_place(const char* file_name) {
    written_ = file_name;
    [[maybe_unused]] const InterruptionsHeld held;
    const int fd = open_for_writing(file_name, Opening::kReplace);
    if (fd < 0) return false;
    std::error_code ec;
    attach(fd, std::filesystem::symlink_status(written_, ec).type() ==
                   std::filesystem::file_type::regular);
    return true;
  }

  void attach(int fd, bool removable) {
    fd_ = fd;
    buffer_.attach(fd);
    out_.clear();
    removable_ = removable;
    if (removable_) unfinished_output.store(written_.c_str());
  }

  void remove_file() {
    std::error_code ec;
    std::filesystem::remove(written_, ec);
  }

  // Six letters and digits that no two calls of one process share.
  static std::string unique_suffix() {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t x = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                      (process_id() << 32) ^ (counter++ * 0x9E3779B97F4A7C15u);
    std::string suffix;
    for (int i = 0; i < 6; ++i, x /= 36) suffix += "0123456789abcdefghijklmnopqrstuvwxyz"[x % 36];
    return suffix;
  }

  DescriptorBuffer buffer_;
  std::ostream out_{&buffer_};
  int fd_ = -1;
  std::string final_;    // the file the picture goes to, links followed; empty when in place
  std::string written_;  // the file being written
  FileOwner owner_{};    // the replaced file's permissions and owner
  bool removable_ = false;
};

}  // namespace travorn_detail

#endif  // TRAVORN_COMMON_FILES_HPP
