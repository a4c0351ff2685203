// Internal helpers shared by the region, pixel and pen operations.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/indexed_image.h"

namespace zudizar::detail {

// True when the image has a pixel block that really holds its width × height
// bytes. The record's fields are public, so a reader that set the headers
// without the matching block must not lead the operations out of bounds.
inline bool HasUsableBlock(const IndexedImage& image) {
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  return image.HasPixels() && w > 0 && h > 0 &&
         image.pixels.size() >= static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
}

// The defined rectangle clipping for a range of columns first … last (64-bit,
// so that callers may form far-out ends without overflow): the left end is
// clamped into the image, the right end is only limited, so that a range
// wholly right of the image still touches the last column.
struct Range {
  int first, last;
  bool Empty() const { return last < first; }
  int Count() const { return last - first + 1; }
};

inline Range ClipColumns(std::int64_t first, std::int64_t last, int width) {
  return {static_cast<int>(std::clamp<std::int64_t>(first, 0, width - 1)),
          static_cast<int>(std::min<std::int64_t>(last, width - 1))};
}

// Rows: the top is only raised to 0, the bottom is clamped into the image, so
// that a range wholly above the image still touches the top row.
inline Range ClipRows(std::int64_t first, std::int64_t last, int height) {
  return {static_cast<int>(std::clamp<std::int64_t>(first, 0, std::int64_t{height})),
          static_cast<int>(std::clamp<std::int64_t>(last, 0, height - 1))};
}

}  // namespace zudizar::detail
