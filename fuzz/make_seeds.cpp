// SPDX-License-Identifier: MIT
// Writes the fuzzers' seed corpus: small files from the project's own writers,
// then the same files damaged by hand. Run from the repository root:
//   build/fuzz/make_seeds fuzz/corpus
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bmp/bmp.hpp"
#include "ppma/ppma.hpp"

namespace {
using Bytes = std::vector<unsigned char>;

Bytes load(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void save(const std::filesystem::path& name, const Bytes& bytes) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void save_text(const std::filesystem::path& name, const std::string& text) {
  save(name, Bytes(text.begin(), text.end()));
}

void put32(Bytes* file, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) (*file)[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

void put16(Bytes* file, std::size_t at, std::uint16_t value) {
  (*file)[at] = static_cast<unsigned char>(value);
  (*file)[at + 1] = static_cast<unsigned char>(value >> 8);
}
}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) return 2;
  const std::filesystem::path root = argv[1];
  const auto ppma = root / "ppma_read_fuzzer";
  const auto bmp = root / "bmp_read_fuzzer";
  const auto print = root / "bmp_print_fuzzer";
  for (const auto& dir : {ppma, bmp, print}) std::filesystem::create_directories(dir);

  // P3 text from the writer, then damaged.
  const int32_t r[6] = {255, 0, 7, 300, 1, 2}, g[6] = {0, 255, 8, 0, 3, 4},
                b[6] = {0, 0, 9, 5, 5, 6};
  const std::string tmp = (std::filesystem::temp_directory_path() / "travorn-seed").string();
  ppma_write((tmp + ".ppm").c_str(), 3, 2, r, g, b);
  Bytes text = load(tmp + ".ppm");
  save(ppma / "written-3x2.ppm", text);
  save(ppma / "truncated.ppm", Bytes(text.begin(), text.end() - 5));
  save_text(ppma / "one-line-header.ppm", "P3 2 1 255 1 2 3 4 5 6\n7 8 9 10 11 12\n");
  save_text(ppma / "comments-everywhere.ppm", "# a\nP3\n# b\n2\n# c\n1\n\n255\n1 2 3\n4 5 6\n");
  save_text(ppma / "huge-size.ppm", "P3\n40000 40000\n255\n1 2 3\n");
  save_text(ppma / "negative-size.ppm", "P3\n-3 2\n255\n1 2 3\n");
  save_text(ppma / "zero-by-max.ppm", "P3\n0 2147483647\n255\n");
  save_text(ppma / "out-of-range.ppm", "P3\n2 99999999999\n255\n");
  save_text(ppma / "bad-samples.ppm", "P3\n2 2\n15\n1 x 3 1.5 0x10 --1\n# 2147483648 +7 -0\n");
  save_text(ppma / "maxval-65535.ppm", "P3\n1 2\n65535\n65535 32768 0\n1 2 3\n");
  save_text(ppma / "no-final-newline.ppm", "P3\n1 1\n255\n1 2 3");
  save_text(ppma / "bad-magic.ppm", "P6\n1 1\n255\n\x01\x02\x03");
  save_text(ppma / "long-line.ppm", "P3\n#" + std::string(3000, 'c') + "\n1 1 255\n1 2 3\n");

  // BMP files from both writers, then damaged.
  const unsigned char pr[15] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  bmp_24_write((tmp + "24.bmp").c_str(), 5, 3, pr, pr, pr);
  bmp_08_write((tmp + "08.bmp").c_str(), 5, 3, pr);
  const Bytes b24 = load(tmp + "24.bmp");
  const Bytes b08 = load(tmp + "08.bmp");
  std::vector<std::pair<std::string, Bytes>> seeds = {{"written-24.bmp", b24},
                                                      {"written-08.bmp", b08}};
  auto damaged = [&](const std::string& name, const Bytes& base, auto change) {
    Bytes copy = base;
    change(&copy);
    seeds.emplace_back(name, copy);
  };
  damaged("cut-in-header.bmp", b24, [](Bytes* f) { f->resize(30); });
  damaged("cut-in-pixels.bmp", b24, [](Bytes* f) { f->resize(70); });
  damaged("cut-in-padding.bmp", b24, [](Bytes* f) { f->pop_back(); });
  damaged("cut-in-palette.bmp", b08, [](Bytes* f) { f->resize(300); });
  damaged("huge-size.bmp", b24, [](Bytes* f) {
    put32(f, 18, 65536);
    put32(f, 22, 65536);
  });
  damaged("height-min.bmp", b24, [](Bytes* f) { put32(f, 22, 0x80000000u); });
  damaged("negative-height.bmp", b24, [](Bytes* f) { put32(f, 22, 0xFFFFFFFDu); });
  damaged("depth-32.bmp", b24, [](Bytes* f) { put16(f, 28, 32); });
  damaged("depth-1.bmp", b08, [](Bytes* f) { put16(f, 28, 1); });
  damaged("compressed.bmp", b08, [](Bytes* f) { put32(f, 30, 1); });
  damaged("palette-too-large.bmp", b08, [](Bytes* f) { put32(f, 46, 0xFFFFFFFFu); });
  damaged("header-124.bmp", b24, [](Bytes* f) { put32(f, 14, 124); });
  damaged("offset-far.bmp", b24, [](Bytes* f) { put32(f, 10, 0xFFFFFFF0u); });
  damaged("magic-mb.bmp", b24, [](Bytes* f) {
    (*f)[0] = 'M';
    (*f)[1] = 'B';
  });
  for (const auto& [name, bytes] : seeds) {
    save(bmp / name, bytes);
    save(print / name, bytes);
  }
  std::remove((tmp + ".ppm").c_str());
  std::remove((tmp + "24.bmp").c_str());
  std::remove((tmp + "08.bmp").c_str());
  return 0;
}
