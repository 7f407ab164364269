// SPDX-License-Identifier: MIT
// The files the libraries read and write. A name is looked up once; after
// that the descriptor is the file: what it is, its length, its mode and its
// owner come from it and go to it, so that nobody can swap the name for a
// link between a check and a use. An output replaces the file of its name
// only by a whole new one, made beside it and renamed over it. Header-only
// and private to the project.
#ifndef TRAVORN_COMMON_FILES_HPP
#define TRAVORN_COMMON_FILES_HPP

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <ostream>
#include <streambuf>
#include <string>
#include <system_error>

#include "common/platform.hpp"

namespace travorn_detail {

// Bytes of a file of `file_size` bytes after `position`; -1 when the size is
// unknown (-1), as for a pipe.
inline std::int64_t bytes_after(std::int64_t file_size, std::int64_t position) {
  if (file_size < 0) return -1;
  return file_size > position ? file_size - position : 0;
}

// The new file that a writer has named beside its output and not yet put in
// place: its folder's descriptor (-1 where `name` is a whole path) and its
// name. An interruption handler removes it (remove_unfinished) before the
// process ends, so that no picture cut short stays behind; a new file that
// has no name yet needs nothing, it vanishes with the process. Only the
// writers set it; only the application installs a handler.
struct Unfinished {
  std::atomic<int> folder{-1};
  std::atomic<const char*> name{nullptr};
};
// One for the whole process, in every build: exported with default
// visibility, so that the dynamic linker makes the copy of each shared
// library and of the executable one (a unique symbol).
#if defined(__GNUC__) && !defined(_WIN32)
__attribute__((visibility("default")))
#endif
inline Unfinished unfinished_output;

// Removes the unfinished file, if there is one: safe in a signal handler.
inline void remove_unfinished() {
  if (const char* name = unfinished_output.name.load()) {
    remove_now(unfinished_output.folder.load(), name);
  }
}

// Whether new files are made with a name from the start, also where one
// without a name could be made: the tests' one hook, so that what becomes
// of a name while its file is written can be shown. The tool never sets it.
inline bool& named_files_only() {
  static bool only = false;
  return only;
}

// What a read that failed throws from ReadBuffer: the stream that reads
// through it catches it and sets badbit, so that a read error (a folder
// given as a file) is told from the end of the input. Never leaves the
// project's code.
struct ReadFailure {};

// The buffer of a stream that reads a file descriptor. Large reads go
// straight to the caller's memory. Its place can be told (tellg), not set.
class ReadBuffer final : public std::streambuf {
 public:
  void attach(int fd, bool fifo) {
    fd_ = fd;
    fifo_ = fifo;
    setg(buffer_, buffer_, buffer_);
  }

 protected:
  int_type underflow() override {
    if (gptr() == egptr()) {
      const std::size_t got = fill(buffer_, sizeof buffer_);
      setg(buffer_, buffer_, buffer_ + got);
      if (got == 0) return traits_type::eof();
    }
    return traits_type::to_int_type(*gptr());
  }
  std::streamsize xsgetn(char* s, std::streamsize n) override {
    std::streamsize done = std::min<std::streamsize>(n, egptr() - gptr());
    std::copy_n(gptr(), done, s);
    gbump(static_cast<int>(done));
    while (done < n) {
      const std::size_t got = fill(s + done, static_cast<std::size_t>(n - done));
      if (got == 0) break;
      done += static_cast<std::streamsize>(got);
    }
    return done;
  }
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    if (off != 0 || dir != std::ios_base::cur) return pos_type(off_type(-1));
    return pos_type(off_type(read_ - static_cast<std::uint64_t>(egptr() - gptr())));
  }

 private:
  // Reads up to `count` bytes; 0 at the end. A FIFO is read once a writer
  // has come.
  std::size_t fill(char* into, std::size_t count) {
    if (fd_ < 0) return 0;
    if (fifo_) wait_for_writer(fd_);
    fifo_ = false;
    const long got = read_some(fd_, into, count);
    if (got < 0) throw ReadFailure{};
    read_ += static_cast<std::uint64_t>(got);
    return static_cast<std::size_t>(got);
  }

