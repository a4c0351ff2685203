// BMP reader: any bytes decode to a picture on the shared palette or are
// refused with a reason; a decoded picture survives the writer unchanged.
#include <cstdint>
#include <span>
#include <string>

#include "formats/bmp.h"

namespace {
constexpr std::int64_t kFuzzPixelCap = std::int64_t{1} << 22;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zudizar;
  const std::span<const std::uint8_t> bytes(data, size);
  IndexedImage image;
  std::string reason;
  if (!ReadBmpBytes(bytes, image, reason, kFuzzPixelCap)) {
    if (reason.empty()) __builtin_trap();
    return 0;
  }
  const std::size_t n = static_cast<std::size_t>(image.ImageWidth()) * static_cast<std::size_t>(image.ImageHeight());
  if (image.pixels.size() != n || static_cast<std::size_t>(image.pixelBlockSize) != n) __builtin_trap();
  unsigned sum = 0;
  for (const std::uint8_t p : image.pixels) sum += p;
  for (const auto& e : image.colourTable) sum += e.red + e.green + e.blue + e.reserved;
  // The image's table is the shared palette, which has no repeated colour:
  // written and read again, every pixel keeps its index.
  IndexedImage back;
  if (!ReadBmpBytes(EncodeBmp(image), back, reason, kFuzzPixelCap) || back.pixels != image.pixels) __builtin_trap();
  volatile unsigned keep = sum;
  (void)keep;
  return 0;
}
