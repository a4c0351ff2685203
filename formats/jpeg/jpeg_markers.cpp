#include "formats/jpeg/jpeg_markers.h"

#include <algorithm>
#include <string>

namespace zudizar::jpeg {

void HeaderParser::SkipToStartOfImage() {
  std::uint8_t previous = 0;
  while (!source_.AtEnd()) {
    const std::uint8_t byte = source_.Byte();
    if (previous == 0xFF && byte == 0xD8) return;
    previous = byte;
  }
}

void HeaderParser::ReadFrame() {
  source_.Word();  // the length is not needed: every field is read in turn
  if (source_.Byte() != 8) Report(trace_, Trace::kPrecision);
  state_.frameHeight = source_.Word();
  state_.frameWidth = source_.Word();
  const int height = (state_.frameHeight + 7) & ~7;
  const int width = (state_.frameWidth + 7) & ~7;
  state_.width = width;
  state_.height = height;
  const std::string limit = std::to_string(kExpectedMaxSide) + ")";
  if (width < 1 || width > kExpectedMaxSide) Report(trace_, Trace::kWidthTooLarge, limit);
  if (height < 1 || height > kExpectedMaxSide) Report(trace_, Trace::kHeightTooLarge, limit);
  const int count = source_.Byte();
  if (count != 1 && count != 3) Report(trace_, Trace::kComponentCount);
  state_.componentCount = count;
  state_.slots = {};
  for (int i = 0; i < count; ++i) {
    const int id = source_.Byte();
    const int sampling = source_.Byte();
    const int table = source_.Byte();
    const int h = sampling >> 4;
    const int v = sampling & 15;
    if (h < 1 || h > 2) Report(trace_, Trace::kHorizontalFactor, std::to_string(h));
    if (v < 1 || v > 2) Report(trace_, Trace::kVerticalFactor, std::to_string(v));
    if (table > 3 || !state_.quant[table].defined) Report(trace_, Trace::kUndefinedQuantTable, Hex2(table));
    if (i < kComponentSlots) state_.slots[i] = {id, h, v, table, true, 0};
  }
}

void HeaderParser::ReadHuffmanTables() {
  int remaining = source_.Word() - 2;
  while (remaining > 0) {
    const int tableByte = source_.Byte();
    if (!(tableByte <= 3 || (tableByte >= 16 && tableByte <= 19)))
      Report(trace_, Trace::kHuffmanTableNumber, Hex2(tableByte));
    std::uint8_t counts[16];
    int total = 0;
    for (auto& count : counts) {
      count = source_.Byte();
      total += count;
    }
    std::uint8_t symbols[kMaxSymbols];
    for (int i = 0; i < total; ++i) {
      const std::uint8_t symbol = source_.Byte();
      if (i < kMaxSymbols) symbols[i] = symbol;
    }
    if (static_cast<int>(state_.huffman.size()) < kHuffmanSlots) {
      state_.huffman.emplace_back();
      state_.huffman.back().Build(static_cast<std::uint8_t>(tableByte), counts, symbols, total);
    }
    remaining -= 17 + total;
    if (remaining != 0) Report(trace_, Trace::kDhtLength);
  }
}

void HeaderParser::ReadQuantTables() {
  int n = source_.Word() - 2;
  if (n % 65 != 0) Report(trace_, Trace::kDqtLength);
  n /= 65;
  if (n < 1 || n > 4) Report(trace_, Trace::kTooManyQuantTables);
  for (int i = 0; i < n; ++i) {
    const int number = source_.Byte();
    if (number > 3) {
      Report(trace_, Trace::kQuantTableNumber);
      source_.Skip(64);
      continue;
    }
    QuantTable& table = state_.quant[number];
    for (auto& value : table.values) value = static_cast<std::int16_t>(source_.Byte() * 16);
    table.defined = true;
  }
}

void HeaderParser::ReadRestartInterval() {
  if (source_.Word() != 4) Report(trace_, Trace::kDriLength);
  state_.restartInterval = source_.Word();
}

int HeaderParser::FindHuffman(int tableByte) const {
  // A number defined twice keeps its first definition.
  for (std::size_t i = 0; i < state_.huffman.size(); ++i)
    if (state_.huffman[i].tableByte == tableByte) return static_cast<int>(i);
  return -1;
}

ScanSetup HeaderParser::ReadScanHeader() {
  ScanSetup scan;
  const int length = source_.Word();
  if (length - 2 != 4 + 2 * state_.componentCount) Report(trace_, Trace::kSosLength);
  const int scanComponents = source_.Byte();
  if (scanComponents != 1 && scanComponents != 3) Report(trace_, Trace::kScanComponentCount);
  for (int i = 0; i < state_.componentCount; ++i) {
    const int id = source_.Byte();
    int slot = -1;
    for (int s = 0; s < kComponentSlots; ++s) {
      if (state_.slots[s].defined && state_.slots[s].id == id) {
        slot = s;
        break;
      }
    }
    if (slot < 0) Report(trace_, Trace::kUndefinedComponent, Hex2(id));
    const int tables = source_.Byte();
    const int dc = FindHuffman(tables >> 4);
    if (dc < 0) Report(trace_, Trace::kUndefinedDcTable, Hex2(tables >> 4));
    const int ac = FindHuffman(16 + (tables & 15));
    if (ac < 0) Report(trace_, Trace::kUndefinedAcTable, Hex2(16 + (tables & 15)));
    if (slot < 0) continue;
    ComponentSlot& component = state_.slots[slot];
    scan.hMax = std::max(scan.hMax, component.h);
    scan.vMax = std::max(scan.vMax, component.v);
    component.predictor = 0;
    const int quant = component.quantTable <= 3 ? component.quantTable : -1;
    for (int v = 0; v < component.v; ++v) {
      for (int h = 0; h < component.h; ++h) {
        if (scan.blockCount == kMaxMcuBlocks) {
          Report(trace_, Trace::kTooManyBlocks);
          continue;
        }
        scan.blocks[scan.blockCount++] = {slot, quant, dc, ac};
      }
    }
  }
  const int b = scan.blockCount;
  if (b != 1 && b != 3 && b != 4 && b != 6) Report(trace_, Trace::kUnsupportedBlockCount);
  source_.Skip(3);  // spectral selection and successive approximation
  scan.dataStart = source_.Cursor();
  return scan;
}

void HeaderParser::SkipSegment() {
  const int length = source_.Word();
  if (length >= 3 && length <= 32769) source_.Skip(static_cast<std::size_t>(length - 2));
}

}  // namespace zudizar::jpeg
