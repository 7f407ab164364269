#include "ppma/ppma.hpp"
#include "support.hpp"

namespace {
struct Picture {
  int32_t xsize, ysize;
  std::vector<int32_t> r, g, b;
  Picture(int32_t x, int32_t y) : xsize(x), ysize(y), r(std::size_t(x) * y, -1), g(r), b(r) {
    EXPECT_EQ(ppma_example(x, y, r.data(), g.data(), b.data()), 0);
  }
  std::string at(int32_t i, int32_t j) const {
    const std::size_t k = std::size_t(i) * xsize + j;
    return std::to_string(r[k]) + "," + std::to_string(g[k]) + "," + std::to_string(b[k]);
  }
  bool all_background() const {
    for (int32_t i = 0; i < ysize; ++i) {
      for (int32_t j = 0; j < xsize; ++j) {
        if (at(i, j) != "50,150,250") return false;
      }
    }
    return true;
  }
};

class PpmaSelfTest : public TempDirTest {};
}  // namespace

TEST(PpmaExample, ThreeByThreeHitsTheCurvesExactly) {
  const Picture p(3, 3);
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(p.at(0, j), "50,150,250");
    EXPECT_EQ(p.at(1, j), "50,150,250");
  }
  EXPECT_EQ(p.at(2, 0), "255,150,250");
  EXPECT_EQ(p.at(2, 1), "50,255,250");
  EXPECT_EQ(p.at(2, 2), "255,150,255");
}

TEST(PpmaExample, ThreeHundredSquareAtItsKnownPoints) {
  const Picture p(300, 300);
  EXPECT_EQ(p.at(0, 77), "50,150,250");
  EXPECT_EQ(p.at(1, 299), "50,150,250");
  EXPECT_EQ(p.at(2, 0), "255,150,250");
  EXPECT_EQ(p.at(250, 30), "162,79,250");
  EXPECT_EQ(p.at(299, 1), "251,2,250");
  EXPECT_EQ(p.at(299, 150), "50,254,127");
  EXPECT_EQ(p.at(299, 299), "255,150,255");
}

TEST(PpmaExample, NarrowPicturesAreBackground) {
  EXPECT_TRUE(Picture(1, 7).all_background());  // x is 0/0
  EXPECT_TRUE(Picture(7, 1).all_background());  // y is infinite
  EXPECT_TRUE(Picture(7, 2).all_background());  // levels 3 and 2
  EXPECT_TRUE(Picture(2, 2).all_background());
  EXPECT_FALSE(Picture(2, 3).all_background());
  int32_t untouched[1] = {-1};
  EXPECT_EQ(ppma_example(5, 0, untouched, untouched, untouched), 0);
  EXPECT_EQ(ppma_example(5, -3, untouched, untouched, untouched), 0);
  EXPECT_EQ(untouched[0], -1);
}

TEST_F(PpmaSelfTest, WriteTestThenReadTestApprove) {
  CoutCapture capture;
  ASSERT_EQ(ppma_write_test(path("t.ppm").c_str()), 0);
  EXPECT_EQ(capture.str(), "");
  EXPECT_EQ(ppma_read_test(path("t.ppm").c_str()), 0);
  EXPECT_EQ(capture.str(),
            "\nPPMA_READ_TEST:\n  PPMA_READ was able to read \"" + path("t.ppm") +
                "\".\n\nPPMA_READ_TEST:\n  PPMA_CHECK_DATA has approved the data from the file.\n");
  const std::string text = read_text(path("t.ppm"));
  EXPECT_EQ(text.substr(0, text.find("255\n") + 4),
            "P3\n# " + path("t.ppm") + " created by KELMORA::PPMA_WRITE.\n300  300\n255\n");
}

TEST_F(PpmaSelfTest, ReadTestReportsAMissingFileAndBadData) {
  CoutCapture capture;
  EXPECT_EQ(ppma_read_test(path("none.ppm").c_str()), 1);
  write_text(path("bad.ppm"), "P3\n2 1\n255\n1 2 3 4 256 6\n");
  EXPECT_EQ(ppma_read_test(path("bad.ppm").c_str()), 1);
  write_text(path("short.ppm"), "P3\n2 1\n255\n1 2 3 4\n");
  EXPECT_EQ(ppma_read_test(path("short.ppm").c_str()), 1);
  EXPECT_EQ(capture.str(),
            "\nPPMA_READ - Fatal error!\n  Cannot open the input file \"" + path("none.ppm") +
                "\".\n"
                "\nPPMA_READ_TEST - Fatal error!\n  PPMA_READ failed.\n"
                "\nPPMA_READ_TEST:\n  PPMA_READ was able to read \"" +
                path("bad.ppm") +
                "\".\n"
                "\nPPMA_CHECK_DATA - Fatal error!\n  Data exceeds MAXRGB = 255\n  G(1,0)=256\n"
                "\nPPMA_READ_TEST - Fatal error!\n  PPMA_CHECK_DATA reports bad data in the file.\n"
                "\nPPMA_READ - Fatal error!\n  PPMA_READ_DATA failed.\n"
                "\nPPMA_READ_TEST - Fatal error!\n  PPMA_READ failed.\n");
}

TEST_F(PpmaSelfTest, WriteTestReportsAFailedWrite) {
  CoutCapture capture;
  EXPECT_EQ(ppma_write_test("/dev/full"), 1);
  EXPECT_EQ(capture.str(),
            "\nPPMA_WRITE - Fatal error!\n  Error while writing the output file.\n"
            "\nPPMA_WRITE_TEST - Fatal error!\n  PPMA_WRITE failed.\n");
}
