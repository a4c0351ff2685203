#include "base/file_io.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>

#include "base/file_system.h"

namespace zudizar {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

long long ReadFileBytes(const std::string& name, void* destination, long long offset, long long count) {
  File file(std::fopen(name.c_str(), "rb"));
  if (!file) return -1;
  if (offset < 0 || std::fseek(file.get(), offset, SEEK_SET) != 0) return -1;
  if (count <= 0) return 0;
  return static_cast<long long>(std::fread(destination, 1, static_cast<std::size_t>(count), file.get()));
}

long long WriteFileBytes(const std::string& name, const void* source, long long offset, long long count) {
  File file(std::fopen(name.c_str(), "r+b"));
  if (file) {
    if (offset < 0 || std::fseek(file.get(), offset, SEEK_SET) != 0) return -1;
  } else {
    file.reset(std::fopen(name.c_str(), "wb"));
    if (!file) return -1;
  }
  if (count <= 0) return 0;
  const auto written = std::fwrite(source, 1, static_cast<std::size_t>(count), file.get());
  if (std::fflush(file.get()) != 0) return -1;
  return static_cast<long long>(written);
}

long long FileLength(const std::string& name) {
  std::error_code error;
  const auto size = std::filesystem::file_size(name, error);
  return error ? -1 : static_cast<long long>(size);
}

bool FileExists(const std::string& name) {
  std::error_code error;
  return std::filesystem::is_regular_file(name, error);
}

bool ReadWholeFile(const std::string& name, std::vector<std::uint8_t>& bytes, std::uint64_t limit) {
  bytes.clear();
  File file(std::fopen(name.c_str(), "rb"));
  if (!file) return false;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
  const long size = std::ftell(file.get());
  if (size < 0 || static_cast<std::uint64_t>(size) > limit) return false;
  std::rewind(file.get());
  try {
    bytes.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (size > 0 && std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    bytes.clear();
    return false;
  }
  return true;
}

FileReader::FileReader(const std::string& name) {
  File file(std::fopen(name.c_str(), "rb"));
  struct stat info {};
  if (!file || fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) return;
  size_ = static_cast<std::uint64_t>(info.st_size);
  file_ = file.release();
}

FileReader::~FileReader() {
  if (file_) std::fclose(file_);
}

bool FileReader::ReadMore(std::vector<std::uint8_t>& bytes, std::uint64_t count) {
  if (!file_) return false;
  const std::size_t before = bytes.size();
  if (count > bytes.max_size() - before) return false;
  try {
    bytes.resize(before + static_cast<std::size_t>(count));
  } catch (const std::bad_alloc&) {
    return false;
  }
  const std::size_t got = count ? std::fread(bytes.data() + before, 1, static_cast<std::size_t>(count), file_) : 0;
  if (std::ferror(file_)) {
    bytes.resize(before);
    return false;
  }
  bytes.resize(before + got);
  return true;
}

namespace {

constexpr int kMaxLinks = 40;
constexpr int kNameAttempts = 100;

// The temporary a save is writing, for the signal handler: a fixed buffer
// and a flag, since a handler may touch nothing else.
char pendingTemporary[PATH_MAX + 1];
volatile std::sig_atomic_t pendingSet = 0;

// Keeps the handled signals out while the pending name and the file system
// disagree (between creating the temporary and noting it, between renaming
// it and forgetting it).
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, s);
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

 private:
  sigset_t previous_;
};

void NotePending(const std::string& path) {
  pendingSet = 0;
  if (path.size() > PATH_MAX) return;
  std::memcpy(pendingTemporary, path.c_str(), path.size() + 1);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  pendingSet = 1;
}

extern "C" void RemovePendingAndEnd(int signal) {
  if (pendingSet) ::unlink(pendingTemporary);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

bool Fail(FileFailure& failure, const std::string& path, int error) {
  failure.error = error ? error : EIO;
  failure.path = path;
  failure.text.clear();
  return false;
}

bool FailSaying(FileFailure& failure, const std::string& path, int error, std::string text) {
  Fail(failure, path, error);
  failure.text = std::move(text);
  return false;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Writes everything, going on after partial writes; a write that makes no
// progress counts as a full disk.
bool WriteAll(int fd, std::span<const std::uint8_t> bytes, int& error) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t chunk = std::min<std::size_t>(bytes.size() - done, std::size_t{1} << 30);
    const ssize_t n = Fs().Write(fd, bytes.data() + done, chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// An open temporary that is closed and removed unless it was renamed.
class Temporary {
 public:
  ~Temporary() { Discard(); }
  // Creates a new file of a random name in `folder`, never through a link
  // and never over an existing file.
  bool Create(const std::string& folder, mode_t mode, int& error) {
    static constexpr char kLetters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      std::uint64_t bits = Fs().RandomBits();
      std::string name = folder + ".zdz";
      for (int i = 0; i < 6; ++i, bits /= 36) name += kLetters[bits % 36];
      SignalsHeld held;
      const int fd = Fs().Open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      if (fd >= 0) {
        fd_ = fd;
        path_ = std::move(name);
        NotePending(path_);
        return true;
      }
      if (errno != EEXIST) {
        error = errno;
        return false;
      }
    }
    error = EEXIST;
    return false;
  }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  int Close() {
    const int result = Fs().Close(fd_);
    fd_ = -1;
    return result;
  }
  // Renames the temporary over `target`; on failure it stays to be discarded.
  int RenameOver(const std::string& target) {
    SignalsHeld held;
    const int result = Fs().Rename(path_.c_str(), target.c_str());
    if (result == 0) {
      path_.clear();
      pendingSet = 0;
    }
    return result;
  }
  void Discard() {
    const int saved = errno;
    if (fd_ >= 0) Close();
    if (!path_.empty()) {
      SignalsHeld held;
      Fs().Unlink(path_.c_str());
      path_.clear();
      pendingSet = 0;
    }
    errno = saved;
  }

 private:
  int fd_ = -1;
  std::string path_;
};

// Writes the bytes into the file itself: for files whose other hard links a
// rename would cut off, and files in a folder the user may not write.
bool WriteInPlace(const std::string& target, std::span<const std::uint8_t> bytes, FileFailure& failure) {
  const int fd = Fs().Open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0);
  if (fd < 0) return Fail(failure, target, errno);
  int error = 0;
  // Reserving the space first finds a full disk before any old byte is
  // overwritten; file systems without reservations just go on.
  if (!bytes.empty() && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes.size())) != 0 &&
      errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL)
    error = errno;
  if (!error) WriteAll(fd, bytes, error);
  if (!error && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) error = errno;
  if (!error && Fs().Fsync(fd) != 0) error = errno;
  if (Fs().Close(fd) != 0 && !error) error = errno;
  return error ? Fail(failure, target, error) : true;
}

