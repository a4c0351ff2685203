// Files of a few hundred bytes whose headers claim a 16384 x 16384 picture,
// built byte by byte: the budget tests and the fuzz seeds use them.
#pragma once

#include <cstdint>
#include <vector>

namespace zudizar::testing {

inline std::uint32_t PngCrc(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline void PutBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

inline void PutPngChunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
  PutBig32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBig32(out, PngCrc(out.data() + start, out.size() - start));
}

// IHDR of 16384 x 16384 of the colour type and depth, a palette when it
// needs one, and an image data chunk that starts a zlib stream and ends
// before its first row.
inline std::vector<std::uint8_t> TinyPngHeader(std::uint8_t colourType, std::uint8_t depth) {
  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<std::uint8_t> ihdr;
  PutBig32(ihdr, 16384);
  PutBig32(ihdr, 16384);
  ihdr.insert(ihdr.end(), {depth, colourType, 0, 0, 0});
  PutPngChunk(out, "IHDR", ihdr);
  if (colourType == 3) PutPngChunk(out, "PLTE", {0, 0, 0, 255, 255, 255});
  // zlib header, then a stored block of 65535 bytes with only its first
  // bytes present.
  std::vector<std::uint8_t> data = {0x78, 0x01, 0x00, 0xFF, 0xFF, 0x00, 0x00};
  data.resize(data.size() + 150, 0);
  PutPngChunk(out, "IDAT", data);
  return out;
}

inline void PutJpegSegment(std::vector<std::uint8_t>& out, std::uint8_t code, const std::vector<std::uint8_t>& data) {
  out.insert(out.end(), {0xFF, code, static_cast<std::uint8_t>((data.size() + 2) >> 8),
                         static_cast<std::uint8_t>(data.size() + 2)});
  out.insert(out.end(), data.begin(), data.end());
}

// A JPEG of the frame kind (0xC0 baseline, 0xC2 progressive) and size with
// `components` components (luminance sampled `sampling` x `sampling`, the
// rest 1 x 1), one quantisation table, Huffman tables of a single one-bit
// code each, one scan of all components (progressive: their DC) and
// `dataBytes` zero bytes of scan data.
inline std::vector<std::uint8_t> TinyJpeg(std::uint8_t frame, int width, int height, int components, int sampling,
                                          std::size_t dataBytes) {
  std::vector<std::uint8_t> out = {0xFF, 0xD8};
  std::vector<std::uint8_t> dqt(65, 1);
  dqt[0] = 0;
  PutJpegSegment(out, 0xDB, dqt);
  for (const std::uint8_t table : {0x00, 0x10}) {
    std::vector<std::uint8_t> dht(17, 0);
    dht[0] = table;
    dht[1] = 1;        // one code of one bit ...
    dht.push_back(0);  // ... for DC difference 0, or end of block
    PutJpegSegment(out, 0xC4, dht);
  }
  std::vector<std::uint8_t> sof = {8,
                                   static_cast<std::uint8_t>(height >> 8),
                                   static_cast<std::uint8_t>(height),
                                   static_cast<std::uint8_t>(width >> 8),
                                   static_cast<std::uint8_t>(width),
                                   static_cast<std::uint8_t>(components)};
  for (int c = 0; c < components; ++c)
    sof.insert(sof.end(),
               {static_cast<std::uint8_t>(c + 1), static_cast<std::uint8_t>(c == 0 ? sampling * 17 : 0x11), 0});
  PutJpegSegment(out, frame, sof);
  std::vector<std::uint8_t> sos = {static_cast<std::uint8_t>(components)};
  for (int c = 0; c < components; ++c) sos.insert(sos.end(), {static_cast<std::uint8_t>(c + 1), 0x00});
  sos.insert(sos.end(), {0, static_cast<std::uint8_t>(frame == 0xC2 ? 0 : 63), 0});
  PutJpegSegment(out, 0xDA, sos);
  out.resize(out.size() + dataBytes, 0);
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

// A BMP with a 40-byte header claiming 16384 x 16384 at `bitCount` bits
// (compression `compression`), a two-entry colour table where it has one,
// and `dataBytes` bytes of pixel data.
inline std::vector<std::uint8_t> TinyBmp(std::uint16_t bitCount, std::uint32_t compression, std::size_t dataBytes) {
  const auto put16 = [](std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.insert(out.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
  };
  const auto put32 = [&](std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
  };
  const std::uint32_t tableBytes = bitCount <= 8 ? 8 : 0;
  const std::uint32_t offBits = 14 + 40 + tableBytes;
  std::vector<std::uint8_t> out = {'B', 'M'};
  put32(out, offBits + static_cast<std::uint32_t>(dataBytes));
  put32(out, 0);
  put32(out, offBits);
  put32(out, 40);
  put32(out, 16384);
  put32(out, 16384);
  put16(out, 1);
  put16(out, bitCount);
  put32(out, compression);
  for (int k = 0; k < 4; ++k) put32(out, 0);
  put32(out, tableBytes / 4);
  put32(out, 0);
  out.insert(out.end(), {0, 0, 0, 0, 255, 255, 255, 0});
  out.resize(offBits, 0);
  for (std::size_t k = 0; k < dataBytes; ++k) out.push_back(static_cast<std::uint8_t>(k % 2));
  return out;
}

}  // namespace zudizar::testing
