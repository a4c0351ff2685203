#include "base/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
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
#include <unordered_map>

#include "base/file_system.h"
#include "base/settings.h"

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
// A temporary of this program's name pattern that is older than this was
// left by a process that ended part-way.
constexpr time_t kStaleSeconds = 24 * 60 * 60;

// ---- What a signal handler needs: fixed buffers and flags only ----

// The named temporary a save is writing.
char pendingTemporary[PATH_MAX + 1];
volatile std::sig_atomic_t pendingSet = 0;

// The file a save is writing in place, and the copy of its old bytes.
struct InPlaceWrite {
  volatile std::sig_atomic_t active = 0;
  int target = -1;
  int kept = -1;
  off_t keptData = 0;  // where the old bytes start in the copy
  off_t oldLength = 0;
  pthread_t thread{};  // the saving thread
  char keptPath[PATH_MAX + 1] = {};
};
InPlaceWrite inPlace;

const int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Keeps the handled signals out while the noted state and the file system
// disagree (between creating a temporary and noting it, between renaming it
// and forgetting it, while an in-place write is noted or forgotten).
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int s : kHandledSignals) sigaddset(&held, s);
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

// The calls a copy back needs, straight to the system (for a signal handler,
// where only async-signal-safe calls may run) or through Fs() (everywhere
// else, so that tests can make them fail).
struct SystemCalls {
  static ssize_t Read(int fd, void* data, std::size_t count) { return ::read(fd, data, count); }
  static ssize_t Write(int fd, const void* data, std::size_t count) { return ::write(fd, data, count); }
  static int Ftruncate(int fd, off_t length) { return ::ftruncate(fd, length); }
  static int Fsync(int fd) { return ::fsync(fd); }
};
struct SeamCalls {
  static ssize_t Read(int fd, void* data, std::size_t count) { return Fs().Read(fd, data, count); }
  static ssize_t Write(int fd, const void* data, std::size_t count) { return Fs().Write(fd, data, count); }
  static int Ftruncate(int fd, off_t length) { return Fs().Ftruncate(fd, length); }
  static int Fsync(int fd) { return Fs().Fsync(fd); }
};

// Writes `length` bytes from `from` at `offset` over the start of `to`, cuts
// `to` to that length and syncs it. Nothing but async-signal-safe calls.
template <class Calls>
bool CopyBack(int from, off_t offset, off_t length, int to) {
  char buffer[16384];
  if (::lseek(from, offset, SEEK_SET) != offset || ::lseek(to, 0, SEEK_SET) != 0) return false;
  off_t done = 0;
  while (done < length) {
    const std::size_t want = static_cast<std::size_t>(std::min<off_t>(length - done, sizeof buffer));
    const ssize_t got = Calls::Read(from, buffer, want);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    for (ssize_t put = 0; put < got;) {
      const ssize_t n = Calls::Write(to, buffer + put, static_cast<std::size_t>(got - put));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      put += n;
    }
    done += got;
  }
  return Calls::Ftruncate(to, length) == 0 && (Calls::Fsync(to) == 0 || errno == EINVAL);
}

