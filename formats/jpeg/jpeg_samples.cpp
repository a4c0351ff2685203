#include "formats/jpeg/jpeg_samples.h"

#include <filesystem>
#include <system_error>

#include "formats/reduce.h"

namespace zudizar::jpeg {
namespace {

struct FileStamp {
  std::string name;
  std::uintmax_t size = 0;
  std::filesystem::file_time_type modified{};
  bool operator==(const FileStamp&) const = default;
};

bool StampOf(const std::string& name, FileStamp& stamp) {
  std::error_code error;
  const std::filesystem::path path(name);
  stamp.name = name;
  stamp.size = std::filesystem::file_size(path, error);
  if (error) return false;
  stamp.modified = std::filesystem::last_write_time(path, error);
  return !error;
}

struct Kept {
  FileStamp stamp;
  std::shared_ptr<const RgbSamples> samples;
};

Kept& KeptSamples() {
  static Kept kept;
  return kept;
}

}  // namespace

void KeepSamples(const std::string& name, std::shared_ptr<const RgbSamples> samples) {
  Kept& kept = KeptSamples();
  kept = {};
  if (samples && StampOf(name, kept.stamp)) kept.samples = std::move(samples);
}

std::shared_ptr<const RgbSamples> TakeSamples(const std::string& name) {
  Kept& kept = KeptSamples();
  if (!kept.samples) return nullptr;
  FileStamp now;
  std::shared_ptr<const RgbSamples> samples;
  if (StampOf(name, now) && now == kept.stamp) samples = std::move(kept.samples);
  kept = {};
  return samples;
}

void ForgetSamples() { KeptSamples() = {}; }

bool MapSamples(const RgbSamples& samples, IndexedImage& image, ProgressSink* progress) {
  if (CreateImage(samples.width, samples.height, image) != 1) return false;
  const NearestColourMap& map = CurrentNearestColourMap();
  const std::size_t w = static_cast<std::size_t>(samples.width);
  for (int y = 0; y < samples.height; ++y) {
    const std::size_t at = w * static_cast<std::size_t>(y);
    map.NearestMany(samples.red.get() + at, samples.green.get() + at, samples.blue.get() + at,
                    samples.width, image.Row(y));
    if ((y & 7) == 7 || y == samples.height - 1)
      ReportProgress(progress, samples.height > 1 ? y * 100 / (samples.height - 1) : 100, 1);
  }
  return true;
}

}  // namespace zudizar::jpeg
