#include <sstream>

#include "ppma/ppma.hpp"
#include "support.hpp"

namespace {
struct Header {
  int status;
  int32_t xsize = -7, ysize = -7, maxrgb = -7;
  std::string report;
  std::string rest;  // what the stream holds after the header
};

Header read_header(const std::string& text) {
  std::istringstream in(text);
  Header h{};
  h.xsize = h.ysize = h.maxrgb = -7;
  CoutCapture capture;
  h.status = ppma_read_header(in, &h.xsize, &h.ysize, &h.maxrgb);
  h.report = capture.str();
  std::ostringstream rest;
  if (in) rest << in.rdbuf();
  h.rest = rest.str();
  return h;
}

void expect_values(const Header& h, int32_t x, int32_t y, int32_t m) {
  EXPECT_EQ(h.status, 0) << h.report;
  EXPECT_EQ(h.report, "");
  EXPECT_EQ(h.xsize, x);
  EXPECT_EQ(h.ysize, y);
  EXPECT_EQ(h.maxrgb, m);
}
}  // namespace

TEST(PpmaReadHeader, ReadsItemsOnOneOrOnSeveralLines) {
  expect_values(read_header("P3 3 2 255\nDATA"), 3, 2, 255);
  expect_values(read_header("P3\n3\n2\n255\n"), 3, 2, 255);
  expect_values(read_header("P3\n3 2\n255\n"), 3, 2, 255);
  expect_values(read_header("P3 3\n2 255\n"), 3, 2, 255);
}

TEST(PpmaReadHeader, SkipsCommentAndEmptyLinesBetweenItems) {
  const Header h = read_header("# first\n\n   \nP3\n# c\n\n3\n#\n2\n\t\n# P6\n255\n1 2 3\n");
  expect_values(h, 3, 2, 255);
  EXPECT_EQ(h.rest, "1 2 3\n");
}

TEST(PpmaReadHeader, AcceptsLowerCaseMagicAndSignedNumbers) {
  expect_values(read_header("p3\n+3 -2 +255\n"), 3, -2, 255);
}

TEST(PpmaReadHeader, DropsTheRestOfALineWithoutTheExpectedNumber) {
  expect_values(read_header("P3\n3 # two follows\n2\n255\n"), 3, 2, 255);
  expect_values(read_header("P3 junk 9\n3 2\n255\n"), 3, 2, 255);
  expect_values(read_header("P3\n # not a comment here\n3 2 255\n"), 3, 2, 255);
  expect_values(read_header("P3\n3abc 4\n2 255\n"), 3, 2, 255);
}

TEST(PpmaReadHeader, DropsTheRestOfTheMaxrgbLine) {
  const Header h = read_header("P3\n2 2 255 1 2 3\n4 5 6\n");
  expect_values(h, 2, 2, 255);
  EXPECT_EQ(h.rest, "4 5 6\n");
}

TEST(PpmaReadHeader, RejectsOtherMagicWordsQuotingThem) {
  for (const std::string word : {"P6", "P33", "P3#x", "#P3"}) {
    const Header h = read_header((word == "#P3" ? " " : "") + word + " 3 2 255\n");
    EXPECT_EQ(h.status, 1);
    EXPECT_EQ(h.report,
              "\nPPMA_READ_HEADER - Fatal error.\n  Bad magic number = \"" + word + "\".\n");
  }
}

TEST(PpmaReadHeader, EndOfFileBeforeMaxrgb) {
  const std::string eof = "\nPPMA_READ_HEADER - Fatal error!\n  End of file.\n";
  for (const std::string text : {"", "# only a comment\n", "P3\n3 2\n", "P3 3 2 255"}) {
    const Header h = read_header(text);
    EXPECT_EQ(h.status, 1) << text;
    EXPECT_EQ(h.report, eof) << text;
  }
  // Values parsed before the failure stay stored.
  const Header h = read_header("P3\n3 2\n");
  EXPECT_EQ(h.xsize, 3);
  EXPECT_EQ(h.ysize, 2);
  EXPECT_EQ(h.maxrgb, -7);
}

TEST(PpmaReadHeader, ReadsLinesOf65536CharactersWhole) {
  const std::string comment = "#" + std::string(65535, 'c') + "\n";
  expect_values(read_header("P3\n" + comment + "3 2\n255\n"), 3, 2, 255);
  const std::string numbers = "4 5 " + std::string(65536 - 7, ' ') + "255\n";
  ASSERT_EQ(numbers.size(), 65537u);
  expect_values(read_header("P3\n" + numbers), 4, 5, 255);
}

TEST(PpmaReadHeader, RefusesLongerLinesWithoutLooping) {
  const Header h = read_header("P3\n#" + std::string(65536, 'c') + "\n3 2 255\n");
  EXPECT_EQ(h.status, 1);
  EXPECT_EQ(
      h.report,
      "\nPPMA_READ_HEADER - Fatal error!\n  A header line is longer than 65536 characters.\n");
}

TEST(PpmaReadHeader, RefusesNumbersOutsideSigned32Bits) {
  expect_values(read_header("P3 2147483647 -2147483648 0\n"), 2147483647, INT32_MIN, 0);
  for (const std::string number : {"2147483648", "-2147483649", "99999999999999999999"}) {
    const Header h = read_header("P3 1 " + number + " 255\n");
    EXPECT_EQ(h.status, 1);
    EXPECT_EQ(h.report,
              "\nPPMA_READ_HEADER - Fatal error!\n  The number " + number + " is out of range.\n");
  }
}
