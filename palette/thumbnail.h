// The thumbnailer behind `zudizar --thumbnail IN OUT SIZE`: opens IN as
// `--convert` does, shrinks it so that its longest side is SIZE, and writes
// a true-colour PNG for a file manager.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/indexed_image.h"
#include "core/shared_palette.h"
#include "formats/opened_picture.h"

namespace zudizar {

inline constexpr int kMaxThumbnailSize = 2048;

// File managers run a thumbnailer on any file they meet, so a thumbnail
// must stay cheap whatever the file claims: within 256 MB of address space,
// of which the program alone takes about 100 MB. A file is at most 32 MB,
// and a picture at most 16777216 pixels (4096 × 4096) by its header; the
// PNG reader holds the file twice and four bytes a pixel, so the largest
// picture costs about 160 MB. The picture bound is also made the process's
// picture ceiling (SetPictureCeiling), so a file whose header hides its
// true size is refused by the readers themselves.
inline constexpr std::int64_t kMaxThumbnailPicturePixels = std::int64_t{1} << 24;
inline constexpr std::uint64_t kMaxThumbnailFileBytes = std::uint64_t{32} << 20;

// Wide enough for any size a header may claim.
struct PixelSize {
  std::int64_t width = 0;
  std::int64_t height = 0;
  friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// SIZE as the command line gives it: decimal digits only, 1 ... kMaxThumbnailSize.
bool ParseThumbnailSize(std::string_view text, int& size);

// The longest side becomes `size` and the other follows in proportion
// (rounded, at least 1); a picture that already fits keeps its size.
PixelSize ThumbnailSize(PixelSize picture, int size);

// The picture size the file's header gives, as its reader will take it (a
// MAG picture's width padded to its flag units, a JPEG's largest frame
// before its first scan). Nothing when the header does not say: it is
// broken (the reader then refuses the file) or its format bounds the size
// (icons).
std::optional<PixelSize> HeaderPictureSize(const OpenedPicture& opened);

// `image` shrunk to `to` by averaging the area each new pixel covers, its
// pixels shown through `palette`: 3 bytes a pixel, top row first. At the
// image's own size it is the image's colours. Empty when `to` is not smaller
// than or equal to the image on both sides.
std::vector<std::uint8_t> ScaleToRgb(const IndexedImage& image, const PaletteTable& palette, PixelSize to);

// Returns 0 when OUT was written; 1 with the reason on one line in `error`
// otherwise, and OUT is then left as it was. The settings file and start-up
// palette are looked up through the program file (SetProgramFile) set
// beforehand. Lowers the picture ceiling for the rest of the process.
int RunThumbnail(const std::string& in, const std::string& out, std::string_view size, std::string& error);

}  // namespace zudizar
