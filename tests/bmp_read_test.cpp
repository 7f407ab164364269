#include "bmp/bmp.hpp"
#include "support.hpp"

namespace {
struct Read {
  bool failed = false;
  uint32_t xsize = 77;
  int32_t ysize = 77;
  unsigned char *r = nullptr, *g = nullptr, *b = nullptr;
  std::string report;
  ~Read() {
    if (g != r) delete[] g;
    if (b != r && b != g) delete[] b;
    delete[] r;
  }
  Bytes plane(const unsigned char* p) const {
    return Bytes(p, p + std::size_t(xsize) * (ysize < 0 ? -ysize : ysize));
  }
};

class BmpRead : public TempDirTest {
 protected:
  void TearDown() override {
    bmp_byte_swap_set(true);
    TempDirTest::TearDown();
  }
  void read(const std::string& name, Read* out) {
    CoutCapture capture;
    out->failed = bmp_read(name.c_str(), &out->xsize, &out->ysize, &out->r, &out->g, &out->b);
    out->report = capture.str();
  }
  void read_made(const Bytes& file, Read* out) {
    write_bytes(path("made.bmp"), file);
    read(path("made.bmp"), out);
  }
};

// A 2 x 2 24-bit file: pixels (B, G, R) = (1, 2, 3), (4, 5, 6) / (7, 8, 9), (10, 11, 12).
Bytes pixels_2x2() { return {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}; }

Bytes concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const char kFatal[] = "\nBMP_READ: Fatal error!\n";
}  // namespace

TEST_F(BmpRead, ReadsFilesOfBothWriters) {
  const Bytes r = {1, 2, 3, 4, 5, 6}, g = {7, 8, 9, 10, 11, 12}, b = {13, 14, 15, 16, 17, 18};
  for (const bool swap : {true, false}) {
    bmp_byte_swap_set(swap);
    ASSERT_FALSE(bmp_24_write(path("a.bmp").c_str(), 3, -2, r.data(), g.data(), b.data()));
    Read a;
    read(path("a.bmp"), &a);
    ASSERT_FALSE(a.failed) << a.report;
    EXPECT_EQ(a.report, "");
    EXPECT_EQ(a.xsize, 3u);
    EXPECT_EQ(a.ysize, -2);
    EXPECT_TRUE(a.r != a.g && a.g != a.b && a.r != a.b);
    EXPECT_EQ(a.plane(a.r), r);
    EXPECT_EQ(a.plane(a.g), g);
    EXPECT_EQ(a.plane(a.b), b);

    ASSERT_FALSE(bmp_08_write(path("b.bmp").c_str(), 3, 2, g.data()));
    Read e;
    read(path("b.bmp"), &e);
    ASSERT_FALSE(e.failed) << e.report;
    EXPECT_TRUE(e.r == e.g && e.g == e.b);  // one plane, released once by ~Read
    EXPECT_EQ(e.plane(e.r), g);
  }
}

TEST_F(BmpRead, ReadsEightBitFilesWithoutTheirPalette) {
  // Written before the grey palette: COLORSUSED 0, the rows right behind the headers.
  Read old;
  read_made(concat(bmp_headers(62, 54, 40, 3, 2, 8), {1, 2, 3, 0, 4, 5, 6, 0}), &old);
  ASSERT_FALSE(old.failed) << old.report;
  EXPECT_EQ(old.plane(old.r), (Bytes{1, 2, 3, 4, 5, 6}));
}

TEST_F(BmpRead, RefusesAnotherMagicNumber) {
  Bytes file = concat(bmp_headers(70, 54, 40, 2, 2, 24), pixels_2x2());
  file[0] = 'M';
  file[1] = 'B';
  Read mb;
  read_made(file, &mb);
  EXPECT_TRUE(mb.failed);
  EXPECT_EQ(mb.report, std::string(kFatal) +
                           "  The file's internal magic number is not \"BM\".\n"
                           "  with the numeric value 16973\n\n"
                           "  Instead, it is \"MB\".\n"
                           "  with the numeric value 19778\n\n"
                           "  (Perhaps you need to reverse the byte swapping option!)\n");
  EXPECT_EQ(mb.r, nullptr);
  EXPECT_EQ(mb.xsize, 77u);
  file[0] = 0x89;
  file[1] = '\n';
  Read binary;
  read_made(file, &binary);
  EXPECT_NE(
      binary.report.find("  Instead, it is \"\\x89\\x0A\".\n  with the numeric value 35082\n"),
      std::string::npos)
      << binary.report;
}

