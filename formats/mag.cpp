#include "formats/mag.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <new>

#include "base/byte_reader.h"
#include "base/file_io.h"
#include "base/settings.h"
#include "base/shift_jis.h"
#include "formats/opened_picture.h"
#include "formats/reduce.h"

namespace zudizar {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {'M', 'A', 'K', 'I', '0', '2', ' ', ' '};
constexpr std::size_t kHeaderSize = 32;
// Reads past the end of a stream give zeros; the picture's need for flag-A
// bits may run this far past the bytes the file holds.
constexpr std::uint64_t kZeroTail = 4048;
constexpr int kRingLines = 17;
// Where the fields before the header start in a whole file.
constexpr std::size_t kMachineAt = 8;
constexpr std::size_t kUserAt = 12;
constexpr std::size_t kCommentAt = 30;

struct CopyVector {
  int dx, dy;
};
// Flag value k copies the unit dx units to the left, dy lines up.
constexpr std::array<CopyVector, 16> kCopyVectors = {{{0, 0},
                                                      {1, 0},
                                                      {2, 0},
                                                      {4, 0},
                                                      {0, 1},
                                                      {1, 1},
                                                      {0, 2},
                                                      {1, 2},
                                                      {2, 2},
                                                      {0, 4},
                                                      {1, 4},
                                                      {2, 4},
                                                      {0, 8},
                                                      {1, 8},
                                                      {2, 8},
                                                      {0, 16}}};
// The writer's search order: near and cheap references first.
constexpr std::array<int, 15> kSearchOrder = {1, 4, 5, 6, 7, 9, 10, 2, 8, 11, 12, 13, 14, 3, 15};

// A stream of the file (flag A, flag B, pixel data). Only the bytes the file
// holds are looked at; every read past them gives zero.
class ZeroTailStream {
 public:
  ZeroTailStream(std::span<const std::uint8_t> file, std::uint64_t offset, std::uint64_t length) {
    if (offset < file.size()) data_ = file.subspan(offset, std::min<std::uint64_t>(length, file.size() - offset));
  }
  std::size_t Size() const { return data_.size(); }
  std::uint8_t At(std::uint64_t i) const { return i < data_.size() ? data_[i] : 0; }
  std::uint8_t Next() { return At(position_++); }

 private:
  std::span<const std::uint8_t> data_;
  std::uint64_t position_ = 0;
};

struct MagHeader {
  std::uint64_t start = 0;  // H: offset of the header's zero byte
  std::uint8_t screenMode = 0;
  std::uint16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  std::uint32_t flagAOffset = 0, flagBOffset = 0, flagBSize = 0, pixelOffset = 0, pixelSize = 0;
};

bool ParseHeader(std::span<const std::uint8_t> bytes, MagHeader& header) {
  if (bytes.size() < kSignature.size() || !std::equal(kSignature.begin(), kSignature.end(), bytes.begin()))
    return false;
  // Machine code, user name and comment run up to the first zero byte.
  const auto zero = std::find(bytes.begin() + kSignature.size(), bytes.end(), std::uint8_t{0});
  if (zero == bytes.end()) return false;
  header.start = static_cast<std::uint64_t>(zero - bytes.begin());
  if (bytes.size() - header.start < kHeaderSize) return false;
  ByteReader r(bytes, header.start + 3);
  header.screenMode = r.u8();
  header.x1 = r.u16le();
  header.y1 = r.u16le();
  header.x2 = r.u16le();
  header.y2 = r.u16le();
  header.flagAOffset = r.u32le();
  header.flagBOffset = r.u32le();
  header.flagBSize = r.u32le();
  header.pixelOffset = r.u32le();
  header.pixelSize = r.u32le();
  return !r.Truncated();
}

// The fields between the signature and the header at `start`: machine name,
// user name and comment up to the first 0x1A; without that terminator they
// read as empty.
MagFields FieldsBefore(std::span<const std::uint8_t> bytes, std::uint64_t start) {
  MagFields fields;
  fields.present = true;
  if (start + 3 <= bytes.size()) {
    fields.machineCode = bytes[start + 1];
    fields.machineFlags = bytes[start + 2];
  }
  const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(start, bytes.size()));
  if (end <= kSignature.size()) return fields;
  const auto first = bytes.begin() + kSignature.size();
  const auto terminator = std::find(first, bytes.begin() + end, std::uint8_t{0x1A});
  if (terminator == bytes.begin() + end) return fields;
  const auto text = [&](std::size_t from, std::size_t to) {
    const std::size_t t = static_cast<std::size_t>(terminator - bytes.begin());
    from = std::min(from, t);
    to = std::min(to, t);
    return std::string(bytes.begin() + from, bytes.begin() + to);
  };
  fields.machine = text(kMachineAt, kUserAt);
  fields.user = text(kUserAt, kCommentAt);
  fields.comment = text(kCommentAt, end);
  fields.gap.assign(terminator + 1, bytes.begin() + end);
  return fields;
}