extern "C" void EndSavesAndRaise(int signal) {
  const int savedErrno = errno;
  if (inPlace.active) {
    // Only the saving thread puts the old bytes back: on any other its
    // writes would go on meanwhile. The signal goes there instead.
    if (!pthread_equal(pthread_self(), inPlace.thread)) {
      pthread_kill(inPlace.thread, signal);
      errno = savedErrno;
      return;
    }
    inPlace.active = 0;
    if (CopyBack<SystemCalls>(inPlace.kept, inPlace.keptData, inPlace.oldLength, inPlace.target))
      ::unlink(inPlace.keptPath);
  }
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

const char* FolderName(const std::string& folder) { return folder.empty() ? "." : folder.c_str(); }

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

bool ReadFully(int fd, void* data, std::size_t count) {
  auto* bytes = static_cast<char*>(data);
  for (std::size_t done = 0; done < count;) {
    const ssize_t n = Fs().Read(fd, bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Makes a new name or removal durable. Folders that cannot be opened or do
// not support syncing are left as they are.
bool SyncFolder(const std::string& folder, FileFailure& failure) {
  const std::string path = FolderName(folder);
  const int fd = Fs().Open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return true;
  int error = 0;
  if (Fs().Fsync(fd) != 0 && errno != EINVAL && errno != EROFS) error = errno;
  if (Fs().Close(fd) != 0 && !error) error = errno;
  return error ? Fail(failure, path, error) : true;
}

// A checksum of the kept copies, against copies cut short: FNV-1a taken
// eight bytes at a time, for speed on large pictures.
class Checksum {
 public:
  void Add(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, bytes + i, 8);
      value_ = (value_ ^ word) * 0x100000001b3ull;
    }
    for (; i < size; ++i) value_ = (value_ ^ bytes[i]) * 0x100000001b3ull;
  }
  std::uint64_t Value() const { return value_; }

 private:
  std::uint64_t value_ = 0xcbf29ce484222325ull;
};

// ---- The copy of the old bytes kept while a file is written in place ----
//
// It lives in the program folder's recovery/ ("kept-<device>-<inode>"), or,
// when there is none, beside the file (".zdz-kept-<device>-<inode>"); the
// file written in place is most often in a folder the user may not write, so
// the program folder comes first, and the next start looks there. It holds a
// header naming the file (device, inode, birth time, path), the old bytes and
// a checksum at the end; it is synced before the first byte is written in
// place and removed once the new bytes are synced. A copy found later means a
// save was cut short: the old bytes go back unless the file already holds
// the complete new ones.

constexpr char kKeptMagic[8] = {'Z', 'D', 'Z', 'K', 'E', 'P', 'T', '1'};
constexpr char kKeptEnd[8] = {'Z', 'D', 'Z', 'K', 'E', 'N', 'D', '1'};

struct KeptHeader {
  char magic[8];
  std::uint64_t device;
  std::uint64_t inode;
  std::int64_t bornSeconds;  // birth time, 0 when the file system keeps none
  std::uint32_t bornNanoseconds;
  std::uint32_t pathLength;
  std::uint64_t oldLength;
  std::uint64_t newLength;
  std::uint64_t newSum;  // checksum of the new bytes
};

struct KeptTrailer {
  std::uint64_t sum;  // of the header, path and old bytes
  char end[8];
};

// Which file a kept copy belongs to.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t bornSeconds = 0;
  std::uint32_t bornNanoseconds = 0;
};

FileIdentity IdentityOf(int fd, const struct stat& info) {
  FileIdentity id;
  id.device = info.st_dev;
  id.inode = info.st_ino;
  struct statx extended {};
  if (::statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &extended) == 0 && (extended.stx_mask & STATX_BTIME)) {
    id.bornSeconds = extended.stx_btime.tv_sec;
    id.bornNanoseconds = extended.stx_btime.tv_nsec;
  }
  return id;
}

std::string KeptName(const FileIdentity& id) {
  char name[64];
  std::snprintf(name, sizeof name, "kept-%llx-%llx", static_cast<unsigned long long>(id.device),
                static_cast<unsigned long long>(id.inode));
  return name;
}

// Where a copy of this file's old bytes is kept, in the order tried.
std::vector<std::string> KeptPaths(const std::string& target, const FileIdentity& id) {
  std::vector<std::string> paths;
  const std::string program = ProgramFolder();
  if (!program.empty()) paths.push_back(program + "recovery/" + KeptName(id));
  paths.push_back(FolderOf(target) + ".zdz-" + KeptName(id));
  return paths;
}

// A kept copy as read back from its file.
struct KeptRecord {
  KeptHeader header{};
  std::string path;
  off_t data = 0;  // where the old bytes start
  bool complete = false;
};