TEST_F(BmpRead, HandsOverPlanesWhenTheDepthIsUnknown) {
  Read deep;
  read_made(concat(bmp_headers(70, 54, 40, 2, 2, 32), Bytes(16, 1)), &deep);
  EXPECT_TRUE(deep.failed);
  EXPECT_EQ(deep.report, std::string(kFatal) + "  Unrecognized value of BITSPERPIXEL = 32\n");
  EXPECT_TRUE(deep.r != nullptr && deep.g != nullptr && deep.b != nullptr && deep.r != deep.g);
}

TEST_F(BmpRead, FollowsTheFilesOwnLayout) {
  const Bytes pixels = pixels_2x2();
  const struct {
    const char* layout;
    Bytes file;
    Bytes blue;  // the B plane (the one plane of an 8-bit file)
  } cases[] = {
      {"COLORSUSED 2: eight palette bytes, then the pixels",
       concat(concat(bmp_headers(78, 62, 40, 2, 2, 24, 0, 2), Bytes(8, 0xAA)), pixels),
       {1, 4, 7, 10}},
      {"a gap before BITMAPOFFSET is skipped",
       concat(concat(bmp_headers(76, 60, 40, 2, 2, 24), Bytes(6, 0xAA)), pixels),
       {1, 4, 7, 10}},
      {"a bitmap header of 124 bytes: 84 more bytes before the pixels",
       concat(concat(bmp_headers(154, 138, 124, 2, 2, 24), Bytes(84, 0xAA)), pixels),
       {1, 4, 7, 10}},
      {"an 8-bit file with COLORSUSED 0 and a full colour table before BITMAPOFFSET",
       concat(concat(bmp_headers(1086, 1078, 40, 2, 2, 8), Bytes(1024, 0xAA)),
              {1, 2, 0, 0, 3, 4, 0, 0}),
       {1, 2, 3, 4}},
      {"BITMAPOFFSET before the end of the palette: the pixels follow the palette",
       concat(concat(bmp_headers(78, 10, 40, 2, 2, 24, 0, 2), Bytes(8, 0xAA)), pixels),
       {1, 4, 7, 10}},
  };
  for (const auto& c : cases) {
    Read got;
    read_made(c.file, &got);
    ASSERT_FALSE(got.failed) << c.layout << got.report;
    EXPECT_EQ(got.plane(got.b), c.blue) << c.layout;
  }
  // A file that ends inside the gap fails as the pixel reader does.
  Read ends;
  read_made(concat(bmp_headers(76, 600, 40, 2, 2, 24), Bytes(6, 0xAA)), &ends);
  EXPECT_TRUE(ends.failed);
  EXPECT_EQ(ends.report, "\nBMP_24_DATA_READ: Fatal error!\n  Failed reading B for pixel (0,0).\n" +
                             std::string(kFatal) + "  BMP_24_DATA_READ failed.\n");
}

TEST_F(BmpRead, RefusesCompressionBeforeAllocating) {
  Read rle;
  read_made(concat(bmp_headers(70, 54, 40, 2, 2, 8, 1), Bytes(16, 0)), &rle);
  EXPECT_TRUE(rle.failed);
  EXPECT_EQ(rle.report, std::string(kFatal) + "  Unsupported value of COMPRESSION = 1\n");
  EXPECT_EQ(rle.r, nullptr);
}

