// A write that fails half way (here: a file-size limit, with SIGXFSZ
// ignored, as a full disk would) leaves no file that looks like a picture.
#include "support.hpp"

#if defined(__unix__)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <vector>

#include "bmp/bmp.hpp"
#include "ppma/ppma.hpp"

namespace {
// Runs `write` in a child whose files may not grow beyond 10 KiB; its status.
template <typename Write>
int write_limited(Write write) {
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit limit{10240, 10240};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_IGN);
    CoutCapture quiet;
    ::_exit(write() ? 1 : 0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace

TEST_F(TempDirTest, AFailedWriteRemovesTheUnfinishedFile) {
  const std::vector<unsigned char> bytes(100 * 100, 7);
  const std::vector<int32_t> samples(100 * 100, 7);
  const std::string bmp24 = path("24.bmp"), bmp08 = path("08.bmp"), ppm = path("p.ppm");
  EXPECT_EQ(write_limited([&] {
              return bmp_24_write(bmp24.c_str(), 100, 100, bytes.data(), bytes.data(),
                                  bytes.data());
            }),
            1);
  EXPECT_EQ(write_limited([&] { return bmp_08_write(bmp08.c_str(), 100, 100, bytes.data()); }), 1);
  EXPECT_EQ(write_limited([&] {
              return ppma_write(ppm.c_str(), 100, 100, samples.data(), samples.data(),
                                samples.data()) != 0;
            }),
            1);
  for (const auto& name : {bmp24, bmp08, ppm}) EXPECT_FALSE(std::filesystem::exists(name)) << name;

  // The converter as a user runs it: the report, and no part.bmp.
  std::string text = "P3\n100 100\n255\n";
  for (int k = 0; k < 3 * 100 * 100; ++k) text += "7\n";
  write_text(path("big.ppm"), text);
  std::string out;
  EXPECT_EQ(run_command("cd " + dir_.string() +
                            " && (trap '' XFSZ; ulimit -f 10; " TRAVORN_EXE " big.ppm part.bmp)",
                        &out),
            1);
  EXPECT_NE(out.find("\nBMP_24_WRITE - Fatal error!\n  Error while writing the output file.\n"
                     "\nTRAVORN - Fatal error!\n  BMP_24_WRITE failed.\n"),
            std::string::npos)
      << out;
  EXPECT_FALSE(std::filesystem::exists(path("part.bmp")));
}
#else
TEST(Unfinished, AFailedWriteRemovesTheUnfinishedFile) {
  GTEST_SKIP() << "no file-size limit (setrlimit, fork) on this platform";
}
#endif
