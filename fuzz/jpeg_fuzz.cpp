// The JPEG picture load with its hand-over: any bytes either decode (through
// the own decoder or libjpeg-turbo, as the markers decide) to a picture of
// the frame's size, or are refused with a reason; every trace record is built.
#include <cstdint>
#include <span>
#include <string>

#include "core/indexed_image.h"
#include "formats/jpeg/jpeg_route.h"

namespace {

struct CountingProgress : zudizar::ProgressSink {
  std::uint64_t sum = 0;
  void FileProgress(int percent, int phase) override { sum += static_cast<unsigned>(percent + phase); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zudizar::jpeg::DecodeOptions options;
  std::uint64_t traced = 0;
  options.trace = [&traced](int number, const std::string& text) { traced += number + text.size(); };
  options.maxPixels = std::int64_t{1} << 20;  // keeps each input quick
  zudizar::IndexedImage image;
  CountingProgress progress;
  std::string reason;
  const std::span<const std::uint8_t> bytes(data, size);
  if (!zudizar::jpeg::DecodeRoutedPicture(bytes, false, image, &progress, reason, options)) {
    if (reason.empty() || image.HasPixels()) __builtin_trap();
    return 0;
  }
  std::uint64_t sum = traced + progress.sum;
  if (image.HasPixels()) {
    if (image.pixels.size() != static_cast<std::size_t>(image.ImageWidth()) * image.ImageHeight()) __builtin_trap();
    for (const std::uint8_t p : image.pixels) sum += p;
  }
  return sum == 1 ? 1 : 0;  // the sum is used, never 1 in practice
}
