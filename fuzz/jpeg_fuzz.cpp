// The JPEG picture decoder: any bytes decode without a fault; every pixel of
// the picture is read, and every trace record built.
#include <cstdint>
#include <span>
#include <string>

#include "core/indexed_image.h"
#include "formats/jpeg/jpeg_decoder.h"

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
  zudizar::jpeg::DecodePicture(std::span<const std::uint8_t>(data, size), false, image, &progress, options);
  std::uint64_t sum = traced + progress.sum;
  if (image.HasPixels()) {
    if (image.pixels.size() != static_cast<std::size_t>(image.ImageWidth()) * image.ImageHeight()) __builtin_trap();
    if (image.ImageWidth() % 8 != 0 || image.ImageHeight() % 8 != 0) __builtin_trap();
    for (const std::uint8_t p : image.pixels) sum += p;
  }
  return sum == 1 ? 1 : 0;  // the sum is used, never 1 in practice
}