TEST_F(BmpRead, ShortFilesKeepTheirReports) {
  const Bytes whole = concat(bmp_headers(70, 54, 40, 2, 2, 24), pixels_2x2());
  Read pixel;
  read_made(Bytes(whole.begin(), whole.begin() + 54 + 10), &pixel);
  EXPECT_TRUE(pixel.failed);
  EXPECT_EQ(pixel.report,
            "\nBMP_24_DATA_READ: Fatal error!\n  Failed reading R for pixel (0,1).\n" +
                std::string(kFatal) + "  BMP_24_DATA_READ failed.\n");
  EXPECT_TRUE(pixel.r != pixel.g);  // three planes with the caller

  Read padding;
  read_made(Bytes(whole.begin(), whole.end() - 1), &padding);
  EXPECT_FALSE(padding.failed);
  EXPECT_EQ(padding.report,
            "\nBMP_24_DATA_READ - Warning!\n  Failed while reading padding character 1\n"
            "  of total 2 characters\n  at the end of line 1\n\n  This is a minor error.\n");

  const struct {
    std::size_t keep;
    const char* line;
  } headers[] = {{0, "  BMP_HEADER1_READ failed.\n"},
                 {13, "  BMP_HEADER1_READ failed.\n"},
                 {20, "  BMP_HEADER2_READ failed.\n"}};
  for (const auto& h : headers) {
    Read cut;
    read_made(Bytes(whole.begin(), whole.begin() + h.keep), &cut);
    EXPECT_TRUE(cut.failed);
    EXPECT_EQ(cut.report, std::string(kFatal) + h.line);
    EXPECT_EQ(cut.r, nullptr);
  }

  Read palette;
  read_made(concat(bmp_headers(70, 54, 40, 2, 2, 24, 0, 5000), Bytes(4 * 4500 + 3, 0)), &palette);
  EXPECT_EQ(palette.report,
            "\nBMP_PALETTE_READ: Fatal error!\n  Failed reading A for palette color 4500.\n" +
                std::string(kFatal) + "  BMP_PALETTE_READ failed.\n");
  EXPECT_EQ(palette.r, nullptr);

  Read missing;
  read(path("none.bmp"), &missing);
  EXPECT_EQ(missing.report, "\nBMP_READ - Fatal error!\n  Could not open the input file.\n");
  EXPECT_EQ(missing.xsize, 77u);
  EXPECT_EQ(missing.r, nullptr);
}

TEST_F(BmpRead, HugeClaimsInSmallFilesAllocateNothing) {
  const struct {
    uint32_t width;
    int32_t height;
    uint16_t bits;
    uint32_t colors;
    std::string line;
  } cases[] = {
      {65536, 65536, 24, 0,
       "  The image of WIDTH = 65536 and HEIGHT = 65536 is larger than the file.\n"},
      {4294967295u, -2147483647, 8, 0,
       "  The image of WIDTH = 4294967295 and HEIGHT = -2147483647 is larger than the file.\n"},
      {2, INT32_MIN, 24, 0, "  Unsupported value of HEIGHT = -2147483648\n"},
      {0, INT32_MIN, 24, 0, "  Unsupported value of HEIGHT = -2147483648\n"},
      {65536, 65536, 16, 0, "  Unrecognized value of BITSPERPIXEL = 16\n"},
      {2, 2, 24, 4294967295u, ""},
  };
  for (const auto& c : cases) {
    reset_largest_allocation();
    Read huge;
    read_made(concat(bmp_headers(70, 54, 40, c.width, c.height, c.bits, 0, c.colors), pixels_2x2()),
              &huge);
    EXPECT_TRUE(huge.failed);
    if (!c.line.empty()) {
      EXPECT_EQ(huge.report, std::string(kFatal) + c.line);
    }
    EXPECT_EQ(huge.r, nullptr);
    CoutCapture quiet;
    EXPECT_TRUE(bmp_print_test(path("made.bmp").c_str()));
    EXPECT_LE(largest_allocation(),
              64u << 20);  // the bound on trust: 3 planes of 16 MiB, 4 MiB palette
  }
}

TEST_F(BmpRead, PillowDecodesWhatTheWritersWrote) {
  const Bytes r = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 150};
  const Bytes g = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  const Bytes b = {255, 254, 253, 252, 251, 250, 249, 248, 247, 246, 245, 244, 243, 242, 241};
  ASSERT_FALSE(bmp_24_write(path("c.bmp").c_str(), 5, 3, r.data(), g.data(), b.data()));
  ASSERT_FALSE(bmp_08_write(path("p.bmp").c_str(), 5, 3, r.data()));
  std::string rgb, grey;
  const std::string tool = std::string(TRAVORN_PYTHON) + " " + TRAVORN_TOOLS + "/pil_pixels.py ";
  ASSERT_EQ(run_command(tool + path("c.bmp"), &rgb), 0);
  ASSERT_EQ(run_command(tool + path("p.bmp"), &grey), 0);
  // Plane row 0 is the bottom row of the picture.
  EXPECT_EQ(rgb,
            "RGB 5 3\n"
            "110 11 245 120 12 244 130 13 243 140 14 242 150 15 241\n"
            "60 6 250 70 7 249 80 8 248 90 9 247 100 10 246\n"
            "10 1 255 20 2 254 30 3 253 40 4 252 50 5 251\n");
  // The palette is grey: Pillow sees an L image or palette indices equal to the values.
  const std::string grey_rows = " 5 3\n110 120 130 140 150\n60 70 80 90 100\n10 20 30 40 50\n";
  EXPECT_TRUE(grey == "L" + grey_rows || grey == "P" + grey_rows) << grey;
}

