// The colours of a picture held in memory as RGBA (the clipboard's): merged
// into the palette as a picture file's are, then its pixels mapped.
#include <gtest/gtest.h>

#include "core/entry_mask.h"
#include "formats/png.h"
#include "palette/palette_load.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

class RgbaColoursTest : public testing::ProgramFolderTest {};

bool SameRgb(const PaletteEntry& a, const PaletteEntry& b) {
  return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

TEST_F(RgbaColoursTest, KnownColoursTakeNoEntryAndNewOnesTheFreeEntriesNotInUse) {
  const PaletteEntry known = SharedPalette.current[40];
  // Known, new, another new, the first new again, and a clear pixel (white).
  const std::vector<std::uint8_t> rgba = {known.red, known.green, known.blue, 255, 1, 2,   3, 255, 250, 1,
                                          128,       255,         1,          2,   3, 255, 9, 9,   9,   0};
  EntryMask inUse{};
  inUse[10] = inUse[11] = true;
  const PaletteTable before = SharedPalette.current;
  ASSERT_TRUE(MergeRgbaColours(rgba, inUse));
  const PaletteTable& pending = SharedPalette.pending;
  for (int e = 0; e < 256; ++e) {
    if (e == 12 || e == 13) continue;
    EXPECT_EQ(pending[e], before[e]) << e;
  }
  EXPECT_TRUE(SameRgb(pending[12], {1, 2, 3, 0}));
  EXPECT_TRUE(SameRgb(pending[13], {250, 1, 128, 0}));

  MakePendingCurrent();
  IndexedImage image;
  ASSERT_EQ(CreateImage(5, 1, image), 1);
  MapRgbaToSharedPalette(rgba, image);
  const PaletteEntry want[] = {known, {1, 2, 3, 0}, {250, 1, 128, 0}, {1, 2, 3, 0}, {255, 255, 255, 0}};
  for (int x = 0; x < 5; ++x) EXPECT_TRUE(SameRgb(SharedPalette.current[image.At(x, 0)], want[x])) << x;
}

}  // namespace
}  // namespace zudizar