  int fd_ = -1;
  bool fifo_ = false;
  std::uint64_t read_ = 0;  // bytes taken from the file
  char buffer_[std::size_t{16} * 1024];
};

// A file opened for reading, binary, by its name once. A FIFO does not hold
// up the open: what it is can be known before its writer comes.
class InputFile {
 public:
  explicit InputFile(const char* file_name) : fd_(open_to_read(file_name)) {
    if (fd_ >= 0) facts_ = facts_of(fd_);
    buffer_.attach(fd_, facts_.kind == FileKind::kFifo);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() {
    if (fd_ >= 0) close_file(fd_);
  }

  bool is_open() const { return fd_ >= 0; }
  const FileFacts& facts() const { return facts_; }
  std::istream& stream() { return in_; }

 private:
  int fd_;
  FileFacts facts_;
  ReadBuffer buffer_;
  std::istream in_{&buffer_};
};

// The buffer of a stream that writes to a file descriptor. A failed write
// fails the stream (badbit); large writes go straight to the file.
class DescriptorBuffer final : public std::streambuf {
 public:
  void attach(int fd) {
    fd_ = fd;
    setp(buffer_, buffer_ + sizeof buffer_);
  }

 protected:
  int_type overflow(int_type c) override {
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (n < epptr() - pptr()) {
      std::copy_n(s, n, pptr());
      pbump(static_cast<int>(n));
      return n;
    }
    return drain() && write_all(fd_, s, static_cast<std::size_t>(n)) ? n : 0;
  }
  int sync() override { return drain() ? 0 : -1; }

 private:
  bool drain() {
    const bool written = write_all(fd_, pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(buffer_, buffer_ + sizeof buffer_);
    return written;
  }

  int fd_ = -1;
  char buffer_[std::size_t{64} * 1024];
};

// An output file that replaces the file of its name only once it is whole.
// For a regular file, or a name of none yet, a new file is made beside it
// at once (prepare): without a name where the system offers that (it
// vanishes should the process die), else under a hidden name; readable by
// its owner alone while it is written; given its final mode and owner (the
// old file's, or 0666 less the umask) after its last byte; and renamed over
// the final name once its hidden name is checked to be still the file
// written, and the final name still the old file, or none (a file that came
// there meanwhile is not replaced: a write error).
// Symbolic links are followed, so a link stays a link. An existing regular
// file is never written, cut or removed (the probe of its permission opens
// it for writing and closes it unwritten). What is not a regular
// file (a device, a pipe, a terminal) is written in place, once open() is
// called. The file is written through stream() in order, or, beside, at
// any place with write_at().
class OutputFile {
 public:
  // What prepare() found. kBeside: the new file is made; kInPlace: a device,
  // a pipe or a terminal, which open() opens; kCannotOpen: the name cannot
  // be written (a folder, a missing folder, an existing file the process may
  // not write, a new file its folder does not take); kKept: an existing
  // regular file that no new file can replace (its folder takes no new file
  // or refuses the rename), so it is kept as it is.
  enum class Route { kBeside, kInPlace, kCannotOpen, kKept };

  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() {
    abandon();
    close_folder(&folder_);
  }

  // Looks at what `file_name` names and, for a regular file or a new one,
  // makes the new file beside it. Nothing is written.
  Route prepare(const char* file_name) {
    target_ = look(file_name);
    switch (target_.kind) {
      case FileKind::kRegular:
      case FileKind::kMissing:
        break;
      case FileKind::kFifo:
      case FileKind::kDevice:
      case FileKind::kOther:
        name_ = file_name;
        return route_ = Route::kInPlace;
      default:
        return route_ = Route::kCannotOpen;
    }
    if (!find_folder(file_name)) return route_ = Route::kCannotOpen;
    const bool existing = target_.kind == FileKind::kRegular;
    if (existing) {
      // The old file must let itself be written: the new file must not
      // sidestep its permissions. It is opened, not written, to learn it.
      const int probe = open_existing(folder_, name_, /*for_writing=*/true);
      const bool writable = probe >= 0 && same_file(facts_of(probe), target_);
      if (probe >= 0) close_file(probe);
      if (!writable) return route_ = Route::kCannotOpen;
      if (!may_replace(folder_facts(folder_), target_)) return route_ = Route::kKept;
    }
    if (!make_beside()) return route_ = existing ? Route::kKept : Route::kCannotOpen;
    return route_ = Route::kBeside;
  }