// Makes the rename itself durable. Folders that cannot be opened or do not
// support syncing are left as they are: the file is in place either way.
bool SyncFolder(const std::string& folder, FileFailure& failure) {
  const std::string path = folder.empty() ? std::string(".") : folder;
  const int fd = Fs().Open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return true;
  int error = 0;
  if (Fs().Fsync(fd) != 0 && errno != EINVAL && errno != EROFS) error = errno;
  if (Fs().Close(fd) != 0 && !error) error = errno;
  return error ? Fail(failure, path, error) : true;
}

bool MayNotCreate(int error) { return error == EACCES || error == EPERM; }

// What a name that is no plain file is, for the message.
std::string WhatItIs(mode_t mode) {
  if (S_ISDIR(mode)) return "Is a folder, not a file";
  if (S_ISFIFO(mode)) return "Is a named pipe (FIFO), not a file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "Is a device, not a file";
  if (S_ISSOCK(mode)) return "Is a socket, not a file";
  return "Is not a plain file";
}

bool Save(const std::string& name, std::span<const std::uint8_t> bytes, FileFailure& failure) {
  std::string target;
  int error = 0;
  if (!ResolveFinalLinks(name, target, error)) return Fail(failure, name, error);
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) return Fail(failure, target, errno);
  if (exists) {
    if (!S_ISREG(old.st_mode))
      return FailSaying(failure, target, S_ISDIR(old.st_mode) ? EISDIR : EINVAL, WhatItIs(old.st_mode));
    if (Fs().Access(target.c_str(), W_OK) != 0) return Fail(failure, target, errno);
    if (old.st_nlink > 1) return WriteInPlace(target, bytes, failure);
  }
  const std::string folder = FolderOf(target);
  Temporary temporary;
  if (!temporary.Create(folder, exists ? 0600 : 0666, error)) {
    if (exists && MayNotCreate(error)) return WriteInPlace(target, bytes, failure);
    return Fail(failure, target, error);
  }
  if (exists) {
    // Owner first: changing it clears set-id bits, which the mode restores.
    if (Fs().Fchown(temporary.fd(), old.st_uid, old.st_gid) != 0)
      Fs().Fchown(temporary.fd(), static_cast<uid_t>(-1), old.st_gid);
    if (Fs().Fchmod(temporary.fd(), old.st_mode & 07777) != 0) return Fail(failure, target, errno);
  }
  if (!WriteAll(temporary.fd(), bytes, error)) return Fail(failure, target, error);
  if (Fs().Fsync(temporary.fd()) != 0) return Fail(failure, target, errno);
  if (temporary.Close() != 0) return Fail(failure, target, errno);
  if (temporary.RenameOver(target) != 0) {
    error = errno;
    if (exists && MayNotCreate(error)) {
      temporary.Discard();
      return WriteInPlace(target, bytes, failure);
    }
    return Fail(failure, target, error);
  }
  return SyncFolder(folder, failure);
}

