// SPDX-License-Identifier: MIT
// The floor for any P3 reader: read the file in chunks and sum every sample,
// with no planes, no checks and no output. Usage: bare_parse FILE.ppm
#include <cstdint>
#include <cstdio>
#include <vector>

int main(int argc, char* argv[]) {
  if (argc != 2) return 1;
  std::FILE* in = std::fopen(argv[1], "rb");
  if (in == nullptr) return 1;
  std::vector<char> chunk(1 << 18);
  std::uint64_t sum = 0, count = 0, value = 0;
  bool in_number = false;
  std::size_t got = 0;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), in)) > 0) {
    for (std::size_t i = 0; i < got; ++i) {
      const unsigned d = static_cast<unsigned char>(chunk[i]) - '0';
      if (d < 10) {
        value = value * 10 + d;
        in_number = true;
      } else if (in_number) {
        sum += value;
        ++count;
        value = 0;
        in_number = false;
      }
    }
  }
  std::fclose(in);
  // The header's three numbers are counted too; that is noise at this size.
  std::printf("%llu samples, sum %llu\n", static_cast<unsigned long long>(count),
              static_cast<unsigned long long>(sum));
  return 0;
}
