// The fast converter against the plain design, on pictures whose tokens
// fall across the reader's chunk boundaries in every way.
#include <random>
#include <sstream>

#include "app/travorn.hpp"
#include "oracle.hpp"
#include "support.hpp"

namespace {
class Oracle : public TempDirTest {
 protected:
  // Converts `text` with both designs: equal bytes, or both refuse it.
  void expect_same(const std::string& text, const std::string& what) {
    write_text(path("in.ppm"), text);
    OracleImage image;
    const bool readable = oracle_read(path("in.ppm"), &image);
    CoutCapture quiet;
    const int status = travorn(path("in.ppm").c_str(), path("out.bmp").c_str());
    ASSERT_EQ(status, readable ? 0 : 1) << what;
    if (readable) {
      const Bytes got = read_bytes(path("out.bmp"));
      ASSERT_EQ(std::string(got.begin(), got.end()), oracle_bmp(image)) << what;
    }
  }
};

// A picture of w x h pixels whose samples and white space vary with `seed`.
std::string picture(int w, int h, int maxrgb, unsigned seed, bool odd_spacing) {
  std::mt19937 random(seed);
  std::ostringstream text;
  text << "P3\n# made by the test\n" << w << " " << h << "\n" << maxrgb << "\n";
  const char* const spaces[] = {" ", "\n", "\t", "  ", "\r\n", " \v ", "\f"};
  for (int k = 0; k < 3 * w * h; ++k) {
    const int v = static_cast<int>(random() % (maxrgb + 11)) - 5;
    if (odd_spacing && random() % 50 == 0) text << "+";
    if (odd_spacing && random() % 80 == 0) text << "0000000000000";
    text << v << (odd_spacing ? spaces[random() % 7] : " ");
    if (odd_spacing && random() % 1000 == 0) text << std::string(random() % 70000, ' ');
  }
  text << "\n";
  return text.str();
}
}  // namespace

TEST_F(Oracle, SameBytesAcrossChunkBoundaries) {
  expect_same(picture(301, 203, 255, 1, false), "plain 255");
  expect_same(picture(299, 211, 65535, 2, true), "odd spacing 65535");
  expect_same(picture(517, 97, 15, 3, true), "odd spacing 15");
  expect_same(picture(64, 4097, 1, 4, true), "tall, maxrgb 1");
}

TEST_F(Oracle, BothRefuseTheSameDamage) {
  std::string text = picture(200, 200, 255, 5, true);
  std::mt19937 random(6);
  for (int trial = 0; trial < 40; ++trial) {
    std::string damaged = text;
    const std::size_t at = 30 + random() % (damaged.size() - 30);
    const char junk[] = {'x', '#', '.', '-', '+', '9', '\0', ' '};
    damaged[at] = junk[random() % 8];
    if (trial % 5 == 0) damaged.resize(at);
    expect_same(damaged, "damage at " + std::to_string(at));
  }
}

// Pictures of more than a million samples are read on two threads, cut at
// three fifths of the data: damage anywhere, and near the cut above all,
// must be decided exactly as the one-thread read decides it.
TEST_F(Oracle, TwoThreadReadDecidesLikeTheOneThreadRead) {
  const std::string text = picture(700, 520, 255, 8, true);
  const std::size_t data = text.find("255\n") + 4;
  const std::size_t cut = data + (text.size() - data) / 5 * 3;
  expect_same(text, "whole");
  expect_same(text + "1 2 3 junk\n", "extra tokens after the last sample");
  expect_same(text.substr(0, text.size() - 1), "no final newline");
  expect_same(text.substr(0, cut), "the file ends at the cut");
  for (const std::ptrdiff_t offset : {-3, -1, 0, 1, 2, 5}) {
    for (const char junk : {'x', ' ', '7', '\n'}) {
      std::string damaged = text;
      damaged[cut + offset] = junk;
      expect_same(damaged, "'" + std::string(1, junk) + "' at the cut " + std::to_string(offset));
    }
  }
  std::string early = text;
  early[data + 10] = '#';
  expect_same(early, "bad token early");
  std::string late = text;
  late[text.size() - 4] = '.';
  expect_same(late, "bad token late");
  std::string spaced = text;
  spaced.insert(cut, std::string(100000, ' '));  // the cut falls in a long run of blanks
  expect_same(spaced, "blanks across the cut");
}
