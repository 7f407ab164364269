// SPDX-License-Identifier: MIT
// The calls the libraries and the converter make to the operating system
// beyond the standard library: descriptors, what a file is, the folder a
// new file is made in, and the signals that end a run. POSIX first (with
// Linux's O_PATH and O_TMPFILE where offered), Windows where it differs,
// and a fallback that opens nothing elsewhere. Header-only and private to
// the project.
#ifndef TRAVORN_COMMON_PLATFORM_HPP
#define TRAVORN_COMMON_PLATFORM_HPP

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#define TRAVORN_POSIX 1
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#elif defined(_WIN32)
#define TRAVORN_POSIX 0
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#else
#define TRAVORN_POSIX 0
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

// What a file is. kMissing: no file of that name (it can be made);
// kUnreachable: the name leads nowhere (a folder missing or not searchable,
// too many links); kLink: the name itself is a symbolic link.
enum class FileKind { kMissing, kUnreachable, kRegular, kDirectory, kFifo, kDevice, kLink, kOther };

struct FileFacts {
  FileKind kind = FileKind::kMissing;
  bool identified = false;  // device and inode say which file it is
  std::uint64_t device = 0, inode = 0;
  std::int64_t size = -1;  // bytes of a regular file; -1 for any other
  unsigned mode = 0;       // permission bits
  long long user = -1, group = -1;
};

// Whether two sets of facts are of one file (never for files not identified).
inline bool same_file(const FileFacts& a, const FileFacts& b) {
  return a.identified && b.identified && a.device == b.device && a.inode == b.inode;
}

#if TRAVORN_POSIX
inline FileFacts facts_from(const struct stat& st) {
  FileFacts f;
  f.kind = S_ISREG(st.st_mode)                          ? FileKind::kRegular
           : S_ISDIR(st.st_mode)                        ? FileKind::kDirectory
           : S_ISFIFO(st.st_mode)                       ? FileKind::kFifo
           : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? FileKind::kDevice
           : S_ISLNK(st.st_mode)                        ? FileKind::kLink
                                                        : FileKind::kOther;
  f.identified = true;
  f.device = static_cast<std::uint64_t>(st.st_dev);
  f.inode = static_cast<std::uint64_t>(st.st_ino);
  f.size = f.kind == FileKind::kRegular ? static_cast<std::int64_t>(st.st_size) : -1;
  f.mode = static_cast<unsigned>(st.st_mode & 07777);
  f.user = st.st_uid;
  f.group = st.st_gid;
  return f;
}
inline FileFacts facts_after(int result, const struct stat& st) {
  FileFacts f;
  if (result == 0) return facts_from(st);
  f.kind = errno == ENOENT ? FileKind::kMissing : FileKind::kUnreachable;
  return f;
}
#elif defined(_WIN32)
inline FileFacts facts_from(const struct _stat64& st) {
  FileFacts f;
  f.kind = (st.st_mode & _S_IFMT) == _S_IFREG ? FileKind::kRegular
           : (st.st_mode & _S_IFMT) == _S_IFDIR ? FileKind::kDirectory
           : (st.st_mode & _S_IFMT) == _S_IFCHR ? FileKind::kDevice
                                                : FileKind::kOther;
  f.size = f.kind == FileKind::kRegular ? static_cast<std::int64_t>(st.st_size) : -1;
  return f;
}
#endif

// A descriptor of 3 or more for `fd` (closed then), so that no file the
// libraries open ever takes the place of a standard stream that was closed,
// where reports or prompts would go into it; -1 stays -1.
inline int above_standard(int fd) {
#if TRAVORN_POSIX
  if (fd < 0 || fd > 2) return fd;
  const int high = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  const int error = errno;
  ::close(fd);
  errno = error;
  return high;
#else
  return fd;
#endif
}

// What an open descriptor is.
inline FileFacts facts_of(int fd) {
#if TRAVORN_POSIX
  struct stat st {};
  return facts_after(::fstat(fd, &st), st);
#elif defined(_WIN32)
  struct _stat64 st {};
  FileFacts f;
  if (::_fstat64(fd, &st) != 0) return f;
  f = facts_from(st);
  BY_HANDLE_FILE_INFORMATION info{};
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  if (f.kind == FileKind::kRegular && ::GetFileInformationByHandle(handle, &info)) {
    f.identified = true;
    f.device = info.dwVolumeSerialNumber;
    f.inode = std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
  }
  return f;
#else
  (void)fd;
  return {};
#endif
}

