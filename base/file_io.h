// The three file helpers every codec uses for disk access, and the safe save:
// a new file is written beside the old one and renamed over it only when
// complete and on disk, so a failed save never destroys the user's file.
#pragma once

#include <cstdint>
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

// Reads a whole file (refusing files above `limit` bytes); false when unreadable.
bool ReadWholeFile(const std::string& name, std::vector<std::uint8_t>& bytes,
                   std::uint64_t limit = std::uint64_t{1} << 31);

// Why a file operation failed: the system's error number and the file.
struct FileFailure {
  int error = 0;  // an errno value; 0 when nothing failed
  std::string path;
  // The system's message for the error ("Permission denied", "No space left on device" ...).
  std::string Reason() const;
};

// Writes `bytes` to `name` so that the old file is either kept byte for byte
// or replaced by the complete new one:
// - symbolic links at the end of the name are followed: the file they point
//   to is saved, the links stay;
// - a file the user may not write is refused;
// - the bytes go into an exclusively created temporary with a short random
//   name in the real file's folder, which is synced and renamed over the
//   file; the folder is synced after; the old file's mode, owner and group
//   are kept;
// - a file with several hard links, and a file in a folder the user may not
//   write (or in a sticky folder that refuses the rename), are written in
//   place instead;
// - the temporary is removed on every failure.
// The failure of the last call on this thread is kept for LastFileFailure.
bool WriteFileSafely(const std::string& name, const std::vector<std::uint8_t>& bytes);
bool WriteFileSafely(const std::string& name, std::span<const std::uint8_t> bytes, FileFailure& failure);
// What the last two-argument WriteFileSafely on this thread reported.
const FileFailure& LastFileFailure();
void ClearLastFileFailure();

// Follows symbolic links at the end of `name` (at most 40) to the file they
// name, which need not exist. False, with errno's value in `error`, when a
// link cannot be read or the chain does not end.
bool ResolveFinalLinks(const std::string& name, std::string& target, int& error);

// From now on SIGINT, SIGTERM and SIGHUP remove the temporary a save is
// writing before they end the process as they would have.
void RemoveTemporaryOnSignals();

}  // namespace zudizar
