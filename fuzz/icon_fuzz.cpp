// Icon reader: any bytes give a 4-bit icon's picture or a clean refusal; with
// the icon's own colours, a 4- or 8-bit icon's picture or a clean refusal.
#include <cstdint>
#include <span>

#include "formats/icon.h"

static volatile unsigned sink;

static void Check(const zudizar::IndexedImage& image) {
  const int w = image.ImageWidth(), h = image.ImageHeight();
  if (w < 1 || w > 255 || h < 1 || h > 255 || image.pixels.size() != static_cast<std::size_t>(w) * h) __builtin_trap();
  unsigned sum = 0;
  for (const std::uint8_t p : image.pixels) sum += p;
  for (const auto& c : image.colourTable) sum += c.blue + c.green + c.red;
  sink = sum;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const bool remapToShared : {true, false}) {
    zudizar::IndexedImage image;
    if (zudizar::DecodeIcon(std::span(data, size), image, nullptr, remapToShared)) Check(image);
  }
  return 0;
}