#if defined(_WIN32)
// Whether the last part of `name` is one of the names that Windows keeps
// for its devices in every folder (NUL, CON, COM1, ...), with any extension.
inline bool is_device_name(const char* name) {
  const char* base = name;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\' || *p == ':') base = p + 1;
  }
  std::string stem;
  for (; *base != '\0' && *base != '.'; ++base) stem += static_cast<char>(std::toupper(*base));
  for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
    if (stem == device) return true;
  }
  return stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}
#endif

// What `name` names, symbolic links followed, looked at without opening
// the file itself for reading or writing (O_PATH: a FIFO does not wait, a
// device is not woken).
inline FileFacts look(const char* name) {
#if defined(__linux__) && defined(O_PATH)
  const int fd = ::open(name, O_PATH | O_CLOEXEC);
  struct stat st {};
  const FileFacts f = facts_after(fd < 0 ? -1 : ::fstat(fd, &st), st);
  if (fd >= 0) ::close(fd);
  return f;
#elif TRAVORN_POSIX
  struct stat st {};
  return facts_after(::stat(name, &st), st);
#elif defined(_WIN32)
  if (is_device_name(name)) {
    FileFacts f;
    f.kind = FileKind::kDevice;
    return f;
  }
  namespace fs = std::filesystem;  // long paths, where _stat64 refuses them
  std::error_code ec;
  const fs::file_status status = fs::status(name, ec);
  FileFacts f;
  f.kind = status.type() == fs::file_type::not_found ? FileKind::kMissing
           : ec                                      ? FileKind::kUnreachable
           : fs::is_regular_file(status)             ? FileKind::kRegular
           : fs::is_directory(status)                ? FileKind::kDirectory
                                                     : FileKind::kOther;
  if (f.kind == FileKind::kRegular) {  // identified, and sized, through a descriptor
    const int fd = ::_open(name, _O_RDONLY | _O_BINARY);
    if (fd >= 0) {
      f = facts_of(fd);
      ::_close(fd);
    }
  }
  return f;
#else
  (void)name;
  FileFacts f;
  f.kind = FileKind::kUnreachable;
  return f;
#endif
}

// The facts of the file or pipe that standard output writes to; a terminal
// or another device is none (never taken for a file that reports go to).
inline FileFacts standard_output() {
#if TRAVORN_POSIX
  FileFacts f = facts_of(STDOUT_FILENO);
  if (f.kind != FileKind::kRegular && f.kind != FileKind::kFifo) f.identified = false;
  return f;
#elif defined(_WIN32)
  return facts_of(1);
#else
  return {};
#endif
}

// ---- Reading ----------------------------------------------------------------

