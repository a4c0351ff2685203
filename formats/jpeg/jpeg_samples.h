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

// Three planes of width x height colours, top row first. Left
// uninitialised when made: the decoder writes every sample before they are
// kept.
struct RgbSamples {
  RgbSamples(int w, int h)
      : width(w),
        height(h),
        red(new std::uint8_t[Count()]),
        green(new std::uint8_t[Count()]),
        blue(new std::uint8_t[Count()]) {}
  std::size_t Count() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height); }
  int width;
  int height;
  std::unique_ptr<std::uint8_t[]> red, green, blue;
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
