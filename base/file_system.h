// The few system calls behind saving and the settings file, behind one
// replaceable object, so that tests can make any of them fail the way a full
// disk, a failing device or a hostile folder would.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>

#include <cstdint>

namespace zudizar {

// Each call behaves as the POSIX call of the same name: -1 with errno set on
// failure.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual int Open(const char* path, int flags, mode_t mode);
  virtual ssize_t Read(int fd, void* data, std::size_t count);
  virtual ssize_t Write(int fd, const void* data, std::size_t count);
  virtual int Fsync(int fd);
  virtual int Close(int fd);
  virtual int Rename(const char* from, const char* to);
  virtual int Unlink(const char* path);
  // faccessat with the effective ids, as the kernel checks an open.
  virtual int Access(const char* path, int mode);
  virtual int Fchown(int fd, uid_t owner, gid_t group);
  virtual int Fchmod(int fd, mode_t mode);
  virtual int Flock(int fd, int operation);
  virtual int Fallocate(int fd, int mode, off_t offset, off_t length);
  virtual int Ftruncate(int fd, off_t length);
  virtual int Fstatvfs(int fd, struct statvfs* info);
  virtual int Linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags);
  virtual int Fsetxattr(int fd, const char* name, const void* value, std::size_t size, int flags);
  // Bits for the names of temporary files.
  virtual std::uint64_t RandomBits();
};

// Whether an Open with `flags` creates a save's temporary: exclusively under
// a name, or without one (O_TMPFILE). For tests that fail that creation.
inline bool CreatesTemporary(int flags) { return (flags & O_EXCL) != 0 || (flags & O_TMPFILE) == O_TMPFILE; }

// The file system in use: the real one unless a test installed another.
FileSystem& Fs();

// Installs `replacement` for the life of this object.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem& replacement);
  ~ScopedFileSystem();
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  FileSystem* previous_;
};

}  // namespace zudizar
