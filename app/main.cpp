// SPDX-License-Identifier: MIT
// Entry point of travorn: banner, the two file names, the outcome.
#include <iostream>
#include <string>

#include "app/travorn.hpp"
#include "common/files.hpp"
#include "common/platform.hpp"
#include "common/report.hpp"

namespace {
// Shows the prompt and reads one whole line, without the carriage return
// of a CR LF line end; false when the input has ended (also after a last
// line without a newline).
bool prompt(const char* question, std::string* name) {
  travorn_detail::report("TRAVORN:\n") << question << std::flush;
  std::getline(std::cin, *name);
  if (!name->empty() && name->back() == '\r') name->pop_back();
  return !std::cin.eof();
}

// An interrupted run leaves no picture cut short: the output being written
// is removed, then the signal ends the process as it would have.
void interrupted(int signal_number) {
  if (const char* unfinished = travorn_detail::unfinished_output.load()) {
    travorn_detail::unlink_now(unfinished);
  }
  travorn_detail::die_of(signal_number);
}
}  // namespace

int main(int argc, char* argv[]) {
  travorn_detail::handle_interruptions(interrupted);
  timestamp();
  travorn_detail::report("TRAVORN:\n")
      << "\n"
      << "  Compiled on " << __DATE__ << " at " << __TIME__ << ".\n"
      << "\n"
      << "  Convert a NetPBM ASCII PPM file to Microsoft BMP format.\n";

  std::string input_file_name = argc >= 2 ? argv[1] : "";
  std::string output_file_name = argc >= 3 ? argv[2] : "";
  if (argc < 2 && !prompt("  Please enter the input PPMA file name:\n", &input_file_name)) {
    return 1;
  }
  if (argc < 3 && !prompt("  Please enter the output BMP file name:\n", &output_file_name)) {
    return 1;
  }
  if (travorn(input_file_name.c_str(), output_file_name.c_str()) != 0) {
    travorn_detail::report("TRAVORN - Fatal error!\n") << "  The conversion was not successful.\n";
    return 1;
  }
  travorn_detail::report("TRAVORN:\n") << "  Normal end of execution.\n"
                                       << "\n";
  timestamp();
  return 0;
}
