// The files the libraries read and write, beyond their streams: how long
// an input is, and what becomes of an output that could not be finished.
// Header-only and private to the project.
#ifndef TRAVORN_COMMON_FILES_HPP
#define TRAVORN_COMMON_FILES_HPP

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace travorn_detail {

// Size of `file_name` when it is a regular file; -1 when its length cannot
// be known (a pipe, a device).
inline std::int64_t regular_file_size(const char* file_name) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file_name, ec)) return -1;
  const auto size = std::filesystem::file_size(file_name, ec);
  return ec ? -1 : static_cast<std::int64_t>(size);
}

// Bytes of a file of `file_size` bytes after `position`; -1 when either is
// unknown (-1), as for a pipe.
inline std::int64_t bytes_after(std::int64_t file_size, std::int64_t position) {
  if (file_size < 0 || position < 0) return -1;
  return file_size > position ? file_size - position : 0;
}

// Closes an output file a writer is done with. False when a write or the
// close failed: the file is then removed when it is a regular one (its old
// contents were lost when it was opened, and a file cut short must not
// look like a picture); devices, pipes and symbolic links are left alone.
inline bool close_output(std::ofstream& out, const char* file_name) {
  out.flush();
  const bool written = static_cast<bool>(out);
  out.close();
  if (written && out) return true;
  std::error_code ec;
  if (std::filesystem::symlink_status(file_name, ec).type() ==
      std::filesystem::file_type::regular) {
    std::filesystem::remove(file_name, ec);
  }
  return false;
}

}  // namespace travorn_detail

#endif  // TRAVORN_COMMON_FILES_HPP
