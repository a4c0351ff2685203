#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "base/trace.h"
#include "formats/bmp_builder.h"
#include "ui/colour/colour_window.h"
#include "ui/common/paint_box.h"
#include "ui/edit/edit_window.h"
#include "ui/sub/sub_window.h"
#include "ui_support.h"

namespace zudizar {
namespace {

using testing::AppTest;
using testing::ReadText;
using testing::WriteText;

class ColourWindowTest : public AppTest {
 protected:
  TPALETTEF& colour() { return app->colour(); }
  TForm1& main() { return app->main(); }
  QString Labels() { return colour().Label1->text() + QLatin1Char(' ') + colour().Label2->text(); }
  int ShownAt(int position) {
    return colour().PaletteDisplayImage().At(position % 32 * 16 + 8, position / 32 * 16 + 8);
  }
};

TEST_F(ColourWindowTest, PicksWithEitherButtonAndWritesTheRingSlot) {
  StartApp();
  colour().PaintBox1MouseDown(Qt::LeftButton, 511, 127);
  colour().PaintBox1MouseUp(Qt::LeftButton, 511, 127);
  colour().PaintBox1MouseDown(Qt::RightButton, 16 * 3, 16 * 2);
  colour().PaintBox1MouseUp(Qt::RightButton, 16 * 3, 16 * 2);
  EXPECT_EQ(app->session().LeftColour(), 255);
  EXPECT_EQ(app->session().RightColour(), 67);
  EXPECT_EQ(colour().LeftColourImage().At(0, 0), 255);
  EXPECT_EQ(colour().RightColourImage().At(31, 31), 67);
  // A press and release in place rearranges nothing.
  EXPECT_EQ(colour().Arrangement, IdentityArrangement());
  // Picking overwrote the slots at position 0; a full turn comes back to them.
  for (int i = 0; i < 8; ++i) colour().StepColoursForward();
  EXPECT_EQ(app->session().LeftColour(), 255);
  EXPECT_EQ(app->session().RightColour(), 67);
}

TEST_F(ColourWindowTest, SwatchButtonsResetAndStepTheirRing) {
  StartApp();
  colour().PaintBox_LeftMouseDown(Qt::RightButton);
  EXPECT_EQ(app->session().LeftColour(), 242);
  EXPECT_EQ(colour().Label1->text(), QStringLiteral("左:0"));
  colour().PaintBox_LeftMouseDown(Qt::LeftButton);
  EXPECT_EQ(app->session().LeftColour(), 250);
  EXPECT_EQ(colour().Label1->text(), QStringLiteral("左:1"));
  for (int i = 0; i < 7; ++i) colour().PaintBox_LeftMouseDown(Qt::LeftButton);
  EXPECT_EQ(app->session().LeftColour(), 242);
  EXPECT_EQ(colour().Label1->text(), QStringLiteral("左:0"));

  colour().PaintBox_RightMouseDown(Qt::RightButton);
  EXPECT_EQ(app->session().RightColour(), 0);
  colour().PaintBox_RightMouseDown(Qt::LeftButton);
  EXPECT_EQ(app->session().RightColour(), 254);
  EXPECT_EQ(Labels(), QStringLiteral("左:0 右:1"));
}

TEST_F(ColourWindowTest, NextAndPreviousColourMenuItemsStepBothRings) {
  StartApp();
  Item("MN_COLORBACK")->trigger();
  EXPECT_EQ(app->session().LeftColour(), 3);
  EXPECT_EQ(app->session().RightColour(), 6);
  EXPECT_EQ(Labels(), QStringLiteral("左:7 右:7"));
  Item("MN_COLORNEXT")->trigger();
  EXPECT_EQ(app->session().LeftColour(), 249);
  EXPECT_EQ(app->session().RightColour(), 252);
  Item("MN_COLORNEXT")->trigger();
  EXPECT_EQ(app->session().LeftColour(), 250);
  EXPECT_EQ(app->session().RightColour(), 254);
  EXPECT_EQ(Labels(), QStringLiteral("左:1 右:1"));
  EXPECT_EQ(colour().RightColourImage().At(5, 5), 254);
}

TEST_F(ColourWindowTest, DraggingExchangesSwatchesAndSavingWritesTheArrangement) {
  StartApp();
  TPALETTEF& c = colour();
  c.PaintBox1MouseDown(Qt::LeftButton, 4, 4);
  c.PaintBox1MouseMove(30, 20);
  EXPECT_EQ(c.PaletteDisplayImage().At(22, 12), 0);  // the drag image follows the pointer
  c.PaintBox1MouseMove(21, 21);
  c.PaintBox1MouseUp(Qt::LeftButton, 21, 21);
  EXPECT_EQ(c.Arrangement[0], 33);
  EXPECT_EQ(c.Arrangement[33], 0);
  EXPECT_EQ(ShownAt(0), 33);
  EXPECT_EQ(ShownAt(33), 0);
  EXPECT_EQ(ShownAt(1), 1);

  // Released outside the grid: nothing changes places, the grid shows again.
  c.PaintBox1MouseDown(Qt::LeftButton, 40, 40);
  c.PaintBox1MouseMove(520, 40);
  c.PaintBox1MouseUp(Qt::LeftButton, 520, 40);
  EXPECT_EQ(ShownAt(31), 31);
  EXPECT_EQ(ShownAt(66), 66);

  c.BTN_SAVEFILE->click();
  std::string expected;
  for (int p = 0; p < 256; ++p) expected += std::to_string(p == 0 ? 33 : p == 33 ? 0 : p) + "\r\n";
  EXPECT_EQ(ReadText(folder.File("IDXPALET.TXT")), expected);
}

TEST_F(ColourWindowTest, BadSwatchFileLinesKeepTheirDefaultsAndColoursStayInThePalette) {
  std::string text;
  for (int p = 0; p < 256; ++p) {
    if (p == 1)
      text += "-1\r\n";
    else if (p == 2)
      text += "300\r\n";
    else if (p == 3)
      text += "4294967296\r\n";
    else if (p == 4)
      text += std::string("\x01\xff\x00z", 4) + "\n";
    else
      text += std::to_string(255 - p) + "\r\n";
  }
  WriteText(folder.File("IDXPALET.TXT"), text);
  StartApp();
  EXPECT_EQ(ShownAt(0), 255);
  EXPECT_EQ(ShownAt(1), 255);
  EXPECT_EQ(ShownAt(2), 44);
  EXPECT_EQ(ShownAt(3), 3);
  EXPECT_EQ(ShownAt(4), 4);
  EXPECT_EQ(ShownAt(5), 250);
  colour().PaintBox1MouseDown(Qt::LeftButton, 16 * 2, 0);
  EXPECT_EQ(app->session().LeftColour(), 44);
  StopApp();

  // A file of 255 lines is ignored as a whole.
  WriteText(folder.File("IDXPALET.TXT"), std::string(255 * 3, '\n'));
  StartApp();
  EXPECT_EQ(colour().Arrangement, IdentityArrangement());
}

TEST_F(ColourWindowTest, BackgroundModeShowsItsControlsAndPicksBothColours) {
  StartApp();
  TPALETTEF& c = colour();
  c.show();
  EXPECT_TRUE(c.Label1->isVisible());
  EXPECT_FALSE(c.Label3->isVisible());
  // Already on screen when a New asks for a background: the controls switch too.
  app->session().SetBackground(static_cast<BackgroundTarget>(2));
  c.ShowWindow();
  EXPECT_FALSE(c.Label1->isVisible());
  EXPECT_FALSE(c.Label2->isVisible());
  EXPECT_FALSE(c.BTN_SAVEFILE->isVisible());
  EXPECT_TRUE(c.Label3->isVisible());
  EXPECT_TRUE(c.RadioButton1->isVisible());
  c.PaintBox1MouseDown(Qt::LeftButton, 16 * 9, 16);
  EXPECT_EQ(app->session().LeftColour(), 41);
  EXPECT_EQ(app->session().RightColour(), 41);
  // The lone radio button clears again with a second click.
  QTest::mouseClick(c.RadioButton1, Qt::LeftButton);
  EXPECT_TRUE(c.RadioButton1->isChecked());
  QTest::mouseClick(c.RadioButton1, Qt::LeftButton);
  EXPECT_FALSE(c.RadioButton1->isChecked());
}

TEST_F(ColourWindowTest, OkFillsTheMainCanvasWithAVerticalGradient) {
  StartApp();
  app->session().SetLeftColour(0);
  app->session().SetRightColour(255);
  app->session().SetBackground(static_cast<BackgroundTarget>(1));
  colour().show();
  colour().OK_BTN->click();
  const IndexedImage& picture = main().PictureImage();
  ASSERT_EQ(picture.ImageHeight(), 400);
  for (int r = 0; r < 400; ++r) {
    ASSERT_EQ(picture.At(0, 399 - r), 256 * r / 400) << r;
    ASSERT_EQ(picture.At(639, 399 - r), 256 * r / 400) << r;
  }
  EXPECT_EQ(main().ViewImage().pixels, picture.pixels);
  EXPECT_EQ(main().DisplayImage().pixels, picture.pixels);  // what the user sees
  EXPECT_EQ(static_cast<int>(app->session().Background()), 0);
  EXPECT_FALSE(colour().isVisible());
  EXPECT_EQ(colour().windowTitle(), QStringLiteral("カラーパレット"));
  EXPECT_EQ(ReadText(TraceLogPath()), "TRACE ON\n7000 0 255 1\n");
  // The fill is unsaved work, and one step to undo.
  EXPECT_TRUE(main().Modified());
  main().MN_MAINUNDOClick();
  EXPECT_EQ(main().PictureImage().pixels, std::vector<std::uint8_t>(640 * 400, 255));
  EXPECT_FALSE(main().Modified());
}

TEST_F(ColourWindowTest, OkFillsTheSubAndEditCanvases) {
  StartApp();
  app->session().SetLeftColour(30);
  app->session().SetRightColour(60);
  app->session().SetBackground(static_cast<BackgroundTarget>(2));
  colour().OK_BTN->click();
  for (const IndexedImage* image : {&app->sub().SubPictureImage(), &app->sub().SubViewImage()})
    for (auto p : image->pixels) ASSERT_EQ(p, 30);

  app->session().SetBackground(static_cast<BackgroundTarget>(3));
  colour().RadioButton1->setChecked(true);
  colour().OK_BTN->click();
  const IndexedImage& edit = app->edit().EditImage();
  // 31 positions from 30 to 60 across 256 columns: column x shows 30 + 31x div 256.
  for (int x : {0, 8, 9, 100, 255}) EXPECT_EQ(edit.At(x, 120), 30 + 31 * x / 256) << x;
  EXPECT_EQ(edit.At(255, 0), 60);
  EXPECT_EQ(static_cast<int>(app->session().Background()), 0);
}

TEST_F(ColourWindowTest, ColourValueShowsTheMainWindowsLeftColour) {
  StartApp();
  app->session().SetLeftColour(250);
  colour().Button_OK->click();
  EXPECT_EQ(colour().windowTitle(), QStringLiteral("RED=0 GREEN=255 BLUE=0 FLAGS=0 PALETTEID=250"));
}

TEST_F(ColourWindowTest, DoubleClickEditsAFreeEntryForEveryCanvasAndRefusesReservedOnes) {
  StartApp();
  TPALETTEF& c = colour();
  dialogs.QueueColour(QColor(1, 2, 3));
  c.PaintBox1MouseDown(Qt::LeftButton, 16 * 4 + 2, 16 * 3 + 2);  // swatch 100
  c.PaintBox1MouseUp(Qt::LeftButton, 16 * 4 + 2, 16 * 3 + 2);
  c.PaintBox1DblClick();
  const PaletteEntry was = DefaultPalette[100];
  EXPECT_EQ(dialogs.ColourStarts().back(), QColor(was.red, was.green, was.blue));
  const ColourTableEntry edited{3, 2, 1, 0};
  EXPECT_EQ(main().PictureImage().colourTable[100], edited);
  EXPECT_EQ(main().DisplayImage().colourTable[100], edited);
  EXPECT_EQ(app->edit().EditImage().colourTable[100], edited);
  EXPECT_EQ(app->sub().SubViewImage().colourTable[100], edited);
  EXPECT_EQ(c.PaletteDisplayImage().colourTable[100], edited);
  EXPECT_EQ((*SharedPalette.handle)[100], (PaletteEntry{1, 2, 3, 0}));
  EXPECT_EQ(SharedPalette.current[101], DefaultPalette[101]);

  // Cancelled: nothing changes. Reserved: a short message, nothing changes.
  dialogs.QueueColour(std::nullopt);
  c.EditPaletteColour(100);
  dialogs.QueueAnswer(BoxAnswer::Ok);
  c.EditPaletteColour(246);
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_EQ(dialogs.Boxes()[0].caption, QStringLiteral("色の変更"));
  EXPECT_EQ(SharedPalette.current[100], (PaletteEntry{1, 2, 3, 0}));
  EXPECT_EQ(SharedPalette.current[246], DefaultPalette[246]);
}

// An open on the main canvas takes free entries the sub canvas does not use,
// so the sub picture keeps its colours, and the count of free entries follows.
TEST_F(ColourWindowTest, FreeCountFollowsAnOpenThatLeavesTheSubCanvasItsColours) {
  testing::BmpBuilder thirty;
  thirty.width = 30;
  for (int k = 0; k < 30; ++k) {
    thirty.table.push_back({static_cast<std::uint8_t>(8 * k + 1), 200, 7});
    thirty.pixels.push_back(static_cast<std::uint8_t>(k));
  }
  thirty.pixels.resize(32, 0);
  const std::string path = folder.File("thirty.bmp");
  const auto bytes = thirty.Build();
  WriteText(path, std::string(bytes.begin(), bytes.end()));
  StartApp();
  colour().show();
  EXPECT_EQ(colour().LabelFree->text(), QStringLiteral("空き 236"));

  IndexedImage& sub = WindowProbe::Doc(app->sub()).Picture();
  for (int i = 0; i < 10; ++i) sub.pixels[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(10 + i);
  app->CanvasPictureChanged();
  EXPECT_EQ(colour().LabelFree->text(), QStringLiteral("空き 226"));
  std::vector<PaletteEntry> before;
  for (const std::uint8_t p : sub.pixels) before.push_back(SharedPalette.current[p]);

  main().OpenPictureFile(path);
  ASSERT_EQ(main().PictureImage().ImageWidth(), 30);
  EXPECT_EQ(colour().LabelFree->text(), QStringLiteral("空き 196"));
  for (std::size_t i = 0; i < sub.pixels.size(); ++i) ASSERT_EQ(SharedPalette.current[sub.pixels[i]], before[i]) << i;
}

}  // namespace
}  // namespace zudizar
