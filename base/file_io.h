// The three file helpers every codec uses for disk access, and the safe save:
// a new file is written beside the old one and renamed over it only when
// complete and on disk (or, where it must be written in place, a copy of the
// old bytes is kept until the new ones are), so a failed save never destroys
// the user's file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace zudizar {

// Reads up to `count` bytes from `offset`; returns the number read, or a value
// below 1 when the file cannot be opened or positioned.
long long ReadFileBytes(const std::string& name, void* destination, long long offset, long long count);
// Writes `count` bytes at `offset` of an existing file, or at offset 0 of a new one.
long long WriteFileBytes(const std::string& name, const void* source, long long offset, long long count);
// The file's size in bytes; -1 when it cannot be read.
long long FileLength(const std::string& name);
bool FileExists(const std::string& name);

// The largest file read whole unless a caller sets a bound of its own.
inline constexpr std::uint64_t kMaxWholeFileBytes = std::uint64_t{1} << 31;

// Reads a whole file (refusing files above `limit` bytes); false when unreadable.
bool ReadWholeFile(const std::string& name, std::vector<std::uint8_t>& bytes, std::uint64_t limit = kMaxWholeFileBytes);

// One file opened for reading and read from its front through one handle,
// so that a caller can look at the first bytes before it decides how many
// more it reads, and every byte comes from the same file.
class FileReader {
 public:
  // Opens `name` when it is a regular file.
  explicit FileReader(const std::string& name);
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  // The size when it was opened.
  std::uint64_t Size() const { return size_; }
  // Appends up to `count` further bytes to `bytes`, fewer at the end of the
  // file. False, `bytes` as before, when reading fails or memory runs out.
  bool ReadMore(std::vector<std::uint8_t>& bytes, std::uint64_t count);

 private:
  std::FILE* file_ = nullptr;
  std::uint64_t size_ = 0;
};

// Why a file operation failed: the system's error number and the file.
struct FileFailure {
  int error = 0;  // an errno value; 0 when nothing failed
  std::string path;
  // The reason in words where the system's message would mislead or say too
  // little (a named pipe as the target, where the old bytes were kept).
  std::string text;
  // `text` when set, else the system's message for the error ("Permission
  // denied", "No space left on device" ...).
  std::string Reason() const;
};

// Writes `bytes` to `name` so that the old file is either kept byte for byte
// or replaced by the complete new one:
// - symbolic links at the end of the name are followed: the file they point
//   to is saved, the links stay;
// - a file the user may not write is refused, and so is a name that is no
//   plain file (a folder, a named pipe, a device), saying which it is;
// - the bytes go into a temporary in the real file's folder, made without a
//   name where the file system allows (a kill then leaves nothing) and
//   otherwise exclusively under a short random name (".zdz" and six letters;
//   such names a day old are removed at a later save into the folder, which
//   a process looks through at most once an hour); it is
//   synced and renamed over the file; the folder is synced after; the old
//   file's mode, owner and group, ACL and user and security attributes are
//   kept;
// - a file with several hard links, a file in a folder the user may not
//   write (or in a sticky folder that refuses the rename), and a file whose
//   owner, group or attributes the temporary could not be given, are written
//   in place instead: a synced copy of the old bytes is kept first (in the
//   program folder's recovery/, else beside the file), the new length is
//   reserved (or, where the file system keeps no reservations, known to be
//   free) and set before the bytes go in, and a failure or a handled signal
//   puts the old bytes and length back. A file whose old bytes cannot be kept
//   is left as it was. After a kill part-way, the copy stays: the next save
//   into the file, or RestoreKeptCopies at the next start, puts the old bytes
//   back (or keeps the new ones when they were complete);
// - the temporary is removed on every failure.
// The failure of the last call on this thread is kept for LastFileFailure.
// Safe to call from several threads: the saves run one after another.
bool WriteFileSafely(const std::string& name, std::span<const std::uint8_t> bytes);
bool WriteFileSafely(const std::string& name, std::span<const std::uint8_t> bytes, FileFailure& failure);
// What the last two-argument WriteFileSafely on this thread reported.
const FileFailure& LastFileFailure();
void ClearLastFileFailure();

// Follows symbolic links at the end of `name` (at most 40) to the file they
// name, which need not exist. False, with errno's value in `error`, when a
// link cannot be read or the chain does not end.
bool ResolveFinalLinks(const std::string& name, std::string& target, int& error);

// From now on SIGINT, SIGTERM and SIGHUP remove the temporary a save is
// writing, or put back the old bytes of a file being written in place,
// before they end the process as they would have.
void RemoveTemporaryOnSignals();

// Lets a write past the file-size limit fail with EFBIG, so that a save
// reports it, instead of ending the process.
void IgnoreFileSizeSignal();

// Puts back the old bytes of files whose in-place save was cut short by a
// kill, from the copies kept in the program folder's recovery/ (a copy kept
// beside its file waits for the next save into that file). A copy whose file
// is no longer where it was is set aside as "orphan-..." and left there for the
// user (the old bytes alone, under the file's own name after "orphan-<time>-").
// Returns how many copies were settled (their files hold the old bytes again,
// or the complete new ones).
int RestoreKeptCopies();

// The names of the old bytes set aside as "orphan-..." in the program
// folder's recovery/, sorted, for the user to be told of.
std::vector<std::string> OrphanedKeptCopies();

}  // namespace zudizar
