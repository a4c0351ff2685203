// Pieces of the JFIF encoder that tests look at on their own: the colour
// samples of the palette, the gathering of one MCU and the quantisation.
#pragma once

#include <cstdint>

#include "core/indexed_image.h"
#include "core/shared_palette.h"

namespace zudizar::jpeg {

// Per palette index: the luminance sample (Y - 2048) and Cb and Cr, all with
// 4 fraction bits.
struct SampleTable {
  std::int16_t luminance[256];
  std::int16_t cb[256];
  std::int16_t cr[256];
};
SampleTable MakeSampleTable(const PaletteTable& palette);

// The four blocks of a 16 x 8 MCU: two luminance blocks side by side and
// one Cb and one Cr block, each chroma sample the rounded mean of two
// horizontally neighbouring pixels.
struct EncoderMcu {
  alignas(32) std::int16_t luminance[2][64];
  alignas(32) std::int16_t cb[64];
  alignas(32) std::int16_t cr[64];
};
// The MCU at column mcuX, row mcuY; positions beyond the right or bottom
// edge repeat the last column or row.
void GatherMcu(const IndexedImage& image, const SampleTable& samples, int mcuX, int mcuY, EncoderMcu& mcu);

// A transformed coefficient (4 fraction bits) quantised by a table value Q
// (1..255), that is divided by 16 Q and rounded half away from zero.
int Quantise(int coefficient, int value);

}  // namespace zudizar::jpeg
