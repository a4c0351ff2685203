// Huffman decoding: the decoding tables of T.81 F.2.2.3 built from a DHT
// table, look-up tables that shortcut them, and the entropy-coded bit reader.
//
// The look-up tables are derived by running the defined bit-by-bit DECODE on
// every 10-bit prefix, so they agree with it for any table a file defines,
// including tables whose counts overflow the code space.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/jpeg/jpeg_trace.h"

namespace zudizar::jpeg {

inline constexpr int kLookBits = 10;
// Symbols kept per table; a table that claims more decodes the rest as 0.
inline constexpr int kMaxSymbols = 256;

struct HuffmanTable {
  std::uint8_t tableByte = 0;  // class and number: 0..3 DC, 16..19 AC
  std::array<std::uint8_t, 16> counts{};
  std::array<std::uint8_t, kMaxSymbols> symbols{};
  int symbolCount = 0;  // sum of the counts, possibly above kMaxSymbols
  // Per code length l = 1..16 (index l): largest code (-1: no codes),
  // smallest code and index of its first symbol.
  std::array<std::int32_t, 17> maxCode{};
  std::array<std::int32_t, 17> minCode{};
  std::array<std::int32_t, 17> valuePointer{};

  // For each kLookBits-bit prefix: code length (0 when longer) and symbol.
  struct Look {
    std::uint8_t length = 0;
    std::uint8_t symbol = 0;
  };
  std::array<Look, 1 << kLookBits> look{};
  // AC shortcut: when a code and its magnitude bits together fit the prefix,
  // the zero run, the extended value and the total bit count (0: no shortcut).
  struct Fast {
    std::int16_t value = 0;
    std::uint8_t run = 0;
    std::uint8_t bits = 0;
  };
  std::array<Fast, 1 << kLookBits> fast{};

  void Build(std::uint8_t tableByte, const std::uint8_t counts[16], const std::uint8_t* symbols,
             int symbolCount);
  int SymbolAt(std::int32_t index) const {
    return index >= 0 && index < kMaxSymbols && index < symbolCount ? symbols[index] : 0;
  }
};

// EXTEND of T.81 F.2.2.1: the magnitude bits v of size s as a signed value.
inline int Extend(int v, int s) { return v < (1 << (s - 1)) ? v + 1 - (1 << s) : v; }

// Reads the entropy-coded data MSB first. A 0xFF byte takes the byte after
// it too: 0x00 is stuffing; any other value is a marker, reported when the
// 0xFF is first used, and the 0xFF counts as data. Past the end of the
// buffer every byte reads as 0.
//
// Bytes are fetched ahead into a 64-bit accumulator; the read cursor the
// defined one-byte-at-a-time reader would have (Cursor) and the markers it
// would have met are reconstructed from how many bits were used.
class BitReader {
 public:
  BitReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  // Empties the reader and continues from `position`.
  void Start(std::size_t position);
  // Position of the first byte not yet taken by the bits used so far.
  std::size_t Cursor() const;
  // Reports the markers among the bytes taken so far and forgets them.
  void ReportTakenMarkers(const TraceSink& trace);

  // Keeps at least 32 bits in the accumulator.
  void Fill() {
    if (bits_ >= 32) return;
    if (pos_ + 8 <= size_ && FillFast()) return;
    FillSlow();
  }
  std::uint32_t Peek(int count) const { return static_cast<std::uint32_t>(acc_ >> (64 - count)); }
  void Skip(int count) {
    acc_ <<= count;
    bits_ -= count;
  }
  // RECEIVE: the next `count` bits (1..16) as an unsigned value.
  int Receive(int count) {
    const int value = static_cast<int>(acc_ >> (64 - count));
    Skip(count);
    return value;
  }

  // DECODE for one table; the caller has called Fill.
  int Decode(const HuffmanTable& table) {
    const HuffmanTable::Look entry = table.look[Peek(kLookBits)];
    if (entry.length != 0) {
      Skip(entry.length);
      return entry.symbol;
    }
    return DecodeLong(table);
  }

 private:
  bool FillFast();
  void FillSlow();
  void LoadByteSlow();
  int DecodeLong(const HuffmanTable& table);

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;  // next byte to fetch
  std::uint64_t acc_ = 0;
  int bits_ = 0;
  std::uint64_t loaded_ = 0;                 // data bytes fetched since Start
  std::uint64_t firstVirtual_ = UINT64_MAX;  // first data byte fetched past the end
  // Data bytes that came from two buffer bytes (0xFF and the byte after).
  struct Pair {
    std::uint64_t serial;
    std::uint8_t second;
    bool twoBytes;
  };
  std::vector<Pair> pairs_;
};

}  // namespace zudizar::jpeg
