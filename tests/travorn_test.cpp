#include <sstream>

#include "app/travorn.hpp"
#include "ppma/ppma.hpp"
#include "support.hpp"

namespace {
class Travorn : public TempDirTest {
 protected:
  // Converts `ppm` text and returns the report; the BMP stands at path("out.bmp").
  std::string convert(const std::string& ppm, int expected_status, std::string out = "") {
    write_text(path("in.ppm"), ppm);
    if (out.empty()) out = path("out.bmp");
    CoutCapture capture;
    EXPECT_EQ(travorn(path("in.ppm").c_str(), out.c_str()), expected_status);
    return capture.str();
  }
  // The pixel bytes of the converted file.
  Bytes pixels() {
    const Bytes file = read_bytes(path("out.bmp"));
    return file.size() < 54 ? Bytes() : Bytes(file.begin() + 54, file.end());
  }
};

const char kSizeLines[] =
    "\nTRAVORN:\n  XSIZE = 3.\n  YSIZE = 2.\n\nTRAVORN:\n  Flipping data orientation.\n";
const char kThreeByTwo[] =
    "P3\n# three by two\n3 2\n255\n1 2 3  4 5 6  7 8 9\n10 11 12 13 14 15 16 17 18\n";
}  // namespace

TEST_F(Travorn, ConvertsWithTheBottomRowFirst) {
  EXPECT_EQ(convert(kThreeByTwo, 0),
            std::string(kSizeLines) + "\nTRAVORN:\n  Normal end of translation.\n");
  EXPECT_EQ(pixels(), (Bytes{12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0,  //
                             3,  2,  1,  6,  5,  4,  9,  8,  7,  0, 0, 0}));
}

TEST_F(Travorn, ReportsEachFailureClass) {
  CoutCapture capture;
  EXPECT_EQ(travorn(path("missing.ppm").c_str(), path("out.bmp").c_str()), 1);
  EXPECT_EQ(capture.str(), "\nPPMA_READ - Fatal error!\n  Cannot open the input file \"" +
                               path("missing.ppm") +
                               "\".\n\nTRAVORN - Fatal error!\n  PPMA_READ failed.\n");
  EXPECT_EQ(convert("P6\n3 2\n255\n", 1),
            "\nPPMA_READ_HEADER - Fatal error.\n  Bad magic number = \"P6\".\n"
            "\nPPMA_READ - Fatal error!\n  PPMA_READ_HEADER failed.\n"
            "\nTRAVORN - Fatal error!\n  PPMA_READ failed.\n");
  // A binary file's magic word is shown with its bytes escaped.
  EXPECT_EQ(convert("\x89PNG\r\n\x1a\n", 1),
            "\nPPMA_READ_HEADER - Fatal error.\n  Bad magic number = \"\\x89PNG\".\n"
            "\nPPMA_READ - Fatal error!\n  PPMA_READ_HEADER failed.\n"
            "\nTRAVORN - Fatal error!\n  PPMA_READ failed.\n");
  EXPECT_EQ(convert("P3\x01\x7F\\x\n", 1),
            "\nPPMA_READ_HEADER - Fatal error.\n  Bad magic number = \"P3\\x01\\x7F\\x\".\n"
            "\nPPMA_READ - Fatal error!\n  PPMA_READ_HEADER failed.\n"
            "\nTRAVORN - Fatal error!\n  PPMA_READ failed.\n");
  EXPECT_EQ(convert("P3\n3 2\n255\n1 2 3\n", 1),
            "\nPPMA_READ - Fatal error!\n  PPMA_READ_DATA failed.\n"
            "\nTRAVORN - Fatal error!\n  PPMA_READ failed.\n");
  EXPECT_FALSE(std::filesystem::exists(path("out.bmp")));
  EXPECT_EQ(convert(kThreeByTwo, 1, path("no/dir/out.bmp")),
            std::string(kSizeLines) +
                "\nBMP_24_WRITE - Fatal error!\n  Could not open the output file.\n"
                "\nTRAVORN - Fatal error!\n  BMP_24_WRITE failed.\n");
  EXPECT_EQ(convert(kThreeByTwo, 1, "/dev/full"),
            std::string(kSizeLines) +
                "\nBMP_24_WRITE - Fatal error!\n  Error while writing the output file.\n"
                "\nTRAVORN - Fatal error!\n  BMP_24_WRITE failed.\n");
}