  // What the name named when prepare() looked.
  const FileFacts& target() const { return target_; }

  // The first `count` bytes of the existing regular file named, read
  // through a descriptor of its own; false when they cannot be read.
  bool read_start(char* bytes, std::size_t count) const {
    if (target_.kind != FileKind::kRegular || folder_.path.empty()) return false;
    const int fd = open_existing(folder_, name_, /*for_writing=*/false);
    bool read = fd >= 0 && same_file(facts_of(fd), target_);
    for (std::size_t got = 0; read && got < count;) {
      const long n = read_some(fd, bytes + got, count - got);
      read = n > 0;
      got += read ? static_cast<std::size_t>(n) : 0;
    }
    if (fd >= 0) close_file(fd);
    return read;
  }

  // Readies the output for writing: the new file beside is made already; a
  // device or pipe is opened now (a FIFO waits for its reader). False when
  // it cannot be written.
  bool open() {
    if (route_ == Route::kBeside) return true;
    if (route_ != Route::kInPlace || fd_ >= 0) return fd_ >= 0;
    const int fd = open_in_place(name_.c_str());
    if (fd < 0) return false;
    const FileFacts opened = facts_of(fd);
    if (opened.kind == FileKind::kRegular || (target_.identified && !same_file(opened, target_))) {
      close_file(fd);  // the name names another file now: never a regular one in place
      return false;
    }
    attach(fd);
    return true;
  }
  // prepare() and open() in one, as the library writers use them.
  bool open(const char* file_name) {
    prepare(file_name);
    return open();
  }

  // Whether the file is a new one beside the final one (else in place).
  bool beside() const { return route_ == Route::kBeside; }
  std::ostream& stream() { return out_; }

  // Writes `count` bytes at byte `offset` of a file opened beside the final
  // one; false, remembered, on failure.
  bool write_at(std::uint64_t offset, const char* bytes, std::size_t count) {
    out_.flush();
    if (!travorn_detail::write_at(fd_, offset, bytes, count)) out_.setstate(std::ios::badbit);
    return static_cast<bool>(out_);
  }

  // Leaves the file unfinished: a new file is removed, an old one stays.
  void abandon() {
    if (fd_ < 0) return;
    close_file(fd_);
    fd_ = -1;
    forget_name(/*remove=*/true);
  }

  // Closes the file and, when every byte was written, puts it in place.
  // False when a write, the close, the check of the name or the rename
  // failed: the new file is then removed, and an old one stays as it was.
  bool close() {
    out_.flush();
    bool finished = static_cast<bool>(out_) && fd_ >= 0;
    if (route_ != Route::kBeside) {
      finished = fd_ >= 0 && close_file(fd_) && finished;
      fd_ = -1;
      return finished;
    }
    const FileFacts written = facts_of(fd_);
    if (finished) {
      give_mode(fd_, target_, target_.kind == FileKind::kRegular ? target_.mode : new_file_mode());
    }
    if (finished && hidden_.empty()) finished = give_name();
    finished = close_file(fd_) && finished;
    fd_ = -1;
    [[maybe_unused]] const InterruptionsHeld held;
    if (finished && !same_file(look_at(folder_, hidden_), written)) {
      finished = false;  // the name no longer leads to the file written: leave it alone
      forget_name(/*remove=*/false);
    }
    // The final name must still be what it was when the run began: none, or
    // the old file, never a file that came meanwhile.
    const bool missing = target_.kind == FileKind::kMissing;
    const FileFacts now = finished ? look_at(folder_, name_) : FileFacts{};
    finished = finished && (missing ? now.kind == FileKind::kMissing : same_file(now, target_));
    finished = finished && rename_at(folder_, hidden_, name_, /*only_new=*/missing);
    forget_name(/*remove=*/!finished);
    return finished;
  }

