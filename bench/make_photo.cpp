// SPDX-License-Identifier: MIT
// Writes a photo-like binary PPM (P6) picture: smooth light, edges, texture
// and sensor noise, so that samples take one to three (or five) digits as in
// a real photograph. Usage: make_photo WIDTH HEIGHT MAXVAL OUT.ppm
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char* argv[]) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: make_photo WIDTH HEIGHT MAXVAL OUT.ppm\n");
    return 1;
  }
  const long width = std::atol(argv[1]);
  const long height = std::atol(argv[2]);
  const long maxval = std::atol(argv[3]);
  std::FILE* out = std::fopen(argv[4], "wb");
  if (out == nullptr || width < 1 || height < 1 || maxval < 1 || maxval > 65535) return 1;
  std::fprintf(out, "P6\n%ld %ld\n%ld\n", width, height, maxval);
  const int bytes = maxval > 255 ? 2 : 1;
  std::vector<unsigned char> row(std::size_t(width) * 3 * bytes);
  std::uint32_t seed = 12345;
  for (long i = 0; i < height; ++i) {
    const double y = double(i) / double(height);
    unsigned char* p = row.data();
    for (long j = 0; j < width; ++j) {
      const double x = double(j) / double(width);
      seed = seed * 1664525u + 1013904223u;
      const double noise = double(seed >> 24) / 255.0 - 0.5;
      const double light = 0.55 + 0.35 * std::sin(3.1 * x + 1.7 * y) * std::cos(2.3 * y);
      const double edge = (x - 0.6) * (x - 0.6) + (y - 0.4) * (y - 0.4) < 0.04 ? 0.25 : 0.0;
      const double texture = 0.08 * std::sin(90.0 * x) * std::sin(70.0 * y);
      const double channel[3] = {light + edge + texture, 0.9 * light + texture - edge / 2,
                                 0.7 * light + 0.2 * y - texture};
      for (double c : channel) {
        c = std::fmin(1.0, std::fmax(0.0, c + 0.04 * noise));
        const long v = std::lround(c * double(maxval));
        if (bytes == 2) *p++ = static_cast<unsigned char>(v >> 8);
        *p++ = static_cast<unsigned char>(v & 0xFF);
      }
    }
    std::fwrite(row.data(), 1, row.size(), out);
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
