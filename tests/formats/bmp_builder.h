// Builds BMP files byte by byte for the tests, with every header field under
// the test's control.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace zudizar::testing {

inline void PutU16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

struct BmpBuilder {
  std::uint32_t headerSize = 40;
  std::int32_t width = 1;
  std::int32_t height = 1;  // negative: top-down
  std::uint16_t bitCount = 8;
  std::uint32_t compression = 0;
  std::uint32_t clrUsed = 0;
  std::vector<std::array<std::uint8_t, 3>> table;  // red, green, blue
  // After a 40-byte header, or inside a longer one from its byte 40 on.
  std::vector<std::uint32_t> masks;
  std::vector<std::uint8_t> pixels;  // the pixel data exactly as stored
  std::int64_t offBits = -1;         // -1: right after the table

  std::vector<std::uint8_t> Build() const {
    std::vector<std::uint8_t> info;
    if (headerSize == 12) {
      PutU16(info, static_cast<std::uint32_t>(width));
      PutU16(info, static_cast<std::uint32_t>(height));
      PutU16(info, 1);
      PutU16(info, bitCount);
    } else {
      PutU32(info, static_cast<std::uint32_t>(width));
      PutU32(info, static_cast<std::uint32_t>(height));
      PutU16(info, 1);
      PutU16(info, bitCount);
      PutU32(info, compression);
      PutU32(info, 0);
      PutU32(info, 2835);
      PutU32(info, 2835);
      PutU32(info, clrUsed);
      PutU32(info, 0);
    }
    std::vector<std::uint8_t> after;  // masks after a 40-byte header
    for (std::uint32_t m : masks) PutU32(headerSize == 40 ? after : info, m);
    info.resize(headerSize - 4, 0);
    info.insert(info.end(), after.begin(), after.end());
    std::vector<std::uint8_t> out = {'B', 'M'};
    const std::size_t entry = headerSize == 12 ? 3 : 4;
    const std::size_t natural = 14 + info.size() + 4 + table.size() * entry;
    const std::size_t off = offBits >= 0 ? static_cast<std::size_t>(offBits) : natural;
    PutU32(out, static_cast<std::uint32_t>(std::max(off, natural) + pixels.size()));
    PutU32(out, 0);
    PutU32(out, static_cast<std::uint32_t>(off));
    PutU32(out, headerSize);
    out.insert(out.end(), info.begin(), info.end());
    for (const auto& c : table) {
      out.push_back(c[2]);
      out.push_back(c[1]);
      out.push_back(c[0]);
      if (entry == 4) out.push_back(0);
    }
    if (out.size() < off) out.resize(off, 0);
    out.resize(off);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
  }
};

// Rows given in file order, each padded with `pad` to a multiple of 4 bytes.
inline std::vector<std::uint8_t> PadRows(const std::vector<std::vector<std::uint8_t>>& rows, std::uint8_t pad = 0) {
  std::vector<std::uint8_t> out;
  for (const auto& row : rows) {
    out.insert(out.end(), row.begin(), row.end());
    while (out.size() % 4) out.push_back(pad);
  }
  return out;
}

}  // namespace zudizar::testing
