// The fast reader and converter against the plain design, on valid pictures
// that reach every fast path (long and short tokens, every way of cutting a
// token at a chunk's end, the rescale table, planes that grow with a pipe)
// and on damaged ones.
#include <sys/stat.h>

#include <random>
#include <sstream>
#include <thread>

#include "app/travorn.hpp"
#include "oracle.hpp"
#include "ppma/ppma.hpp"
#include "support.hpp"

namespace {
class Oracle : public TempDirTest {
 protected:
  // Converts and reads `file` (written from `text` first, unless it is a
  // pipe fed by the caller) with the fast code; both must agree with the
  // plain design on `text`: equal bytes and planes, or both refuse it.
  void expect_same(const std::string& text, const std::string& what) {
    write_text(path("in.ppm"), text);
    OracleImage image;
    const bool readable = oracle_read(path("in.ppm"), &image);
    CoutCapture quiet;
    ASSERT_EQ(travorn(path("in.ppm").c_str(), path("out.bmp").c_str()), readable ? 0 : 1) << what;
    int32_t xsize = 0, ysize = 0, maxrgb = 0;
    int32_t *r = nullptr, *g = nullptr, *b = nullptr;
    const int status = ppma_read(path("in.ppm").c_str(), &xsize, &ysize, &maxrgb, &r, &g, &b);
    const std::vector<int32_t> planes[3] = {as_vector(r, xsize, ysize), as_vector(g, xsize, ysize),
                                            as_vector(b, xsize, ysize)};
    delete[] r;
    delete[] g;
    delete[] b;
    ASSERT_EQ(status, readable ? 0 : 1) << what;
    if (!readable) return;
    EXPECT_EQ(read_text(path("out.bmp")), oracle_bmp(image)) << what;
    EXPECT_TRUE(planes[0] == image.r && planes[1] == image.g && planes[2] == image.b) << what;
  }

  static std::vector<int32_t> as_vector(const int32_t* plane, int32_t xsize, int32_t ysize) {
    if (plane == nullptr) return {};
    return std::vector<int32_t>(plane, plane + std::size_t(xsize) * std::size_t(ysize));
  }
};

// The text of a P3 picture of w x h pixels whose samples, drawn with `seed`
// from -5 to maxrgb + 5, reach both ends of the range. With `odd`, any
// valid spelling: signs, leading zeros, the extremes of 32 bits, runs of
// every kind of white space, some very long.
std::string picture(int w, int h, int maxrgb, unsigned seed, bool odd,
                    const std::string& comment = "") {
  std::mt19937 random(seed);
  std::ostringstream text;
  text << "P3\n# " << comment << "\n" << w << " " << h << "\n" << maxrgb << "\n";
  const char* const spaces[] = {" ", "\n", "\t", "  ", "\r\n", " \v ", "\f"};
  for (long k = 0; k < 3L * w * h; ++k) {
    const long v = long(random() % (unsigned(maxrgb) + 11)) - 5;
    if (odd && random() % 50 == 0) text << "+";
    if (odd && random() % 80 == 0) text << "0000000000000";
    if (odd && random() % 5000 == 0) text << (random() % 2 ? "-2147483648" : "2147483647") << " ";
    text << v << (odd ? spaces[random() % 7] : " ");
    if (odd && random() % 20000 == 0) text << std::string(random() % 70000, ' ');
  }
  text << "\n";
  return text.str();
}
}  // namespace

TEST_F(Oracle, ValidPicturesOfEveryKind) {
  const struct {
    int w, h, maxrgb;
    bool odd;
    const char* what;
  } cases[] = {
      {700, 520, 255, false, "over a million samples, one blank between them"},
      {699, 521, 255, true, "over a million samples, every valid spelling"},
      {517, 97, 15, true, "maxrgb 15: the table"},
      {301, 203, 65535, false, "maxrgb 65535: five digits, the table"},
      {64, 4097, 1, true, "tall, maxrgb 1"},
      {300, 200, 1 << 20, false, "maxrgb 2^20: the largest table"},
      {300, 200, (1 << 20) + 1, false, "maxrgb 2^20 + 1: no table"},
      {5, 3, 0, true, "maxrgb 0: every byte 0"},
  };
  for (const auto& c : cases) expect_same(picture(c.w, c.h, c.maxrgb, 7, c.odd), c.what);
}

// Chunks are 64 KiB: a comment of every length from 0 to 11 moves the
// samples so that the chunks' ends cut tokens of one to eleven characters
// at every place, and fall on white space too.
TEST_F(Oracle, TokensCutAtEveryPlaceByTheChunksEnds) {
  for (int shift = 0; shift < 12; ++shift) {
    expect_same(picture(220, 110, 65535, 9, true, std::string(std::size_t(shift), 'x')),
                "comment of " + std::to_string(shift));
  }
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
  expect_same(text.substr(0, text.size() - 1), "no final newline");
  expect_same(text + "1 2 3 junk\n", "extra tokens after the last sample");
  expect_same(picture(3, 2, 255, 1, false) + "99999999999", "a long token after the last sample");
}

// From a pipe, the planes of a large image grow as the samples arrive: past
// the first step of a million pixels, the samples read so far must be kept.
TEST_F(Oracle, APipeGrowsThePlanesPastTheFirstStep) {
  const std::string fifo = path("fifo");
  if (::mkfifo(fifo.c_str(), 0600) != 0) GTEST_SKIP() << "no FIFO on this platform";
  const std::string text = picture(1100, 1000, 255, 11, false);
  write_text(path("in.ppm"), text);
  OracleImage image;
  ASSERT_TRUE(oracle_read(path("in.ppm"), &image));

  std::thread writer([&] { write_text(fifo, text); });
  CoutCapture quiet;
  const int converted = travorn(fifo.c_str(), path("out.bmp").c_str());
  writer.join();
  ASSERT_EQ(converted, 0);
  EXPECT_EQ(read_text(path("out.bmp")), oracle_bmp(image));

  writer = std::thread([&] { write_text(fifo, text); });
  int32_t xsize = 0, ysize = 0, maxrgb = 0;
  int32_t *r = nullptr, *g = nullptr, *b = nullptr;
  const int read = ppma_read(fifo.c_str(), &xsize, &ysize, &maxrgb, &r, &g, &b);
  writer.join();
  ASSERT_EQ(read, 0);
  const std::size_t n = image.r.size();
  EXPECT_TRUE(std::equal(r, r + n, image.r.begin()) && std::equal(g, g + n, image.g.begin()) &&
              std::equal(b, b + n, image.b.begin()));
  delete[] r;
  delete[] g;
  delete[] b;
}
