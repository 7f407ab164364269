#include <sstream>

#include "bmp/bmp.hpp"
#include "support.hpp"

namespace {
Bytes iota_plane(std::size_t n, int start) {
  Bytes plane;
  for (std::size_t k = 0; k < n; ++k) plane.push_back(static_cast<unsigned char>(start + k));
  return plane;
}

Bytes write24(uint32_t xsize, int32_t ysize, const Bytes& r, const Bytes& g, const Bytes& b) {
  std::ostringstream out;
  bmp_24_data_write(out, xsize, ysize, r.data(), g.data(), b.data());
  return to_bytes(out.str());
}

Bytes write08(uint32_t xsize, int32_t ysize, const Bytes& plane) {
  std::ostringstream out;
  bmp_08_data_write(out, xsize, ysize, plane.data());
  return to_bytes(out.str());
}

struct Read {
  bool failed;
  Bytes r, g, b;
  std::string report;
};

Read read24(const Bytes& file, uint32_t xsize, int32_t ysize) {
  std::istringstream in(std::string(file.begin(), file.end()));
  const std::size_t n = std::size_t(xsize) * (ysize < 0 ? -ysize : ysize);
  Read out{false, Bytes(n, 0xEE), Bytes(n, 0xEE), Bytes(n, 0xEE), ""};
  CoutCapture capture;
  out.failed = bmp_24_data_read(in, xsize, ysize, out.r.data(), out.g.data(), out.b.data());
  out.report = capture.str();
  return out;
}

Read read08(const Bytes& file, uint32_t xsize, int32_t ysize) {
  std::istringstream in(std::string(file.begin(), file.end()));
  const std::size_t n = std::size_t(xsize) * (ysize < 0 ? -ysize : ysize);
  Read out{false, Bytes(n, 0xEE), {}, {}, ""};
  CoutCapture capture;
  out.failed = bmp_08_data_read(in, xsize, ysize, out.r.data());
  out.report = capture.str();
  return out;
}

std::string padding_warning(const char* op, int k, int total, int row) {
  return std::string("\n") + op + " - Warning!\n  Failed while reading padding character " +
         std::to_string(k) + "\n  of total " + std::to_string(total) +
         " characters\n  at the end of line " + std::to_string(row) +
         "\n\n  This is a minor error.\n";
}
}  // namespace

TEST(BmpRows, RowLengthsArePaddedToFourBytes) {
  const std::size_t len24[] = {4, 8, 12, 12, 16};
  const std::size_t len08[] = {4, 4, 4, 4, 8};
  for (uint32_t x = 1; x <= 5; ++x) {
    const Bytes p = iota_plane(x, 1);
    EXPECT_EQ(write24(x, 1, p, p, p).size(), len24[x - 1]);
    EXPECT_EQ(write08(x, 1, p).size(), len08[x - 1]);
  }
  EXPECT_EQ(write24(1, 1, {3}, {2}, {1}), (Bytes{1, 2, 3, 0}));
  EXPECT_EQ(write24(0, 5, {}, {}, {}).size(), 0u);
  EXPECT_EQ(write24(5, 0, {}, {}, {}).size(), 0u);
  EXPECT_EQ(write08(0, 2147483647, {}).size(), 0u);  // no row is visited
}

TEST(BmpRows, WriteThenReadGivesThePlanesBackForEitherSignOfHeight) {
  for (uint32_t x = 1; x <= 9; ++x) {
    for (const int32_t y : {3, -3}) {
      const std::size_t n = x * 3;
      const Bytes r = iota_plane(n, 0), g = iota_plane(n, 50), b = iota_plane(n, 100);
      const Bytes file24 = write24(x, y, r, g, b);
      EXPECT_EQ(file24, write24(x, -y, r, g, b));
      const Read back24 = read24(file24, x, y);
      EXPECT_FALSE(back24.failed);
      EXPECT_EQ(back24.report, "");
      EXPECT_EQ(back24.r, r);
      EXPECT_EQ(back24.g, g);
      EXPECT_EQ(back24.b, b);
      const Read back08 = read08(write08(x, y, g), x, y);
      EXPECT_FALSE(back08.failed);
      EXPECT_EQ(back08.r, g);
    }
  }
}

TEST(BmpRows, AMissingLastPaddingIsAMinorError) {
  const Bytes p = iota_plane(6, 1);
  Bytes file = write24(3, 2, p, p, p);
  file.resize(file.size() - 3);
  const Read got = read24(file, 3, 2);
  EXPECT_FALSE(got.failed);
  EXPECT_EQ(got.report, padding_warning("BMP_24_DATA_READ", 0, 3, 1));
  EXPECT_EQ(got.r, p);

  // An 8-bit image of 5 rows that ends in the padding of row 2: rows 3 and 4 untouched.
  const Bytes q = iota_plane(5 * 5, 1);
  Bytes file08 = write08(5, 5, q);
  file08.resize(2 * 8 + 5 + 1);
  const Read got08 = read08(file08, 5, 5);
  EXPECT_FALSE(got08.failed);
  EXPECT_EQ(got08.report, padding_warning("BMP_08_DATA_READ", 1, 3, 2));
  EXPECT_EQ(Bytes(got08.r.begin(), got08.r.begin() + 15), Bytes(q.begin(), q.begin() + 15));
  EXPECT_EQ(Bytes(got08.r.begin() + 15, got08.r.end()), Bytes(10, 0xEE));
}

TEST(BmpRows, AShortPixelReportsTheComponentColumnAndRow) {
  const Bytes p = iota_plane(10, 1);
  const Bytes file = write24(5, 2, p, p, p);
  const struct {
    std::size_t keep;
    const char* line;
  } cases[] = {{0, "  Failed reading B for pixel (0,0).\n"},
               {10, "  Failed reading G for pixel (3,0).\n"},
               {11, "  Failed reading R for pixel (3,0).\n"},
               {16, "  Failed reading B for pixel (0,1).\n"},
               {28, "  Failed reading B for pixel (4,1).\n"}};
  for (const auto& c : cases) {
    const Read got = read24(Bytes(file.begin(), file.begin() + c.keep), 5, 2);
    EXPECT_TRUE(got.failed);
    EXPECT_EQ(got.report, std::string("\nBMP_24_DATA_READ: Fatal error!\n") + c.line);
  }
  const Read partial = read24(Bytes(file.begin(), file.begin() + 10), 5, 2);
  EXPECT_EQ(partial.b[3], 4);     // B of the failing pixel was read and stays
  EXPECT_EQ(partial.g[3], 0xEE);  // G was not
  const Read got08 = read08(Bytes{1, 2, 3, 4, 5, 6, 0, 0, 7}, 6, 2);
  EXPECT_TRUE(got08.failed);
  EXPECT_EQ(got08.report,
            "\nBMP_08_DATA_READ: Fatal error!\n  Failed reading R for pixel (1,1).\n");
}
