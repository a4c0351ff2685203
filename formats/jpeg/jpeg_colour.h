// Colour conversion of the decoder: YCbCr samples with 4 fraction bits to
// 8-bit red, green and blue, chroma replicated (never interpolated).
#pragma once

#include <algorithm>
#include <bit>
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
// The first `count` terms only.
void PrepareChromaReference(const std::int16_t* cb, const std::int16_t* cr, ChromaTerms& terms, int count);
void PrepareChroma(const std::int16_t cb[64], const std::int16_t cr[64], ChromaTerms& terms);
// The same for chroma blocks whose 64 samples are all `cb` and all `cr`
// (blocks with a DC coefficient alone, common in smooth colour).
void PrepareFlatChroma(std::int16_t cb, std::int16_t cr, ChromaTerms& terms);

// Converts the luminance block whose top-left lies at (ox, oy) in the MCU.
// Its pixel (x, y) takes chroma sample ((ox + x) >> hShift, (oy + y) >> vShift).
void ConvertBlockReference(const std::int16_t luminance[64], const ChromaTerms& terms, int ox, int oy, int hShift,
                           int vShift, BlockPixels& out);
void ConvertBlock(const std::int16_t luminance[64], const ChromaTerms& terms, int ox, int oy, int hShift, int vShift,
                  BlockPixels& out);
// Greyscale: red = green = blue.
void ConvertGreyBlock(const std::int16_t luminance[64], BlockPixels& out);

// The single colour of a block in the preview pass, from the DC coefficients
// (as stored, with the quantisation factor) of luminance and chroma. Four
// bytes, made from one word and inline: one is made per block, and a
// three-byte struct built out of line, or byte by byte, stalls on its reload.
struct Rgb {
  std::uint8_t red, green, blue, unused;
};

namespace preview {
// Truncated toward zero, as the full conversion's constants are applied.
inline int K(int x, int c) { return (x * c + 8192) / 16384; }
inline int N(int x, int c) { return (x * c + 16384) / 32768; }
// A sample with 4 fraction bits to 0..255.
inline std::uint8_t S(int v) { return static_cast<std::uint8_t>(std::clamp((v + 8) >> 4, 0, 255)); }
// The DC coefficient of a block is 8 times its mean sample.
inline int RoundedDc(int dc) { return (dc + 4) >> 3; }
}  // namespace preview

inline Rgb MakeRgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const std::uint32_t word = std::uint32_t{red} | std::uint32_t{green} << 8 | std::uint32_t{blue} << 16;
  if constexpr (std::endian::native == std::endian::little) return std::bit_cast<Rgb>(word);
  return {red, green, blue, 0};
}

inline Rgb PreviewColour(int luminanceDc, int cbDc, int crDc) {
  using namespace preview;
  const int yp = RoundedDc(luminanceDc) + 2048;
  const int cb = RoundedDc(cbDc);
  const int cr = RoundedDc(crDc);
  return MakeRgb(S(yp + K(cr, 22970)), S(yp - N(cb, 11277) - N(cr, 23401)), S(yp + K(cb, 29032)));
}

inline Rgb PreviewGrey(int luminanceDc) {
  const std::uint8_t v = preview::S(preview::RoundedDc(luminanceDc) + 2048);
  return MakeRgb(v, v, v);
}

}  // namespace zudizar::jpeg
