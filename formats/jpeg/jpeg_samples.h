// The decoded colours of a JPEG whose colours the palette step gathered,
// carried to the picture step of the same open (OpenedPicture), so that
// opening a JPEG decodes it once.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/large_buffer.h"
#include "core/indexed_image.h"
#include "formats/progress.h"

namespace zudizar::jpeg {

// Three planes of width x height colours, top row first, in one buffer.
// Left uninitialised when made: the decoder writes every sample before they
// are kept.
struct RgbSamples {
  RgbSamples(int w, int h)
      : width(w), height(h), storage_(MakeLargeBuffer(3 * PlaneStride())) {
    red = storage_.get();
    green = red + PlaneStride();
    blue = green + PlaneStride();
  }
  std::size_t Count() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height); }
  int width;
  int height;
  int notes = 0;  // what the decode told its sink (kNoteDataEnded, kNoteDataSkipped)
  std::uint8_t* red;
  std::uint8_t* green;
  std::uint8_t* blue;

 private:
  // The planes start a quarter page apart in their pages, so that the same
  // sample of the three is not at the same place in the cache's sets.
  std::size_t PlaneStride() const { return (Count() + 4095) / 4096 * 4096 + 1024; }
  LargeBuffer storage_;
};

// Larger pictures are decoded again by the picture step rather than held in
// memory between the two steps of an open.
inline constexpr std::int64_t kMaxKeptPixels = std::int64_t{1} << 26;

// Maps the samples to the nearest shared colours into a new picture; false
// when it cannot be made. Progress with phase 1 by rows.
bool MapSamples(const RgbSamples& samples, IndexedImage& image, ProgressSink* progress);

}  // namespace zudizar::jpeg
