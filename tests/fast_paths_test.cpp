// SPDX-License-Identifier: MIT
// The fast reader and converter against the plain design (oracle.cpp), on
// valid pictures that reach every fast path (tokens of one to eight digits
// and longer ones, every way of cutting a token at a chunk's end, the
// rescale by multiplication, planes that grow with a pipe) and on damaged
// ones.
#include <gtest/gtest.h>

#if defined(__unix__)
#include <sys/stat.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <random>
#include <sstream>
#include <thread>

#include "app/travorn.hpp"
#include "common/files.hpp"
#include "common/instruction_set.hpp"
#include "oracle.hpp"
#include "ppma/ppma.hpp"
#include "ppma/ppma_scale.hpp"

std::string kernel_name(travorn_detail::InstructionSet set);  // kernels_test.cpp

namespace {

std::string read_file(const std::string& name) {
  std::ostringstream text;
  text << std::ifstream(name, std::ios::binary).rdbuf();
  return text.str();
}

void write_file(const std::string& name, const std::string& text) {
  std::ofstream(name, std::ios::binary) << text;
}

// Each test once for every parser kernel that this build and this
// processor can run, the others skipped.
class FastPaths : public ::testing::TestWithParam<travorn_detail::InstructionSet> {
 protected:
  void SetUp() override {
    if (!travorn_detail::use_instruction_set(GetParam()))
      GTEST_SKIP() << "not in this build, or not here";
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    travorn_detail::use_instruction_set(before_);  // the one decision as it was
    std::filesystem::remove_all(dir_);
  }
  std::string path(const char* name) const { return (dir_ / name).string(); }

  // Converts and reads `text` with the fast code, from a file or, with
  // `fifo`, from a pipe that a thread feeds; both must agree with the plain
  // design: equal bytes and planes, or both refuse it.
  void expect_same(const std::string& text, const std::string& what, const std::string& fifo = "",
                   bool valid = true) {
    write_file(path("plain.ppm"), text);
    OracleImage image;
    const bool readable = oracle_read(path("plain.ppm"), &image);
    ASSERT_TRUE(readable || !valid) << what << ": the plain design refuses a valid picture";
    const std::string from = fifo.empty() ? path("plain.ppm") : fifo;
    auto feed = [&] { return fifo.empty() ? std::thread() : std::thread(write_file, fifo, text); };
    std::ostringstream quiet;
    std::streambuf* const console = std::cout.rdbuf(quiet.rdbuf());
    std::thread writer = feed();
    const int converted = travorn(from.c_str(), path("out.bmp").c_str());
    if (writer.joinable()) writer.join();
    writer = feed();
    int32_t x = 0, y = 0, maxrgb = 0, *r = nullptr, *g = nullptr, *b = nullptr;
    const int read = ppma_read(from.c_str(), &x, &y, &maxrgb, &r, &g, &b);
    if (writer.joinable()) writer.join();
    std::cout.rdbuf(console);
    const std::vector<int32_t> planes[3] = {{r, r + (read == 0 ? image.r.size() : 0)},
                                            {g, g + (read == 0 ? image.g.size() : 0)},
                                            {b, b + (read == 0 ? image.b.size() : 0)}};
    for (int32_t* plane : {r, g, b}) delete[] plane;
    const bool convertible = readable && oracle_converts(image);
    ASSERT_EQ(converted, convertible ? 0 : 1) << what;
    ASSERT_EQ(read, readable ? 0 : 1) << what;
    EXPECT_EQ(travorn_detail::unfinished_output.name.load(), nullptr) << what << ": unfinished";
    if (convertible) EXPECT_EQ(read_file(path("out.bmp")), oracle_bmp(image)) << what;
    if (readable) {
      EXPECT_TRUE(planes[0] == image.r && planes[1] == image.g && planes[2] == image.b) << what;
    }
  }

  const travorn_detail::InstructionSet before_ = travorn_detail::instruction_set();
  const std::filesystem::path dir_ =
      std::filesystem::temp_directory_path() /
      ("travorn-" + kernel_name(GetParam()) + "-" + std::to_string(std::random_device()()));
};

// The text of a P3 picture of w x h pixels whose samples, drawn with `seed`
// from -5 to maxrgb + 5, reach both ends of the range. With `odd`, any
// valid spelling: signs, leading zeros after them, the extremes of 32 bits,
// runs of every kind of white space, some very long.
std::string picture(int w, int h, int maxrgb, unsigned seed, bool odd,
                    const std::string& comment = "") {
  std::mt19937 random(seed);
  std::ostringstream text;
  text << "P3\n# " << comment << "\n" << w << " " << h << "\n" << maxrgb << "\n";
  const char* const spaces[] = {" ", "\n", "\t", "  ", "\r\n", " \v ", "\f"};
  for (long k = 0; k < 3L * w * h; ++k) {
    const long v = long(random() % (unsigned(maxrgb) + 11)) - 5;
    if (odd && random() % 5000 == 0) text << (random() % 2 ? "-2147483648" : "2147483647") << " ";
    text << (v < 0                       ? "-"
             : odd && random() % 50 == 0 ? "+"
                                         : "")
         << (odd && random() % 80 == 0 ? "0000000000000" : "") << std::labs(v)
         << (odd ? spaces[random() % 7] : " ");
    if (odd && random() % 20000 == 0) text << std::string(random() % 70000, ' ');
  }
  text << "\n";
  return text.str();
}

}  // namespace

