// SPDX-License-Identifier: MIT
// The few calls the libraries and the converter make to the operating
// system beyond the standard library, each with a fallback that does
// nothing where the call is missing. Header-only and private to the project.
#ifndef TRAVORN_COMMON_PLATFORM_HPP
#define TRAVORN_COMMON_PLATFORM_HPP

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/stat.h>
#include <unistd.h>
#elif defined(_WIN32)
#include <io.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace travorn_detail {

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

// Holds back, while it lives, the signals that interrupt a run (SIGINT,
// SIGTERM, SIGHUP): one that comes meanwhile is delivered when it ends.
// Where signals cannot be held (Windows), it does nothing.
class InterruptionsHeld {
 public:
  InterruptionsHeld() {
#if defined(__unix__) || defined(__APPLE__)
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGTERM);
    sigaddset(&held, SIGHUP);
    sigprocmask(SIG_BLOCK, &held, &before_);
#endif
  }
  ~InterruptionsHeld() {
#if defined(__unix__) || defined(__APPLE__)
    sigprocmask(SIG_SETMASK, &before_, nullptr);
#endif
  }
  InterruptionsHeld(const InterruptionsHeld&) = delete;
  InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;

 private:
#if defined(__unix__) || defined(__APPLE__)
  sigset_t before_{};
#endif
};

// Calls `handler` on each signal that interrupts a run: SIGINT, SIGTERM and
// SIGHUP, or Ctrl-C and Ctrl-Break on Windows. A file-size limit does not
// end the process (SIGXFSZ ignored): the write that passes it fails instead.
inline void handle_interruptions(void (*handler)(int)) {
#if defined(__unix__) || defined(__APPLE__)
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  signal(SIGXFSZ, SIG_IGN);
#else
  std::signal(SIGINT, handler);
  std::signal(SIGTERM, handler);
#if defined(SIGBREAK)
  std::signal(SIGBREAK, handler);
#endif
#endif
}

// Unlinks `file_name` with one system call: safe inside a signal handler.
inline void unlink_now(const char* file_name) {
#if defined(__unix__) || defined(__APPLE__)
  ::unlink(file_name);
#elif defined(_WIN32)
  ::_unlink(file_name);
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
