// MAG reader: any bytes decode to a picture or fail cleanly.
#include <cstdint>
#include <span>

#include "formats/mag.h"

static volatile unsigned sink;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zudizar::IndexedImage image;
  zudizar::MagDecodeOptions options;
  options.maxPixels = std::int64_t{1} << 22;
  if (!zudizar::DecodeMag(std::span(data, size), image, options)) return 0;
  if (image.pixels.size() != static_cast<std::size_t>(image.ImageWidth()) * image.ImageHeight()) __builtin_trap();
  unsigned sum = 0;
  for (const std::uint8_t p : image.pixels) sum += p;
  for (const auto& c : image.colourTable) sum += c.blue + c.green + c.red;
  // The picture is on the shared palette now.
  if (image.colourTable[255].red != zudizar::SharedPalette.current[255].red) __builtin_trap();
  sink = sum;
  return 0;
}
