#include "bmp/bmp.hpp"
#include "support.hpp"

namespace {
class BmpSelfTest : public TempDirTest {};

// The 256-entry grey palette that the 8-bit writer puts behind the headers.
Bytes grey_palette() {
  Bytes out;
  for (int i = 0; i < 256; ++i)
    out.insert(out.end(), {Bytes::value_type(i), Bytes::value_type(i), Bytes::value_type(i), 0});
  return out;
}

Bytes file08(uint32_t filesize, uint32_t x, int32_t y, const Bytes& rows) {
  Bytes out = bmp_headers(filesize, 1078, 40, x, y, 8, 0, 256);
  const Bytes palette = grey_palette();
  out.insert(out.end(), palette.begin(), palette.end());
  out.insert(out.end(), rows.begin(), rows.end());
  return out;
}

std::string print_report(const std::string& name) {
  CoutCapture capture;
  bmp_print_test(name.c_str());
  return capture.str();
}

std::string header_report(uint32_t filesize, uint32_t offset, uint32_t width, int32_t height,
                          int bits, uint32_t colors) {
  return "\n  Contents of BMP file header:\n\n    FILETYPE =     16973\n    FILESIZE =     " +
         std::to_string(filesize) +
         "\n    RESERVED1 =    0\n    RESERVED2 =    0\n    BITMAPOFFSET = " +
         std::to_string(offset) +
         "\n\n  Contents of BMP file bitmap header:\n\n    SIZE =            40\n    WIDTH =       "
         "    " +
         std::to_string(width) + "\n    HEIGHT =          " + std::to_string(height) +
         "\n    PLANES =          1\n    BITSPERPIXEL =    " + std::to_string(bits) +
         "\n    COMPRESSION =     0\n    SIZEOFBITMAP =    0\n    HORZRESOLUTION =  0\n"
         "    VERTRESOLUTION =  0\n    COLORSUSED =      " +
         std::to_string(colors) + "\n    COLORSIMPORTANT = 0\n";
}
}  // namespace

TEST_F(BmpSelfTest, EightBitWriterBytesWithItsGreyPalette) {
  const unsigned char one[1] = {9};
  ASSERT_FALSE(bmp_08_write(path("a.bmp").c_str(), 1, 1, one));
  EXPECT_EQ(read_bytes(path("a.bmp")), file08(1082, 1, 1, {9, 0, 0, 0}));
  Bytes plane(12);
  for (int k = 0; k < 12; ++k) plane[k] = static_cast<unsigned char>(k * 20);
  for (const int32_t y : {3, -3}) {
    ASSERT_FALSE(bmp_08_write(path("b.bmp").c_str(), 4, y, plane.data()));
    EXPECT_EQ(read_bytes(path("b.bmp")), file08(1090, 4, y, plane));
  }
  ASSERT_FALSE(bmp_08_write(path("c.bmp").c_str(), 0, 7, one));
  EXPECT_EQ(read_bytes(path("c.bmp")), file08(1078, 0, 7, {}));
}

TEST_F(BmpSelfTest, EightBitWriteTestImage) {
  ASSERT_FALSE(bmp_08_write_test(path("t8.bmp").c_str()));
  Bytes rows;
  for (int i = 0; i < 255; ++i) {
    for (int j = 0; j < 255; ++j) rows.push_back(static_cast<unsigned char>(j % (i + 1)));
    rows.push_back(0);
  }
  EXPECT_EQ(read_bytes(path("t8.bmp")), file08(1078 + 65280, 255, 255, rows));
}

TEST_F(BmpSelfTest, EightBitWriterReportsFailures) {
  const unsigned char p[1] = {0};
  CoutCapture capture;
  EXPECT_TRUE(bmp_08_write(path("no/dir.bmp").c_str(), 1, 1, p));
  EXPECT_TRUE(bmp_08_write("/dev/full", 1, 1, p));
  EXPECT_TRUE(bmp_08_write(path("big.bmp").c_str(), 65536, 65536, p));
  EXPECT_TRUE(bmp_08_write_test(path("no/dir.bmp").c_str()));
  EXPECT_EQ(capture.str(),
            "\nBMP_08_WRITE - Fatal error!\n  Could not open the output file.\n"
            "\nBMP_08_WRITE - Fatal error!\n  Error while writing the output file.\n"
            "\nBMP_08_WRITE - Fatal error!\n  The image is too large for a BMP file.\n"
            "\nBMP_08_WRITE - Fatal error!\n  Could not open the output file.\n"
            "\nBMP_08_WRITE_TEST - Fatal error!\n  The test failed.\n");
}

