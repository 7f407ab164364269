#include <sstream>

#include "bmp/bmp.hpp"
#include "support.hpp"

TEST(BmpPalette, EntriesAreStoredBlueGreenRedAlpha) {
  const unsigned char r[2] = {3, 30}, g[2] = {2, 20}, b[2] = {1, 10}, a[2] = {0, 255};
  std::ostringstream out;
  bmp_palette_write(out, 2, r, g, b, a);
  EXPECT_EQ(to_bytes(out.str()), (Bytes{1, 2, 3, 0, 10, 20, 30, 255}));
  std::istringstream in(out.str() + "rest");
  unsigned char rr[2], gg[2], bb[2], aa[2];
  EXPECT_FALSE(bmp_palette_read(in, 2, rr, gg, bb, aa));
  EXPECT_EQ(Bytes(rr, rr + 2), Bytes(r, r + 2));
  EXPECT_EQ(Bytes(aa, aa + 2), Bytes(a, a + 2));
  EXPECT_EQ(in.get(), 'r');  // exactly 4 bytes an entry were consumed

  std::ostringstream none;
  bmp_palette_write(none, 0, r, g, b, a);
  EXPECT_EQ(none.str(), "");
  std::istringstream untouched("xy");
  EXPECT_FALSE(bmp_palette_read(untouched, 0, rr, gg, bb, aa));
  EXPECT_EQ(untouched.get(), 'x');
}

TEST(BmpPalette, AShortPaletteNamesTheComponentAndEntry) {
  std::string bytes(5 * 4 + 2, '\x07');
  std::istringstream in(bytes);
  unsigned char r[8] = {}, g[8] = {}, b[8] = {}, a[8] = {};
  CoutCapture capture;
  EXPECT_TRUE(bmp_palette_read(in, 8, r, g, b, a));
  EXPECT_EQ(capture.str(),
            "\nBMP_PALETTE_READ: Fatal error!\n  Failed reading R for palette color 5.\n");
  EXPECT_EQ(b[5], 7);
  EXPECT_EQ(g[5], 7);
  EXPECT_EQ(r[5], 0);
}

TEST(BmpPalettePrint, PrintsDecimalValuesUnderTheirHeadings) {
  const unsigned char r[3] = {3, 255, 10}, g[3] = {2, 0, 13}, b[3] = {1, 128, 7}, a[3] = {0, 0, 27};
  CoutCapture capture;
  bmp_palette_print(3, r, g, b, a);
  bmp_palette_print(0, r, g, b, a);
  EXPECT_EQ(capture.str(),
            "\n  Palette information from BMP file:\n\n"
            "\n Color    Blue   Green     Red   Trans\n\n"
            "     0       1       2       3       0\n"
            "     1     128       0     255       0\n"
            "     2       7      13      10      27\n"
            "\n  Palette information from BMP file:\n\n"
            "    There are NO colors defined for the palette.\n");
}