TEST_F(BmpRead, ReadsWhatPillowWrote) {
  const std::string tool = std::string(TRAVORN_PYTHON) + " " + TRAVORN_TOOLS + "/pil_write.py ";
  const struct {
    const char* mode;
    const char* extra;
    bool topdown;
  } cases[] = {{"RGB", "", false}, {"RGB", " topdown", true}, {"L", "", false}};
  for (const auto& c : cases) {
    std::string ignored;
    ASSERT_EQ(run_command(tool + path("pil.bmp") + " " + c.mode + " 7 5" + c.extra, &ignored), 0);
    Read got;
    read(path("pil.bmp"), &got);
    ASSERT_FALSE(got.failed) << got.report;
    ASSERT_EQ(got.xsize, 7u);
    ASSERT_EQ(got.ysize, c.topdown ? -5 : 5);
    for (int row = 0; row < 5; ++row) {  // plane rows stand in file order
      const int picture_row = c.topdown ? row : 4 - row;
      for (int j = 0; j < 7; ++j) {
        const int k = picture_row * 7 + j, e = row * 7 + j;
        if (std::string(c.mode) == "RGB") {
          ASSERT_EQ(got.r[e], k % 256);
          ASSERT_EQ(got.g[e], (2 * k + 1) % 256);
          ASSERT_EQ(got.b[e], (255 - k) % 256);
        } else {
          ASSERT_EQ(got.r[e], k % 256);
        }
      }
    }
  }
}

// Real files from a public BMP test suite, when the shared corpus is present.
TEST_F(BmpRead, CorpusFilesReadOrFailCleanlyAndMatchPillow) {
  const std::filesystem::path corpus = TRAVORN_CORPUS;
  if (!std::filesystem::exists(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  int decoded = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
    if (entry.path().extension() != ".bmp") continue;
    const std::string name = entry.path().string();
    Read got;
    read(name, &got);
    {
      CoutCapture quiet;
      bmp_print_test(name.c_str());
    }
    if (got.failed || entry.path().parent_path().filename() != "g") continue;
    // A good file that reads: Pillow must see the same pixels (indices for 8-bit).
    std::string pil;
    ASSERT_EQ(
        run_command(std::string(TRAVORN_PYTHON) + " " + TRAVORN_TOOLS + "/pil_pixels.py " + name,
                    &pil),
        0);
    std::istringstream lines(pil);
    std::string mode;
    uint32_t w = 0;
    int32_t h = 0;
    lines >> mode >> w >> h;
    ASSERT_EQ(w, got.xsize) << name;
    ASSERT_EQ(h, got.ysize < 0 ? -got.ysize : got.ysize) << name;
    const bool eight = got.r == got.g;
    for (int32_t row = 0; row < h; ++row) {
      const int32_t file_row = got.ysize < 0 ? row : h - 1 - row;
      for (uint32_t j = 0; j < w; ++j) {
        const std::size_t e = std::size_t(file_row) * w + j;
        int s0 = 0, s1 = 0, s2 = 0;
        if (eight) {
          lines >> s0;
          ASSERT_EQ(s0, got.r[e]) << name << " row " << row << " column " << j;
        } else {
          lines >> s0 >> s1 >> s2;
          ASSERT_EQ((std::vector<int>{s0, s1, s2}),
                    (std::vector<int>{got.r[e], got.g[e], got.b[e]}))
              << name << " row " << row << " column " << j;
        }
      }
    }
    ++decoded;
  }
  EXPECT_GE(decoded, 10);
}