bool ReadKept(int fd, KeptRecord& record) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || ::lseek(fd, 0, SEEK_SET) != 0) return false;
  KeptHeader& header = record.header;
  if (static_cast<std::uint64_t>(info.st_size) < sizeof header + sizeof(KeptTrailer)) return true;  // cut short
  if (!ReadFully(fd, &header, sizeof header)) return false;
  if (std::memcmp(header.magic, kKeptMagic, sizeof kKeptMagic) != 0 || header.pathLength > PATH_MAX) return true;
  const std::uint64_t total = sizeof header + header.pathLength + header.oldLength + sizeof(KeptTrailer);
  if (header.oldLength > static_cast<std::uint64_t>(info.st_size) || total != static_cast<std::uint64_t>(info.st_size))
    return true;
  record.path.resize(header.pathLength);
  if (!ReadFully(fd, record.path.data(), record.path.size())) return false;
  Checksum sum;
  sum.Add(&header, sizeof header);
  sum.Add(record.path.data(), record.path.size());
  char buffer[65536];
  for (std::uint64_t left = header.oldLength; left > 0;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof buffer));
    if (!ReadFully(fd, buffer, n)) return false;
    sum.Add(buffer, n);
    left -= n;
  }
  KeptTrailer trailer{};
  if (!ReadFully(fd, &trailer, sizeof trailer)) return false;
  record.data = static_cast<off_t>(sizeof header + header.pathLength);
  record.complete = trailer.sum == sum.Value() && std::memcmp(trailer.end, kKeptEnd, sizeof kKeptEnd) == 0;
  return true;
}

bool SameFile(const KeptHeader& header, const FileIdentity& id) {
  return header.device == id.device && header.inode == id.inode && header.bornSeconds == id.bornSeconds &&
         header.bornNanoseconds == id.bornNanoseconds;
}

// Whether `fd` holds exactly the new bytes the copy's save was writing.
bool HoldsTheNewBytes(int fd, const KeptHeader& header) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || static_cast<std::uint64_t>(info.st_size) != header.newLength) return false;
  if (::lseek(fd, 0, SEEK_SET) != 0) return false;
  Checksum sum;
  char buffer[65536];
  for (std::uint64_t left = header.newLength; left > 0;) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof buffer));
    if (!ReadFully(fd, buffer, n)) return false;
    sum.Add(buffer, n);
    left -= n;
  }
  return sum.Value() == header.newSum;
}

// Opens and locks the kept copy at `path`, creating it when `create`. -1
// with errno set when it cannot; EWOULDBLOCK when a running save holds it.
int OpenKept(const std::string& path, bool create) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const int fd = Fs().Open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    if (fd < 0) return -1;
    // Without advisory locks (some network file systems) it goes on unlocked.
    if (Fs().Flock(fd, LOCK_EX | LOCK_NB) != 0 && errno != ENOLCK && errno != EOPNOTSUPP) {
      const int error = errno;
      Fs().Close(fd);
      errno = error;
      return -1;
    }
    // A copy removed by its owner between the opening and the lock is not
    // the one the name leads to now.
    struct stat held {};
    struct stat named {};
    const bool isNamed = ::lstat(path.c_str(), &named) == 0;
    const int error = errno;
    if (isNamed && ::fstat(fd, &held) == 0 && held.st_ino == named.st_ino && held.st_dev == named.st_dev &&
        S_ISREG(named.st_mode))
      return fd;
    Fs().Close(fd);
    if (!create && !isNamed) {
      errno = error;
      return -1;
    }
  }
  errno = EAGAIN;
  return -1;
}

// Sets a copy that belongs to no file found aside, under a name no save
// looks for, so that nothing it holds is lost or put into the wrong file:
// its old bytes alone, as a plain file named "orphan-<time>-<the file's
// name>" that any program opens; where that cannot be written, the copy
// itself renamed "orphan-<time>-kept-…".
void SetAside(int kept, const std::string& path, const KeptRecord& record) {
  const auto slash = path.find_last_of('/');
  const std::string folder = path.substr(0, slash + 1);
  const std::string stamp = "orphan-" + std::to_string(::time(nullptr)) + "-";
  std::string base = record.path.substr(record.path.find_last_of('/') + 1);
  // The end of a long name, where its extension is.
  if (base.size() > 200) base = base.substr(base.size() - 200);
  const std::string extracted = folder + stamp + base;
  const int fd = Fs().Open(extracted.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) {
    const bool copied = CopyBack<SeamCalls>(kept, record.data, static_cast<off_t>(record.header.oldLength), fd);
    Fs().Close(fd);
    if (copied) {
      Fs().Unlink(path.c_str());
      return;
    }
    Fs().Unlink(extracted.c_str());
  }
  std::string name = path.substr(slash + 1);
  name.replace(name.find("kept-"), 5, stamp + "kept-");
  Fs().Rename(path.c_str(), (folder + name).c_str());
}

