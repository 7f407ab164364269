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

// Files written by descriptor, in binary mode: the one way the writers
// reach a file, sequentially or at a position. Elsewhere than POSIX and
// Windows no file opens.
enum class Opening {
  kNew,       // a new file, only if no file of that name exists
  kReplace,   // the file cut to length 0, or made
  kExisting,  // an existing file, left as it is
};

// A descriptor open for writing, or -1 (errno says why: EEXIST for a kNew
// file that exists). A file made gets the usual permissions: 0666 less the
// umask on POSIX.
inline int open_for_writing(const char* file_name, Opening how) {
#if defined(__unix__) || defined(__APPLE__)
  const int flags = how == Opening::kNew       ? O_CREAT | O_EXCL
                    : how == Opening::kReplace ? O_CREAT | O_TRUNC
                                               : 0;
  return ::open(file_name, O_WRONLY | O_CLOEXEC | flags, 0666);
#elif defined(_WIN32)
  const int flags = how == Opening::kNew       ? _O_CREAT | _O_EXCL
                    : how == Opening::kReplace ? _O_CREAT | _O_TRUNC
                                               : 0;
  return ::_open(file_name, _O_WRONLY | _O_BINARY | flags, _S_IREAD | _S_IWRITE);
#else
  (void)file_name;
  (void)how;
  errno = ENOSYS;
  return -1;
#endif
}

// Writes `count` bytes at the file's current place (after a short write,
// the rest); false on any failure (a full disk, a size limit).
inline bool write_all(int fd, const char* bytes, std::size_t count) {
  while (count > 0) {
    const std::size_t piece = count < (std::size_t{1} << 30) ? count : std::size_t{1} << 30;
#if defined(__unix__) || defined(__APPLE__)
    const auto written = ::write(fd, bytes, piece);
    if (written < 0 && errno == EINTR) continue;
#elif defined(_WIN32)
    const auto written = ::_write(fd, bytes, static_cast<unsigned>(piece));
#else
    const int written = -1;
    (void)fd;
#endif
    if (written <= 0) return false;
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

// Writes `count` bytes at byte `offset` of the file (pwrite; the fallback
// seeks first, which moves the file's current place).
inline bool write_at(int fd, std::uint64_t offset, const char* bytes, std::size_t count) {
#if defined(__unix__) || defined(__APPLE__)
  while (count > 0) {
    const std::size_t piece = count < (std::size_t{1} << 30) ? count : std::size_t{1} << 30;
    const auto written = ::pwrite(fd, bytes, piece, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    count -= static_cast<std::size_t>(written);
    offset += static_cast<std::uint64_t>(written);
  }
  return true;
#elif defined(_WIN32)
  return ::_lseeki64(fd, static_cast<long long>(offset), SEEK_SET) >= 0 &&
         write_all(fd, bytes, count);
#else
  (void)offset;
  return write_all(fd, bytes, count);
#endif
}

// Closes a descriptor; false when the close reports a failure (a write
// that the system had delayed).
inline bool close_file(int fd) {
#if defined(__unix__) || defined(__APPLE__)
  return ::close(fd) == 0;
#elif defined(_WIN32)
  return ::_close(fd) == 0;
#else
  (void)fd;
  return false;
#endif
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
