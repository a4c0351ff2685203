#include "formats/dispatch.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>

#include "base/file_io.h"
#include "formats/bmp.h"
#include "formats/icon.h"
#include "formats/jpeg/jpeg.h"
#include "formats/mag.h"
#include "formats/png.h"

namespace zudizar {
namespace {

using Reader = bool (*)(OpenedPicture&, IndexedImage&, FileReport*, ProgressSink*);
using Writer = bool (*)(const std::string&, IndexedImage&, FileReport*, ProgressSink*);
using Signature = bool (*)(std::span<const std::uint8_t>);

bool StartsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> prefix) {
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

bool BmpSignature(std::span<const std::uint8_t> b) { return StartsWith(b, {'B', 'M'}); }
bool MagSignature(std::span<const std::uint8_t> b) { return StartsWith(b, {'M', 'A', 'K', 'I', '0', '2', ' ', ' '}); }
bool JpegSignature(std::span<const std::uint8_t> b) { return StartsWith(b, {0xFF, 0xD8, 0xFF}); }
bool PngSignature(std::span<const std::uint8_t> b) {
  return StartsWith(b, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
}
// Reserved 0, type 1 (icon), and a count of at least one image.
bool IconSignature(std::span<const std::uint8_t> b) {
  return StartsWith(b, {0x00, 0x00, 0x01, 0x00}) && b.size() >= 6 && (b[4] | b[5]) != 0;
}

// The readers of a file already read, in one shape.
bool ReadBmp(OpenedPicture& o, IndexedImage& image, FileReport* report, ProgressSink*) {
  return ReadBmpOpened(o, image, report);
}
bool ReadMag(OpenedPicture& o, IndexedImage& image, FileReport* report, ProgressSink*) {
  return ReadMagOpened(o, image, report);
}
bool ReadIcon(OpenedPicture& o, IndexedImage& image, FileReport* report, ProgressSink*) {
  return ReadIconOpened(o, image, report);
}
bool ReadPng(OpenedPicture& o, IndexedImage& image, FileReport* report, ProgressSink*) {
  return ReadPngOpened(o, image, report);
}

struct FormatEntry {
  PictureFormat format;
  std::array<const char*, 4> extensions;  // upper case, full stop included
  Signature signature;
  Reader read;
  Writer write;
};

// BMP comes first: it is also the format of every unknown extension.
constexpr FormatEntry kFormats[] = {
    {PictureFormat::Bmp, {".BMP"}, BmpSignature, ReadBmp, WriteBmpFile},
    {PictureFormat::Mag, {".MAG"}, MagSignature, ReadMag, WriteMagFile},
    {PictureFormat::Jpeg, {".JPG", ".JPEG", ".JPE", ".JFIF"}, JpegSignature, ReadJpegOpened, WriteJpegFile},
    {PictureFormat::Icon, {".ICO"}, IconSignature, ReadIcon, WriteIconFile},
    {PictureFormat::Png, {".PNG"}, PngSignature, ReadPng, WritePngFile},
};

const FormatEntry& Entry(PictureFormat format) {
  for (const auto& entry : kFormats)
    if (entry.format == format) return entry;
  return kFormats[0];
}

std::string UpperExtension(std::string_view name) {
  const auto dot = name.find_last_of('.');
  if (dot == std::string_view::npos) return {};
  std::string ext(name.substr(dot));
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return ext;
}

}  // namespace

PictureFormat FormatByExtension(std::string_view name) {
  const std::string ext = UpperExtension(name);
  for (const auto& entry : kFormats)
    for (const char* e : entry.extensions)
      if (e && ext == e) return entry.format;
  return PictureFormat::Bmp;
}

bool FormatBySignature(std::span<const std::uint8_t> firstBytes, PictureFormat& format) {
  for (const auto& entry : kFormats)
    if (entry.signature(firstBytes)) {
      format = entry.format;
      return true;
    }
  return false;
}

PictureFormat ChoosePictureFormat(std::string_view name, std::span<const std::uint8_t> firstBytes) {
  PictureFormat byContent;
  if (FormatBySignature(firstBytes, byContent)) return byContent;
  return FormatByExtension(name);
}

bool MapOpenedPicture(OpenedPicture& opened, IndexedImage& image, FileReport* report, ProgressSink* progress) {
  try {
    return Entry(opened.format).read(opened, image, report, progress);
  } catch (const std::bad_alloc&) {
    opened.samples.reset();
    ReportLoadWithoutMemory(report, opened.name);
    return false;
  }
}

bool LoadPictureFile(const std::string& name, IndexedImage& image, FileReport* report, ProgressSink* progress) {
  OpenedPicture opened;
  ReadPictureForOpen(name, opened);
  return MapOpenedPicture(opened, image, report, progress);
}

bool SavePictureFile(const std::string& name, IndexedImage& image, FileReport* report, ProgressSink* progress) {
  image.fileHeader.bfOffBits = kBmpHeaderArea;
  ClearLastFileFailure();
  try {
    if (Entry(FormatByExtension(name)).write(name, image, report, progress)) return true;
  } catch (const std::bad_alloc&) {
    ReportSaveWithoutMemory(report, name);
    return false;
  }
  // Writers report their own refusals (an icon's size, its colours); what the
  // file system refused is reported here, for every format alike.
  const FileFailure& failure = LastFileFailure();
  if (failure.error != 0) {
    const std::string reason = failure.error == ENOMEM ? std::string(kNoMemoryText) : failure.Reason();
    Report(report, name + kSaveFailedText + "\n" + reason, kSaveFailedCaption, MessageKind::Error);
  }
  return false;
}

}  // namespace zudizar
