// SPDX-License-Identifier: MIT
// convert IN.ppm OUT.bmp: travorn's conversion routine called from a program,
// with travorn's reports on standard output and its outcome as the status.
#include "app/travorn.hpp"

int main(int argc, char* argv[]) {
  if (argc != 3) return 2;
  return travorn(argv[1], argv[2]);  // 0 when converted, 1 after the reports
}
