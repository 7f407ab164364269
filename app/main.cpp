// SPDX-License-Identifier: MIT
// Entry point of travorn: banner, the two file names, the outcome.
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "app/travorn.hpp"
#include "common/files.hpp"
#include "common/platform.hpp"
#include "common/report.hpp"
#include "travorn_version.hpp"

namespace {
// Shows the prompt and reads one whole line, without the carriage return
// of a CR LF line end; false when the input has ended (also after a last
// line without a newline).
bool prompt(const char* question, std::string* name) {
  travorn_detail::report("TRAVORN:\n") << question;
  std::getline(std::cin, *name);
  if (!name->empty() && name->back() == '\r') name->pop_back();
  return !std::cin.eof();
}

constexpr const char* kUsage =
    "Usage: travorn [INPUT.ppm [OUTPUT.bmp]]\n"
    "\n"
    "Converts a NetPBM ASCII PPM image (magic P3) into an uncompressed 24-bit BMP file.\n"
    "A name that the command line does not give is asked for on standard input,\n"
    "after \"Please enter the input PPMA file name:\" and\n"
    "\"Please enter the output BMP file name:\". An existing output is replaced only\n"
    "when it is a BMP file, and only once the new picture is whole.\n"
    "\n"
    "Exit status: 0 when the picture was converted; 1 when it was not, or when\n"
    "standard input ended at a prompt.\n"
    "\n"
    "  -h, --help   show this help and exit\n"
    "  --version    show the version and exit\n"
    "\n"
    "Where a file of that name exists, these words name the input instead.\n"
    "See man travorn for the details.\n";

// The answer to --help, -h or --version as the only word of the command
// line that matters, or null: also when a file or folder of that name
// exists, since the argument then names the input.
const char* answer(int argc, char* argv[]) {
  if (argc < 2) return nullptr;
  const char* const word = argv[1];
  const bool help = std::strcmp(word, "--help") == 0 || std::strcmp(word, "-h") == 0;
  const bool version = std::strcmp(word, "--version") == 0;
  std::error_code ec;
  if ((!help && !version) || std::filesystem::exists(std::filesystem::symlink_status(word, ec))) {
    return nullptr;
  }
  return help ? kUsage : "travorn " TRAVORN_VERSION_STRING "\n";
}

// An interrupted run leaves no picture cut short: the output being written
// is removed, then the signal ends the process as it would have.
void interrupted(int signal_number) {
  travorn_detail::remove_unfinished();
  travorn_detail::die_of(signal_number);
}
}  // namespace

int main(int argc, char* argv[]) {
  if (const char* text = answer(argc, argv)) {
    std::cout << text;
    return 0;
  }
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
