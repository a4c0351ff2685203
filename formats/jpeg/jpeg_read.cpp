// ReadJpegFile: the decoding with a sink that maps every colour to the
// nearest shared colour and writes it into the picture, or the mapping of
// the colours the palette step of the same open has decoded.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "formats/file_report.h"
#include "formats/jpeg/jpeg.h"
#include "formats/jpeg/jpeg_decoder.h"
#include "formats/jpeg/jpeg_route.h"
#include "formats/jpeg/jpeg_samples.h"
#include "formats/opened_picture.h"
#include "formats/reduce.h"

namespace zudizar {
namespace {

class PictureSink final : public jpeg::PixelSink {
 public:
  // `previewSeen`: whether anyone can look at the picture before the decode
  // ends. A new picture handed over only when whole never shows its preview
  // colours (the full pass writes every pixel the preview wrote), so its
  // preview blocks are not filled: the preview pass itself still runs, with
  // its progress and records.
  PictureSink(IndexedImage& image, bool previewSeen) : image_(image), previewSeen_(previewSeen) {}

  bool StartImage(int width, int height) override {
    if (CreateImage(width, height, image_) != 1) return false;
    map_ = &CurrentNearestColourMap();
    // Rows are stored bottom-up: the row below lies one row length before.
    down_ = -static_cast<std::ptrdiff_t>(image_.ImageWidth());
    return true;
  }

  void PreviewBlock(int x, int y, int width, int height, jpeg::Rgb colour) override {
    if (!previewSeen_) return;
    Fill(x, y, width, height, static_cast<std::uint8_t>(map_->Nearest(colour.red, colour.green, colour.blue)));
  }

  void PreviewBlocks(std::span<const jpeg::PreviewArea> areas, std::span<const jpeg::Rgb> colours) override {
    if (!previewSeen_) return;
    // All look-ups first, in a loop of their own, so that their cache
    // misses overlap; then the fills.
    indices_.resize(areas.size());
    for (std::size_t i = 0; i < areas.size(); ++i)
      indices_[i] = static_cast<std::uint8_t>(map_->Nearest(colours[i].red, colours[i].green, colours[i].blue));
    for (std::size_t i = 0; i < areas.size(); ++i)
      Fill(areas[i].x, areas[i].y, areas[i].width, areas[i].height, indices_[i]);
  }

  void DataEnded() override { notes |= jpeg::kNoteDataEnded; }
  void DataSkipped() override { notes |= jpeg::kNoteDataSkipped; }
  int notes = 0;

  void Block(int x, int y, int width, int height, const jpeg::BlockPixels& pixels) override {
    // The whole block at once (also its colours outside the picture, which
    // are thrown away): the batch look-up beats one call per pixel.
    std::uint8_t indices[64];
    map_->NearestMany(pixels.red, pixels.green, pixels.blue, 8 * height, indices);
    // The row pointer is stepped, not looked up again: the byte stores may
    // alias the picture's fields, which would have them reloaded per row.
    std::uint8_t* to = image_.Row(y) + x;
    if (width == 8) {  // a fixed length, so no library call per row
      for (int row = 0; row < height; ++row, to += down_) std::memcpy(to, indices + 8 * row, 8);
    } else {
      for (int row = 0; row < height; ++row, to += down_)
        std::memcpy(to, indices + 8 * row, static_cast<std::size_t>(width));
    }
  }

 private:
  IndexedImage& image_;
  bool previewSeen_;
  void Fill(int x, int y, int width, int height, std::uint8_t index) {
    std::uint8_t* to = image_.Row(y) + x;
    if (width == 8) {
      const std::uint64_t eight = index * 0x0101010101010101ull;
      for (int row = 0; row < height; ++row, to += down_) std::memcpy(to, &eight, 8);
    } else {
      for (int row = 0; row < height; ++row, to += down_) std::memset(to, index, width);
    }
  }

  const NearestColourMap* map_ = nullptr;
  std::ptrdiff_t down_ = 0;
  std::vector<std::uint8_t> indices_;
};

void ReportNotes(FileReport* report, int notes) {
  if (notes & jpeg::kNoteDataEnded) ReportDataEnded(report);
  if (notes & jpeg::kNoteDataSkipped) ReportDataSkipped(report);
}

}  // namespace

namespace jpeg {

void DecodePicture(std::span<const std::uint8_t> bytes, bool padded, IndexedImage& image, ProgressSink* progress,
                   const DecodeOptions& options) {
  FreeImage(image);
  PictureSink sink(image, true);
  if (padded)
    DecodePadded(bytes, sink, progress, options);
  else
    Decode(bytes, sink, progress, options);
}

bool DecodeRoutedPicture(std::span<const std::uint8_t> bytes, bool padded, IndexedImage& image, ProgressSink* progress,
                         std::string& reason, const DecodeOptions& options, int* notes) {
  IndexedImage fresh;
  PictureSink sink(fresh, false);
  if (!DecodeRouted(bytes, padded, sink, progress, reason, options)) return false;
  if (notes) *notes = sink.notes;
  image = std::move(fresh);
  return true;
}

}  // namespace jpeg

bool DecodeJpegImage(std::span<const std::uint8_t> bytes, IndexedImage& image, ProgressSink* progress) {
  std::string reason;
  return jpeg::DecodeRoutedPicture(bytes, false, image, progress, reason);
}

bool ReadJpegOpened(OpenedPicture& opened, IndexedImage& image, FileReport* report, ProgressSink* progress) {
  // Taken out, so that they serve this one picture step only.
  if (const auto samples = std::move(opened.samples)) {
    IndexedImage fresh;
    if (jpeg::MapSamples(*samples, fresh, progress)) {
      image = std::move(fresh);
      ReportNotes(report, samples->notes);
      return true;
    }
  }
  std::string reason = "ﾌｧｲﾙを読み込めません。";
  int notes = 0;
  if (opened.readable && jpeg::DecodeRoutedPicture(opened.bytes, true, image, progress, reason, {}, &notes)) {
    ReportNotes(report, notes);
    return true;
  }
  Report(report, opened.name + "\n" + reason, jpeg::kJpegLoadFailedCaption);
  return false;
}

bool ReadJpegFile(const std::string& name, IndexedImage& image, FileReport* report, ProgressSink* progress) {
  OpenedPicture opened;
  ReadPictureAs(name, PictureFormat::Jpeg, opened);
  return ReadJpegOpened(opened, image, report, progress);
}

}  // namespace zudizar
