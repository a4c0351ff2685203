// Huffman decoding: the decoding tables of T.81 F.2.2.3 built from a DHT
// table, look-up tables that shortcut them, the entropy-coded bit reader and
// the decoding of the blocks of one MCU.
//
// The look-up tables are derived by running the defined bit-by-bit DECODE on
// every 10-bit prefix, so they agree with it for any table a file defines,
// including tables whose counts overflow the code space.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "formats/jpeg/jpeg_tables.h"
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
  // Preview shortcut: the whole AC symbols (code and magnitude bits) at the
  // start of the prefix, up to and including an end of block: their bit
  // count, how far they move the coefficient index, and whether the last
  // ends the block (bits 0: no whole symbol fits).
  struct Skip {
    std::uint8_t bits = 0;
    std::uint8_t advance = 0;
    bool endOfBlock = false;
  };
  std::array<Skip, 1 << kLookBits> skip{};

  void Build(std::uint8_t tableByte, const std::uint8_t counts[16], const std::uint8_t* symbols, int symbolCount);
  int SymbolAt(std::int32_t index) const {
    return index >= 0 && index < kMaxSymbols && index < symbolCount ? symbols[index] : 0;
  }
  // DECODE for a code longer than kLookBits bits, from the top 16 bits of
  // `bits`: returns length << 8 | symbol. Without a match among the 16
  // lengths, 16 bits are used up and the symbol is 0.
  int DecodeLong(std::uint32_t top16) const;
};

// EXTEND of T.81 F.2.2.1: the magnitude bits v of size s as a signed value.
inline int Extend(int v, int s) { return v < (1 << (s - 1)) ? v + 1 - (1 << s) : v; }

// Reads the entropy-coded data MSB first. A 0xFF byte takes the byte after
// it too: 0x00 is stuffing; any other value is a marker, reported when the
// 0xFF is first used, and the 0xFF counts as data. Past the end of the
// buffer every byte reads as 0.
//
// Bytes are fetched ahead into a 64-bit accumulator; the read cursor that a
// reader taking one byte at a time would have (Cursor) and the markers it
// would have met are reconstructed from how many bits were used.
class BitReader {
 public:
  // The state the block decoder keeps in registers.
  struct State {
    std::uint64_t acc = 0;     // unused bits, MSB first
    std::size_t pos = 0;       // next byte to fetch
    std::uint64_t loaded = 0;  // data bytes fetched since Start
    int bits = 0;              // number of unused bits in acc
  };

  BitReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  // Empties the reader and continues from `position`.
  void Start(std::size_t position);
  // Position of the first byte not yet taken by the bits used so far.
  std::size_t Cursor() const;
  // Reports the markers among the bytes taken so far and forgets them.
  void ReportTakenMarkers(const TraceSink& trace) {
    if (!pairs_.empty()) ReportTaken(trace);
  }

  const State& Current() const { return state_; }
  void Update(const State& state) { state_ = state; }
  const std::uint8_t* Data() const { return data_; }
  std::size_t Size() const { return size_; }

