#include "core/edit_commands.h"

#include <algorithm>

#include "core/pixel_ops.h"
#include "core/region.h"

namespace zudizar {

namespace {

// Whether the work buffer can take a copy of the picture; recreates it at the
// picture's size when it cannot.
bool ReadyWork(const IndexedImage& picture, IndexedImage& work) {
  if (!picture.HasPixels()) return false;
  if (!work.HasPixels() || work.ImageWidth() != picture.ImageWidth() || work.ImageHeight() != picture.ImageHeight())
    if (!CreateImage(picture.ImageWidth(), picture.ImageHeight(), work)) return false;
  return CopyImage(work, picture, kNoTransparent) == 1;
}

// Replaces the picture by a scaled copy at the new size.
bool Rescale(IndexedImage& picture, IndexedImage& work, int width, int height) {
  IndexedImage scaled;
  if (!CreateImage(width, height, scaled)) return false;
  scaled.colourTable = picture.colourTable;
  StretchRegion(scaled, 0, 0, width, height, picture, 0, 0, picture.ImageWidth(), picture.ImageHeight(),
                kNoTransparent);
  picture = std::move(scaled);
  CreateImage(width, height, work);
  work.colourTable = picture.colourTable;
  return true;
}

}  // namespace

void RotatePictureQuarter(IndexedImage& picture, IndexedImage& work) {
  if (!ReadyWork(picture, work)) return;
  FillImage(picture, BackgroundColour(work));
  const int s = std::min(picture.ImageWidth(), picture.ImageHeight());
  RotateRegion(picture, 0, 0, work, s, 90);
}

void FlipPictureLeftRight(IndexedImage& picture, IndexedImage& work) {
  if (!ReadyWork(picture, work)) return;
  const int w = picture.ImageWidth(), h = picture.ImageHeight();
  StretchRegion(picture, w, 0, -w, h, work, 0, 0, w, h, kNoTransparent);
}

void FlipPictureUpDown(IndexedImage& picture, IndexedImage& work) {
  if (!ReadyWork(picture, work)) return;
  const int w = picture.ImageWidth(), h = picture.ImageHeight();
  StretchRegion(picture, 0, h, w, -h, work, 0, 0, w, h, kNoTransparent);
}

void MirrorLeftToRight(IndexedImage& picture, IndexedImage& work) {
  if (!picture.HasPixels()) return;
  const int w = picture.ImageWidth(), h = picture.ImageHeight();
  if (!ReadyWork(picture, work)) return;
  StretchRegion(work, w, 0, -w, h, picture, 0, 0, w, h, kNoTransparent);
  const int c = w / 2;
  CopyRegion(picture, c, 0, work, c, 0, c, h, kNoTransparent);
}

void MirrorTopToBottom(IndexedImage& picture, IndexedImage& work) {
  if (!picture.HasPixels()) return;
  const int w = picture.ImageWidth(), h = picture.ImageHeight();
  if (!ReadyWork(picture, work)) return;
  StretchRegion(work, 0, h, w, -h, picture, 0, 0, w, h, kNoTransparent);
  const int c = h / 2;
  CopyRegion(picture, 0, c, work, 0, c, w, c, kNoTransparent);
}

void ShiftOnePixel(IndexedImage& picture, IndexedImage& work, ShiftDirection direction) {
  if (!ReadyWork(picture, work)) return;
  const int w = picture.ImageWidth(), h = picture.ImageHeight();
  const bool fromBottomRight = direction == ShiftDirection::Left || direction == ShiftDirection::Up;
  FillImage(picture, fromBottomRight ? ReadPixel(work, w - 1, h - 1) : ReadPixel(work, 0, 0));
  switch (direction) {
    case ShiftDirection::Left: CopyRegion(picture, 0, 0, work, 1, 0, w - 1, h, kNoTransparent); break;
    case ShiftDirection::Right: CopyRegion(picture, 1, 0, work, 0, 0, w - 1, h, kNoTransparent); break;
    case ShiftDirection::Up: CopyRegion(picture, 0, 0, work, 0, 1, w, h - 1, kNoTransparent); break;
    case ShiftDirection::Down: CopyRegion(picture, 0, 1, work, 0, 0, w, h - 1, kNoTransparent); break;
  }
}

void ShadowCopy(IndexedImage& picture, IndexedImage& work, bool upperRight, std::uint8_t colour) {
  if (!ReadyWork(picture, work)) return;
  const int w = picture.ImageWidth(), h = picture.ImageHeight();
  const std::uint8_t background = upperRight ? ReadPixel(work, 0, h - 1) : ReadPixel(work, 0, 0);
  FillImage(picture, background);
  if (upperRight)
    CopyRegion(picture, 1, 0, work, 0, 1, w - 1, h - 1, kNoTransparent);
  else
    CopyRegion(picture, 1, 1, work, 0, 0, w - 1, h - 1, kNoTransparent);
  RecolourRect(picture, 0, 0, w, h, background, colour);
  // CopyImage ignores the transparent index between equal sizes: a region copy honours it.
  CopyRegion(picture, 0, 0, work, 0, 0, w, h, background);
}

bool CanEnlarge(const IndexedImage& picture) {
  return picture.HasPixels() && picture.ImageWidth() <= 128 && picture.ImageHeight() <= 120;
}

bool CanShrink(const IndexedImage& picture) {
  return picture.HasPixels() && picture.ImageWidth() >= 48 && picture.ImageHeight() >= 48;
}

bool EnlargePicture(IndexedImage& picture, IndexedImage& work) {
  if (!CanEnlarge(picture)) return false;
  return Rescale(picture, work, 2 * picture.ImageWidth(), 2 * picture.ImageHeight());
}

bool ShrinkPicture(IndexedImage& picture, IndexedImage& work) {
  if (!CanShrink(picture)) return false;
  return Rescale(picture, work, picture.ImageWidth() / 2, picture.ImageHeight() / 2);
}

}  // namespace zudizar
