// The decoder's state and its header parser: the marker segments SOF, DHT,
// DQT, DRI and SOS, and the skipping of every other segment. One parser
// serves both decoding entries.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/jpeg/jpeg_huffman.h"
#include "formats/jpeg/jpeg_trace.h"

namespace zudizar::jpeg {

inline constexpr int kComponentSlots = 4;
inline constexpr int kHuffmanSlots = 8;
inline constexpr int kQuantTables = 4;
inline constexpr int kMaxMcuBlocks = 10;
// The largest side the decoder is meant for; larger frames are logged and
// decoded anyway, within the picture limits.
inline constexpr int kExpectedMaxSide = 3072;
// Zero bytes after the file, so that a truncated scan runs out into zeros.
inline constexpr std::size_t kTailBytes = 16384;

// The file and its zero tail. Reads past the end give 0 and stay there.
class ByteSource {
 public:
  ByteSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t Byte() { return cursor_ < size_ ? data_[cursor_++] : 0; }
  int Word() {
    const int high = Byte();
    return (high << 8) | Byte();
  }
  void Skip(std::size_t count) { cursor_ = count > size_ - cursor_ ? size_ : cursor_ + count; }
  bool AtEnd() const { return cursor_ >= size_; }
  std::size_t Cursor() const { return cursor_; }
  void Seek(std::size_t position) { cursor_ = position < size_ ? position : size_; }
  const std::uint8_t* Data() const { return data_; }
  std::size_t Size() const { return size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t cursor_ = 0;
};

struct ComponentSlot {
  int id = 0;
  int h = 0;  // sampling factors as the file gives them
  int v = 0;
  int quantTable = 0;
  bool defined = false;
  std::uint32_t predictor = 0;  // DC predictor, wrapping
};

struct QuantTable {
  std::array<std::int16_t, 64> values{};  // zig-zag order, times 16
  bool defined = false;
};

// One 8 x 8 block of the MCU and where its tables are (-1: none).
struct McuBlock {
  int slot = 0;
  int quantTable = -1;
  int dcTable = -1;
  int acTable = -1;
};

struct ScanSetup {
  std::array<McuBlock, kMaxMcuBlocks> blocks{};
  int blockCount = 0;
  int hMax = 1;
  int vMax = 1;
  std::size_t dataStart = 0;
};

struct DecoderState {
  int width = 0;  // rounded up to a multiple of 8: whole blocks are decoded
  int height = 0;
  int frameWidth = 0;  // as the frame header says: the picture keeps only these
  int frameHeight = 0;
  int componentCount = 0;  // as the frame header says
  std::array<ComponentSlot, kComponentSlots> slots{};
  std::array<QuantTable, kQuantTables> quant{};
  std::vector<HuffmanTable> huffman;  // in order of definition, at most kHuffmanSlots
  int restartInterval = 0;
};

class HeaderParser {
 public:
  HeaderParser(ByteSource& source, DecoderState& state, const TraceSink& trace)
      : source_(source), state_(state), trace_(trace) {}

  // Moves to just after the first 0xFF 0xD8; to the end when there is none.
  void SkipToStartOfImage();
  void ReadFrame();
  void ReadHuffmanTables();
  void ReadQuantTables();
  void ReadRestartInterval();
  ScanSetup ReadScanHeader();
  void SkipSegment();

 private:
  int FindHuffman(int tableByte) const;

  ByteSource& source_;
  DecoderState& state_;
  const TraceSink& trace_;
};

}  // namespace zudizar::jpeg