// Flag A runs from its offset up to flag B's; an inverted pair leaves it empty.
ZeroTailStream FlagAStream(std::span<const std::uint8_t> bytes, const MagHeader& header) {
  const std::int64_t length =
      std::max<std::int64_t>(0, std::int64_t{header.flagBOffset} - std::int64_t{header.flagAOffset});
  return ZeroTailStream(bytes, header.start + header.flagAOffset, static_cast<std::uint64_t>(length));
}

int ColourCount(std::uint8_t screenMode) {
  if (screenMode & 0x80) return 256;
  if (screenMode & 0x02) return 8;
  return 16;
}

// Runs the flag and copy-vector decoding into the image, line by line, top
// line first. The ring keeps the last 17 lines of units (b0 << 8 | b1).
void DecodeUnits(const MagHeader& header, std::span<const std::uint8_t> bytes, bool eightBit, int flagBytes,
                 IndexedImage& image) {
  const ZeroTailStream flagA = FlagAStream(bytes, header);
  // Flag B and the pixel data are taken one byte longer than their sizes say.
  ZeroTailStream flagB(bytes, header.start + header.flagBOffset, std::uint64_t{header.flagBSize} + 1);
  ZeroTailStream pixelData(bytes, header.start + header.pixelOffset, std::uint64_t{header.pixelSize} + 1);

  const int units = 2 * flagBytes;
  const int height = image.ImageHeight();
  std::vector<std::uint16_t> ring(static_cast<std::size_t>(kRingLines) * units, 0);
  std::vector<std::uint8_t> flags(static_cast<std::size_t>(flagBytes), 0);
  std::uint64_t bit = 0;

  for (int y = 0; y < height; ++y) {
    for (int j = 0; j < flagBytes; ++j, ++bit) {
      if ((flagA.At(bit >> 3) >> (7 - (bit & 7))) & 1) flags[j] ^= flagB.Next();
    }
    // Ring lines dy = 0 ... 16 lines up; lines above the picture are still
    // zero in the ring.
    const std::uint16_t* above[17];
    for (int dy = 0; dy <= 16; ++dy)
      above[dy] = ring.data() + static_cast<std::size_t>((y - dy + kRingLines) % kRingLines) * units;
    std::uint16_t* line = ring.data() + static_cast<std::size_t>(y % kRingLines) * units;
    for (int u = 0; u < units; ++u) {
      const int flag = (u & 1) ? (flags[u >> 1] & 0x0F) : (flags[u >> 1] >> 4);
      std::uint16_t unit;
      if (flag == 0) {
        const std::uint16_t first = pixelData.Next();
        unit = static_cast<std::uint16_t>((first << 8) | pixelData.Next());
      } else {
        const CopyVector v = kCopyVectors[flag];
        // A position left of the line start wraps to the line's end.
        int from = u - v.dx;
        while (from < 0) from += units;
        unit = above[v.dy][from];
      }
      line[u] = unit;
    }
    std::uint8_t* out = image.Row(y);
    if (eightBit) {
      for (int u = 0; u < units; ++u) {
        out[2 * u] = static_cast<std::uint8_t>(line[u] >> 8);
        out[2 * u + 1] = static_cast<std::uint8_t>(line[u]);
      }
    } else {
      for (int u = 0; u < units; ++u) {
        const std::uint16_t unit = line[u];
        out[4 * u] = static_cast<std::uint8_t>(unit >> 12);
        out[4 * u + 1] = static_cast<std::uint8_t>((unit >> 8) & 0x0F);
        out[4 * u + 2] = static_cast<std::uint8_t>((unit >> 4) & 0x0F);
        out[4 * u + 3] = static_cast<std::uint8_t>(unit & 0x0F);
      }
    }
  }
}

}  // namespace

