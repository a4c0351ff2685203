// The text tool's stamp: the rendered text sits at the top-left of a stamp
// image on a background index that every copy skips. Where the stamp goes and
// how a dragged stamp moves, without the toolkit.
#pragma once

#include <cstdint>

#include "core/geometry.h"
#include "core/indexed_image.h"

namespace zudizar {

// Fixed text places: 0 free (the stamp follows the mouse), 1 centre,
// 2 upper left, 3 upper right, 4 lower left, 5 lower right.
enum FixedTextPlace { kTextFree = 0, kTextCentre, kTextUpperLeft, kTextUpperRight, kTextLowerLeft, kTextLowerRight };

// The top-left corner of a tw × th stamp at fixed place `position` on a
// W × H picture. The centre never goes left of or above the picture; the
// stamp is already cut to the picture, so the corners never do either.
Point FixedTextOrigin(int position, int W, int H, int tw, int th);

// The index around the letters: 0, or 255 when the letters themselves are 0.
constexpr std::uint8_t StampBackground(std::uint8_t colour) { return colour == 0 ? 255 : 0; }

// Copies the top-left tw × th of `stamp` into `destination` with its corner
// at `at`, skipping `transparent`; cut at the destination's edges. Returns the
// rectangle of the destination that may have changed (empty when none).
Rect StampText(IndexedImage& destination, Point at, const IndexedImage& stamp, int tw, int th, int transparent);

// One step of a dragged stamp: the area `band` of `work` is restored from
// `picture`, then the stamp is copied into `work` at `to`. `band` becomes the
// new stamp rectangle; returns the union of the old and new areas.
Rect MoveTextStamp(IndexedImage& work, const IndexedImage& picture, Rect& band, Point to, const IndexedImage& stamp,
                   int tw, int th, int transparent);

}  // namespace zudizar
