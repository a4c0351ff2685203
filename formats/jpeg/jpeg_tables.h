// Fixed tables of the baseline JPEG process shared by the decoder and the
// encoder: the zig-zag order and the example tables of T.81 Annex K.
#pragma once

#include <array>
#include <cstdint>

namespace zudizar::jpeg {

// Natural (row-major) position of the coefficient at zig-zag index k (T.81
// Figure A.6).
inline constexpr std::array<std::uint8_t, 64> kZigZagToNatural = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The same positions in a block stored column by column (transposed), the
// order in which the decoder's transform reads its coefficients.
inline constexpr std::array<std::uint8_t, 64> kZigZagToTransposed = [] {
  std::array<std::uint8_t, 64> table{};
  for (int k = 0; k < 64; ++k)
    table[k] = static_cast<std::uint8_t>((kZigZagToNatural[k] % 8) * 8 + kZigZagToNatural[k] / 8);
  return table;
}();

// Luminance and chrominance quantisation tables K.1 and K.2, row by row as
// printed. The encoder uses each as its zig-zag sequence, unreordered.
// clang-format off
inline constexpr std::array<std::uint8_t, 64> kLuminanceQuantK1 = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
// clang-format on
inline constexpr std::array<std::uint8_t, 64> kChrominanceQuantK2 = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// A Huffman table as a DHT segment carries it: code counts per length 1..16
// and the symbols in code order.
struct HuffmanSpec {
  std::array<std::uint8_t, 16> counts;
  const std::uint8_t* symbols;
  int symbolCount;
};

// The example tables K.3 (DC luminance), K.4 (DC chrominance), K.5 (AC
// luminance) and K.6 (AC chrominance).
extern const HuffmanSpec kDcLuminanceK3;
extern const HuffmanSpec kDcChrominanceK4;
extern const HuffmanSpec kAcLuminanceK5;
extern const HuffmanSpec kAcChrominanceK6;

}  // namespace zudizar::jpeg
