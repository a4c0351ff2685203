#include "formats/jpeg/jpeg_samples.h"

#include "formats/reduce.h"

namespace zudizar::jpeg {

bool MapSamples(const RgbSamples& samples, IndexedImage& image, ProgressSink* progress) {
  if (CreateImage(samples.width, samples.height, image) != 1) return false;
  const NearestColourMap& map = CurrentNearestColourMap();
  const std::size_t w = static_cast<std::size_t>(samples.width);
  for (int y = 0; y < samples.height; ++y) {
    const std::size_t at = w * static_cast<std::size_t>(y);
    map.NearestMany(samples.red + at, samples.green + at, samples.blue + at, samples.width,
                    image.Row(y));
    if ((y & 7) == 7 || y == samples.height - 1)
      ReportProgress(progress, samples.height > 1 ? y * 100 / (samples.height - 1) : 100, 1);
  }
  return true;
}

}  // namespace zudizar::jpeg
