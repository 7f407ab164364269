// Damaged and hostile files through every reader and the executable: a
// status and a report, never a crash, a hang or an outsized allocation.
#include <sys/resource.h>

#include "bmp/bmp.hpp"
#include "ppma/ppma.hpp"
#include "support.hpp"

namespace {
// No single allocation of a reader may exceed this for the small files here:
// planes taken on trust stop at 16 MiB (BMP) and 4 MiB in all (PPMA).
constexpr std::size_t kAllocationBound = (16u << 20) + 64;

struct Outcome {
  int status;
  std::string report;
};

std::string first_header(const std::string& report) {  // the line after the first empty line
  const auto start = report.find('\n');
  if (start == std::string::npos) return "";
  return report.substr(start + 1, report.find('\n', start + 1) - start - 1);
}

class Hostile : public TempDirTest {
 protected:
  Outcome ppma(const std::string& name) {
    int32_t x = 0, y = 0, m = 0;
    int32_t *r = nullptr, *g = nullptr, *b = nullptr;
    CoutCapture capture;
    reset_largest_allocation();
    const int status = ppma_read(name.c_str(), &x, &y, &m, &r, &g, &b);
    EXPECT_LE(largest_allocation(), kAllocationBound) << name;
    delete[] r;
    delete[] g;
    delete[] b;
    return {status, capture.str()};
  }
  Outcome bmp(const std::string& name) {
    uint32_t x = 0;
    int32_t y = 0;
    unsigned char *r = nullptr, *g = nullptr, *b = nullptr;
    CoutCapture capture;
    reset_largest_allocation();
    const bool failed = bmp_read(name.c_str(), &x, &y, &r, &g, &b);
    EXPECT_LE(largest_allocation(), kAllocationBound) << name;
    if (g != r) delete[] g;
    if (b != r && b != g) delete[] b;
    delete[] r;
    return {failed ? 1 : 0, capture.str()};
  }
  Outcome print(const std::string& name) {
    CoutCapture capture;
    reset_largest_allocation();
    const bool failed = bmp_print_test(name.c_str());
    EXPECT_LE(largest_allocation(), kAllocationBound) << name;
    return {failed ? 1 : 0, capture.str()};
  }
  Outcome convert(const std::string& name) {
    std::string out;
    const int status =
        run_command(std::string(TRAVORN_EXE) + " '" + name + "' " + path("o.bmp"), &out);
    return {status, out};
  }
};

Bytes written_bmp(bool eight, const std::string& name) {
  const unsigned char p[15] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  EXPECT_FALSE(eight ? bmp_08_write(name.c_str(), 5, 3, p)
                     : bmp_24_write(name.c_str(), 5, 3, p, p, p));
  return read_bytes(name);
}

void put32(Bytes* f, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) (*f)[at + i] = static_cast<unsigned char>(v >> (8 * i));
}
}  // namespace

TEST_F(Hostile, EveryTruncationOfABmpFile) {
  for (const bool eight : {false, true}) {
    const Bytes whole = written_bmp(eight, path("w.bmp"));
    const std::size_t pixels_at = eight ? 1078 : 54;
    const std::size_t row = eight ? 8 : 16;
    for (std::size_t keep = 0; keep <= whole.size(); ++keep) {
      write_bytes(path("t.bmp"), Bytes(whole.begin(), whole.begin() + keep));
      const Outcome read = bmp(path("t.bmp"));
      const Outcome described = print(path("t.bmp"));
      // A cut inside a row's padding still reads, with a warning; rows after it stay unread.
      const std::size_t pixel_bytes = eight ? 5 : 15;
      const bool valid =
          keep == whole.size() || (keep >= pixels_at && (keep - pixels_at) % row >= pixel_bytes);
      ASSERT_EQ(read.status, valid ? 0 : 1) << keep;
      ASSERT_EQ(described.status, valid ? 0 : 1) << keep;
      std::string expected = "BMP_READ: Fatal error!";
      if (keep >= pixels_at)
        expected = eight ? "BMP_08_DATA_READ: Fatal error!" : "BMP_24_DATA_READ: Fatal error!";
      if (eight && keep >= 54 && keep < pixels_at) expected = "BMP_PALETTE_READ: Fatal error!";
      if (valid)
        expected = keep == whole.size()
                       ? ""
                       : (eight ? "BMP_08_DATA_READ - Warning!" : "BMP_24_DATA_READ - Warning!");
      ASSERT_EQ(first_header(read.report), expected) << keep;
    }
  }
}