bool DecodeMag(std::span<const std::uint8_t> bytes, IndexedImage& image, const MagDecodeOptions& options, bool* ended) {
  MagHeader header;
  if (!ParseHeader(bytes, header)) return false;
  if (header.x2 < header.x1 || header.y2 < header.y1) return false;

  const int colours = ColourCount(header.screenMode);
  const bool eightBit = colours == 256;
  const std::int64_t w = std::int64_t{header.x2} - header.x1 + 1;
  const std::int64_t h = std::int64_t{header.y2} - header.y1 + 1;
  const std::int64_t a = eightBit ? header.x1 % 4 : header.x1 % 8;
  const std::int64_t flagBytes = eightBit ? (a + w + 3) / 4 : (a + w + 7) / 8;
  const std::int64_t width = eightBit ? 4 * flagBytes : 8 * flagBytes;
  if (!ImageSizeAllowed(width, h) || width * h > options.maxPixels) return false;

  // Every flag byte of the picture takes one bit of flag A. A header whose
  // picture needs more bits than the file and the zero tail can give would
  // have the decoder invent a picture out of nothing: refuse it.
  if (static_cast<std::uint64_t>(flagBytes * h) > 8 * (FlagAStream(bytes, header).Size() + kZeroTail)) return false;

  const std::uint64_t paletteAt = header.start + kHeaderSize;
  const std::size_t paletteBytes = 3 * static_cast<std::size_t>(colours);
  if (bytes.size() - paletteAt < paletteBytes) return false;

  IndexedImage decoded;
  if (!CreateImage(static_cast<int>(width), static_cast<int>(h), decoded)) return false;
  decoded.originX = header.x1;
  decoded.originY = header.y1;
  decoded.mag = FieldsBefore(bytes, header.start);
  decoded.ownColours = !options.remapToShared;
  for (int i = 0; i < colours; ++i) {
    const std::uint8_t* p = bytes.data() + paletteAt + 3 * i;  // green, red, blue
    decoded.colourTable[i] = {p[2], p[0], p[1], 0};
  }
  DecodeUnits(header, bytes, eightBit, static_cast<int>(flagBytes), decoded);
  if (options.remapToShared) RemapToSharedPalette(decoded);
  image = std::move(decoded);
  // The file is shorter than its header says: what is missing read as zeros.
  const std::uint64_t streamsEnd =
      std::max({std::uint64_t{header.flagBOffset}, std::uint64_t{header.flagBOffset} + header.flagBSize,
                std::uint64_t{header.pixelOffset} + header.pixelSize});
  if (ended) *ended = header.start + streamsEnd > bytes.size();
  return true;
}

int CompactColours(IndexedImage& image) {
  if (!image.HasPixels()) return 0;
  std::array<bool, 256> used{};
  for (const std::uint8_t p : image.pixels) used[p] = true;
  std::array<std::uint8_t, 256> number{};
  int n = 0;
  for (int i = 0; i < 256; ++i) number[i] = used[i] ? static_cast<std::uint8_t>(n++) : 241;
  if (n >= 16) return n;
  if (image.ownColours) {
    // A picture with its own table takes its colours from there.
    const auto own = image.colourTable;
    for (int i = 0; i < 256; ++i) image.colourTable[number[i]] = {own[i].blue, own[i].green, own[i].red, 0};
  } else {
    LoadColourTableFromShared(image);
    const PaletteTable& shared = SharedPalette.current;
    for (int i = 0; i < 256; ++i) image.colourTable[number[i]] = {shared[i].blue, shared[i].green, shared[i].red, 0};
  }
  for (auto& p : image.pixels) p = number[p];
  return n;
}

