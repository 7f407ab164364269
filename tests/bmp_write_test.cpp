#include "bmp/bmp.hpp"
#include "support.hpp"

namespace {
class BmpWrite : public TempDirTest {
 protected:
  void TearDown() override {
    bmp_byte_swap_set(true);
    TempDirTest::TearDown();
  }
  // Writes a 24-bit file whose pixel k has R = k, G = 100 + k, B = 200 + k.
  Bytes write24(uint32_t x, int32_t y, std::string* report = nullptr) {
    const std::size_t n = std::size_t(x) * (y < 0 ? -y : y);
    Bytes r(n), g(n), b(n);
    for (std::size_t k = 0; k < n; ++k) {
      r[k] = static_cast<unsigned char>(k);
      g[k] = static_cast<unsigned char>(100 + k);
      b[k] = static_cast<unsigned char>(200 + k);
    }
    CoutCapture capture;
    EXPECT_FALSE(bmp_24_write(path("out.bmp").c_str(), x, y, r.data(), g.data(), b.data()));
    if (report != nullptr) *report = capture.str();
    return read_bytes(path("out.bmp"));
  }
};

// Rows of pixels B, G, R built from the same rule, each padded with zeros.
Bytes rows24(uint32_t x, uint32_t rows) {
  Bytes out;
  for (uint32_t i = 0; i < rows; ++i) {
    for (uint32_t j = 0; j < x; ++j) {
      const uint32_t k = i * x + j;
      out.insert(out.end(), {static_cast<unsigned char>(200 + k),
                             static_cast<unsigned char>(100 + k), static_cast<unsigned char>(k)});
    }
    out.resize(out.size() + x % 4, 0);
  }
  return out;
}
}  // namespace

TEST_F(BmpWrite, OnePixelMakesA58ByteFile) {
  std::string report;
  const Bytes file = write24(1, 1, &report);
  EXPECT_EQ(report, "");
  const Bytes expected = {0x42, 0x4D, 58, 0, 0, 0, 0, 0, 0, 0, 54,  0,   0, 0,  // file header
                          40,   0,    0,  0, 1, 0, 0, 0, 1, 0, 0,   0,   1, 0, 24,
                          0,    0,    0,  0, 0, 0, 0, 0, 0, 0, 0,   0,   0, 0, 0,
                          0,    0,    0,  0, 0, 0, 0, 0, 0, 0, 200, 100, 0, 0};
  EXPECT_EQ(file, expected);
}

TEST_F(BmpWrite, WritesHeadersAndPaddedRowsForEachSize) {
  const struct {
    uint32_t x;
    int32_t y;
    uint32_t filesize;
  } cases[] = {{3, 2, 78}, {4, 2, 78}, {5, 3, 102}, {3, -2, 78},
               {0, 5, 54}, {5, 0, 54}, {0, 0, 54}};
  for (const auto& c : cases) {
    Bytes expected = bmp_headers(c.filesize, 54, 40, c.x, c.y, 24);
    const Bytes rows = rows24(c.x, static_cast<uint32_t>(c.y < 0 ? -c.y : c.y));
    expected.insert(expected.end(), rows.begin(), rows.end());
    EXPECT_EQ(write24(c.x, c.y), expected) << c.x << "x" << c.y;
  }
}

TEST_F(BmpWrite, FiletypeStaysBMWhenTheOrderIsReversed) {
  bmp_byte_swap_set(false);
  const Bytes file = write24(3, 2);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 6), (Bytes{0x42, 0x4D, 0, 0, 0, 78}));
  EXPECT_EQ(Bytes(file.begin() + 14, file.begin() + 18), (Bytes{0, 0, 0, 40}));
}

TEST_F(BmpWrite, ReportsAnOutputThatCannotBeOpened) {
  CoutCapture capture;
  const unsigned char p[1] = {0};
  EXPECT_TRUE(bmp_24_write(path("no/such/dir.bmp").c_str(), 1, 1, p, p, p));
  EXPECT_EQ(capture.str(), "\nBMP_24_WRITE - Fatal error!\n  Could not open the output file.\n");
  EXPECT_FALSE(std::filesystem::exists(path("no")));
}

TEST_F(BmpWrite, ReportsWriteErrors) {
  CoutCapture capture;
  const Bytes p(300 * 300, 7);
  EXPECT_TRUE(bmp_24_write("/dev/full", 300, 300, p.data(), p.data(), p.data()));
  EXPECT_EQ(capture.str(),
            "\nBMP_24_WRITE - Fatal error!\n  Error while writing the output file.\n");
}

TEST_F(BmpWrite, RefusesImagesBeyondFourGigabytesBeforeOpening) {
  CoutCapture capture;
  const unsigned char p[1] = {0};
  // 3 * 65536 bytes a row times 21846 rows plus 54 passes 4294967295; the planes are never read.
  EXPECT_TRUE(bmp_24_write(path("big.bmp").c_str(), 65536, 21846, p, p, p));
  EXPECT_TRUE(bmp_24_write(path("big.bmp").c_str(), 1, INT32_MIN, p, p, p));
  EXPECT_EQ(capture.str(),
            "\nBMP_24_WRITE - Fatal error!\n  The image is too large for a BMP file.\n"
            "\nBMP_24_WRITE - Fatal error!\n  The image is too large for a BMP file.\n");
  EXPECT_FALSE(std::filesystem::exists(path("big.bmp")));
}
