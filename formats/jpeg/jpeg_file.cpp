#include "formats/jpeg/jpeg_file.h"

#include <new>

#include "base/file_io.h"
#include "formats/jpeg/jpeg_markers.h"

namespace zudizar::jpeg {

bool ReadPaddedFile(const std::string& name, std::vector<std::uint8_t>& buffer) {
  buffer.clear();
  const long long size = FileLength(name);
  if (size < 0 || size > kMaxFileBytes) return false;
  try {
    buffer.assign(static_cast<std::size_t>(size) + kTailBytes, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // A short read leaves zeros behind what arrived.
  if (ReadFileBytes(name, buffer.data(), 0, size) < 0) {
    buffer.clear();
    return false;
  }
  return true;
}

}  // namespace zudizar::jpeg
