// The three file helpers every codec uses for disk access, and the safe save:
// a new file is written beside the old one and renamed over it only when
// complete, so a failed save never destroys the user's file.
#pragma once

#include <cstdint>
#include <functional>
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

// Writes `bytes` to `name` through a temporary file in the same folder that is
// renamed over `name` only after the write succeeded.
bool WriteFileSafely(const std::string& name, const std::vector<std::uint8_t>& bytes);

}  // namespace zudizar
