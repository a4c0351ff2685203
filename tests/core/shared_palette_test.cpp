#include "core/shared_palette.h"

#include <gtest/gtest.h>

#include "base/settings.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

class SharedPaletteTest : public testing::PaletteReset {};

TEST_F(SharedPaletteTest, DefaultPaletteSpotChecks) {
  EXPECT_EQ(DefaultPalette[0], (PaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(DefaultPalette[7], (PaletteEntry{0xC0, 0xC0, 0xC0, 0}));
  EXPECT_EQ(DefaultPalette[9], (PaletteEntry{0xA6, 0xCA, 0xF0, 0}));
  EXPECT_EQ(DefaultPalette[10], (PaletteEntry{0x11, 0x11, 0x11, 0}));
  EXPECT_EQ(DefaultPalette[127], (PaletteEntry{0xFF, 0x00, 0xCC, 0}));
  EXPECT_EQ(DefaultPalette[151], (PaletteEntry{0x66, 0xCC, 0x66, 0}));
  EXPECT_EQ(DefaultPalette[242], (PaletteEntry{0xAA, 0xAA, 0xAA, 0}));
  EXPECT_EQ(DefaultPalette[246], (PaletteEntry{0xFF, 0xFB, 0xF0, 0}));
  EXPECT_EQ(DefaultPalette[248], (PaletteEntry{0x80, 0x80, 0x80, 0}));
  EXPECT_EQ(DefaultPalette[249], (PaletteEntry{0xFF, 0x00, 0x00, 0}));
  EXPECT_EQ(DefaultPalette[252], (PaletteEntry{0x00, 0x00, 0xFF, 0}));
  EXPECT_EQ(DefaultPalette[255], (PaletteEntry{0xFF, 0xFF, 0xFF, 0}));
  for (const auto& e : DefaultPalette) EXPECT_EQ(e.flags, 0);
  EXPECT_TRUE(IsEntry9Colour(0xA4, 0xC8, 0xF0));
  EXPECT_TRUE(IsEntry9Colour(0xA6, 0xCA, 0xF0));
  EXPECT_FALSE(IsEntry9Colour(0xA6, 0xCA, 0xF1));
}

TEST_F(SharedPaletteTest, InitSetsBothTablesAndFixesTheSettingsFile) {
  testing::TempFolder folder;
  SetProgramFile(folder.File("zudizar"));
  SetCurrentEntry(20, {1, 2, 3, 0});
  SharedPalette.pending[30] = {1, 2, 3, 0};
  InitSharedPalette();
  EXPECT_EQ(SharedPalette.current, DefaultPalette);
  EXPECT_EQ(SharedPalette.pending, DefaultPalette);
  ASSERT_TRUE(SharedPalette.handle);
  EXPECT_EQ(*SharedPalette.handle, DefaultPalette);
  EXPECT_EQ(SettingsPath(), folder.File("TAVOINI.INI"));
  EXPECT_EQ(SettingsSection(), "zudizar");
}

TEST_F(SharedPaletteTest, TrueColourScreenRealisesTheCurrentTable) {
  SetCurrentEntry(100, {9, 8, 7, 5});
  const PaletteHandle handle = RealizeSharedPalette();
  ASSERT_TRUE(handle);
  EXPECT_EQ((*handle)[100], (PaletteEntry{9, 8, 7, 0}));  // flags cleared in the handle only
  EXPECT_EQ(SharedPalette.current[100].flags, 5);
}

TEST_F(SharedPaletteTest, ReservedScreenEntriesGoIntoTheHandleOnly) {
  SharedPalette.screenReservedEntries = 20;
  for (int i = 0; i < 256; ++i) SharedPalette.systemPalette[i] = {1, 1, 1, 0};
  const PaletteHandle handle = RealizeSharedPalette();
  for (int i = 0; i < 256; ++i) {
    const bool system = i < 10 || i >= 246;
    const PaletteEntry expected = system ? PaletteEntry{1, 1, 1, 0} : DefaultPalette[i];
    EXPECT_EQ((*handle)[i], expected) << i;
  }
  EXPECT_EQ(SharedPalette.current, DefaultPalette);
}

TEST_F(SharedPaletteTest, PendingTableBecomesCurrentWithTheStoredHandle) {
  SharedPalette.pending[50] = {4, 5, 6, 0};
  PaletteTable copy{};
  const PaletteHandle handle = GetPendingPalette(copy);
  EXPECT_EQ(copy, SharedPalette.pending);
  EXPECT_EQ(handle, SharedPalette.handle);
  SetCurrentPalette(copy, handle);
  EXPECT_EQ(SharedPalette.current[50], (PaletteEntry{4, 5, 6, 0}));
  // The handle is not rebuilt: it keeps the colours it was realised from.
  EXPECT_EQ((*SharedPalette.handle)[50], DefaultPalette[50]);
}

}  // namespace
}  // namespace zudizar
