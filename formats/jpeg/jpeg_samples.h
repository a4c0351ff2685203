// The decoded colours of the last JPEG whose colours the palette rule
// gathered, kept for the picture load of the same file that follows, so
// that opening a JPEG decodes it once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/indexed_image.h"
#include "formats/progress.h"

namespace zudizar::jpeg {

// Three planes of width x height colours, top row first.
struct RgbSamples {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> red, green, blue;
};

// Larger pictures are decoded twice rather than held in memory.
inline constexpr std::int64_t kMaxKeptPixels = std::int64_t{1} << 26;

// Keeps the samples of file `name` as it is now (size and modification time).
void KeepSamples(const std::string& name, std::shared_ptr<const RgbSamples> samples);
// The kept samples of `name` when the file has not changed since, handed
// over once; null otherwise.
std::shared_ptr<const RgbSamples> TakeSamples(const std::string& name);

// Lets go of any kept samples (when no picture load follows).
void ForgetSamples();

// Maps the samples to the nearest shared colours into a new picture; false
// when it cannot be made. Progress with phase 1 by rows.
bool MapSamples(const RgbSamples& samples, IndexedImage& image, ProgressSink* progress);

}  // namespace zudizar::jpeg