// Settles what an earlier save left in the kept copy open (and locked) as
// `kept`, for the file open as `target`: a copy cut short is removed (the
// file was never touched), a copy of another file set aside, and the old
// bytes go back unless the file holds the complete new ones. False, with the
// failure, when they cannot be put back; the copy then stays.
bool Settle(int kept, const std::string& keptPath, int target, const FileIdentity& id, const std::string& targetPath,
            FileFailure& failure) {
  KeptRecord record;
  if (!ReadKept(kept, record)) return Fail(failure, keptPath, errno);
  if (record.complete && !SameFile(record.header, id)) {
    SetAside(kept, keptPath, record);  // an earlier file's, whose inode this one took
    return true;
  }
  if (record.complete && !HoldsTheNewBytes(target, record.header) &&
      !CopyBack<SeamCalls>(kept, record.data, static_cast<off_t>(record.header.oldLength), target)) {
    const int error = errno ? errno : EIO;
    return FailSaying(
        failure, targetPath, error,
        std::string(std::strerror(error)) + "; the file's old bytes, from a save cut short, are kept in " + keptPath);
  }
  Fs().Unlink(keptPath.c_str());
  return true;
}

bool FailBusy(FileFailure& failure, const std::string& target) {
  return FailSaying(failure, target, EBUSY, "Another running copy of the program is writing this file");
}

// Before a save into the existing file `target` (`named`): settles any copy
// of its old bytes that a save cut short by a kill left behind.
bool SettleLeftovers(const std::string& target, const struct stat& named, FileFailure& failure) {
  FileIdentity id;
  id.device = named.st_dev;
  id.inode = named.st_ino;
  int fd = -1;  // the file, opened once a copy is found
  bool settled = true;
  for (const std::string& path : KeptPaths(target, id)) {
    struct stat there {};
    if (!settled || ::lstat(path.c_str(), &there) != 0) continue;
    if (fd < 0) {
      struct stat info {};
      fd = Fs().Open(target.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0);
      if (fd < 0 || ::fstat(fd, &info) != 0) {
        settled = Fail(failure, target, errno);
        continue;
      }
      id = IdentityOf(fd, info);
    }
    const int kept = OpenKept(path, false);
    if (kept < 0) {
      if (errno == EWOULDBLOCK)
        settled = FailBusy(failure, target);
      else if (errno != ENOENT)
        settled = Fail(failure, path, errno);
      continue;
    }
    settled = Settle(kept, path, fd, id, target, failure);
    Fs().Close(kept);
  }
  if (fd >= 0) Fs().Close(fd);
  return settled;
}

// The copy of the old bytes of a file being written in place.
class KeptCopy {
 public:
  ~KeptCopy() {
    if (fd_ >= 0) Fs().Close(fd_);
  }
  // Copies the old bytes of the file open as `target` into a synced copy.
  bool Make(int target, const struct stat& info, const std::string& targetPath, std::span<const std::uint8_t> bytes,
            FileFailure& failure) {
    const FileIdentity id = IdentityOf(target, info);
    int error = 0;
    for (const std::string& path : KeptPaths(targetPath, id)) {
      const std::string folder = FolderOf(path);
      if (folder != FolderOf(targetPath)) ::mkdir(folder.c_str(), 0700);
      int fd = -1;
      for (int attempt = 0; fd < 0 && attempt < kNameAttempts; ++attempt) {
        fd = OpenKept(path, true);
        if (fd < 0) break;
        // What a save killed since the leftovers were settled left.
        struct stat there {};
        if (::fstat(fd, &there) != 0 || there.st_size == 0) break;
        const bool settled = Settle(fd, path, target, id, targetPath, failure);
        Fs().Close(fd);
        fd = -1;
        if (!settled) return false;
      }
      if (fd < 0) {
        if (errno == EWOULDBLOCK) return FailBusy(failure, targetPath);
        error = errno;
        continue;
      }
      if (Write(fd, target, info, id, targetPath, bytes, error) && SyncFolder(folder, failure)) {
        fd_ = fd;
        path_ = path;
        return true;
      }
      Fs().Unlink(path.c_str());
      Fs().Close(fd);
    }
    if (!error) error = failure.error ? failure.error : EIO;
    return FailSaying(failure, targetPath, error,
                      std::string(std::strerror(error)) +
                          ": no copy of the old bytes could be kept, so the file, which must be written in place, "
                          "was left as it was");
  }
  // Puts the old bytes back into `target`.
  bool PutBack(int target) { return CopyBack<SeamCalls>(fd_, data_, oldLength_, target); }
  // Removes the copy: the file holds the new bytes, synced, or the old ones.
  void Drop() {
    Fs().Unlink(path_.c_str());
    Fs().Close(fd_);
    fd_ = -1;
  }
  int fd() const { return fd_; }
  off_t data() const { return data_; }
  off_t oldLength() const { return oldLength_; }
  const std::string& path() const { return path_; }

