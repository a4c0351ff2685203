#include "base/file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <random>

namespace zudizar {
namespace {

FileSystem& RealFileSystem() {
  static FileSystem real;
  return real;
}

FileSystem* current = nullptr;

}  // namespace

int FileSystem::Open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
ssize_t FileSystem::Read(int fd, void* data, std::size_t count) { return ::read(fd, data, count); }
ssize_t FileSystem::Write(int fd, const void* data, std::size_t count) { return ::write(fd, data, count); }
int FileSystem::Fsync(int fd) { return ::fsync(fd); }
int FileSystem::Close(int fd) { return ::close(fd); }
int FileSystem::Rename(const char* from, const char* to) { return ::rename(from, to); }
int FileSystem::Unlink(const char* path) { return ::unlink(path); }
int FileSystem::Access(const char* path, int mode) { return ::faccessat(AT_FDCWD, path, mode, AT_EACCESS); }
int FileSystem::Fchown(int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group); }
int FileSystem::Fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int FileSystem::Flock(int fd, int operation) { return ::flock(fd, operation); }
int FileSystem::Fallocate(int fd, int mode, off_t offset, off_t length) {
  return ::fallocate(fd, mode, offset, length);
}
int FileSystem::Ftruncate(int fd, off_t length) { return ::ftruncate(fd, length); }
int FileSystem::Fstatvfs(int fd, struct statvfs* info) { return ::fstatvfs(fd, info); }
int FileSystem::Linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
  return ::linkat(fromFolder, from, toFolder, to, flags);
}
int FileSystem::Fsetxattr(int fd, const char* name, const void* value, std::size_t size, int flags) {
  return ::fsetxattr(fd, name, value, size, flags);
}

std::uint64_t FileSystem::RandomBits() {
  // Seeded per thread from the system's entropy, the clock and the process,
  // so that two running copies never walk the same sequence of names.
  thread_local std::mt19937_64 generator([] {
    std::random_device device;
    const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::seed_seq seed{device(), device(), static_cast<unsigned>(now), static_cast<unsigned>(now >> 32),
                       static_cast<unsigned>(::getpid())};
    return std::mt19937_64(seed);
  }());
  return generator();
}

FileSystem& Fs() { return current ? *current : RealFileSystem(); }

ScopedFileSystem::ScopedFileSystem(FileSystem& replacement) : previous_(current) { current = &replacement; }
ScopedFileSystem::~ScopedFileSystem() { current = previous_; }

}  // namespace zudizar