TEST_F(BmpSelfTest, TwentyFourBitWriteTestImageReadsBack) {
  ASSERT_FALSE(bmp_24_write_test(path("t24.bmp").c_str()));
  uint32_t x = 0;
  int32_t y = 0;
  unsigned char *r = nullptr, *g = nullptr, *b = nullptr;
  ASSERT_FALSE(bmp_read(path("t24.bmp").c_str(), &x, &y, &r, &g, &b));
  ASSERT_EQ(x, 200u);
  ASSERT_EQ(y, 200);
  EXPECT_TRUE(r != g && g != b && r != b);
  auto colour = [&](int i, int j) {
    const int k = i * 200 + j;
    return std::to_string(r[k]) + "," + std::to_string(g[k]) + "," + std::to_string(b[k]);
  };
  EXPECT_EQ(colour(100, 100), "255,0,0");
  EXPECT_EQ(colour(101, 100), "0,255,0");
  EXPECT_EQ(colour(101, 101), "0,0,255");
  EXPECT_EQ(colour(199, 1), "255,0,0");
  int red = 0, green = 0, blue = 0;
  for (int k = 0; k < 40000; ++k) {
    red += r[k] == 255;
    green += g[k] == 255;
    blue += b[k] == 255;
  }
  EXPECT_EQ(red, 20299);
  EXPECT_EQ(green, 9801);
  EXPECT_EQ(blue, 9900);
  delete[] r;
  delete[] g;
  delete[] b;
  CoutCapture capture;
  EXPECT_TRUE(bmp_24_write_test(path("no/dir.bmp").c_str()));
  EXPECT_EQ(capture.str(),
            "\nBMP_24_WRITE - Fatal error!\n  Could not open the output file.\n"
            "\nBMP_24_WRITE_TEST - Fatal error!\n  The test failed.\n");
}

TEST_F(BmpSelfTest, ReadTestReadsBothTestFilesAndReportsAMissingOne) {
  ASSERT_FALSE(bmp_08_write_test(path("t8.bmp").c_str()));
  ASSERT_FALSE(bmp_24_write_test(path("t24.bmp").c_str()));
  CoutCapture capture;
  EXPECT_FALSE(bmp_read_test(path("t8.bmp").c_str()));
  EXPECT_FALSE(bmp_read_test(path("t24.bmp").c_str()));
  EXPECT_EQ(capture.str(), "");
  EXPECT_TRUE(bmp_read_test(path("none.bmp").c_str()));
  EXPECT_EQ(capture.str(), "\nBMP_READ - Fatal error!\n  Could not open the input file.\n");
}

TEST_F(BmpSelfTest, PrintTestDescribesBothTestFiles) {
  ASSERT_FALSE(bmp_24_write_test(path("t24.bmp").c_str()));
  EXPECT_EQ(print_report(path("t24.bmp")),
            "\nBMP_PRINT_TEST:\n  Contents of BMP file \"" + path("t24.bmp") + "\"\n" +
                header_report(120054, 54, 200, 200, 24, 0) +
                "\n  Palette information from BMP file:\n\n"
                "    There are NO colors defined for the palette.\n");
  ASSERT_FALSE(bmp_08_write_test(path("t8.bmp").c_str()));
  std::string table = "\n Color    Blue   Green     Red   Trans\n\n";
  for (int i = 0; i < 256; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "%6d  %6d  %6d  %6d  %6d\n", i, i, i, i, 0);
    table += line;
  }
  EXPECT_EQ(print_report(path("t8.bmp")), "\nBMP_PRINT_TEST:\n  Contents of BMP file \"" +
                                              path("t8.bmp") + "\"\n" +
                                              header_report(66358, 1078, 255, 255, 8, 256) +
                                              "\n  Palette information from BMP file:\n\n" + table);
  EXPECT_FALSE(bmp_print_test(path("t8.bmp").c_str()));
}

TEST_F(BmpSelfTest, PrintTestReportsFailures) {
  EXPECT_EQ(print_report(path("none.bmp")),
            "\nBMP_PRINT_TEST - Fatal error!\n  Could not open the input file.\n");

  ASSERT_FALSE(bmp_24_write_test(path("t24.bmp").c_str()));
  Bytes cut = read_bytes(path("t24.bmp"));
  cut.resize(30);
  write_bytes(path("cut.bmp"), cut);
  EXPECT_EQ(print_report(path("cut.bmp")),
            "\nBMP_PRINT_TEST:\n  Contents of BMP file \"" + path("cut.bmp") +
                "\"\n"
                "\n  Contents of BMP file header:\n\n    FILETYPE =     16973\n"
                "    FILESIZE =     120054\n    RESERVED1 =    0\n    RESERVED2 =    0\n"
                "    BITMAPOFFSET = 54\n"
                "\nBMP_PRINT_TEST: Fatal error!\n  BMP_HEADER2_READ failed.\n");
  EXPECT_TRUE(bmp_print_test(path("cut.bmp").c_str()));

  Bytes deep = bmp_headers(70, 54, 40, 2, 2, 32);
  deep.resize(70, 1);
  write_bytes(path("deep.bmp"), deep);
  const std::string report = print_report(path("deep.bmp"));
  EXPECT_NE(
      report.find(header_report(70, 54, 2, 2, 32, 0) +
                  "\n  Palette information from BMP file:\n\n"
                  "    There are NO colors defined for the palette.\n"
                  "\nBMP_PRINT_TEST: Fatal error!\n  Unrecognized value of BITSPERPIXEL = 32\n"),
      std::string::npos)
      << report;

  Bytes rle = bmp_headers(70, 54, 40, 2, 2, 8, 1);
  write_bytes(path("rle.bmp"), rle);
  const std::string rle_report = print_report(path("rle.bmp"));
  const std::string tail =
      "    COLORSIMPORTANT = 0\n"
      "\nBMP_PRINT_TEST: Fatal error!\n  Unsupported value of COMPRESSION = 1\n";
  ASSERT_GT(rle_report.size(), tail.size());
  EXPECT_EQ(rle_report.substr(rle_report.size() - tail.size()), tail);
}
