// The travorn executable as a user runs it: arguments, prompts, exit status.
#include <regex>

#include "support.hpp"

namespace {
class Driver : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    write_text(path("in.ppm"), "P3\n1 1\n255\n1 2 3\n");
  }
  // Runs travorn with `args`, feeding `input` (printf format) on standard input;
  // returns the status and stores the output with time stamps and build time masked.
  int run(const std::string& args, const std::string& input, std::string* output) {
    std::string raw;
    const int status = run_command(
        "cd " + dir_.string() + " && printf '" + input + "' | " + TRAVORN_EXE + " " + args, &raw);
    const std::regex built(R"(Compiled on [A-Z][a-z][a-z] [ 1-3]\d \d{4} at \d\d:\d\d:\d\d\.)");
    raw = std::regex_replace(raw, std::regex(R"(\d\d [A-Z][a-z]+ \d{4} \d\d:\d\d:\d\d [AP]M\n)"),
                             "STAMP\n");
    *output = std::regex_replace(raw, built, "Compiled on DATE at TIME.");
    return status;
  }
};

const char kBanner[] =
    "STAMP\n\nTRAVORN:\n\n  Compiled on DATE at TIME.\n\n"
    "  Convert a NetPBM ASCII PPM file to Microsoft BMP format.\n";
const char kInputPrompt[] = "\nTRAVORN:\n  Please enter the input PPMA file name:\n";
const char kOutputPrompt[] = "\nTRAVORN:\n  Please enter the output BMP file name:\n";
const char kConverted[] =
    "\nTRAVORN:\n  XSIZE = 1.\n  YSIZE = 1.\n\nTRAVORN:\n  Flipping data orientation.\n"
    "\nTRAVORN:\n  Normal end of translation.\n"
    "\nTRAVORN:\n  Normal end of execution.\n\nSTAMP\n";
}  // namespace

TEST_F(Driver, ConvertsTheFilesNamedOnTheCommandLine) {
  std::string out;
  EXPECT_EQ(run("in.ppm out.bmp ignored", "", &out), 0);
  EXPECT_EQ(out, std::string(kBanner) + kConverted);
  EXPECT_EQ(read_bytes(path("out.bmp")).size(), 58u);
}

TEST_F(Driver, PromptsForWhatTheCommandLineLacks) {
  std::string out;
  EXPECT_EQ(run("in.ppm", "out.bmp\\n", &out), 0);
  EXPECT_EQ(out, std::string(kBanner) + kOutputPrompt + kConverted);
  EXPECT_EQ(run("", "in.ppm\\nout2.bmp\\n", &out), 0);
  EXPECT_EQ(out, std::string(kBanner) + kInputPrompt + kOutputPrompt + kConverted);
  EXPECT_TRUE(std::filesystem::exists(path("out2.bmp")));
}

TEST_F(Driver, EndOfInputAtAPromptEndsWithStatusOne) {
  std::string out;
  EXPECT_EQ(run("", "", &out), 1);
  EXPECT_EQ(out, std::string(kBanner) + kInputPrompt);
  EXPECT_EQ(run("", "in.ppm\\n", &out), 1);
  EXPECT_EQ(out, std::string(kBanner) + kInputPrompt + kOutputPrompt);
  EXPECT_EQ(run("in.ppm", "out.bmp", &out), 1);  // a last line without its newline
  EXPECT_EQ(out, std::string(kBanner) + kOutputPrompt);
  EXPECT_FALSE(std::filesystem::exists(path("out.bmp")));
}

TEST_F(Driver, AFailedConversionHasNoClosingStamp) {
  std::string out;
  EXPECT_EQ(run("", "\\nout.bmp\\n", &out), 1);
  EXPECT_EQ(out, std::string(kBanner) + kInputPrompt + kOutputPrompt +
                     "\nPPMA_READ - Fatal error!\n  Cannot open the input file \"\".\n"
                     "\nTRAVORN - Fatal error!\n  PPMA_READ failed.\n"
                     "\nTRAVORN - Fatal error!\n  The conversion was not successful.\n");
}

TEST_F(Driver, UsesNamesOfAnyLengthWhole) {
  const std::string long_name = std::string(200, 'n') + ".bmp";
  const std::string name79 = std::string(75, 'i') + ".ppm";
  std::filesystem::copy_file(path("in.ppm"), path(name79));
  std::string out;
  EXPECT_EQ(run("", name79 + "\\n" + long_name + "\\n", &out), 0) << out;
  EXPECT_EQ(read_bytes(path(long_name)).size(), 58u);
  const std::string longer = std::string(120, 'a') + ".bmp";
  EXPECT_EQ(run(name79 + " " + longer, "", &out), 0) << out;
  EXPECT_EQ(read_bytes(path(longer)).size(), 58u);
}

// travorn refuses, before reading or writing anything, to write over its
// input under any name, and to write into the stream its reports go to.
TEST_F(Driver, RefusesToWriteOverTheInputOrIntoTheReports) {
  std::filesystem::create_hard_link(path("in.ppm"), path("hard.ppm"));
  std::filesystem::create_symlink("in.ppm", path("soft.ppm"));
  const std::string same = "  The output file is the input file.\n";
  const std::string stdout_ = "  The output file is the standard output, where the reports go.\n";
  const struct {
    const char* args;
    const std::string& reason;
  } cases[] = {
      {"in.ppm in.ppm", same},
      {"in.ppm ./in.ppm", same},
      {"in.ppm hard.ppm", same},
      {"in.ppm soft.ppm", same},
      {"soft.ppm in.ppm", same},
      {"in.ppm log > log; s=$?; cat log; exit $s", stdout_},  // standard output is a file
      {"in.ppm /dev/stdout | cat", stdout_},                  // standard output is a pipe
  };
  const Bytes input = read_bytes(path("in.ppm"));
  for (const auto& c : cases) {
    std::string out;
    const int status = run(c.args, "", &out);
    if (std::string(c.args).find('|') == std::string::npos) {
      EXPECT_EQ(status, 1) << c.args;  // a pipe's status is the last command's
    }
    EXPECT_EQ(out, std::string(kBanner) + "\nTRAVORN - Fatal error!\n" + c.reason +
                       "\nTRAVORN - Fatal error!\n  The conversion was not successful.\n")
        << c.args;
    EXPECT_EQ(read_bytes(path("in.ppm")), input) << c.args;
  }
  std::string out;
  EXPECT_EQ(run("in.ppm /dev/null", "", &out), 0);  // devices other than the reports' are fine
  EXPECT_EQ(out, std::string(kBanner) + kConverted);
}
