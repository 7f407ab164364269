// SPDX-License-Identifier: MIT
// The files the libraries read and write, beyond their streams: how long
// an input is, and what becomes of an output that could not be finished,
// whether a write failed or the process was interrupted. Header-only and
// private to the project.
#ifndef TRAVORN_COMMON_FILES_HPP
#define TRAVORN_COMMON_FILES_HPP

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
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

// An output file that replaces the file of its name only once it is whole.
// A regular file, existing or new, is written as a new file beside it, in
// the same folder under a hidden name of its own, and moved over the final
// name by one rename once every byte is written and the file is closed.
// Symbolic links are followed, so a link stays a link; a replaced file's
// permission bits (and owner and group, where the process may set them)
// carry over. Devices, pipes and other files that are not regular, and a
// file in a folder where no new file may be made, are written in place.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() {
    if (out_.is_open()) abandon();
  }

  // Opens `file_name` for writing, in binary mode; false when it cannot be
  // written (an existing file whose permissions refuse it, a folder, a
  // name in a missing folder), with nothing written or created.
  bool open(const char* file_name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target(file_name);
    for (int hop = 0; hop < kMaxLinks && fs::is_symlink(fs::symlink_status(target, ec)); ++hop) {
      const fs::path link = fs::read_symlink(target, ec);
      target = link.is_absolute() ? link : target.parent_path() / link;
    }
    const fs::file_status status = fs::status(target, ec);
    const bool exists = fs::exists(status);
    if (target.filename().empty() || (exists && !fs::is_regular_file(status))) {
      return open_in_place(file_name);
    }
    if (exists && !std::ofstream(target, std::ios::out | std::ios::app | std::ios::binary)) {
      return false;  // its permissions refuse it: the new file must not sidestep them
    }
    final_ = target.string();
    if (exists) owner_ = owner_of(final_.c_str());
    return open_beside(target) || open_in_place(file_name);
  }

  std::ofstream& stream() { return out_; }

  // Closes the file and, when every byte was written, puts it in place.
  // False when a write, the close or the rename failed: the new file is then
  // removed (and a regular file written in place too, since a file cut short
  // must not look like a picture); a replaced file stays as it was.
  bool close() {
    out_.flush();
    const bool written = static_cast<bool>(out_);
    out_.close();
    bool finished = written && !out_.fail();
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
      hidden += "." + unique_suffix(attempt);
      written_ = hidden.string();
      [[maybe_unused]] const InterruptionsHeld held;  // recorded from the moment it exists
      const NewFile made = create_new_file(written_.c_str());
      if (made == NewFile::kExists) continue;
      if (made == NewFile::kRefused) break;
      unfinished_output.store(written_.c_str());
      removable_ = true;
      out_.open(written_, std::ios::out | std::ios::binary | std::ios::trunc);
      if (out_) return true;
      remove_file();
      unfinished_output.store(nullptr);
      break;
    }
    final_.clear();
    written_.clear();
    return false;
  }

  // Opens `file_name` itself, as a device or pipe is written. A regular
  // file counts as unfinished from the moment it is opened.
  bool open_in_place(const char* file_name) {
    final_.clear();
    written_ = file_name;
    [[maybe_unused]] const InterruptionsHeld held;
    out_.open(written_, std::ios::out | std::ios::binary | std::ios::trunc);
    std::error_code ec;
    removable_ = out_ && std::filesystem::symlink_status(written_, ec).type() ==
                             std::filesystem::file_type::regular;
    if (removable_) unfinished_output.store(written_.c_str());
    return static_cast<bool>(out_);
  }

  // Leaves a file that was never closed as if it had failed.
  void abandon() {
    out_.setstate(std::ios::badbit);
    close();
  }

  void remove_file() {
    std::error_code ec;
    std::filesystem::remove(written_, ec);
  }

  // Six letters and digits that no two attempts of one process share.
  static std::string unique_suffix(int attempt) {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t x = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                      (process_id() << 32) ^ (counter++ * 0x9E3779B97F4A7C15u) ^
                      std::uint64_t(attempt);
    std::string suffix;
    for (int i = 0; i < 6; ++i, x /= 36) suffix += "0123456789abcdefghijklmnopqrstuvwxyz"[x % 36];
    return suffix;
  }

  std::ofstream out_;
  std::string final_;    // the file the picture goes to, links followed; empty when in place
  std::string written_;  // the file being written
  FileOwner owner_{};    // the replaced file's permissions and owner
  bool removable_ = false;
};

}  // namespace travorn_detail

#endif  // TRAVORN_COMMON_FILES_HPP
