// SPDX-License-Identifier: MIT
// The files the libraries read and write, beyond their streams: how long
// an input is, and what becomes of an output that could not be finished,
// whether a write failed or the process was interrupted. Header-only and
// private to the project.
#ifndef TRAVORN_COMMON_FILES_HPP
#define TRAVORN_COMMON_FILES_HPP

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
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

// The regular file that a writer has opened and not yet closed, or null.
// An interruption handler removes it (unlink_now) before the process ends,
// so that a picture cut short never stays behind. Only the writers set it;
// only the application installs a handler.
inline std::atomic<const char*> unfinished_output{nullptr};

// True when `file_name` itself is a regular file: the only kind of output
// that is removed when it cannot be finished. Devices, pipes and symbolic
// links are left alone.
inline bool is_plain_file(const char* file_name) {
  std::error_code ec;
  return std::filesystem::symlink_status(file_name, ec).type() ==
         std::filesystem::file_type::regular;
}

// Opens `file_name` for writing from its start, in binary mode. A regular
// file counts as unfinished from the moment it exists: interruptions are
// held back until it is recorded.
inline bool open_output(std::ofstream& out, const char* file_name) {
  [[maybe_unused]] const InterruptionsHeld held;
  out.open(file_name, std::ios::out | std::ios::binary | std::ios::trunc);
  if (out && is_plain_file(file_name)) unfinished_output.store(file_name);
  return static_cast<bool>(out);
}

// Closes an output file opened by open_output. False when a write or the
// close failed: the file is then removed when it is a regular one (its old
// contents were lost when it was opened, and a file cut short must not
// look like a picture). Either way it is no longer unfinished.
inline bool close_output(std::ofstream& out, const char* file_name) {
  out.flush();
  const bool written = static_cast<bool>(out);
  out.close();
  const bool finished = written && !out.fail();
  if (!finished && is_plain_file(file_name)) {
    std::error_code ec;
    std::filesystem::remove(file_name, ec);
  }
  unfinished_output.store(nullptr);
  return finished;
}

}  // namespace travorn_detail

#endif  // TRAVORN_COMMON_FILES_HPP