 private:
  static constexpr int kMaxLinks = 40;  // as many links as a system follows
  static constexpr std::size_t kSuffix = 6;

  // Follows the links from `file_name` to the file they lead to and opens
  // its folder; false when there is none, or when the file found there is
  // not the one looked at.
  bool find_folder(const char* file_name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path path(file_name);
    for (int hop = 0; hop < kMaxLinks && fs::is_symlink(fs::symlink_status(path, ec)); ++hop) {
      const fs::path link = fs::read_symlink(path, ec);
      path = link.is_absolute() ? link : path.parent_path() / link;
    }
    name_ = path.filename().string();
    if (name_.empty() || name_ == "." || name_ == ".." ||
        !open_folder(path.parent_path().string(), &folder_)) {
      return false;
    }
    const FileFacts named = look_at(folder_, name_);
    return target_.kind == FileKind::kMissing ? named.kind == FileKind::kMissing
                                              : same_file(named, target_);
  }

  // Makes the new file: without a name where the system offers that, else
  // under a hidden one; false when the folder takes no new file.
  bool make_beside() {
    if (!named_files_only()) {
      const int fd = create_unnamed(folder_);
      if (fd >= 0) {
        attach(fd);
        return true;
      }
      if (!unnamed_not_offered(errno)) return false;
    }
    return name_new_file([this](const std::string& name) {
      const int fd = create_at(folder_, name);
      if (fd >= 0) attach(fd);
      return fd >= 0;
    });
  }

  // Gives the unnamed file its hidden name, just before it is put in place.
  bool give_name() {
    return name_new_file(
        [this](const std::string& name) { return name_unnamed(fd_, folder_, name); });
  }

  // Tries hidden names with `make` until one is free; records the one made
  // for the interruption handler from the moment it exists.
  template <typename Make>
  bool name_new_file(Make make) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string name = hidden_name();
      [[maybe_unused]] const InterruptionsHeld held;
      if (make(name)) {
        hidden_ = name;
        recorded_ = TRAVORN_POSIX ? hidden_ : path_in(folder_, hidden_);
        unfinished_output.folder.store(folder_.fd);
        unfinished_output.name.store(recorded_.c_str());
        return true;
      }
      if (errno != EEXIST) break;
    }
    return false;
  }

  // Drops the record of the hidden name, removing the file under it first.
  void forget_name(bool remove) {
    if (hidden_.empty()) return;
    [[maybe_unused]] const InterruptionsHeld held;
    if (remove) remove_now(folder_.fd, recorded_.c_str());
    unfinished_output.name.store(nullptr);
    hidden_.clear();
  }

  // "." and the final name, cut (at a character's start) so that the whole
  // fits the folder's longest name, then "." and six letters and digits that
  // no two calls of one process share.
  std::string hidden_name() const {
    std::size_t keep = std::min(name_.size(), longest_name(folder_) - 2 - kSuffix);
    while (keep > 0 && keep < name_.size() && (name_[keep] & 0xC0) == 0x80) --keep;
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t x = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                      (process_id() << 32) ^ (counter++ * 0x9E3779B97F4A7C15u);
    std::string name = "." + name_.substr(0, keep) + ".";
    for (std::size_t i = 0; i < kSuffix; ++i, x /= 36) {
      name += "0123456789abcdefghijklmnopqrstuvwxyz"[x % 36];
    }
    return name;
  }

  void attach(int fd) {
    fd_ = fd;
    buffer_.attach(fd);
    out_.clear();
  }

  Route route_ = Route::kCannotOpen;
  FileFacts target_;      // what the name named
  Folder folder_;         // beside: the folder of the file the links lead to
  std::string name_;      // beside: the final name in it; in place: the name given
  std::string hidden_;    // the new file's name, once it has one
  std::string recorded_;  // the same, as the interruption handler removes it
  int fd_ = -1;
  DescriptorBuffer buffer_;
  std::ostream out_{&buffer_};
};

}  // namespace travorn_detail

#endif  // TRAVORN_COMMON_FILES_HPP
