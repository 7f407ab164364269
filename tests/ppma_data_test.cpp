#include <sys/stat.h>

#include <sstream>
#include <thread>

#include "ppma/ppma.hpp"
#include "support.hpp"

namespace {
struct Data {
  int status;
  std::vector<int32_t> r, g, b;
};

Data read_data(const std::string& text, int32_t xsize, int32_t ysize) {
  std::istringstream in(text);
  const std::size_t n = xsize > 0 && ysize > 0 ? std::size_t(xsize) * ysize : 0;
  Data d{0, std::vector<int32_t>(n, -9), std::vector<int32_t>(n, -9), std::vector<int32_t>(n, -9)};
  CoutCapture capture;
  d.status = ppma_read_data(in, xsize, ysize, d.r.data(), d.g.data(), d.b.data());
  EXPECT_EQ(capture.str(), "");  // the data reader prints nothing
  return d;
}

struct Image {
  int status;
  int32_t xsize = 0, ysize = 0, maxrgb = 0;
  int32_t *r = nullptr, *g = nullptr, *b = nullptr;
  std::string report;
  ~Image() {
    delete[] r;
    delete[] g;
    delete[] b;
  }
};

void read_file(const std::string& name, Image* im) {
  CoutCapture capture;
  im->status = ppma_read(name.c_str(), &im->xsize, &im->ysize, &im->maxrgb, &im->r, &im->g, &im->b);
  im->report = capture.str();
}

const char kDataFailed[] = "\nPPMA_READ - Fatal error!\n  PPMA_READ_DATA failed.\n";
}  // namespace

TEST(PpmaReadData, ReadsSamplesWhateverTheLineBreaks) {
  for (const std::string text :
       {"1 2 3 4 5 6\n", "1\n2\n3\n4\n5\n6\n", " \t1 2\r\n3 4\n\n5 6 7 junk\n"}) {
    const Data d = read_data(text, 2, 1);
    EXPECT_EQ(d.status, 0) << text;
    EXPECT_EQ(d.r, (std::vector<int32_t>{1, 4}));
    EXPECT_EQ(d.g, (std::vector<int32_t>{2, 5}));
    EXPECT_EQ(d.b, (std::vector<int32_t>{3, 6}));
  }
  const Data d = read_data("+7 -1 2147483647 -2147483648 007 0\n", 2, 1);
  EXPECT_EQ(d.r, (std::vector<int32_t>{7, -2147483648}));
  EXPECT_EQ(d.g, (std::vector<int32_t>{-1, 7}));
  EXPECT_EQ(d.b, (std::vector<int32_t>{2147483647, 0}));
}

TEST(PpmaReadData, FailsOnShortDataAndOnALastSampleThatEndsTheFile) {
  EXPECT_EQ(read_data("1 2 3 4 5\n", 2, 1).status, 1);
  EXPECT_EQ(read_data("1 2 3 4 5 6", 2, 1).status, 1);
  EXPECT_EQ(read_data("1 2 3 4 5 6 ", 2, 1).status, 0);
  const Data d = read_data("1 2 3 4", 2, 1);  // what was read stays, the rest is untouched
  EXPECT_EQ(d.r, (std::vector<int32_t>{1, -9}));
  EXPECT_EQ(d.b, (std::vector<int32_t>{3, -9}));
}

TEST(PpmaReadData, FailsOnTokensThatAreNotSigned32BitDecimals) {
  for (const std::string token : {"x", "#", "1.5", "0x10", "--1", "+-1", "-", "+", "2147483648",
                                  "-2147483649", "12a", "99999999999999999999"}) {
    const Data d = read_data("1 2 " + token + " 4 5 6\n", 2, 1);
    EXPECT_EQ(d.status, 1) << token;
    EXPECT_EQ(d.b[0], -9) << token;  // never counted as read
  }
}

TEST(PpmaReadData, ReadsNothingForEmptyImages) {
  EXPECT_EQ(read_data("", 0, 5).status, 0);
  EXPECT_EQ(read_data("", 5, 0).status, 0);
  EXPECT_EQ(read_data("", -1, 5).status, 0);
}

class PpmaRead : public TempDirTest {};

TEST_F(PpmaRead, ReadsAFileIntoNewPlanes) {
  write_text(path("a.ppm"), "P3\n# hi\n2 2\n15\n0 1 2 3 4 5\n6 7 8 9 10 11\n");
  Image im;
  read_file(path("a.ppm"), &im);
  ASSERT_EQ(im.status, 0) << im.report;
  EXPECT_EQ(im.report, "");
  EXPECT_EQ(im.xsize, 2);
  EXPECT_EQ(im.ysize, 2);
  EXPECT_EQ(im.maxrgb, 15);
  EXPECT_EQ((std::vector<int32_t>(im.g, im.g + 4)), (std::vector<int32_t>{1, 4, 7, 10}));
}

