#include <sstream>

#include "bmp/bmp.hpp"
#include "support.hpp"

namespace {
// Restores the initial byte order after each test.
class BmpOrder : public ::testing::Test {
 protected:
  void TearDown() override { bmp_byte_swap_set(true); }
};

template <typename Write>
Bytes written(Write write) {
  std::ostringstream out;
  write(out);
  return to_bytes(out.str());
}

std::istringstream stream_of(const Bytes& bytes) {
  return std::istringstream(std::string(bytes.begin(), bytes.end()));
}
}  // namespace

TEST_F(BmpOrder, WritesTheWorkedExamplesInBothOrders) {
  EXPECT_TRUE(bmp_byte_swap_get());
  for (const bool swap : {true, false}) {
    bmp_byte_swap_set(swap);
    EXPECT_EQ(bmp_byte_swap_get(), swap);
    auto pick = [&](Bytes little, Bytes big) { return swap ? little : big; };
    EXPECT_EQ(written([](auto& o) { u_short_int_write(19778, o); }),
              pick({0x42, 0x4D}, {0x4D, 0x42}));
    EXPECT_EQ(written([](auto& o) { u_short_int_write(16973, o); }),
              pick({0x4D, 0x42}, {0x42, 0x4D}));
    EXPECT_EQ(written([](auto& o) { u_long_int_write(0x12345678, o); }),
              pick({0x78, 0x56, 0x34, 0x12}, {0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(written([](auto& o) { u_long_int_write(54, o); }),
              pick({54, 0, 0, 0}, {0, 0, 0, 54}));
    EXPECT_EQ(written([](auto& o) { long_int_write(-2, o); }),
              pick({0xFE, 0xFF, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF, 0xFE}));
  }
}

TEST_F(BmpOrder, NegativeValuesKeepTheirTwosComplementPattern) {
  const std::pair<int32_t, Bytes> cases[] = {{-1, {0xFF, 0xFF, 0xFF, 0xFF}},
                                             {-2, {0xFE, 0xFF, 0xFF, 0xFF}},
                                             {-65536, {0x00, 0x00, 0xFF, 0xFF}},
                                             {-65537, {0xFF, 0xFF, 0xFE, 0xFF}}};
  for (const auto& [value, bytes] : cases) {
    EXPECT_EQ(written([v = value](auto& o) { long_int_write(v, o); }), bytes);
    auto in = stream_of(bytes);
    int32_t back = 0;
    EXPECT_FALSE(long_int_read(&back, in));
    EXPECT_EQ(back, value);
  }
}

TEST_F(BmpOrder, ReadsTheWorkedExamples) {
  for (const bool swap : {true, false}) {
    bmp_byte_swap_set(swap);
    auto in = stream_of({0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00});
    uint32_t u = 0;
    int32_t s = 0;
    uint16_t h = 0;
    EXPECT_FALSE(u_long_int_read(&u, in));
    EXPECT_EQ(u, swap ? 0x12345678u : 0x78563412u);
    EXPECT_FALSE(long_int_read(&s, in));
    EXPECT_EQ(s, -1);
    EXPECT_FALSE(u_short_int_read(&h, in));
    EXPECT_EQ(h, swap ? 255 : 65280);
  }
  bmp_byte_swap_set(true);
  auto extremes = stream_of({0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x00, 0x80});
  int32_t s = 0;
  EXPECT_FALSE(long_int_read(&s, extremes));
  EXPECT_EQ(s, 2147483647);
  EXPECT_FALSE(long_int_read(&s, extremes));
  EXPECT_EQ(s, INT32_MIN);
}

TEST_F(BmpOrder, AReadPastTheEndFailsAndLeavesTheDestination) {
  auto three = stream_of({1, 2, 3});
  uint32_t u = 77;
  EXPECT_TRUE(u_long_int_read(&u, three));
  EXPECT_EQ(u, 77u);
  auto one = stream_of({1});
  uint16_t h = 5;
  EXPECT_TRUE(u_short_int_read(&h, one));
  EXPECT_EQ(h, 5);
  std::istringstream failed("ab");
  failed.setstate(std::ios::failbit);  // a stream that failed before the read
  EXPECT_TRUE(u_short_int_read(&h, failed));
}

TEST_F(BmpOrder, HeadersWriteAndReadTheirFieldsInBothOrders) {
  const Bytes little = {0x42, 0x4D, 0x46, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0};
  const Bytes big = {0x42, 0x4D, 0, 0, 0, 0x46, 0, 0, 0, 0, 0, 0, 0, 0x36};
  EXPECT_EQ(written([](auto& o) { bmp_header1_write(o, 19778, 70, 0, 0, 54); }), little);
  bmp_byte_swap_set(false);
  EXPECT_EQ(written([](auto& o) { bmp_header1_write(o, 16973, 70, 0, 0, 54); }), big);
  for (const auto& [swap, bytes, filesize, offset] :
       {std::tuple{true, little, 70u, 54u}, std::tuple{false, big, 70u, 54u},
        std::tuple{false, little, 1174405120u, 905969664u}}) {
    bmp_byte_swap_set(swap);
    auto in = stream_of(bytes);
    uint16_t type = 0, r1 = 9, r2 = 9;
    uint32_t size = 0, off = 0;
    EXPECT_FALSE(bmp_header1_read(in, &type, &size, &r1, &r2, &off));
    EXPECT_EQ(type, 16973);
    EXPECT_EQ(size, filesize);
    EXPECT_EQ(r1 + r2, 0);
    EXPECT_EQ(off, offset);
  }
  for (const bool swap : {true, false}) {
    bmp_byte_swap_set(swap);
    auto in = stream_of({0x42, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    uint16_t type = 0, r = 0;
    uint32_t u = 0;
    EXPECT_FALSE(bmp_header1_read(in, &type, &u, &r, &r, &u));
    EXPECT_EQ(type, 0x4280);
  }
}

TEST_F(BmpOrder, BitmapHeaderBytesAndAShortRead) {
  Bytes expected = {40, 0, 0, 0, 2, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 24, 0};
  expected.resize(40, 0);
  EXPECT_EQ(written([](auto& o) { bmp_header2_write(o, 40, 2, -2, 1, 24, 0, 0, 0, 0, 0, 0); }),
            expected);
  uint32_t size = 0, width = 0, u = 0;
  int32_t height = 0;
  uint16_t planes = 0, bits = 0;
  auto in = stream_of(expected);
  EXPECT_FALSE(
      bmp_header2_read(in, &size, &width, &height, &planes, &bits, &u, &u, &u, &u, &u, &u));
  EXPECT_EQ(height, -2);
  EXPECT_EQ(bits, 24);

  // 20 bytes: the file header reads, the bitmap header stops after SIZE.
  Bytes twenty = {0x42, 0x4D, 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 7, 7};
  auto shortin = stream_of(twenty);
  uint16_t type = 0, r = 0;
  EXPECT_FALSE(bmp_header1_read(shortin, &type, &u, &r, &r, &u));
  size = 0;
  width = 123;
  EXPECT_TRUE(
      bmp_header2_read(shortin, &size, &width, &height, &planes, &bits, &u, &u, &u, &u, &u, &u));
  EXPECT_EQ(size, 40u);
  EXPECT_EQ(width, 123u);
}

TEST(BmpHeaderPrint, PrintsLabelledValuesInOneColumn) {
  CoutCapture capture;
  bmp_header1_print(16973, 70, 0, 0, 54);
  bmp_header2_print(40, 3, -2, 1, 24, 0, 0, 0, 0, 0, 4294967295u);
  EXPECT_EQ(capture.str(),
            "\n  Contents of BMP file header:\n\n"
            "    FILETYPE =     16973\n"
            "    FILESIZE =     70\n"
            "    RESERVED1 =    0\n"
            "    RESERVED2 =    0\n"
            "    BITMAPOFFSET = 54\n"
            "\n  Contents of BMP file bitmap header:\n\n"
            "    SIZE =            40\n"
            "    WIDTH =           3\n"
            "    HEIGHT =          -2\n"
            "    PLANES =          1\n"
            "    BITSPERPIXEL =    24\n"
            "    COMPRESSION =     0\n"
            "    SIZEOFBITMAP =    0\n"
            "    HORZRESOLUTION =  0\n"
            "    VERTRESOLUTION =  0\n"
            "    COLORSUSED =      0\n"
            "    COLORSIMPORTANT = 4294967295\n");
}
