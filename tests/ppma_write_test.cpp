#include <sstream>

#include "ppma/ppma.hpp"
#include "support.hpp"

namespace {
class PpmaWrite : public TempDirTest {
 protected:
  // Writes planes where pixel k is (k, 100 + k, 200 + k) and returns the file's text.
  std::string write(int32_t x, int32_t y, const std::string& name = "out.ppm") {
    const std::size_t n = x > 0 && y > 0 ? std::size_t(x) * y : 0;
    std::vector<int32_t> r(n + 1), g(n + 1), b(n + 1);
    for (std::size_t k = 0; k < n; ++k) {
      r[k] = int32_t(k);
      g[k] = int32_t(100 + k);
      b[k] = int32_t(200 + k);
    }
    CoutCapture capture;
    EXPECT_EQ(ppma_write(path(name).c_str(), x, y, r.data(), g.data(), b.data()), 0);
    EXPECT_EQ(capture.str(), "");
    return read_text(path(name));
  }
  std::string head(int32_t x, int32_t y, int32_t maxrgb, const std::string& name = "out.ppm") {
    return "P3\n# " + path(name) + " created by KELMORA::PPMA_WRITE.\n" + std::to_string(x) + "  " +
           std::to_string(y) + "\n" + std::to_string(maxrgb) + "\n";
  }
};

struct Check {
  int status;
  std::string report;
};

Check check(int32_t x, int32_t y, int32_t maxrgb, const int32_t* r, const int32_t* g,
            const int32_t* b) {
  CoutCapture capture;
  const int status = ppma_check_data(x, y, maxrgb, r, g, b);
  return {status, capture.str()};
}
}  // namespace

TEST_F(PpmaWrite, TwoByOne) {
  const int32_t r[2] = {255, 0}, g[2] = {0, 255}, b[2] = {0, 0};
  ASSERT_EQ(ppma_write(path("out.ppm").c_str(), 2, 1, r, g, b), 0);
  EXPECT_EQ(read_text(path("out.ppm")), head(2, 1, 255) + "255 0 0 0 255 0\n");
}

TEST_F(PpmaWrite, GroupsFourPixelsALineCountedAcrossRows) {
  EXPECT_EQ(write(4, 2), head(4, 2, 207) +
                             "0 100 200 1 101 201 2 102 202 3 103 203\n"
                             "4 104 204 5 105 205 6 106 206 7 107 207\n");
  EXPECT_EQ(write(5, 3), head(5, 3, 214) +
                             "0 100 200 1 101 201 2 102 202 3 103 203\n"
                             "4 104 204\n"
                             "5 105 205 6 106 206 7 107 207\n"
                             "8 108 208 9 109 209\n"
                             "10 110 210 11 111 211\n"
                             "12 112 212 13 113 213 14 114 214\n");
  EXPECT_EQ(write(1, 3), head(1, 3, 202) + "0 100 200\n1 101 201\n2 102 202\n");
}

TEST_F(PpmaWrite, EmptyImagesWriteTheHeaderAlone) {
  EXPECT_EQ(write(0, 3), head(0, 3, 0));
  EXPECT_EQ(write(3, 0), head(3, 0, 0));
  EXPECT_EQ(write(-2, 3), head(-2, 3, 0));
}

TEST_F(PpmaWrite, MaxrgbIsTheLargestSampleOfAllPlanesAndAtLeastZero) {
  const int32_t r[2] = {-5, 3}, g[2] = {300, -1}, b[2] = {7, 0};
  ASSERT_EQ(ppma_write(path("out.ppm").c_str(), 2, 1, r, g, b), 0);
  EXPECT_EQ(read_text(path("out.ppm")), head(2, 1, 300) + "-5 300 7 3 -1 0\n");
  const int32_t neg[1] = {-3};
  ASSERT_EQ(ppma_write(path("out.ppm").c_str(), 1, 1, neg, neg, neg), 0);
  EXPECT_EQ(read_text(path("out.ppm")), head(1, 1, 0) + "-3 -3 -3\n");
}

TEST_F(PpmaWrite, ReadsBackThroughTheReader) {
  for (const auto& [x, y] : {std::pair{1, 1}, {3, 7}, {64, 33}, {500, 3}}) {
    write(x, y);
    int32_t rx = 0, ry = 0, rm = 0;
    int32_t *r = nullptr, *g = nullptr, *b = nullptr;
    ASSERT_EQ(ppma_read(path("out.ppm").c_str(), &rx, &ry, &rm, &r, &g, &b), 0);
    EXPECT_EQ(rx, x);
    EXPECT_EQ(ry, y);
    EXPECT_EQ(rm, 200 + x * y - 1);
    bool same = true;
    for (int k = 0; k < x * y; ++k) same = same && r[k] == k && g[k] == 100 + k && b[k] == 200 + k;
    EXPECT_TRUE(same);
    delete[] r;
    delete[] g;
    delete[] b;
  }
  // The comment line holds the name: a path of 1000 characters still reads back.
  std::string long_name;
  while (path(long_name).size() < 1000 - 200) long_name += std::string(190, 'd') + "/";
  long_name += std::string(1000 - path(long_name).size() - 4, 'n') + ".ppm";
  ASSERT_EQ(path(long_name).size(), 1000u);
  std::filesystem::create_directories(std::filesystem::path(path(long_name)).parent_path());
  EXPECT_EQ(write(2, 2, long_name),
            head(2, 2, 203, long_name) + "0 100 200 1 101 201\n2 102 202 3 103 203\n");
  CoutCapture capture;
  EXPECT_EQ(ppma_read_test(path(long_name).c_str()), 0) << capture.str();
}