bool MakeWorkCopy(const IndexedImage& image, IndexedImage& copy) {
  if (!image.HasPixels()) return false;
  if (!CreateImage(image.ImageWidth(), image.ImageHeight(), copy)) return false;
  if (!CopyImage(copy, image, kNoTransparent)) return false;
  copy.infoHeader = image.infoHeader;
  copy.colourTable = image.colourTable;
  copy.ownColours = image.ownColours;
  return true;
}

std::string DefaultMagUserName() {
  const std::string setting = ReadSettingIn("Option", "MagUserName");
  std::string bytes, refused;
  // A name that Shift_JIS cannot hold, or that does not fit, is not written
  // half: the program's own name stands in.
  if (setting.empty() || !Utf8ToShiftJis(setting, bytes, refused) || bytes.size() > kMagUserNameBytes ||
      !MagFieldTextAllowed(bytes))
    return "ZUDIZAR";
  return bytes;
}

bool MagFieldTextAllowed(std::string_view bytes) {
  return std::none_of(bytes.begin(), bytes.end(), [](char c) { return c == 0 || c == 0x1A; });
}

MagFields WrittenMagFields(const MagFields& mag) {
  if (mag.present) return mag;
  MagFields fields;
  fields.present = true;
  fields.machine = "MG  ";
  fields.user = DefaultMagUserName();
  return fields;
}

std::vector<std::uint8_t> MagFieldBytes(const MagFields& mag) {
  MagFields fields = WrittenMagFields(mag);
  // The defaults take the usual layout: the user name fills its 18 bytes.
  if (!mag.present) fields.user.resize(std::max(fields.user.size(), kMagUserNameBytes), ' ');
  // A field that is followed by another is padded with spaces to its
  // length, so that the next one starts where readers look for it; a file's
  // own fields already have their lengths and come back byte for byte.
  const bool userFollows = !fields.user.empty() || !fields.comment.empty();
  if (userFollows && fields.machine.size() < kUserAt - kMachineAt) fields.machine.resize(kUserAt - kMachineAt, ' ');
  if (!fields.comment.empty() && fields.user.size() < kMagUserNameBytes) fields.user.resize(kMagUserNameBytes, ' ');
  std::vector<std::uint8_t> out;
  for (const std::string* text : {&fields.machine, &fields.user, &fields.comment})
    for (const char c : *text)
      if (c != 0 && c != 0x1A) out.push_back(static_cast<std::uint8_t>(c));
  out.push_back(0x1A);
  for (const char c : fields.gap)
    if (c != 0) out.push_back(static_cast<std::uint8_t>(c));
  return out;
}

MagFields ReadMagFields(std::span<const std::uint8_t> bytes, bool& isMag) {
  MagHeader header;
  isMag = ParseHeader(bytes, header);
  return isMag ? FieldsBefore(bytes, header.start) : MagFields{};
}

namespace {
constexpr std::uint8_t kPackedTag[] = {'M', 'A', 'G', 'F', 1};  // the layout's name and version
}  // namespace