  // Tops `s` up to 56..63 bits from the next eight bytes when none of them
  // is 0xFF and all lie inside the buffer; false otherwise. Any number of
  // bits may be left: with 56 or more it takes no byte. Below the
  // counted bits the accumulator may hold the leading bits of the next byte:
  // the next top-up writes the same bits there again.
  static bool FillFast(State& s, const std::uint8_t* data, std::size_t size) {
    if (s.pos + 8 > size) return false;
    std::uint64_t word;
    std::memcpy(&word, data + s.pos, 8);
    // A 0xFF byte shows as a zero byte of the complement (the test may
    // also fire on a 0xFE next to a 0xFF, which only costs the slow way).
    const std::uint64_t inverted = ~word;
    if ((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull) return false;
    const int count = (63 - s.bits) >> 3;
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    s.acc |= word >> s.bits;
    s.pos += static_cast<std::size_t>(count);
    s.loaded += static_cast<std::uint64_t>(count);
    s.bits |= 56;
    return true;
  }
  // The general way, one byte at a time; keeps 0xFF pairs for Cursor and the
  // marker reports.
  State FillSlow(State s);

 private:
  void ReportTaken(const TraceSink& trace);

  const std::uint8_t* data_;
  std::size_t size_;
  State state_;
  std::uint64_t firstVirtual_ = UINT64_MAX;  // first data byte fetched past the end
  // Data bytes that came from two buffer bytes (0xFF and the byte after).
  struct Pair {
    std::uint64_t serial;
    std::uint8_t second;
    bool twoBytes;
  };
  std::vector<Pair> pairs_;
};

// The tables of one block of the MCU.
struct BlockTables {
  const HuffmanTable* dc;
  const HuffmanTable* ac;
  const std::int16_t* quant;  // zig-zag order
  std::uint32_t* predictor;   // the component's DC predictor, wrapping
};

// What DecodeBlocks keeps of each block.
enum class BlockOutput {
  kDc,      // the DC coefficient only (the preview pass without a store)
  kBlocks,  // every coefficient, into the blocks
  kStore,   // the DC coefficient into the blocks, and the block into a store
};

// Bytes a stored block can take: its header and 63 wide coefficients.
inline constexpr int kStoredBlockBytes = 3 + 63 * 3;
static_assert(kStoredBlockBytes - 3 <= 255, "a block's AC byte count fits its header byte");

// Decodes `count` blocks (T.81 F.2.2): the DC difference, then the AC
// coefficients in zig-zag order, each times its quantisation value, stored
// as 16-bit values in blocks the caller zeroed, column by column (the
// transposed natural order the inverse transform reads).
// kDc and kStore keep only the DC coefficient in the blocks. last[b] is the
// zig-zag index of the last AC coefficient stored (0: none; kBlocks only). A
// coefficient index beyond 63 ends the block.
//
// kStore also appends each block at *store (at most kStoredBlockBytes each):
// the DC coefficient as two bytes (native order), the number of bytes the
// AC coefficients take, then per coefficient its zig-zag index and its value
// before quantisation, one signed byte, or with bit 7 of the index set two.
// Small values are the common case, so a block mostly takes 3 + 2n bytes.
template <BlockOutput kOutput>
inline void DecodeBlocks(BitReader& reader, const BlockTables* tables, int count, std::int16_t (*blocks)[64],
                         std::uint8_t* last, std::uint8_t** store = nullptr) {
  constexpr bool kPreview = kOutput == BlockOutput::kDc;
  constexpr bool kStore = kOutput == BlockOutput::kStore;
  std::uint8_t* w = kStore ? *store : nullptr;
  // Plain locals, so that the compiler keeps them in registers.
  const BitReader::State start = reader.Current();
  std::uint64_t acc = start.acc;
  std::size_t pos = start.pos;
  std::uint64_t loaded = start.loaded;
  int bits = start.bits;
  const std::uint8_t* data = reader.Data();
  const std::size_t size = reader.Size();
  // Every symbol takes at most 32 bits (a 16-bit code and 16 magnitude
  // bits), so the reader tops up only when fewer are left: one top-up then
  // serves several symbols.
  const auto fill = [&]() __attribute__((always_inline)) {
    if (bits >= 32) [[likely]]
      return;
    BitReader::State s{acc, pos, loaded, bits};
    if (BitReader::FillFast(s, data, size)) {
      acc = s.acc, pos = s.pos, loaded = s.loaded, bits = s.bits;
    } else {
      s = reader.FillSlow(s);
      acc = s.acc, pos = s.pos, loaded = s.loaded, bits = s.bits;
    }
  };
  // Tops up whatever is left, branching only on a 0xFF byte or the end of
  // the buffer close by (rare); the slow way only when below 32 bits.
  const auto topUp = [&]() __attribute__((always_inline)) {
    BitReader::State s{acc, pos, loaded, bits};
    if (BitReader::FillFast(s, data, size)) [[likely]] {
      acc = s.acc, pos = s.pos, loaded = s.loaded, bits = s.bits;
    } else if (bits < 32) {
      s = reader.FillSlow(s);
      acc = s.acc, pos = s.pos, loaded = s.loaded, bits = s.bits;
    }
  };
  const auto skip = [&](int n) __attribute__((always_inline)) {
    acc <<= n;
    bits -= n;
  };
  const auto decode = [&](const HuffmanTable& table) __attribute__((always_inline)) {
    const HuffmanTable::Look entry = table.look[acc >> (64 - kLookBits)];
    if (entry.length != 0) {
      skip(entry.length);
      return static_cast<int>(entry.symbol);
    }
    const int packed = table.DecodeLong(static_cast<std::uint32_t>(acc >> 48));
    skip(packed >> 8);
    return packed & 0xFF;
  };
  const auto receive = [&](int n) __attribute__((always_inline)) {
    const int value = static_cast<int>(acc >> (64 - n));
    skip(n);
    return value;
  };

  for (int b = 0; b < count; ++b) {
    const BlockTables& t = tables[b];
    std::int16_t* out = blocks[b];
    const std::int16_t* q = t.quant;
    fill();
    const int size0 = decode(*t.dc);
    if (size0 != 0) {
      const int n = size0 < 16 ? size0 : 16;  // no file may ask for more magnitude bits
      *t.predictor += static_cast<std::uint32_t>(Extend(receive(n), n));
    }
    // The block holds 16-bit values: the product keeps its low 16 bits.
    out[0] = static_cast<std::int16_t>(*t.predictor * static_cast<std::uint32_t>(q[0]));
    int stored = 0;  // kBlocks: the last index
    std::uint8_t* header = w;
    if (kStore) {
      std::memcpy(header, &out[0], 2);
      w += 3;
    }
    const HuffmanTable& ac = *t.ac;
    // One AC symbol at index k; false when the block ends.
    const auto acSymbol = [&](int& k) __attribute__((always_inline)) {
      if (kPreview) {
        // Several symbols at once when none of them can reach index 64,
        // where one at a time the block could end early.
        const HuffmanTable::Skip skipped = ac.skip[acc >> (64 - kLookBits)];
        if (skipped.bits != 0 && k + skipped.advance <= 63) {
          skip(skipped.bits);
          k += skipped.advance;
          return !skipped.endOfBlock;
        }
      }
      const HuffmanTable::Fast fast = ac.fast[acc >> (64 - kLookBits)];
      int value;
      if (fast.bits != 0) {
        skip(fast.bits);
        k += fast.run;
        value = fast.value;
      } else {
        const int rs = decode(ac);
        const int magnitude = rs & 15;
        if (magnitude == 0) {
          if (rs != 0xF0) return false;  // end of block
          k += 16;
          return true;
        }
        k += rs >> 4;
        value = Extend(receive(magnitude), magnitude);
      }
      if (k > 63) return false;
      if (kStore) {
        if (value >= -128 && value <= 127) [[likely]] {
          w[0] = static_cast<std::uint8_t>(k);
          w[1] = static_cast<std::uint8_t>(value);
          w += 2;
        } else {
          const auto wide = static_cast<std::int16_t>(value);
          w[0] = static_cast<std::uint8_t>(k | 0x80);
          std::memcpy(w + 1, &wide, 2);
          w += 3;
        }
      } else if (!kPreview) {
        out[kZigZagToTransposed[k]] = static_cast<std::int16_t>(value * q[k]);
        stored = k;
      }
      ++k;
      return true;
    };
    // Two symbols per top-up. Whether fewer than 32 bits are left before a
    // symbol depends on the data, so testing it before each symbol is a
    // branch the processor often mispredicts; after an unconditional top-up
    // (56 bits or more) the test before the second symbol almost never
    // fires, unless the first was a long one or a 0xFF byte is close.
    for (int k = 1; k < 64;) {
      topUp();
      if (!acSymbol(k) || k > 63) break;
      fill();
      if (!acSymbol(k)) break;
    }
    if (kStore)
      header[2] = static_cast<std::uint8_t>(w - header - 3);
    else
      last[b] = static_cast<std::uint8_t>(stored);
  }
  if (kStore) *store = w;
  reader.Update({acc, pos, loaded, bits});
}

// Reads back `count` blocks that DecodeBlocks<kStore> appended at *store
// into blocks the caller zeroed, with the same coefficients and last
// indices DecodeBlocks<kBlocks> gives, and moves *store past them.
inline void LoadStoredBlocks(const BlockTables* tables, int count, std::int16_t (*blocks)[64], std::uint8_t* last,
                             const std::uint8_t** store) {
  const std::uint8_t* r = *store;
  for (int b = 0; b < count; ++b) {
    std::int16_t* out = blocks[b];
    const std::int16_t* q = tables[b].quant;
    std::memcpy(&out[0], r, 2);
    const std::uint8_t* end = r + 3 + r[2];
    r += 3;
    int k = 0;
    while (r < end) {
      const int tag = r[0];
      k = tag & 63;
      int value;
      if (tag & 0x80) {
        std::int16_t wide;
        std::memcpy(&wide, r + 1, 2);
        value = wide;
        r += 3;
      } else {
        value = static_cast<std::int8_t>(r[1]);
        r += 2;
      }
      out[kZigZagToTransposed[k]] = static_cast<std::int16_t>(value * q[k]);
    }
    last[b] = static_cast<std::uint8_t>(k);
  }
  *store = r;
}

}  // namespace zudizar::jpeg
