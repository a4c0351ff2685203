// Entropy decoding against plain implementations written straight from the
// definitions: a byte reader that takes one byte at a time (0xFF pairs,
// markers, zeros past the end) and the bit-by-bit DECODE of T.81 F.2.2.3,
// for the example tables and for random tables that overflow the code space
// or claim more than 256 symbols.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "formats/jpeg/jpeg_huffman.h"
#include "formats/jpeg/jpeg_tables.h"

namespace zudizar::jpeg {
namespace {

// The defined reader: a current byte and its unread bits, MSB first.
struct PlainReader {
  const std::vector<std::uint8_t>& data;
  std::size_t cursor = 0;
  int current = 0;
  int unread = 0;
  std::vector<int> markers;

  std::uint8_t Byte() { return cursor < data.size() ? data[cursor++] : 0; }
  int Bit() {
    if (unread == 0) {
      current = Byte();
      if (current == 0xFF) {
        const int next = Byte();
        if (next != 0) markers.push_back(next);
      }
      unread = 8;
    }
    --unread;
    return (current >> unread) & 1;
  }
  int Receive(int n) {
    int v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | Bit();
    return v;
  }
};

// DECODE by F.2.2.3 with the tables built by Annex C; no code within 16
// bits decodes as 0.
struct PlainTable {
  std::vector<int> maxCode = std::vector<int>(17, -1), minCode = std::vector<int>(17, 0),
                   valPtr = std::vector<int>(17, 0);
  std::vector<int> values;
  PlainTable(const std::uint8_t counts[16], const std::vector<int>& symbols) : values(symbols) {
    int code = 0, j = 0;
    for (int l = 1; l <= 16; ++l) {
      if (counts[l - 1]) {
        valPtr[l] = j;
        minCode[l] = code;
        code += counts[l - 1];
        j += counts[l - 1];
        maxCode[l] = code - 1;
      }
      code <<= 1;
    }
  }
  int Decode(PlainReader& r) const {
    int code = r.Bit();
    for (int l = 1;; ++l) {
      if (code <= maxCode[l]) {
        const int index = valPtr[l] + code - minCode[l];
        return index < static_cast<int>(values.size()) && index < 256 ? values[index] : 0;
      }
      if (l == 16) return 0;
      code = (code << 1) | r.Bit();
    }
  }
};

int PlainExtend(int v, int t) { return v < (1 << (t - 1)) ? v + (-1 << t) + 1 : v; }

// One block by F.2.2, coefficients at transposed natural positions; returns
// the zig-zag index of the last AC coefficient stored (0: none).
int PlainBlock(PlainReader& r, const PlainTable& dc, const PlainTable& ac, const std::int16_t* q,
               std::uint32_t& predictor, std::int16_t* out) {
  int last = 0;
  const int t = std::min(dc.Decode(r), 16);
  if (t) predictor += static_cast<std::uint32_t>(PlainExtend(r.Receive(t), t));
  out[0] = static_cast<std::int16_t>(predictor * static_cast<std::uint32_t>(q[0]));
  for (int k = 1; k < 64;) {
    const int rs = ac.Decode(r);
    const int s = rs & 15;
    if (s == 0) {
      if (rs != 0xF0) break;
      k += 16;
      continue;
    }
    k += rs >> 4;
    const int v = PlainExtend(r.Receive(s), s);
    if (k > 63) break;
    out[kZigZagToTransposed[k]] = static_cast<std::int16_t>(v * q[k]);
    last = k;
    ++k;
  }
  return last;
}

struct RandomTable {
  std::uint8_t counts[16];
  std::vector<std::uint8_t> symbols;
};

RandomTable MakeRandomTable(std::mt19937& random, bool ac) {
  RandomTable t{};
  const int style = random() % 4;
  int total = 0;
  for (int l = 0; l < 16; ++l) {
    int n = 0;
    if (style == 0) n = random() % 3;                                      // sparse
    if (style == 1) n = l < 8 ? random() % (1 << (l + 1)) : random() % 4;  // roughly full
    if (style == 2) n = random() % 256;                                    // overflowing, many symbols
    if (style == 3) n = l == 15 ? 255 : random() % 2;                      // long codes only
    t.counts[l] = static_cast<std::uint8_t>(n);
    total += n;
  }
  for (int i = 0; i < total; ++i) t.symbols.push_back(static_cast<std::uint8_t>(ac ? random() % 256 : random() % 17));
  return t;
}

std::vector<std::uint8_t> RandomStream(std::mt19937& random, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (auto& b : bytes) {
    const int kind = random() % 40;
    b = static_cast<std::uint8_t>(kind == 0 ? 0xFF : random() % 256);
  }
  // Most 0xFF bytes are stuffed, some are markers.
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && random() % 4 != 0) bytes[i + 1] = 0;
  return bytes;
}

TEST(JpegHuffmanTest, ExampleTablesDecodeEveryCodeOfAnnexC) {
  for (const HuffmanSpec* spec : {&kDcLuminanceK3, &kDcChrominanceK4, &kAcLuminanceK5, &kAcChrominanceK6}) {
    HuffmanTable table;
    table.Build(0, spec->counts.data(), spec->symbols, spec->symbolCount);
    int code = 0, k = 0;
    for (int length = 1; length <= 16; ++length, code <<= 1) {
      for (int i = 0; i < spec->counts[length - 1]; ++i, ++k, ++code) {
        // The code followed by ones, MSB first in a 16-bit window.
        const std::uint32_t window = (static_cast<std::uint32_t>(code) << (16 - length)) | ((1u << (16 - length)) - 1);
        int decodedLength, symbol;
        const auto look = table.look[window >> (16 - kLookBits)];
        if (look.length != 0) {
          decodedLength = look.length, symbol = look.symbol;
        } else {
          const int packed = table.DecodeLong(window);
          decodedLength = packed >> 8, symbol = packed & 0xFF;
        }
        EXPECT_EQ(decodedLength, length) << "symbol " << k;
        EXPECT_EQ(symbol, spec->symbols[k]) << "symbol " << k;
      }
    }
  }
}

TEST(JpegHuffmanTest, BlocksDecodeAsThePlainDefinitionOverRandomTablesAndStreams) {
  std::mt19937 random(1234);
  for (int round = 0; round < 300; ++round) {
    const RandomTable dcSpec = MakeRandomTable(random, false);
    const RandomTable acSpec = MakeRandomTable(random, true);
    HuffmanTable dc, ac;
    dc.Build(0, dcSpec.counts, dcSpec.symbols.data(), static_cast<int>(dcSpec.symbols.size()));
    ac.Build(16, acSpec.counts, acSpec.symbols.data(), static_cast<int>(acSpec.symbols.size()));
    const PlainTable plainDc(dcSpec.counts, {dcSpec.symbols.begin(), dcSpec.symbols.end()});
    const PlainTable plainAc(acSpec.counts, {acSpec.symbols.begin(), acSpec.symbols.end()});
    std::int16_t q[64];
    for (auto& v : q) v = static_cast<std::int16_t>(16 * (1 + random() % 255));

    // Short streams run past their end into zeros.
    const auto stream = RandomStream(random, 16 + random() % 600);
    BitReader reader(stream.data(), stream.size());
    reader.Start(0);
    PlainReader plain{stream, 0, 0, 0, {}};
    std::vector<int> reported;
    const TraceSink trace = [&](int number, const std::string& text) {
      EXPECT_EQ(number, 9628);
      reported.push_back(std::stoi(text.substr(std::string("MarkerError").size())));
    };
    std::uint32_t predictor = 0, plainPredictor = 0, previewPredictor = 0;
    const BlockTables tables{&dc, &ac, q, &predictor};
    // The preview pass reads the same bits through its own shortcuts.
    BitReader preview(stream.data(), stream.size());
    preview.Start(0);
    const BlockTables previewTables{&dc, &ac, q, &previewPredictor};
    // And so does the preview pass that keeps the coefficients for later.
    BitReader keeper(stream.data(), stream.size());
    keeper.Start(0);
    std::uint32_t keeperPredictor = 0;
    const BlockTables keeperTables{&dc, &ac, q, &keeperPredictor};
    for (int block = 0; block < 40; ++block) {
      alignas(32) std::int16_t out[1][64] = {};
      std::int16_t expected[64] = {};
      std::uint8_t last;
      DecodeBlocks<BlockOutput::kBlocks>(reader, &tables, 1, out, &last);
      reader.ReportTakenMarkers(trace);
      const int plainLast = PlainBlock(plain, plainDc, plainAc, q, plainPredictor, expected);
      ASSERT_EQ(last, plainLast);
      ASSERT_EQ(std::vector<std::int16_t>(out[0], out[0] + 64), std::vector<std::int16_t>(expected, expected + 64))
          << "round " << round << " block " << block;
      ASSERT_EQ(predictor, plainPredictor);
      ASSERT_EQ(reader.Cursor(), plain.cursor) << "round " << round << " block " << block;
      ASSERT_EQ(reported, plain.markers) << "round " << round << " block " << block;
      alignas(32) std::int16_t dcOnly[1][64] = {};
      DecodeBlocks<BlockOutput::kDc>(preview, &previewTables, 1, dcOnly, &last);
      ASSERT_EQ(dcOnly[0][0], expected[0]);
      ASSERT_EQ(preview.Cursor(), plain.cursor) << "round " << round << " block " << block << " (preview)";

      std::uint8_t stored[kStoredBlockBytes];
      std::uint8_t* write = stored;
      alignas(32) std::int16_t dcKept[1][64] = {};
      DecodeBlocks<BlockOutput::kStore>(keeper, &keeperTables, 1, dcKept, &last, &write);
      ASSERT_EQ(dcKept[0][0], expected[0]);
      ASSERT_EQ(keeper.Cursor(), plain.cursor) << "round " << round << " block " << block << " (store)";
      alignas(32) std::int16_t loaded[1][64] = {};
      const std::uint8_t* read = stored;
      LoadStoredBlocks(&keeperTables, 1, loaded, &last, &read);
      ASSERT_EQ(read, write);
      ASSERT_EQ(last, plainLast);
      ASSERT_EQ(std::vector<std::int16_t>(loaded[0], loaded[0] + 64), std::vector<std::int16_t>(expected, expected + 64))
          << "round " << round << " block " << block << " (store)";
    }
  }
}

TEST(JpegHuffmanTest, PreviewPassUsesTheSameBitsAndKeepsOnlyTheDcCoefficient) {
  std::mt19937 random(99);
  const HuffmanSpec& dcSpec = kDcLuminanceK3;
  const HuffmanSpec& acSpec = kAcLuminanceK5;
  HuffmanTable dc, ac;
  dc.Build(0, dcSpec.counts.data(), dcSpec.symbols, dcSpec.symbolCount);
  ac.Build(16, acSpec.counts.data(), acSpec.symbols, acSpec.symbolCount);
  std::int16_t q[64];
  for (auto& v : q) v = 16;
  const auto stream = RandomStream(random, 4000);
  BitReader full(stream.data(), stream.size()), preview(stream.data(), stream.size());
  full.Start(0);
  preview.Start(0);
  std::uint32_t p1 = 0, p2 = 0;
  const BlockTables t1{&dc, &ac, q, &p1}, t2{&dc, &ac, q, &p2};
  for (int block = 0; block < 200; ++block) {
    alignas(32) std::int16_t a[1][64] = {}, b[1][64] = {};
    std::uint8_t last;
    DecodeBlocks<BlockOutput::kBlocks>(full, &t1, 1, a, &last);
    DecodeBlocks<BlockOutput::kDc>(preview, &t2, 1, b, &last);
    ASSERT_EQ(a[0][0], b[0][0]);
    EXPECT_EQ(last, 0);
    for (int i = 1; i < 64; ++i) ASSERT_EQ(b[0][i], 0);
    ASSERT_EQ(full.Cursor(), preview.Cursor());
  }
}

// The block walk tops the reader up at any fill level, and the slow way only
// below 32 bits: reads of random widths with top-ups at random places give
// the bits, the cursor and the markers of the one-byte-at-a-time reader.
TEST(JpegHuffmanTest, TopUpsAtAnyFillLevelReadAsTheByteReader) {
  std::mt19937 random(77);
  for (int round = 0; round < 200; ++round) {
    const auto stream = RandomStream(random, 1 + random() % 300);
    BitReader reader(stream.data(), stream.size());
    reader.Start(0);
    PlainReader plain{stream, 0, 0, 0, {}};
    std::vector<int> reported;
    const TraceSink trace = [&](int, const std::string& text) {
      reported.push_back(std::stoi(text.substr(std::string("MarkerError").size())));
    };
    BitReader::State s = reader.Current();
    for (int read = 0; read < 400; ++read) {
      const int n = 1 + static_cast<int>(random() % 32);
      const bool eager = random() % 2 != 0;
      if (eager) BitReader::FillFast(s, stream.data(), stream.size());
      if (s.bits < n && !BitReader::FillFast(s, stream.data(), stream.size())) s = reader.FillSlow(s);
      ASSERT_GE(s.bits, n);
      const auto value = static_cast<int>(s.acc >> (64 - n));
      s.acc <<= n;
      s.bits -= n;
      ASSERT_EQ(value, plain.Receive(n)) << "round " << round << " read " << read;
      reader.Update(s);
      ASSERT_EQ(reader.Cursor(), plain.cursor) << "round " << round << " read " << read;
      reader.ReportTakenMarkers(trace);
      ASSERT_EQ(reported, plain.markers) << "round " << round << " read " << read;
    }
  }
}

TEST(JpegHuffmanTest, ReadingPastTheEndGivesZerosAndStaysAtTheEnd) {
  const std::vector<std::uint8_t> stream = {0xAB, 0xFF, 0x00, 0xFF};
  BitReader reader(stream.data(), stream.size());
  reader.Start(0);
  // A table whose only code is "0" for symbol 0: each DC decode takes one bit.
  const std::uint8_t counts[16] = {1};
  const std::uint8_t symbols[1] = {0};
  HuffmanTable table;
  table.Build(0, counts, symbols, 1);
  std::int16_t q[64] = {16};
  std::uint32_t predictor = 0;
  const BlockTables tables{&table, &table, q, &predictor};
  std::vector<int> markers;
  for (int i = 0; i < 200; ++i) {
    alignas(32) std::int16_t out[1][64] = {};
    std::uint8_t last;
    DecodeBlocks<BlockOutput::kBlocks>(reader, &tables, 1, out, &last);
  }
  EXPECT_EQ(reader.Cursor(), stream.size());
  reader.ReportTakenMarkers([&](int number, const std::string&) { markers.push_back(number); });
  EXPECT_TRUE(markers.empty());  // the last 0xFF pairs with a zero read past the end
}

}  // namespace
}  // namespace zudizar::jpeg