TEST_P(FastPaths, ValidPicturesOfEveryKind) {
  const struct {
    int w, h, maxrgb;
    bool odd;
    const char* what;
  } cases[] = {
      // Rows of 3069 pixel bytes and 3 of padding: a BMP writer that kept no
      // room for the padding would write it past its 256 KiB block.
      {1023, 358, 255, false, "over a million samples, one blank between them"},
      {699, 521, 255, true, "over a million samples, every valid spelling"},
      {517, 97, 15, true, "maxrgb 15: the rescale by multiplication"},
      {301, 203, 65535, false, "maxrgb 65535: five digits"},
      {64, 4097, 1, true, "tall, maxrgb 1"},
      {300, 200, 1 << 20, false, "maxrgb 2^20: the largest rescaled by multiplication"},
      {300, 200, (1 << 20) + 1, false, "maxrgb 2^20 + 1: by division"},
      {300, 200, 9999, true, "maxrgb 9999: four digits, every spelling"},
      {200, 100, 99999999, false, "eight digits"},
      {200, 100, 99999999, true, "eight digits, every spelling"},
      {200, 100, 999999999, false, "nine digits"},
      {5, 3, 0, true, "maxrgb 0: read, not converted"},
      {13, 50, 255, true, "rows of 13 pixels: every length of a row's piece"},
      // Rows of 270003 bytes: wider than the converter's block of rows, so
      // written in pieces, the padding with the last.
      {90001, 3, 255, false, "rows wider than a block"},
  };
  for (const auto& c : cases) expect_same(picture(c.w, c.h, c.maxrgb, 7, c.odd), c.what);
  // Chunks are 64 KiB: a comment of every length from 0 to 11 moves the
  // samples so that the chunks' ends cut tokens of one to eleven characters
  // at every place, and fall on white space too.
  for (int shift = 0; shift < 12; ++shift) {
    expect_same(picture(220, 110, 65535, 9, true, std::string(std::size_t(shift), 'x')),
                "tokens cut by the chunks' ends, comment of " + std::to_string(shift));
  }
}

TEST_P(FastPaths, BothRefuseTheSameDamage) {
  const std::string text = picture(200, 200, 255, 5, true);
  std::mt19937 random(6);
  for (int trial = 0; trial < 40; ++trial) {
    std::string damaged = text;
    const std::size_t at = 30 + random() % (damaged.size() - 30);
    const char junk[] = {'x', '#', '.', '-', '+', '9', '\0', ' '};
    damaged[at] = junk[random() % 8];
    if (trial % 5 == 0) damaged.resize(at);
    expect_same(damaged, "damage at " + std::to_string(at), "", false);
  }
  expect_same(text.substr(0, text.size() - 1), "no final newline", "", false);
  expect_same(text + "1 2 3 junk\n", "extra tokens after the last sample");
  expect_same(picture(3, 2, 255, 1, false) + "99999999999", "a long token after the last sample");
}

// From a pipe, the planes of a large image grow as the samples arrive: past
// the first step of a million pixels, the samples read so far must be kept.
TEST_P(FastPaths, APipeGrowsThePlanesPastTheFirstStep) {
#if defined(__unix__)
  const std::string fifo = path("fifo");
  if (::mkfifo(fifo.c_str(), 0600) != 0) GTEST_SKIP() << "no FIFO here";
  expect_same(picture(1100, 1000, 255, 11, false), "a pipe", fifo);
#else
  GTEST_SKIP() << "no FIFO on this platform";
#endif
}

// The plain byte function of each rescale class (the multiplication, the
// 16-bit formula of 65535; the vector steps are the row kernels' tests)
// against scale_sample's division: every sample of the small and the
// common maxima and of the largest, and for every maximum the samples at
// both ends, beyond them and about the middle.
TEST(Rescale, EveryClassEqualsTheDivision) {
  std::int64_t checked = 0;
  std::string first_wrong;
  const auto check = [&](const ppma_detail::Rescale& rescale, std::int32_t v) {
    ++checked;
    rescale.visit([&](auto byte) {
      if (first_wrong.empty() && byte(v) != ppma_detail::scale_sample(v, rescale.maxrgb))
        first_wrong = "maxrgb " + std::to_string(rescale.maxrgb) + ", sample " + std::to_string(v);
    });
  };
  constexpr std::int32_t kLargest = ppma_detail::SampleScaler::kLargest;
  std::vector<std::int32_t> whole = {65535, 65536, 1000003, kLargest - 1, kLargest};
  for (std::int32_t top = 1; top <= 1024; ++top) whole.push_back(top);
  for (const std::int32_t top : whole) {
    const ppma_detail::Rescale rescale(top);
    for (std::int32_t v = -2; v <= top + 2; ++v) check(rescale, v);
  }
  for (std::int32_t top = 1; top <= kLargest; ++top) {
    const ppma_detail::Rescale rescale(top);
    for (const std::int32_t v : {std::numeric_limits<std::int32_t>::min(), 0, top / 2, top / 2 + 1,
                                 top, std::numeric_limits<std::int32_t>::max()}) {
      check(rescale, v);
    }
  }
  EXPECT_EQ(first_wrong, "") << "of " << checked << " samples";
}

INSTANTIATE_TEST_SUITE_P(Kernel, FastPaths,
                         ::testing::Values(travorn_detail::InstructionSet::kPortable,
                                           travorn_detail::InstructionSet::kSse2,
                                           travorn_detail::InstructionSet::kSsse3,
                                           travorn_detail::InstructionSet::kAvx2),
                         [](const auto& info) { return kernel_name(info.param); });