// A descriptor open for reading `name`, or -1. A FIFO is opened without
// waiting for a writer: call wait_for_writer() before the first read.
inline int open_to_read(const char* name) {
#if TRAVORN_POSIX
  const int fd = above_standard(::open(name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);  // reads wait again
  return fd;
#elif defined(_WIN32)
  return ::_open(name, _O_RDONLY | _O_BINARY);
#else
  (void)name;
  return -1;
#endif
}

// Waits until a FIFO opened by open_to_read has something to read or a
// writer has come and gone: without a writer yet, a read would end at once.
inline void wait_for_writer(int fd) {
#if TRAVORN_POSIX
  pollfd p{fd, POLLIN, 0};
  while (::poll(&p, 1, -1) < 0 && errno == EINTR) {
  }
#else
  (void)fd;
#endif
}

// Reads up to `count` bytes: how many, 0 at the end, -1 on an error.
inline long read_some(int fd, char* into, std::size_t count) {
  const std::size_t piece = count < (std::size_t{1} << 30) ? count : std::size_t{1} << 30;
  for (;;) {
#if TRAVORN_POSIX
    const long got = static_cast<long>(::read(fd, into, piece));
#elif defined(_WIN32)
    const long got = ::_read(fd, into, static_cast<unsigned>(piece));
#else
    const long got = -1;
    (void)fd;
    (void)into;
#endif
    if (got >= 0 || errno != EINTR) return got;
  }
}

// ---- Writing ----------------------------------------------------------------

// Writes `count` bytes at the file's current place (after a short write,
// the rest); false on any failure (a full disk, a size limit).
inline bool write_all(int fd, const char* bytes, std::size_t count) {
  while (count > 0) {
    const std::size_t piece = count < (std::size_t{1} << 30) ? count : std::size_t{1} << 30;
#if TRAVORN_POSIX
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
#if TRAVORN_POSIX
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
#if TRAVORN_POSIX
  return ::close(fd) == 0;
#elif defined(_WIN32)
  return ::_close(fd) == 0;
#else
  (void)fd;
  return false;
#endif
}

// Opens a device, a pipe or a terminal for writing, as it is (nothing is
// made or cut); -1 when it cannot be.
inline int open_in_place(const char* name) {
#if TRAVORN_POSIX
  return above_standard(::open(name, O_WRONLY | O_CLOEXEC | O_NOCTTY));
#elif defined(_WIN32)
  return ::_open(name, _O_WRONLY | _O_BINARY);
#else
  (void)name;
  return -1;
#endif
}

// ---- The folder of a new file -----------------------------------------------

// A folder held open, so that what is made, checked and renamed in it is
// found by its descriptor, not by its path again (the path serves where
// there are no descriptors for folders: Windows).
struct Folder {
  int fd = -1;
  std::string path;
};

inline bool open_folder(const std::string& path, Folder* folder) {
  folder->path = path.empty() ? "." : path;
#if TRAVORN_POSIX
#if defined(O_PATH)
  folder->fd = above_standard(::open(folder->path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
#else
  folder->fd = above_standard(::open(folder->path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
#endif
  return folder->fd >= 0;
#else
  return look(folder->path.c_str()).kind == FileKind::kDirectory;
#endif
}

inline void close_folder(Folder* folder) {
#if TRAVORN_POSIX
  if (folder->fd >= 0) ::close(folder->fd);
#endif
  folder->fd = -1;
}

inline std::string path_in(const Folder& folder, const std::string& name) {
  return folder.path + "/" + name;
}

// What `name` in the folder is, a link itself not followed.
inline FileFacts look_at(const Folder& folder, const std::string& name) {
#if TRAVORN_POSIX
  struct stat st {};
  return facts_after(::fstatat(folder.fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW), st);
#else
  return look(path_in(folder, name).c_str());
#endif
}

// The facts of the folder itself.
inline FileFacts folder_facts(const Folder& folder) {
#if TRAVORN_POSIX
  return facts_of(folder.fd);
#else
  return look(folder.path.c_str());
#endif
}

// Opens the existing file `name` of the folder, never through a link and
// without waiting: for reading, or for writing to learn whether the
// process may write it (nothing is made, cut or written). -1 when it
// cannot be opened.
inline int open_existing(const Folder& folder, const std::string& name, bool for_writing) {
#if TRAVORN_POSIX
  return above_standard(::openat(
      folder.fd, name.c_str(),
      (for_writing ? O_WRONLY : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
#elif defined(_WIN32)
  return ::_open(path_in(folder, name).c_str(), (for_writing ? _O_WRONLY : _O_RDONLY) | _O_BINARY);
#else
  (void)folder;
  (void)name;
  (void)for_writing;
  return -1;
#endif
}

// Makes the new file `name` in the folder, only if no file of that name
// exists, never through a link, readable and writable by its owner alone;
// -1 when it cannot (errno: EEXIST when the name is taken).
inline int create_at(const Folder& folder, const std::string& name) {
#if TRAVORN_POSIX
  return above_standard(::openat(folder.fd, name.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
#elif defined(_WIN32)
  return ::_open(path_in(folder, name).c_str(), _O_WRONLY | _O_BINARY | _O_CREAT | _O_EXCL,
                 _S_IREAD | _S_IWRITE);
#else
  (void)folder;
  (void)name;
  errno = ENOSYS;
  return -1;
#endif
}

// Makes a new file in the folder that has no name until name_unnamed()
// gives it one (Linux's O_TMPFILE), readable and writable by its owner
// alone; -1 when it cannot. errno says why: EOPNOTSUPP, EISDIR or EINVAL
// when this system or file system offers no such file.
inline int create_unnamed(const Folder& folder) {
#if defined(__linux__) && defined(O_TMPFILE)
  const int fd = above_standard(::openat(folder.fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (fd < 0) return -1;
  // It is named through /proc (linkat with AT_EMPTY_PATH needs a privilege);
  // without /proc it is of no use.
  struct stat st {};
  struct stat named {};
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::fstat(fd, &st) == 0 && ::stat(self.c_str(), &named) == 0 && st.st_ino == named.st_ino &&
      st.st_dev == named.st_dev) {
    return fd;
  }
  ::close(fd);
  errno = EOPNOTSUPP;
#else
  (void)folder;
  errno = EOPNOTSUPP;
#endif
  return -1;
}

// Whether a failure of create_unnamed() means that a named file may serve
// instead (no such file here), rather than that no file can be made.
inline bool unnamed_not_offered(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOSYS;
}

// Gives the unnamed file `fd` the name `name` in the folder; false when it
// cannot (errno: EEXIST when the name is taken).
inline bool name_unnamed(int fd, const Folder& folder, const std::string& name) {
#if defined(__linux__)
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), folder.fd, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
#else
  (void)fd;
  (void)folder;
  (void)name;
  errno = ENOSYS;
  return false;
#endif
}

// Moves `from` over `to` within the folder, in one step. With `only_new`,
// not over a file of the name `to`, where the system can refuse that in the
// same step (Linux's RENAME_NOREPLACE; false, errno EEXIST); elsewhere the
// caller has looked just before.
inline bool rename_at(const Folder& folder, const std::string& from, const std::string& to,
                      bool only_new) {
#if defined(__linux__) && defined(RENAME_NOREPLACE)
  if (only_new) {
    if (::renameat2(folder.fd, from.c_str(), folder.fd, to.c_str(), RENAME_NOREPLACE) == 0) {
      return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;  // else the file system cannot say
  }
#else
  (void)only_new;
#endif
#if TRAVORN_POSIX
  return ::renameat(folder.fd, from.c_str(), folder.fd, to.c_str()) == 0;
#elif defined(_WIN32)
  std::error_code ec;  // replaces an existing file, also on long paths
  std::filesystem::rename(path_in(folder, from), path_in(folder, to), ec);
  return !ec;
#else
  (void)folder;
  (void)from;
  (void)to;
  return false;
#endif
}

// Removes `name` from the folder with one system call: safe inside a
// signal handler. `folder` is a descriptor, or -1 when `name` is a path.
inline void remove_now(int folder, const char* name) {
#if TRAVORN_POSIX
  ::unlinkat(folder < 0 ? AT_FDCWD : folder, name, 0);
#else
  (void)folder;
  std::error_code ec;
  std::filesystem::remove(name, ec);
#endif
}

// The longest name a file of the folder may have, in bytes.
inline std::size_t longest_name(const Folder& folder) {
  long most = -1;
#if TRAVORN_POSIX
  most = ::fpathconf(folder.fd, _PC_NAME_MAX);
#else
  (void)folder;
#endif
  return most > 0 ? static_cast<std::size_t>(most) : 255;
}

// Whether the process may rename another file over `file` in `folder`: a
// sticky folder (such as /tmp) lets only the file's owner, the folder's
// owner and the superuser do so.
inline bool may_replace(const FileFacts& folder, const FileFacts& file) {
#if TRAVORN_POSIX
  const auto me = static_cast<long long>(::geteuid());
  return (folder.mode & S_ISVTX) == 0 || me == 0 || file.user == me || folder.user == me;
#else
  (void)folder;
  (void)file;
  return true;
#endif
}

// The permission bits a new file gets: 0666 less the umask.
inline unsigned new_file_mode() {
#if TRAVORN_POSIX
  unsigned mask = 0;
  std::ifstream status("/proc/self/status");  // read without changing it, where it shows
  std::string word;
  while (status >> word && word != "Umask:") {
  }
  if (!(status >> std::oct >> mask)) {
    const mode_t old = ::umask(022);
    ::umask(old);
    mask = static_cast<unsigned>(old);
  }
  return 0666u & ~mask;
#else
  return 0666u;
#endif
}

// Gives the file of `fd` the owner and group of `owner` where the process
// may set them (the group alone, else nothing), then `mode`. A file system
// that keeps neither (vfat, CIFS) is no failure.
inline void give_mode(int fd, const FileFacts& owner, unsigned mode) {
#if TRAVORN_POSIX
  if (owner.identified &&
      ::fchown(fd, static_cast<uid_t>(owner.user), static_cast<gid_t>(owner.group)) != 0) {
    [[maybe_unused]] const int ignored =
        ::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(owner.group));
  }
  ::fchmod(fd, static_cast<mode_t>(mode));
#else
  (void)fd;
  (void)owner;
  (void)mode;
#endif
}

inline std::uint64_t process_id() {
#if TRAVORN_POSIX
  return static_cast<std::uint64_t>(::getpid());
#elif defined(_WIN32)
  return static_cast<std::uint64_t>(::_getpid());
#else
  return 0;
#endif
}

// ---- Signals that end a run -------------------------------------------------

// Calls `visit` with every asynchronous signal whose default action ends
// the process, where the process can catch it: SIGINT, SIGTERM, SIGHUP,
// SIGQUIT, the user, timer and CPU-limit signals, SIGPWR, SIGIO and the
// real-time ones; Ctrl-C and Ctrl-Break on Windows. The signals of a fault
// (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGSYS, SIGABRT) are not among
// them, nor SIGPIPE and SIGXFSZ, which travorn ignores.
template <typename Visit>
void for_each_interruption(Visit visit) {
#if TRAVORN_POSIX
  for (const int s :
       {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU}) {
    visit(s);
  }
#if defined(SIGPWR)
  visit(SIGPWR);
#endif
#if defined(SIGIO)
  visit(SIGIO);
#endif
#if defined(SIGSTKFLT)
  visit(SIGSTKFLT);
#endif
#if defined(SIGRTMIN)
  for (int s = SIGRTMIN; s <= SIGRTMAX; ++s) visit(s);
#endif
#else
  visit(SIGINT);
  visit(SIGTERM);
#if defined(SIGBREAK)
  visit(SIGBREAK);
#endif
#endif
}

#if TRAVORN_POSIX
inline const sigset_t& interruptions() {
  static const sigset_t set = [] {
    sigset_t s;
    sigemptyset(&s);
    for_each_interruption([&s](int signal_number) { sigaddset(&s, signal_number); });
    return s;
  }();
  return set;
}
#endif

// Holds the interruptions back while it lives: one that comes meanwhile is
// delivered when it ends, and the signal mask is as it was before. Where
// signals cannot be held (Windows), it does nothing.
struct InterruptionsHeld {
#if TRAVORN_POSIX
  InterruptionsHeld() { sigprocmask(SIG_BLOCK, &interruptions(), &before); }
  ~InterruptionsHeld() { sigprocmask(SIG_SETMASK, &before, nullptr); }
  InterruptionsHeld(const InterruptionsHeld&) = delete;
  InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;
  sigset_t before{};
#endif
};

// Calls `handler` on each interruption that was not ignored when the
// process started; the interruptions stay held while it runs. A file-size
// limit no longer ends the process (SIGXFSZ ignored): the write that passes
// it fails instead. A reader of standard output that goes away does not end
// it either (SIGPIPE ignored): what is printed then is lost.
inline void handle_interruptions(void (*handler)(int)) {
#if TRAVORN_POSIX
  for_each_interruption([handler](int signal_number) {
    struct sigaction action {};
    if (sigaction(signal_number, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) return;
    action = {};
    action.sa_handler = handler;
    action.sa_mask = interruptions();
    sigaction(signal_number, &action, nullptr);
  });
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
#else
  for_each_interruption([handler](int signal_number) { std::signal(signal_number, handler); });
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
