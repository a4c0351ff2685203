// A picture file being opened: read once, its format chosen once, and what
// the palette step decoded carried on to the picture step, so that opening
// a picture reads and decodes it once. The value lives for one open only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/jpeg/jpeg_samples.h"

namespace zudizar {

enum class PictureFormat { Bmp, Mag, Jpeg, Icon, Png };

struct OpenedPicture {
  std::string name;
  PictureFormat format = PictureFormat::Bmp;
  // False when the file could not be read, or is larger than its format
  // allows; the picture step reports that as the format's reader does.
  bool readable = false;
  // The file's bytes: the whole file; a JPEG followed by the decoder's zero
  // tail (jpeg::kTailBytes); an icon only its front (kIconBytesRead).
  std::vector<std::uint8_t> bytes;
  // A JPEG's decoded colours, when the palette step decoded them and the
  // picture is small enough to keep (jpeg::kMaxKeptPixels); the picture step
  // then maps them instead of decoding again.
  std::shared_ptr<const jpeg::RgbSamples> samples;
};

// Reads `name` once and chooses its format from its name and first bytes
// (ChoosePictureFormat). Returns `opened.readable`; reports nothing and
// throws nothing: a file that cannot be read (or memory that runs out) is
// reported by the picture step (MapOpenedPicture).
bool ReadPictureForOpen(const std::string& name, OpenedPicture& opened);
// Reads `name` as a file of `format`: the bytes that format's reader takes,
// within its bound. Returns `opened.readable`; reports nothing.
bool ReadPictureAs(const std::string& name, PictureFormat format, OpenedPicture& opened);

}  // namespace zudizar
