// Colour conversion of the decoder: YCbCr samples with 4 fraction bits to
// 8-bit red, green and blue, chroma replicated (never interpolated).
#pragma once

#include <cstdint>

namespace zudizar::jpeg {

// One 8 x 8 block of decoded colours, row by row.
struct BlockPixels {
  std::uint8_t red[64];
  std::uint8_t green[64];
  std::uint8_t blue[64];
};

// The chroma terms of one MCU, per chroma sample: K(Cb, 29032) for blue,
// K(Cr, 22970) for red, and the green term N(Cb', 6364) + N(Cr', 16691),
// each kept in 16 bits.
struct ChromaTerms {
  std::int16_t blue[64];
  std::int16_t red[64];
  std::int16_t green[64];
};

void PrepareChromaReference(const std::int16_t cb[64], const std::int16_t cr[64], ChromaTerms& terms);
void PrepareChroma(const std::int16_t cb[64], const std::int16_t cr[64], ChromaTerms& terms);

// Converts the luminance block whose top-left lies at (ox, oy) in the MCU.
// Its pixel (x, y) takes chroma sample ((ox + x) >> hShift, (oy + y) >> vShift).
void ConvertBlockReference(const std::int16_t luminance[64], const ChromaTerms& terms, int ox, int oy, int hShift,
                           int vShift, BlockPixels& out);
void ConvertBlock(const std::int16_t luminance[64], const ChromaTerms& terms, int ox, int oy, int hShift, int vShift,
                  BlockPixels& out);
// Greyscale: red = green = blue.
void ConvertGreyBlock(const std::int16_t luminance[64], BlockPixels& out);

// The single colour of a block in the preview pass, from the DC coefficients
// (as stored, with the quantisation factor) of luminance and chroma.
struct Rgb {
  std::uint8_t red, green, blue;
};
Rgb PreviewColour(int luminanceDc, int cbDc, int crDc);
Rgb PreviewGrey(int luminanceDc);

}  // namespace zudizar::jpeg
