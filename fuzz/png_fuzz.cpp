// PNG reader: any bytes decode to a picture on the shared palette or are
// refused with a reason; a decoded picture survives the writer unchanged.
#include <cstdint>
#include <span>
#include <string>

#include "formats/png.h"

namespace {
constexpr std::int64_t kFuzzPixelCap = std::int64_t{1} << 22;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zudizar;
  const std::span<const std::uint8_t> bytes(data, size);
  IndexedImage image;
  std::string reason;
  if (!ReadPngBytes(bytes, image, reason, kFuzzPixelCap)) {
    if (reason.empty() || image.HasPixels()) __builtin_trap();
    return 0;
  }
  const std::size_t n = static_cast<std::size_t>(image.ImageWidth()) * static_cast<std::size_t>(image.ImageHeight());
  if (image.pixels.size() != n) __builtin_trap();
  // The shared palette has no repeated colour: written and read again, every
  // pixel keeps its index.
  IndexedImage back;
  if (!ReadPngBytes(EncodePng(image), back, reason, kFuzzPixelCap) || back.pixels != image.pixels) __builtin_trap();
  return 0;
}
