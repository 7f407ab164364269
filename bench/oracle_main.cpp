// SPDX-License-Identifier: MIT
// travorn_oracle IN.ppm OUT.bmp: the plain design of the conversion, for the
// benchmark's check that the fast converter writes the same bytes.
#include <fstream>

#include "oracle.hpp"

int main(int argc, char* argv[]) {
  if (argc != 3) return 2;
  OracleImage image;
  if (!oracle_read(argv[1], &image)) return 1;
  std::ofstream out(argv[2], std::ios::binary);
  out << oracle_bmp(image);
  return out ? 0 : 1;
}
