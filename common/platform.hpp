// SPDX-License-Identifier: MIT
// The few calls the libraries and the converter make to the operating
// system beyond the standard library, each with a fallback that does
// nothing where the call is missing. Header-only and private to the project.
#ifndef TRAVORN_COMMON_PLATFORM_HPP
#define TRAVORN_COMMON_PLATFORM_HPP

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#elif defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

// A function compiled for AVX2 whatever the build targets: call it only
// where processor_has_avx2() says so. Elsewhere than GCC and Clang on
// x86-64 it is an ordinary function, never called. TRAVORN_INLINED makes a
// function part of each function that calls it, so that it is compiled for
// AVX2 within such a function and for the build's target elsewhere.
#if defined(__GNUC__) && defined(__x86_64__)
#define TRAVORN_AVX2 __attribute__((target("avx2")))
#define TRAVORN_INLINED __attribute__((always_inline))
#else
#define TRAVORN_AVX2
#define TRAVORN_INLINED
#endif

namespace travorn_detail {

// Whether the processor (and the system, which must save its registers)
// offers AVX2. Asked once, by the C runtime, as the program starts.
inline bool processor_has_avx2() {
#if defined(__GNUC__) && defined(__x86_64__)
  return __builtin_cpu_supports("avx2") != 0;
#else
  return false;
#endif
}

// Large planes are fresh memory that the parse or the row reader then
// touches page by page. Backing such a block with huge pages (where the
// kernel grants them on request) makes that first touch several times
// cheaper. The advice covers the pages that hold the block, which belong to
// the process's own memory; it changes no byte of it.
inline void advise_huge_pages(void* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::size_t kWorthIt = std::size_t(2) << 20;
  if (bytes < kWorthIt) return;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const std::size_t before = reinterpret_cast<std::uintptr_t>(block) & (page - 1);
  ::madvise(static_cast<char*>(block) - before, before + bytes, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

// True when `file_name` names the regular file or the pipe that standard
// output writes to. Terminals and other devices are never taken for it.
inline bool is_standard_output(const char* file_name) {
#if defined(__unix__) || defined(__APPLE__)
  struct stat out {};
  struct stat named {};
  if (::fstat(STDOUT_FILENO, &out) != 0 || ::stat(file_name, &named) != 0) return false;
  const bool file_or_pipe = S_ISREG(out.st_mode) || S_ISFIFO(out.st_mode);
  return file_or_pipe && out.st_dev == named.st_dev && out.st_ino == named.st_ino;
#else
  (void)file_name;
  return false;
#endif
}

// Whether a new file could be made: made, a file of that name exists
// already, or the folder refuses it (missing, not writable, full).
enum class NewFile { kMade, kExists, kRefused };

// Makes the new, empty file `file_name`, and only if no file of that name
// exists; its permissions are the usual ones for a new file (0666 less the
// umask on POSIX).
inline NewFile create_new_file(const char* file_name) {
#if defined(__unix__) || defined(__APPLE__)
  const int fd = ::open(file_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) ::close(fd);
#elif defined(_WIN32)
  const int fd =
      ::_open(file_name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd >= 0) ::_close(fd);
#else
  const int fd = -1;  // no exclusive creation: every output is written in place
  errno = 0;
#endif
  return fd >= 0 ? NewFile::kMade : errno == EEXIST ? NewFile::kExists : NewFile::kRefused;
}

// The permission bits, owner and group of a file, where the system has them.
struct FileOwner {
  bool known = false;
  unsigned mode = 0;
  long long user = -1;
  long long group = -1;
};

inline FileOwner owner_of(const char* file_name) {
  FileOwner owner;
#if defined(__unix__) || defined(__APPLE__)
  struct stat st {};
  if (::stat(file_name, &st) != 0) return owner;
  owner = {true, static_cast<unsigned>(st.st_mode & 07777), st.st_uid, st.st_gid};
#else
  (void)file_name;
#endif
  return owner;
}

// Gives `file_name` the owner and group of `owner` where the process may
// set them (the group alone, else nothing), then its permission bits.
inline void give_owner(const char* file_name, const FileOwner& owner) {
#if defined(__unix__) || defined(__APPLE__)
  if (!owner.known) return;
  if (::chown(file_name, static_cast<uid_t>(owner.user), static_cast<gid_t>(owner.group)) != 0) {
    [[maybe_unused]] const int ignored =
        ::chown(file_name, static_cast<uid_t>(-1), static_cast<gid_t>(owner.group));
  }
  ::chmod(file_name, static_cast<mode_t>(owner.mode));
#else
  (void)file_name;
  (void)owner;
#endif
}

inline std::uint64_t process_id() {
#if defined(__unix__) || defined(__APPLE__)
  return static_cast<std::uint64_t>(::getpid());
#elif defined(_WIN32)
  return static_cast<std::uint64_t>(::_getpid());
#else
  return 0;
#endif
}

// The signals that interrupt a run: SIGINT, SIGTERM and SIGHUP, or Ctrl-C
// and Ctrl-Break on Windows.
#if defined(__unix__) || defined(__APPLE__)
constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP};
#elif defined(SIGBREAK)
constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGBREAK};
#else
constexpr int kInterruptions[] = {SIGINT, SIGTERM};
#endif

// Holds the interruptions back while it lives: one that comes meanwhile is
// delivered when it ends, and the signal mask is as it was before. Where
// signals cannot be held (Windows), it does nothing.
struct InterruptionsHeld {
#if defined(__unix__) || defined(__APPLE__)
  InterruptionsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int s : kInterruptions) sigaddset(&held, s);
    sigprocmask(SIG_BLOCK, &held, &before);
  }
  ~InterruptionsHeld() { sigprocmask(SIG_SETMASK, &before, nullptr); }
  sigset_t before{};
#endif
};

// Calls `handler` on each interruption; the signal stays held while it runs.
// A file-size limit no longer ends the process (SIGXFSZ ignored): the write
// that passes it fails instead. A reader of standard output that goes away
// does not end it either (SIGPIPE ignored): what is printed then is lost.
inline void handle_interruptions(void (*handler)(int)) {
  for (const int s : kInterruptions) std::signal(s, handler);
#if defined(SIGXFSZ)
  std::signal(SIGXFSZ, SIG_IGN);
#endif
#if defined(SIGPIPE)
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

// Unlinks `file_name` with one system call: safe inside a signal handler.
inline void unlink_now(const char* file_name) {
#if defined(__unix__) || defined(__APPLE__)
  ::unlink(file_name);
#else
  std::remove(file_name);
#endif
}

// Ends the process as the default action of `signal_number` would, so that
// the parent sees the signal. Called last in that signal's handler: the
// signal, raised again, ends the process as the handler returns.
inline void die_of(int signal_number) {
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

}  // namespace travorn_detail

#endif  // TRAVORN_COMMON_PLATFORM_HPP