 private:
  bool Write(int fd, int target, const struct stat& info, const FileIdentity& id, const std::string& targetPath,
             std::span<const std::uint8_t> bytes, int& error) {
    KeptHeader header{};
    std::memcpy(header.magic, kKeptMagic, sizeof kKeptMagic);
    header.device = id.device;
    header.inode = id.inode;
    header.bornSeconds = id.bornSeconds;
    header.bornNanoseconds = id.bornNanoseconds;
    header.pathLength = static_cast<std::uint32_t>(std::min<std::size_t>(targetPath.size(), PATH_MAX));
    header.oldLength = static_cast<std::uint64_t>(info.st_size);
    header.newLength = bytes.size();
    Checksum newSum;
    newSum.Add(bytes.data(), bytes.size());
    header.newSum = newSum.Value();
    Checksum sum;
    sum.Add(&header, sizeof header);
    sum.Add(targetPath.data(), header.pathLength);
    if (Fs().Ftruncate(fd, 0) != 0 || ::lseek(target, 0, SEEK_SET) != 0) return Error(error);
    const auto* head = reinterpret_cast<const std::uint8_t*>(&header);
    if (!WriteAll(fd, {head, sizeof header}, error) ||
        !WriteAll(fd, {reinterpret_cast<const std::uint8_t*>(targetPath.data()), header.pathLength}, error))
      return false;
    std::vector<std::uint8_t> buffer(std::size_t{1} << 20);
    for (std::uint64_t left = header.oldLength; left > 0;) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
      if (!ReadFully(target, buffer.data(), n)) return Error(error);
      sum.Add(buffer.data(), n);
      if (!WriteAll(fd, {buffer.data(), n}, error)) return false;
      left -= n;
    }
    KeptTrailer trailer{};
    trailer.sum = sum.Value();
    std::memcpy(trailer.end, kKeptEnd, sizeof kKeptEnd);
    if (!WriteAll(fd, {reinterpret_cast<const std::uint8_t*>(&trailer), sizeof trailer}, error)) return false;
    if (Fs().Fsync(fd) != 0) return Error(error);
    data_ = static_cast<off_t>(sizeof header + header.pathLength);
    oldLength_ = static_cast<off_t>(header.oldLength);
    return true;
  }
  static bool Error(int& error) {
    error = errno ? errno : EIO;
    return false;
  }

  int fd_ = -1;
  std::string path_;
  off_t data_ = 0;
  off_t oldLength_ = 0;
};

// Notes the in-place write for the signal handler, and forgets it.
void NoteInPlace(int target, const KeptCopy& kept) {
  SignalsHeld held;
  inPlace.active = 0;
  inPlace.target = target;
  inPlace.kept = kept.fd();
  inPlace.keptData = kept.data();
  inPlace.oldLength = kept.oldLength();
  inPlace.thread = pthread_self();
  const std::string& path = kept.path();
  const std::size_t n = std::min<std::size_t>(path.size(), PATH_MAX);
  std::memcpy(inPlace.keptPath, path.data(), n);
  inPlace.keptPath[n] = '\0';
  std::atomic_signal_fence(std::memory_order_seq_cst);
  inPlace.active = 1;
}

void ForgetInPlace() {
  SignalsHeld held;
  inPlace.active = 0;
}