TEST_F(Hostile, EveryTruncationOfAP3File) {
  const std::string whole = "P3\n# c\n3 2\n255\n1 2 3 4 5 6 7 8 9\n10 11 12 13 14 15 16 17 18\n";
  for (std::size_t keep = 0; keep <= whole.size(); ++keep) {
    write_text(path("t.ppm"), whole.substr(0, keep));
    const Outcome read = ppma(path("t.ppm"));
    const bool valid = keep == whole.size();
    ASSERT_EQ(read.status, valid ? 0 : 1) << keep;
    if (!valid) {
      const bool in_header = keep < whole.find("255\n") + 4;
      ASSERT_EQ(first_header(read.report),
                in_header ? "PPMA_READ_HEADER - Fatal error!" : "PPMA_READ - Fatal error!")
          << keep;
    }
  }
  // The executable on a few of them: status 1 and the closing failure block.
  for (const std::size_t keep : {std::size_t(0), std::size_t(9), whole.size() - 1}) {
    write_text(path("t.ppm"), whole.substr(0, keep));
    const Outcome run = convert(path("t.ppm"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.report.find("\nTRAVORN - Fatal error!\n  The conversion was not successful.\n"),
              std::string::npos);
  }
}

TEST_F(Hostile, ExtremeBmpFields) {
  const Bytes base = written_bmp(false, path("w.bmp"));
  const struct {
    std::size_t at;
    std::uint32_t value;
    const char* header;
  } cases[] = {{18, 0xFFFFFFFFu, "BMP_READ: Fatal error!"},          // WIDTH
               {22, 0x7FFFFFFFu, "BMP_READ: Fatal error!"},          // HEIGHT
               {22, 0x80000000u, "BMP_READ: Fatal error!"},          // HEIGHT -2147483648
               {22, 0x80000001u, "BMP_READ: Fatal error!"},          // HEIGHT -2147483647
               {46, 0xFFFFFFFFu, "BMP_PALETTE_READ: Fatal error!"},  // COLORSUSED
               {46, 0x00100001u, "BMP_PALETTE_READ: Fatal error!"},
               {14, 0xFFFFFFFFu, "BMP_24_DATA_READ: Fatal error!"},  // SIZE
               {10, 0xFFFFFFFFu, "BMP_24_DATA_READ: Fatal error!"},  // BITMAPOFFSET
               {18, 0u, ""}};                                        // WIDTH 0 reads nothing
  for (const auto& c : cases) {
    Bytes f = base;
    put32(&f, c.at, c.value);
    write_bytes(path("x.bmp"), f);
    const Outcome read = bmp(path("x.bmp"));
    EXPECT_EQ(read.status, c.header[0] == '\0' ? 0 : 1) << c.at << " " << c.value;
    EXPECT_EQ(first_header(read.report), c.header) << c.at << " " << c.value;
    EXPECT_EQ(print(path("x.bmp")).status, c.header[0] == '\0' ? 0 : 1) << c.at << " " << c.value;
  }
}

TEST_F(Hostile, OddInputsOfEveryKind) {
  write_text(path("long.ppm"), "P3\n#" + std::string(10u << 20, 'c') + "\n1 1 255\n1 2 3\n");
  Bytes garbage(100000);
  std::uint32_t seed = 7;
  for (auto& byte : garbage)
    byte = static_cast<unsigned char>((seed = seed * 1103515245u + 12345u) >> 24);
  write_bytes(path("garbage.bin"), garbage);
  Bytes garbage_bm = garbage;
  garbage_bm[0] = 'B';
  garbage_bm[1] = 'M';
  write_bytes(path("garbage-bm.bin"), garbage_bm);
  for (const std::string& name : {dir_.string(), std::string("/dev/null"), path("long.ppm"),
                                  path("garbage.bin"), path("garbage-bm.bin")}) {
    EXPECT_EQ(ppma(name).status, 1) << name;
    EXPECT_EQ(bmp(name).status, 1) << name;
    EXPECT_EQ(print(name).status, 1) << name;
    EXPECT_EQ(convert(name).status, 1) << name;
  }
  EXPECT_EQ(first_header(ppma(path("long.ppm")).report), "PPMA_READ_HEADER - Fatal error!");
  EXPECT_EQ(first_header(ppma("/dev/null").report), "PPMA_READ_HEADER - Fatal error!");
  EXPECT_EQ(first_header(bmp("/dev/null").report), "BMP_READ: Fatal error!");
}

TEST_F(Hostile, HugeDeclaredSizesConvertNothingAndStaySmall) {
  const std::string claims[] = {"P3\n2147483647 1\n255\n1 2 3\n", "P3\n46341 46341\n255\n1 2 3\n",
                                "P3\n30000 30000\n65535\n" + std::string(1000, '7') + "\n"};
  for (const auto& text : claims) {
    write_text(path("claim.ppm"), text);
    const Outcome run = convert(path("claim.ppm"));
    EXPECT_EQ(run.status, 1);
  }
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  EXPECT_LT(usage.ru_maxrss, 64 * 1024) << "KB, the largest child's peak";
}