std::vector<std::uint8_t> PackMagFields(const MagFields& mag) {
  std::vector<std::uint8_t> out(std::begin(kPackedTag), std::end(kPackedTag));
  out.push_back(mag.present ? 1 : 0);
  out.push_back(mag.machineCode);
  out.push_back(mag.machineFlags);
  for (const std::string* text : {&mag.machine, &mag.user, &mag.comment, &mag.gap}) {
    const auto n = static_cast<std::uint32_t>(text->size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    out.insert(out.end(), text->begin(), text->end());
  }
  return out;
}

bool UnpackMagFields(std::span<const std::uint8_t> bytes, MagFields& mag) {
  ByteReader r(bytes);
  for (const std::uint8_t t : kPackedTag)
    if (r.u8() != t) return false;
  MagFields fields;
  const std::uint8_t present = r.u8();
  fields.machineCode = r.u8();
  fields.machineFlags = r.u8();
  if (r.Truncated() || present > 1) return false;
  fields.present = present == 1;
  for (std::string* text : {&fields.machine, &fields.user, &fields.comment, &fields.gap}) {
    const std::uint32_t n = r.u32le();
    if (r.Truncated() || n > r.Remaining()) return false;
    const auto at = bytes.begin() + static_cast<std::ptrdiff_t>(r.Position());
    text->assign(at, at + n);
    r.Skip(n);
  }
  if (r.Remaining() != 0) return false;
  mag = std::move(fields);
  return true;
}

namespace {

bool EncodeMagUnguarded(const IndexedImage& image, std::vector<std::uint8_t>& bytes) {
  IndexedImage work;
  if (!MakeWorkCopy(image, work)) return false;
  bool eightBit;
  if (image.ownColours) {
    // The picture's own table and indices, as they are: 16 colours when
    // every pixel value fits in one.
    eightBit = *std::max_element(work.pixels.begin(), work.pixels.end()) >= 16;
  } else {
    const int n = CompactColours(work);
    eightBit = n == 0 || n >= 16;
  }
  const int colours = eightBit ? 256 : 16;

  const int w = work.ImageWidth();
  const int h = work.ImageHeight();
  const int flagBytes = eightBit ? (w + 3) / 4 : (w + 7) / 8;
  const int units = 2 * flagBytes;
  const int padded = eightBit ? 2 * units : 4 * units;
  const std::uint8_t padding = *std::min_element(work.pixels.begin(), work.pixels.end());

  std::vector<std::uint8_t> flagA, flagB, pixelData;
  std::vector<std::uint8_t> line(padded, padding);
  std::vector<std::uint16_t> ring(static_cast<std::size_t>(kRingLines) * units, 0);
  std::vector<std::uint8_t> flags(flagBytes, 0), previousFlags(flagBytes, 0);
  flagA.reserve((static_cast<std::size_t>(flagBytes) * h + 7) / 8);
  // Typical pictures compress well; grow beyond this only when needed.
  pixelData.reserve(std::min<std::size_t>(static_cast<std::size_t>(units) * h * 2, std::size_t{1} << 22));

  std::uint8_t bitMask = 0x80;
  std::uint8_t bitByte = 0;
  for (int y = 0; y < h; ++y) {
    std::copy_n(work.Row(y), w, line.begin());
    std::uint16_t* current = ring.data() + static_cast<std::size_t>(y % kRingLines) * units;
    // Ring lines dy = 0 ... 16 lines up, for the lines that exist.
    const std::uint16_t* above[17] = {};
    for (int dy = 0; dy <= 16 && dy <= y; ++dy)
      above[dy] = ring.data() + static_cast<std::size_t>((y - dy) % kRingLines) * units;
    std::fill(flags.begin(), flags.end(), 0);
    for (int u = 0; u < units; ++u) {
      std::uint16_t unit;
      if (eightBit) {
        unit = static_cast<std::uint16_t>((line[2 * u] << 8) | line[2 * u + 1]);
      } else {
        const std::uint8_t* p = &line[4 * u];
        unit = static_cast<std::uint16_t>((p[0] << 12) | (p[1] << 8) | (p[2] << 4) | p[3]);
      }
      current[u] = unit;
      int flag = 0;
      for (const int candidate : kSearchOrder) {
        const CopyVector v = kCopyVectors[candidate];
        if (u < v.dx || y < v.dy) continue;
        if (above[v.dy][u - v.dx] == unit) {
          flag = candidate;
          break;
        }
      }
      if (flag == 0) {
        pixelData.push_back(static_cast<std::uint8_t>(unit >> 8));
        pixelData.push_back(static_cast<std::uint8_t>(unit));
      }
      flags[u >> 1] |= static_cast<std::uint8_t>((u & 1) ? flag : flag << 4);
    }
    for (int j = 0; j < flagBytes; ++j) {
      const std::uint8_t x = flags[j] ^ previousFlags[j];
      if (x) {
        bitByte |= bitMask;
        flagB.push_back(x);
      }
      bitMask >>= 1;
      if (bitMask == 0) {
        flagA.push_back(bitByte);
        bitByte = 0;
        bitMask = 0x80;
      }
    }
    flags.swap(previousFlags);
  }
  if (bitMask != 0x80) flagA.push_back(bitByte);

  const std::vector<std::uint8_t> fields = MagFieldBytes(image.mag);
  const std::size_t headerAt = kSignature.size() + fields.size();
  const std::size_t paletteAt = headerAt + kHeaderSize;
  const std::size_t flagAOffset = kHeaderSize + 3 * static_cast<std::size_t>(colours);
  const std::size_t flagBOffset = flagAOffset + flagA.size();
  const std::size_t pixelOffset = flagBOffset + flagB.size();
  bytes.assign(headerAt + pixelOffset + pixelData.size(), 0);
  std::copy(kSignature.begin(), kSignature.end(), bytes.begin());
  std::copy(fields.begin(), fields.end(), bytes.begin() + kSignature.size());
  bytes[headerAt + 1] = image.mag.present ? image.mag.machineCode : 0;
  bytes[headerAt + 2] = image.mag.present ? image.mag.machineFlags : 0;
  bytes[headerAt + 3] = eightBit ? 0x80 : 0x00;
  PutU16(bytes, headerAt + 4, 0);
  PutU16(bytes, headerAt + 6, 0);
  PutU16(bytes, headerAt + 8, static_cast<std::uint32_t>(w - 1));
  PutU16(bytes, headerAt + 10, static_cast<std::uint32_t>(h - 1));
  PutU32(bytes, headerAt + 12, static_cast<std::uint32_t>(flagAOffset));
  PutU32(bytes, headerAt + 16, static_cast<std::uint32_t>(flagBOffset));
  PutU32(bytes, headerAt + 20, static_cast<std::uint32_t>(flagB.size()));
  PutU32(bytes, headerAt + 24, static_cast<std::uint32_t>(pixelOffset));
  PutU32(bytes, headerAt + 28, static_cast<std::uint32_t>(pixelData.size()));
  for (int i = 0; i < colours; ++i) {
    const ColourTableEntry& e = work.colourTable[i];
    bytes[paletteAt + 3 * i] = e.green;
    bytes[paletteAt + 3 * i + 1] = e.red;
    bytes[paletteAt + 3 * i + 2] = e.blue;
  }
  std::copy(flagA.begin(), flagA.end(), bytes.begin() + headerAt + flagAOffset);
  std::copy(flagB.begin(), flagB.end(), bytes.begin() + headerAt + flagBOffset);
  std::copy(pixelData.begin(), pixelData.end(), bytes.begin() + headerAt + pixelOffset);
  return true;
}

}  // namespace

bool EncodeMag(const IndexedImage& image, std::vector<std::uint8_t>& bytes) {
  try {
    return EncodeMagUnguarded(image, bytes);
  } catch (const std::bad_alloc&) {
    bytes.clear();
    return false;
  }
}

bool ReadMagOpened(const OpenedPicture& opened, IndexedImage& image, FileReport* report) {
  bool ended = false;
  if (!opened.readable || !DecodeMag(opened.bytes, image, {}, &ended)) return false;
  if (ended) ReportDataEnded(report);
  return true;
}

bool ReadMagFile(const std::string& name, IndexedImage& image, FileReport* report, ProgressSink*) {
  OpenedPicture opened;
  ReadPictureAs(name, PictureFormat::Mag, opened);
  return ReadMagOpened(opened, image, report);
}

bool WriteMagFile(const std::string& name, IndexedImage& image, FileReport* report, ProgressSink*) {
  std::vector<std::uint8_t> bytes;
  if (!EncodeMag(image, bytes)) {
    // A picture with pixels fails to encode only for want of memory.
    if (image.HasPixels()) ReportSaveWithoutMemory(report, name);
    return false;
  }
  return WriteFileSafely(name, bytes);
}

}  // namespace zudizar