TEST_F(PpmaWrite, ReportsFailures) {
  const int32_t p[1] = {1};
  CoutCapture capture;
  EXPECT_EQ(ppma_write(path("no/dir.ppm").c_str(), 1, 1, p, p, p), 1);
  EXPECT_EQ(ppma_write("/dev/full", 1, 1, p, p, p), 1);
  EXPECT_EQ(ppma_write(path("null.ppm").c_str(), 1, 1, p, nullptr, p), 1);
  EXPECT_EQ(ppma_write(path("empty.ppm").c_str(), 0, 1, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(capture.str(),
            "\nPPMA_WRITE - Fatal error!\n  Cannot open the output file \"" + path("no/dir.ppm") +
                "\".\n"
                "\nPPMA_WRITE - Fatal error!\n  Error while writing the output file.\n"
                "\nPPMA_WRITE - Fatal error!\n  Null pointer to G.\n");
  EXPECT_FALSE(std::filesystem::exists(path("null.ppm")));
  EXPECT_FALSE(std::filesystem::exists(path("no")));
}

TEST(PpmaWriteFormat, HeaderAndDataOnAnyStream) {
  std::ostringstream out;
  const int32_t s[3] = {-2147483647 - 1, 2147483647, 0};
  EXPECT_EQ(ppma_write_header(out, "x.ppm", 3, 1, 9), 0);
  EXPECT_EQ(ppma_write_data(out, 3, 1, s, s, s), 0);
  EXPECT_EQ(out.str(),
            "P3\n# x.ppm created by KELMORA::PPMA_WRITE.\n3  1\n9\n"
            "-2147483648 -2147483648 -2147483648 2147483647 2147483647 2147483647 0 0 0\n");
}

TEST(PpmaCheckData, ReportsSizesAndNullPlanesFirst) {
  const int32_t p[4] = {0, 1, 2, 3};
  EXPECT_EQ(check(0, 5, 255, nullptr, nullptr, nullptr).report,
            "\nPPMA_CHECK_DATA: Error!\n  xsize <= 0.\n  xsize = 0\n");
  EXPECT_EQ(check(2, -3, 255, p, p, p).report,
            "\nPPMA_CHECK_DATA: Error!\n  ysize <= 0.\n  ysize = -3\n");
  EXPECT_EQ(check(2, 2, 255, nullptr, nullptr, p).report,
            "\nPPMA_CHECK_DATA: Error!\n  Null pointer to R.\n");
  EXPECT_EQ(check(2, 2, 255, p, nullptr, p).report,
            "\nPPMA_CHECK_DATA: Error!\n  Null pointer to G.\n");
  const Check b = check(2, 2, 255, p, p, nullptr);
  EXPECT_EQ(b.status, 1);
  EXPECT_EQ(b.report, "\nPPMA_CHECK_DATA: Error!\n  Null pointer to B.\n");
}

TEST(PpmaCheckData, ReportsTheFirstBadSamplePlaneByPlane) {
  const int32_t good[4] = {0, 255, 255, 0};
  const int32_t high_b[4] = {0, 256, 0, 0};
  const Check high = check(2, 2, 255, good, good, high_b);
  EXPECT_EQ(high.status, 1);
  EXPECT_EQ(high.report,
            "\nPPMA_CHECK_DATA - Fatal error!\n  Data exceeds MAXRGB = 255\n  B(1,0)=256\n");
  // R is scanned whole before G, though G's bad sample comes first in storage order.
  const int32_t late_r[4] = {0, 0, 0, -4};
  const int32_t early_g[4] = {999, 0, 0, 0};
  EXPECT_EQ(check(2, 2, 255, late_r, early_g, good).report,
            "\nPPMA_CHECK_DATA - Fatal error!\n  Negative data.\n  R(1,1)=-4\n");
  const int32_t g300[4] = {0, 0, 0, 300};
  EXPECT_EQ(check(4, 1, 255, good, g300, good).report,
            "\nPPMA_CHECK_DATA - Fatal error!\n  Data exceeds MAXRGB = 255\n  G(3,0)=300\n");
  EXPECT_EQ(check(2, 2, -1, good, good, good).report,
            "\nPPMA_CHECK_DATA - Fatal error!\n  Data exceeds MAXRGB = -1\n  R(0,0)=0\n");
  const Check pass = check(2, 2, 255, good, good, good);
  EXPECT_EQ(pass.status, 0);
  EXPECT_EQ(pass.report, "");
  const int32_t zeros[4] = {};
  EXPECT_EQ(check(2, 2, 0, zeros, zeros, zeros).status, 0);
}
