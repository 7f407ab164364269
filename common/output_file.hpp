// What a writer does with the file it could not finish. Header-only and
// private to the project.
#ifndef TRAVORN_COMMON_OUTPUT_FILE_HPP
#define TRAVORN_COMMON_OUTPUT_FILE_HPP

#include <filesystem>
#include <system_error>

namespace travorn_detail {

// Removes the regular file `file_name` that a failed write has left behind
// cut short: its old contents were lost when it was opened for writing.
// Devices, pipes and symbolic links are left alone.
inline void remove_unfinished(const char* file_name) {
  std::error_code ec;
  if (std::filesystem::symlink_status(file_name, ec).type() ==
      std::filesystem::file_type::regular) {
    std::filesystem::remove(file_name, ec);
  }
}

}  // namespace travorn_detail

#endif  // TRAVORN_COMMON_OUTPUT_FILE_HPP