TEST_F(Travorn, RescalesByTheDeclaredMaximum) {
  const struct {
    int maxrgb;
    std::string samples;
    Bytes bgr;
  } cases[] = {
      {255, "300 -1 255", {255, 0, 255}}, {255, "0 128 256", {255, 128, 0}},
      {15, "15 7 0", {0, 119, 255}},      {65535, "65535 32768 0", {0, 128, 255}},
      {1, "1 0 2", {255, 0, 255}},        {0, "5 0 7", {0, 0, 0}},
      {-3, "5 0 7", {0, 0, 0}},           {2147483647, "2147483647 1073741824 0", {0, 128, 255}}};
  for (const auto& c : cases) {
    convert("P3\n1 1\n" + std::to_string(c.maxrgb) + "\n" + c.samples + "\n", 0);
    EXPECT_EQ(pixels(), (Bytes{c.bgr[0], c.bgr[1], c.bgr[2], 0})) << c.maxrgb << ": " << c.samples;
    // The library's helper gives the same bytes, R, G, B in plane order.
    std::istringstream in(c.samples);
    int32_t rgb[3] = {};
    in >> rgb[0] >> rgb[1] >> rgb[2];
    unsigned char bytes[4] = {9, 9, 9, 9};
    ppma_scale_to_bytes(3, 1, c.maxrgb, rgb, bytes);
    EXPECT_EQ(Bytes(bytes, bytes + 4), (Bytes{c.bgr[2], c.bgr[1], c.bgr[0], 9})) << c.maxrgb;
  }
  unsigned char untouched = 9;
  const int32_t sample = 5;
  ppma_scale_to_bytes(0, 1, 255, &sample, &untouched);
  ppma_scale_to_bytes(1, -1, 255, &sample, &untouched);
  EXPECT_EQ(untouched, 9);
}

TEST_F(Travorn, ZeroSizesWriteTheHeadersAlone) {
  const std::string report = convert("P3\n0 2147483647\n255\n", 0);
  EXPECT_NE(report.find("  XSIZE = 0.\n  YSIZE = 2147483647.\n"), std::string::npos);
  const Bytes file = read_bytes(path("out.bmp"));
  EXPECT_EQ(file, bmp_headers(54, 54, 40, 0, 2147483647, 24));
}

TEST(ImatVertFlip, MirrorsTheRows) {
  for (int32_t rows = 0; rows <= 5; ++rows) {
    std::vector<int32_t> plane;
    for (int32_t k = 0; k < 2 * rows; ++k) plane.push_back(k);
    imat_vert_flip(2, rows, plane.data());
    for (int32_t i = 0; i < rows; ++i) {
      EXPECT_EQ(plane[2 * i], 2 * (rows - 1 - i));
      EXPECT_EQ(plane[2 * i + 1], 2 * (rows - 1 - i) + 1);
    }
  }
  int32_t untouched = 7;
  imat_vert_flip(0, 2147483647, &untouched);  // no row is visited
  imat_vert_flip(-1, 4, &untouched);
  EXPECT_EQ(untouched, 7);
}

TEST(IntToUChar, KeepsTheLowEightBits) {
  const int32_t source[] = {0, 255, 256, 300, -1, 65535, INT32_MIN};
  unsigned char target[7] = {};
  int_2_u_char(7, 1, source, target);
  EXPECT_EQ(Bytes(target, target + 7), (Bytes{0, 255, 0, 44, 255, 255, 0}));
  unsigned char none[1] = {9};
  int_2_u_char(0, 5, source, none);
  int_2_u_char(5, -1, source, none);
  EXPECT_EQ(none[0], 9);
}

TEST_F(Travorn, PillowDecodesTheSourcePixels) {
  for (const int32_t width : {5, 7}) {
    std::ostringstream ppm;
    std::ostringstream expected;
    ppm << "P3\n" << width << " 3\n255\n";
    expected << "RGB " << width << " 3\n";
    for (int32_t i = 0; i < 3; ++i) {
      for (int32_t j = 0; j < width; ++j) {
        const int k = i * width + j;
        ppm << k * 7 % 256 << " " << k * 13 % 256 << " " << 255 - k << "\n";
        expected << (j ? " " : "") << k * 7 % 256 << " " << k * 13 % 256 << " " << 255 - k;
      }
      expected << "\n";
    }
    convert(ppm.str(), 0);
    std::string decoded;
    ASSERT_EQ(run_command(std::string(TRAVORN_PYTHON) + " " + TRAVORN_TOOLS + "/pil_pixels.py " +
                              path("out.bmp"),
                          &decoded),
              0);
    EXPECT_EQ(decoded, expected.str());
  }
}
