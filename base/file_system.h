// The few system calls behind saving and the settings file, behind one
// replaceable object, so that tests can make any of them fail the way a full
// disk, a failing device or a hostile folder would.
#pragma once

#include <sys/stat.h>
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
  // Bits for the names of temporary files.
  virtual std::uint64_t RandomBits();
};

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