TEST_F(PpmaRead, ReportsEachFailureClass) {
  Image missing;
  read_file(path("none.ppm"), &missing);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.report, "\nPPMA_READ - Fatal error!\n  Cannot open the input file \"" +
                                path("none.ppm") + "\".\n");
  EXPECT_EQ(missing.r, nullptr);

  write_text(path("magic.ppm"), "P6\n1 1 255\n");
  Image magic;
  read_file(path("magic.ppm"), &magic);
  EXPECT_EQ(magic.report,
            "\nPPMA_READ_HEADER - Fatal error.\n  Bad magic number = \"P6\".\n"
            "\nPPMA_READ - Fatal error!\n  PPMA_READ_HEADER failed.\n");
  EXPECT_EQ(magic.r, nullptr);

  write_text(path("short.ppm"), "P3\n2 2 255 1 2 3\n4 5 6 7 8 9 10 11 12\n");
  Image shortfile;
  read_file(path("short.ppm"), &shortfile);
  EXPECT_EQ(shortfile.status, 1);
  EXPECT_EQ(shortfile.report, kDataFailed);
  EXPECT_NE(shortfile.r, nullptr);  // small planes are handed over, as always
}

TEST_F(PpmaRead, RefusesNegativeAndUnindexableSizesBeforeAllocating) {
  const struct {
    const char* size;
    const char* line;
  } cases[] = {{"-1 2", "  Negative image size: XSIZE = -1, YSIZE = 2.\n"},
               {"3 -2147483648", "  Negative image size: XSIZE = 3, YSIZE = -2147483648.\n"},
               {"65536 32768", "  The image size XSIZE = 65536, YSIZE = 32768 is too large.\n"}};
  for (const auto& c : cases) {
    write_text(path("bad.ppm"), std::string("P3\n") + c.size + "\n255\n1 2 3\n");
    Image im;
    read_file(path("bad.ppm"), &im);
    EXPECT_EQ(im.status, 1);
    EXPECT_EQ(im.report, std::string("\nPPMA_READ - Fatal error!\n") + c.line);
    EXPECT_EQ(im.r, nullptr);
  }
}

TEST_F(PpmaRead, AcceptsZeroSizesAtOnce) {
  write_text(path("zero.ppm"), "P3\n0 2147483647\n255\n");
  Image im;
  read_file(path("zero.ppm"), &im);
  EXPECT_EQ(im.status, 0);
  EXPECT_EQ(im.xsize, 0);
  EXPECT_EQ(im.ysize, 2147483647);
}

TEST_F(PpmaRead, AHugeSizeInASmallFileFailsAsShortDataWithoutPlanes) {
  write_text(path("huge.ppm"), "P3\n40000 40000\n255\n1 2 3\n");
  Image im;
  reset_largest_allocation();
  read_file(path("huge.ppm"), &im);
  EXPECT_LE(largest_allocation(), 1u << 20);
  EXPECT_EQ(im.status, 1);
  EXPECT_EQ(im.report, kDataFailed);
  EXPECT_EQ(im.r, nullptr);
}

// A pipe that ends early costs no more than the first step of growth.
TEST_F(PpmaRead, AShortPipeFailsWithoutLargePlanes) {
  const std::string fifo = path("fifo");
  if (::mkfifo(fifo.c_str(), 0600) != 0) GTEST_SKIP() << "no FIFO on this platform";
  std::thread short_writer([&] { write_text(fifo, "P3\n30000 30000\n255\n1 2 3\n"); });
  Image shortpipe;
  reset_largest_allocation();
  read_file(fifo, &shortpipe);
  EXPECT_LE(largest_allocation(), 4u << 20);  // the first step of growth
  short_writer.join();
  EXPECT_EQ(shortpipe.status, 1);
  EXPECT_EQ(shortpipe.report, kDataFailed);
  EXPECT_EQ(shortpipe.r, nullptr);
}

TEST_F(PpmaRead, ADirectoryEndsTheHeaderReadWithAReport) {
  Image im;
  read_file(dir_.string(), &im);
  EXPECT_EQ(im.status, 1);
  EXPECT_NE(im.report.find("PPMA_READ_HEADER - Fatal error!\n"), std::string::npos) << im.report;
  EXPECT_NE(im.report.find("  PPMA_READ_HEADER failed.\n"), std::string::npos);
}