// Makes sure the new length fits before a byte is written in place: the
// space is reserved, or, where the file system keeps no reservations, known
// to be free.
bool Reserve(int fd, const struct stat& info, off_t length, int& error) {
  if (length == 0 || Fs().Fallocate(fd, 0, 0, length) == 0) return true;
  if (errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL) {
    error = errno;
    return false;
  }
  struct statvfs space {};
  if (Fs().Fstatvfs(fd, &space) != 0) {
    error = errno;
    return false;
  }
  const std::uint64_t held = static_cast<std::uint64_t>(info.st_blocks) * 512;
  if (static_cast<std::uint64_t>(length) <= held) return true;
  // The growth, and room for the blocks that index it.
  std::uint64_t needed = static_cast<std::uint64_t>(length) - held;
  needed += needed / 64 + 16 * std::uint64_t{space.f_bsize};
  if (static_cast<std::uint64_t>(space.f_bavail) * space.f_frsize >= needed) return true;
  error = ENOSPC;
  return false;
}

// Writes the bytes into the file itself: for files whose other hard links a
// rename would cut off, files in a folder the user may not write, and files
// whose owner or attributes a replacement could not carry. A copy of the old
// bytes is kept first; a failure, or a handled signal, puts them back.
bool WriteInPlace(const std::string& target, std::span<const std::uint8_t> bytes, FileFailure& failure) {
  const int fd = Fs().Open(target.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0);
  if (fd < 0) {
    const int error = errno;
    if (error == EACCES && Fs().Access(target.c_str(), R_OK) != 0)
      return FailSaying(failure, target, error,
                        "The file must be written in place, and it cannot be read, so its old bytes cannot be kept");
    return Fail(failure, target, error);
  }
  struct Closer {
    int fd;
    ~Closer() { Fs().Close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) return Fail(failure, target, errno);
  KeptCopy kept;
  if (!kept.Make(fd, info, target, bytes, failure)) return false;
  NoteInPlace(fd, kept);
  // The length is set before the bytes go in, so the file never holds the
  // new bytes followed by the old ones' tail.
  const off_t length = static_cast<off_t>(bytes.size());
  int error = 0;
  if (Reserve(fd, info, length, error)) {
    if (Fs().Ftruncate(fd, length) != 0 || ::lseek(fd, 0, SEEK_SET) != 0)
      error = errno;
    else if (WriteAll(fd, bytes, error) && Fs().Fsync(fd) != 0)
      error = errno;
  }
  if (!error) {
    ForgetInPlace();
    kept.Drop();
    return true;
  }
  const bool putBack = kept.PutBack(fd);
  ForgetInPlace();
  if (!putBack)
    return FailSaying(failure, target, error,
                      std::string(std::strerror(error)) + "; the file's old bytes are kept in " + kept.path() +
                          " and are put back at the next start or the next save into the file");
  kept.Drop();
  return Fail(failure, target, error);
}

// A temporary of this program: "." + "zdz" + six letters or digits.
bool IsTemporaryName(std::string_view name) {
  if (name.size() != 10 || name.substr(0, 4) != ".zdz") return false;
  for (const char c : name.substr(4))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'))) return false;
  return true;
}

// Removes this user's temporaries of this program's name pattern that are a
// day old: a process killed part-way through a save on a file system without
// unnamed temporaries left them. A folder is looked through at most once an
// hour by a process: saving many files into one folder (a batch conversion)
// would otherwise list it again at every file, a cost that grows with the
// square of its files. Called under OneSaveAtATime.
void RemoveStaleTemporaries(const std::string& folder) {
  static std::unordered_map<std::string, time_t> lookedThrough;
  const time_t now = ::time(nullptr);
  const auto seen = lookedThrough.find(folder);
  if (seen != lookedThrough.end() && now >= seen->second && now - seen->second < kStaleSeconds / 24) return;
  DIR* listing = ::opendir(FolderName(folder));
  if (!listing) return;
  lookedThrough[folder] = now;
  while (const dirent* entry = ::readdir(listing)) {
    if (!IsTemporaryName(entry->d_name)) continue;
    struct stat info {};
    if (::fstatat(::dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && now - info.st_mtime >= kStaleSeconds)
      Fs().Unlink((folder + entry->d_name).c_str());
  }
  ::closedir(listing);
}

std::string TemporaryName(const std::string& folder) {
  static constexpr char kLetters[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::uint64_t bits = Fs().RandomBits();
  std::string name = folder + ".zdz";
  for (int i = 0; i < 6; ++i, bits /= 36) name += kLetters[bits % 36];
  return name;
}

// An open temporary that is closed and removed unless it was renamed. It is
// made without a name where the file system allows (a kill then leaves
// nothing behind) and named only just before the rename.
class Temporary {
 public:
  ~Temporary() { Discard(); }
  bool Create(const std::string& folder, mode_t mode, int& error) {
    folder_ = folder;
    // Naming an unnamed file takes /proc, or privileges.
    static const bool canName = ::access("/proc/self/fd", X_OK) == 0 || ::geteuid() == 0;
    const int fd = canName ? Fs().Open(FolderName(folder), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode) : -1;
    if (fd >= 0) {
      fd_ = fd;
      return true;
    }
    // Older kernels take O_TMPFILE for a folder opened for writing.
    if (canName && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      error = errno;
      return false;
    }
    // Never through a link and never over an existing file.
    return TryNames(error, [&](const std::string& name) {
      const int named = Fs().Open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      if (named >= 0) fd_ = named;
      return named >= 0;
    });
  }
  // Gives an unnamed temporary a name in its folder, for the rename.
  bool Name(int& error) {
    if (!path_.empty()) return true;
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    return TryNames(error, [&](const std::string& name) {
      int result = Fs().Linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
      if (result != 0 && errno == ENOENT)  // no /proc
        result = Fs().Linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
      return result == 0;
    });
  }
  int fd() const { return fd_; }
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
  // Tries fresh names in the folder until `make` takes one (false with
  // errno EEXIST: the name is taken, try another); the name becomes the
  // temporary's, noted for the signal handlers while signals wait.
  template <typename Make>
  bool TryNames(int& error, Make&& make) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      std::string name = TemporaryName(folder_);
      SignalsHeld held;
      if (make(name)) {
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

  int fd_ = -1;
  std::string folder_;
  std::string path_;
};

bool CarriedOverNamespace(std::string_view name) {
  return name.substr(0, 5) == "user." || name.substr(0, 9) == "security." || name == "system.posix_acl_access";
}

// Gives the temporary the old file's ACL and its user and security
// attributes (trusted ones need privileges and are left). False when one
// cannot be carried over: the file is then written in place instead.
bool CopyAttributes(const std::string& from, int to) {
  std::vector<char> names;
  for (;;) {
    const ssize_t size = ::llistxattr(from.c_str(), nullptr, 0);
    if (size < 0) return errno == ENOTSUP || errno == ENOSYS;  // none to carry
    if (size == 0) return true;
    names.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::llistxattr(from.c_str(), names.data(), names.size());
    if (got >= 0) {
      names.resize(static_cast<std::size_t>(got));
      break;
    }
    if (errno != ERANGE) return false;
  }
  std::vector<char> value, present;
  for (std::size_t at = 0; at < names.size();) {
    const std::string name(names.data() + at);
    at += name.size() + 1;
    if (!CarriedOverNamespace(name)) continue;
    const ssize_t size = ::lgetxattr(from.c_str(), name.c_str(), nullptr, 0);
    if (size < 0 && errno == ENODATA) continue;
    if (size < 0) return false;
    value.resize(static_cast<std::size_t>(size));
    const ssize_t got = ::lgetxattr(from.c_str(), name.c_str(), value.data(), value.size());
    if (got < 0) return false;
    value.resize(static_cast<std::size_t>(got));
    if (Fs().Fsetxattr(to, name.c_str(), value.data(), value.size(), 0) == 0) continue;
    // One the temporary already has as it is (a label its folder gave) is kept all the same.
    present.resize(value.size() + 1);
    const ssize_t has = ::fgetxattr(to, name.c_str(), present.data(), present.size());
    if (has != got || std::memcmp(present.data(), value.data(), value.size()) != 0) return false;
  }
  return true;
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
    if (!SettleLeftovers(target, old, failure)) return false;
    if (old.st_nlink > 1) return WriteInPlace(target, bytes, failure);
  }
  const std::string folder = FolderOf(target);
  RemoveStaleTemporaries(folder);
  Temporary temporary;
  if (!temporary.Create(folder, exists ? 0600 : 0666, error)) {
    if (exists && MayNotCreate(error)) return WriteInPlace(target, bytes, failure);
    return Fail(failure, target, error);
  }
  // A replacement that could not have the old owner and group would hand
  // the file to the saver: such a file is written in place.
  if (exists && Fs().Fchown(temporary.fd(), old.st_uid, old.st_gid) != 0) {
    temporary.Discard();
    return WriteInPlace(target, bytes, failure);
  }
  if (!WriteAll(temporary.fd(), bytes, error)) return Fail(failure, target, error);
  // The mode and attributes after the bytes: a write clears set-id bits and
  // file capabilities.
  if (exists) {
    if (Fs().Fchmod(temporary.fd(), old.st_mode & 07777) != 0) return Fail(failure, target, errno);
    if (!CopyAttributes(target, temporary.fd())) {
      temporary.Discard();
      return WriteInPlace(target, bytes, failure);
    }
  }
  if (Fs().Fsync(temporary.fd()) != 0) return Fail(failure, target, errno);
  if (!temporary.Name(error)) return Fail(failure, target, error);
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

// One save at a time in the process: the temporary and the in-place write
// that a signal handler sees are kept in one place, and the recovery writer
// saves from its own thread.
std::mutex& OneSaveAtATime() {
  static std::mutex mutex;
  return mutex;
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
  const std::lock_guard<std::mutex> held(OneSaveAtATime());
  failure = FileFailure{};
  try {
    return Save(name, bytes, failure);
  } catch (const std::bad_alloc&) {
    failure.error = ENOMEM;
    return false;
  }
}

bool WriteFileSafely(const std::string& name, std::span<const std::uint8_t> bytes) {
  return WriteFileSafely(name, bytes, LastFailure());
}

const FileFailure& LastFileFailure() { return LastFailure(); }
void ClearLastFileFailure() { LastFailure() = FileFailure{}; }

void RemoveTemporaryOnSignals() {
  struct sigaction action {};
  action.sa_handler = EndSavesAndRaise;
  sigemptyset(&action.sa_mask);
  for (int s : kHandledSignals) ::sigaction(s, &action, nullptr);
}

void IgnoreFileSizeSignal() { ::signal(SIGXFSZ, SIG_IGN); }

int RestoreKeptCopies() {
  const std::lock_guard<std::mutex> held(OneSaveAtATime());
  const std::string program = ProgramFolder();
  if (program.empty()) return 0;
  const std::string folder = program + "recovery/";
  DIR* listing = ::opendir(folder.c_str());
  if (!listing) return 0;
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(listing))
    if (std::string_view(entry->d_name).substr(0, 5) == "kept-") names.emplace_back(entry->d_name);
  ::closedir(listing);
  int restored = 0;
  for (const std::string& name : names) {
    const std::string path = folder + name;
    const int kept = OpenKept(path, false);
    if (kept < 0) continue;  // gone, or a running save's
    KeptRecord record;
    if (ReadKept(kept, record)) {
      const int target = record.complete ? Fs().Open(record.path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0) : -1;
      struct stat info {};
      if (!record.complete) {
        Fs().Unlink(path.c_str());  // cut short before the file was touched
      } else if (target >= 0 && ::fstat(target, &info) == 0 && SameFile(record.header, IdentityOf(target, info))) {
        FileFailure failure;
        restored += Settle(kept, path, target, IdentityOf(target, info), record.path, failure);
      } else if (target >= 0 || errno == ENOENT || errno == ELOOP || errno == ENOTDIR) {
        SetAside(kept, path, record);  // the file was moved or removed since
      }
      if (target >= 0) Fs().Close(target);
    }
    Fs().Close(kept);
  }
  return restored;
}

std::vector<std::string> OrphanedKeptCopies() {
  std::vector<std::string> names;
  const std::string program = ProgramFolder();
  if (program.empty()) return names;
  DIR* listing = ::opendir((program + "recovery/").c_str());
  if (!listing) return names;
  while (const dirent* entry = ::readdir(listing))
    if (std::string_view(entry->d_name).substr(0, 7) == "orphan-") names.emplace_back(entry->d_name);
  ::closedir(listing);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace zudizar
