// Entry point of travorn: banner, the two file names, the outcome.
#include <iostream>
#include <string>

#include "app/travorn.hpp"

namespace {
// Shows the prompt and reads one whole line; false when the input has ended
// (also after a last line without a newline).
bool prompt(const char* question, std::string* name) {
  std::cout << "\n"
            << "TRAVORN:\n"
            << question << std::flush;
  std::getline(std::cin, *name);
  return !std::cin.eof();
}
}  // namespace

int main(int argc, char* argv[]) {
  timestamp();
  std::cout << "\n"
            << "TRAVORN:\n"
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
    std::cout << "\n"
              << "TRAVORN - Fatal error!\n"
              << "  The conversion was not successful.\n";
    return 1;
  }
  std::cout << "\n"
            << "TRAVORN:\n"
            << "  Normal end of execution.\n"
            << "\n";
  timestamp();
  return 0;
}
