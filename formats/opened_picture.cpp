#include "formats/opened_picture.h"

#include <algorithm>
#include <new>

#include "base/file_io.h"
#include "formats/dispatch.h"
#include "formats/icon.h"
#include "formats/jpeg/jpeg_file.h"
#include "formats/jpeg/jpeg_markers.h"
#include "formats/mag.h"

namespace zudizar {
namespace {

// What each format's reader takes of a file.
struct ReadBound {
  std::uint64_t limit;     // larger files are refused ...
  bool frontOnly = false;  // ... unless only their front is wanted
  std::size_t zeroTail = 0;
};

ReadBound BoundOf(PictureFormat format) {
  switch (format) {
    case PictureFormat::Mag: return {kMaxMagFileBytes};
    case PictureFormat::Jpeg: return {static_cast<std::uint64_t>(jpeg::kMaxFileBytes), false, jpeg::kTailBytes};
    case PictureFormat::Icon: return {kIconBytesRead, true};
    case PictureFormat::Bmp:
    case PictureFormat::Png: break;
  }
  return {kMaxWholeFileBytes};
}

// Reads what `format` takes after the `bytes` already read from the front.
bool ReadRest(FileReader& file, PictureFormat format, std::vector<std::uint8_t>& bytes) {
  const ReadBound bound = BoundOf(format);
  const std::uint64_t size = file.Size();
  if (!bound.frontOnly && size > bound.limit) return false;
  const std::uint64_t wanted = std::min(size, bound.limit);
  try {
    bytes.reserve(static_cast<std::size_t>(wanted) + bound.zeroTail);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (bytes.size() < wanted && !file.ReadMore(bytes, wanted - bytes.size())) return false;
  if (bound.zeroTail) {
    // A JPEG that came up short decodes what arrived, zeros after it.
    bytes.resize(static_cast<std::size_t>(wanted) + bound.zeroTail, 0);
    return true;
  }
  // Only an icon's reader looks at what is there; the others want it all.
  return bound.frontOnly || bytes.size() == wanted;
}

// Reads through `readRest` into a fresh `opened`; running out of memory is
// a file that cannot be read, as it is for every reader.
template <typename ReadRestOf>
bool Read(const std::string& name, OpenedPicture& opened, ReadRestOf readRest) {
  opened = OpenedPicture();
  try {
    opened.name = name;
    FileReader file(name);
    std::vector<std::uint8_t> bytes;
    if (!readRest(file, bytes)) return false;
    opened.bytes = std::move(bytes);
    opened.readable = true;
  } catch (const std::bad_alloc&) {
    opened.bytes.clear();
    opened.readable = false;
  }
  return opened.readable;
}

}  // namespace

bool ReadPictureForOpen(const std::string& name, OpenedPicture& opened) {
  return Read(name, opened, [&](FileReader& file, std::vector<std::uint8_t>& bytes) {
    if (file.IsOpen()) file.ReadMore(bytes, std::min<std::uint64_t>(file.Size(), kSignatureBytes));
    opened.format = ChoosePictureFormat(name, bytes);
    return file.IsOpen() && ReadRest(file, opened.format, bytes);
  });
}

bool ReadPictureAs(const std::string& name, PictureFormat format, OpenedPicture& opened) {
  return Read(name, opened, [&](FileReader& file, std::vector<std::uint8_t>& bytes) {
    opened.format = format;
    return file.IsOpen() && ReadRest(file, format, bytes);
  });
}

}  // namespace zudizar