FileFailure& LastFailure() {
  thread_local FileFailure failure;
  return failure;
}

}  // namespace

std::string FileFailure::Reason() const {
  if (!text.empty()) return text;
  return error ? std::strerror(error) : std::string();
}

bool ResolveFinalLinks(const std::string& name, std::string& target, int& error) {
  target = name;
  for (int hop = 0; hop <= kMaxLinks; ++hop) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0) {
      if (errno == ENOENT) return true;  // a new file, perhaps where a dangling link points
      error = errno;
      return false;
    }
    if (!S_ISLNK(st.st_mode)) return true;
    std::string link(PATH_MAX + 1, '\0');
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n < 0 || static_cast<std::size_t>(n) >= link.size()) {
      error = n < 0 ? errno : ENAMETOOLONG;
      return false;
    }
    link.resize(static_cast<std::size_t>(n));
    target = link.front() == '/' ? link : FolderOf(target) + link;
  }
  error = ELOOP;
  return false;
}

bool WriteFileSafely(const std::string& name, std::span<const std::uint8_t> bytes, FileFailure& failure) {
  // One save at a time in the process: the temporary that a signal removes
  // is kept in one place, and the recovery writer saves from its own thread.
  static std::mutex oneAtATime;
  const std::lock_guard<std::mutex> held(oneAtATime);
  failure = FileFailure{};
  try {
    return Save(name, bytes, failure);
  } catch (const std::bad_alloc&) {
    failure.error = ENOMEM;
    return false;
  }
}

bool WriteFileSafely(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  return WriteFileSafely(name, std::span<const std::uint8_t>(bytes), LastFailure());
}

const FileFailure& LastFileFailure() { return LastFailure(); }
void ClearLastFileFailure() { LastFailure() = FileFailure{}; }

void RemoveTemporaryOnSignals() {
  struct sigaction action {};
  action.sa_handler = RemovePendingAndEnd;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(s, &action, nullptr);
}

}  // namespace zudizar
