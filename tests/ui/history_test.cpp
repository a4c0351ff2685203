// Undo and redo on the three canvases, through the windows' own commands:
// one kind of step per canvas, the modified flag, the colours an undone open
// gives back without recolouring another canvas, the jigsaw, and the budget.
#include <gtest/gtest.h>

#include <QDialog>
#include <QSpinBox>
#include <QTest>
#include <random>

#include "core/frames.h"
#include "core/region.h"
#include "formats/bmp_builder.h"
#include "ui/common/history_colours.h"
#include "ui_support.h"

namespace zudizar {
namespace {

using testing::ReadText;
using testing::WriteText;

// What the user sees of a picture: the colour of every pixel.
std::vector<PaletteEntry> Colours(const IndexedImage& image) {
  std::vector<PaletteEntry> out;
  out.reserve(image.pixels.size());
  for (int y = 0; y < image.ImageHeight(); ++y)
    for (int x = 0; x < image.ImageWidth(); ++x) out.push_back(SharedPalette.current[image.At(x, y)]);
  return out;
}

class CanvasHistoryTest : public testing::CanvasAppTest {
 protected:
  QAction* MainItem(const char* name) { return main().Action(QString::fromLatin1(name)); }
  QAction* EditItem(const char* name) { return edit().Action(QString::fromLatin1(name)); }
  QAction* SubItem(const char* name) { return sub().Action(QString::fromLatin1(name)); }
  // A main picture of distinct pixels, recorded and saved.
  void PatternMain() {
    IndexedImage& picture = WindowProbe::Doc(main()).Picture();
    for (int y = 0; y < picture.ImageHeight(); ++y)
      for (int x = 0; x < picture.ImageWidth(); ++x)
        picture.At(x, y) = static_cast<std::uint8_t>((x * 7 + y * 13) % 236 + 10);
    WindowProbe::MarkChanged(main());
    WindowProbe::View(main()).RestoreAll(picture);
    WindowProbe::Doc(main()).MarkSaved();
  }
  std::vector<std::uint8_t> MainPixels() { return main().PictureImage().pixels; }
};

TEST_F(CanvasHistoryTest, MainCellMovesUndoAndRedoWithTheModifiedFlagAndItems) {
  PatternMain();
  const std::vector<std::uint8_t> saved = MainPixels();
  EXPECT_FALSE(MainItem("MN_MAINREDO")->isEnabled());
  main().SetFrame(32);
  main().CanvasCommand(22);
  auto drag = [&](Point from, Point to) {
    main().PaintBox1MouseDown(Qt::LeftButton, from.x, from.y);
    main().PaintBox1MouseMove(Qt::LeftButton, to.x, to.y);
    main().PaintBox1MouseUp(Qt::LeftButton, to.x, to.y);
  };
  drag({5, 5}, {100, 70});
  const std::vector<std::uint8_t> once = MainPixels();
  drag({200, 200}, {300, 10});
  const std::vector<std::uint8_t> twice = MainPixels();
  ASSERT_NE(once, saved);
  ASSERT_NE(twice, once);
  EXPECT_TRUE(main().Modified());
  EXPECT_TRUE(MainItem("MN_MAINUNDO")->isEnabled());

  MainItem("MN_MAINUNDO")->trigger();
  EXPECT_EQ(MainPixels(), once);
  MainItem("MN_MAINUNDO")->trigger();
  EXPECT_EQ(MainPixels(), saved);
  // Back at the saved picture: nothing to save, and what the user sees follows.
  EXPECT_FALSE(main().Modified());
  EXPECT_TRUE(SamePixels(main().ViewImage(), main().PictureImage()));
  EXPECT_EQ(main().DisplayImage().At(40, 40), main().PictureImage().At(40, 40));
  EXPECT_TRUE(MainItem("MN_MAINREDO")->isEnabled());
  EXPECT_EQ(main().Mode(), 22);

  MainItem("MN_MAINREDO")->trigger();
  EXPECT_EQ(MainPixels(), once);
  EXPECT_TRUE(main().Modified());
  // A new step drops what could have been redone.
  main().Changed({0, 0, 1, 1});
  main().CanvasCommand(21);
  drag({400, 300}, {40, 300});
  EXPECT_FALSE(MainItem("MN_MAINREDO")->isEnabled());
  MainItem("MN_MAINUNDO")->trigger();
  EXPECT_EQ(MainPixels(), once);
  EXPECT_TRUE(WindowProbe::Doc(main()).history().BaseMatches(main().PictureImage()));
}

// A hundred strokes one by one and back, on each canvas: the edit palette
// with its per-stroke option, the main canvas in edit mode, the sub canvas
// with its background fills.
TEST_F(CanvasHistoryTest, AHundredStrokesUndoneAndRedoneOnEveryCanvas) {
  std::mt19937 random(20);
  auto point = [&](int w, int h) { return Point{static_cast<int>(random() % w), static_cast<int>(random() % h)}; };

  EditItem("MN_EDITUNDOSTROKE")->trigger();
  ASSERT_TRUE(edit().UndoEachStroke());
  EXPECT_NE(ReadText(SettingsFile()).find("UndoEachStroke=1"), std::string::npos);
  edit().MN_EDITLINEClick();
  const std::vector<PaletteEntry> editStart = Colours(edit().EditImage());
  for (int k = 0; k < 100; ++k) {
    app->session().SetLeftColour(static_cast<std::uint8_t>(10 + k));
    const Point a = point(edit().EditImage().ImageWidth(), edit().EditImage().ImageHeight());
    const Point b = point(edit().EditImage().ImageWidth(), edit().EditImage().ImageHeight());
    edit().PaintBox1MouseDown(Qt::LeftButton, a.x, a.y);
    edit().PaintBox1MouseUp(Qt::LeftButton, b.x, b.y);
  }
  const std::vector<PaletteEntry> editEnd = Colours(edit().EditImage());

  main().MN_HensyuModeClick();
  ASSERT_EQ(main().Mode(), 20);
  const std::vector<PaletteEntry> mainStart = Colours(main().PictureImage());
  for (int k = 0; k < 100; ++k) {
    app->session().SetLeftColour(static_cast<std::uint8_t>(100 + k));
    const Point a = point(640, 400), b = point(640, 400);
    main().PaintBox1MouseDown(Qt::LeftButton, a.x, a.y);
    main().PaintBox1MouseUp(Qt::LeftButton, b.x, b.y);
  }
  const std::vector<PaletteEntry> mainEnd = Colours(main().PictureImage());

  const std::vector<PaletteEntry> subStart = Colours(sub().SubPictureImage());
  for (int k = 0; k < 100; ++k) sub().FillBackground(static_cast<std::uint8_t>(20 + k));
  const std::vector<PaletteEntry> subEnd = Colours(sub().SubPictureImage());

  for (int k = 0; k < 100; ++k) {
    edit().MN_EDITUNDOClick();
    main().MN_MAINUNDOClick();
    SubItem("MN_SUBUNDO")->trigger();
  }
  EXPECT_EQ(Colours(edit().EditImage()), editStart);
  EXPECT_EQ(Colours(main().PictureImage()), mainStart);
  EXPECT_EQ(Colours(main().ViewImage()), mainStart);
  EXPECT_EQ(Colours(sub().SubPictureImage()), subStart);
  EXPECT_FALSE(SubItem("MN_SUBUNDO")->isEnabled());
  for (int k = 0; k < 100; ++k) {
    edit().MN_EDITREDOClick();
    main().MN_MAINREDOClick();
    SubItem("MN_SUBREDO")->trigger();
  }
  EXPECT_EQ(Colours(edit().EditImage()), editEnd);
  EXPECT_EQ(Colours(main().PictureImage()), mainEnd);
  EXPECT_EQ(Colours(sub().SubPictureImage()), subEnd);
  EXPECT_FALSE(EditItem("MN_EDITREDO")->isEnabled());
  EXPECT_FALSE(MainItem("MN_MAINREDO")->isEnabled());
}

TEST_F(CanvasHistoryTest, EditStepsRunFromOneToolChoiceToTheNext) {
  edit().MN_EDITFREEClick();
  const std::vector<std::uint8_t> start = edit().EditImage().pixels;
  auto stroke = [&](Point a, Point b) {
    edit().PaintBox1MouseDown(Qt::LeftButton, a.x, a.y);
    edit().PaintBox1MouseMove(Qt::LeftButton, b.x, b.y);
    edit().PaintBox1MouseUp(Qt::LeftButton, b.x, b.y);
  };
  stroke({5, 5}, {40, 30});
  stroke({50, 5}, {10, 60});
  const std::vector<std::uint8_t> first = edit().EditImage().pixels;
  EXPECT_TRUE(EditItem("MN_EDITUNDO")->isEnabled());
  edit().MN_EDITLINEClick();
  stroke({0, 70}, {90, 70});
  stroke({0, 80}, {90, 90});
  const std::vector<std::uint8_t> second = edit().EditImage().pixels;

  edit().MN_EDITUNDOClick();
  EXPECT_EQ(edit().EditImage().pixels, first);
  edit().MN_EDITUNDOClick();
  EXPECT_EQ(edit().EditImage().pixels, start);
  EXPECT_FALSE(EditItem("MN_EDITUNDO")->isEnabled());
  edit().MN_EDITREDOClick();
  edit().MN_EDITREDOClick();
  EXPECT_EQ(edit().EditImage().pixels, second);
  // A flip is a step of its own.
  edit().MN_EDITSAYUClick();
  edit().MN_EDITUNDOClick();
  EXPECT_EQ(edit().EditImage().pixels, second);
}

TEST_F(CanvasHistoryTest, AnUndoneOpenGivesItsNameAndColoursBackWithoutRecolouringAnotherCanvas) {
  PatternMain();
  const std::vector<PaletteEntry> saved = Colours(main().PictureImage());
  const PaletteTable tableBefore = SharedPalette.current;
  testing::BmpBuilder bmp;
  bmp.width = 40;
  bmp.height = 2;
  for (int k = 0; k < 40; ++k) bmp.table.push_back({static_cast<std::uint8_t>(6 * k + 3), 17, 201});
  for (int row = 0; row < 2; ++row)
    for (int k = 0; k < 40; ++k) bmp.pixels.push_back(static_cast<std::uint8_t>(k));
  const std::string path = folder.File("forty.bmp");
  const auto bytes = bmp.Build();
  WriteText(path, std::string(bytes.begin(), bytes.end()));

  main().OpenPictureFile(path);
  ASSERT_EQ(main().PictureImage().ImageWidth(), 40);
  const std::vector<PaletteEntry> opened = Colours(main().PictureImage());
  EXPECT_FALSE(main().Modified());
  main().MN_MAINUNDOClick();
  EXPECT_EQ(main().PictureImage().ImageWidth(), 640);
  EXPECT_TRUE(main().CurrentFileName().empty());
  EXPECT_EQ(Colours(main().PictureImage()), saved);
  EXPECT_TRUE(SharedPalette.current == tableBefore);
  EXPECT_FALSE(main().Modified());
  main().MN_MAINREDOClick();
  EXPECT_EQ(main().CurrentFileName(), path);
  EXPECT_EQ(Colours(main().PictureImage()), opened);
  EXPECT_FALSE(main().Modified());

  // The edit palette takes a piece of the opened picture: the entries it
  // uses now keep their colours when the open is undone.
  app->EditCopyIn(0, 0, kNoTransparent, main().PictureImage(), 2, 40);
  const std::vector<PaletteEntry> editColours = Colours(edit().EditImage());
  main().MN_MAINUNDOClick();
  EXPECT_EQ(Colours(edit().EditImage()), editColours);
  EXPECT_TRUE(main().windowTitle().endsWith(QString::fromUtf8(kColoursMappedNote)));
  // The main picture shows the nearest colours of the table to what it showed.
  const std::vector<PaletteEntry> mapped = Colours(main().PictureImage());
  int exact = 0;
  for (std::size_t i = 0; i < mapped.size(); ++i) exact += mapped[i] == saved[i];
  EXPECT_GT(exact, 0);
  EXPECT_LT(exact, static_cast<int>(mapped.size()));
  EXPECT_TRUE(WindowProbe::Doc(main()).history().BaseMatches(main().PictureImage()));
}

TEST_F(CanvasHistoryTest, ExchangeIsOneStepOnBothCanvases) {
  PatternMain();
  const std::vector<std::uint8_t> mainBefore = MainPixels();
  sub().FillBackground(77);
  const std::vector<std::uint8_t> subBefore = sub().SubPictureImage().pixels;
  main().CanvasCommand(8);
  EXPECT_EQ(MainPixels(), subBefore);
  EXPECT_EQ(sub().SubPictureImage().pixels, mainBefore);
  main().MN_MAINUNDOClick();
  SubItem("MN_SUBUNDO")->trigger();
  EXPECT_EQ(MainPixels(), mainBefore);
  EXPECT_EQ(sub().SubPictureImage().pixels, subBefore);
  EXPECT_FALSE(main().Modified());
  WindowProbe::Doc(sub()).MarkSaved();
}

TEST_F(CanvasHistoryTest, UndoingAJigsawMoveCountsAsAMoveAndCanSolveIt) {
  PatternMain();
  const std::vector<std::uint8_t> solution = MainPixels();
  main().SetFrame(64);
  main().MakeJigsawRandom = [] { return SeededJigsawRandom(3); };
  dialogs.QueueAnswer(BoxAnswer::Yes);
  dialogs.QueueAnswer(BoxAnswer::Ok);
  main().MN_MAINJIGSClick();
  ASSERT_NE(MainPixels(), solution);
  main().PaintBox1MouseDown(Qt::RightButton, 32, 32);
  main().PaintBox1MouseUp(Qt::RightButton, 32, 32);
  EXPECT_TRUE(main().windowTitle().endsWith(QStringLiteral("1手")));
  main().MN_MAINUNDOClick();
  EXPECT_TRUE(main().windowTitle().endsWith(QStringLiteral("2手")));
  // Undoing the shuffle puts the picture back: solved, in three moves.
  dialogs.QueueAnswer(BoxAnswer::Ok);
  main().MN_MAINUNDOClick();
  EXPECT_EQ(MainPixels(), solution);
  EXPECT_EQ(main().Mode(), 0);
  ASSERT_EQ(dialogs.Boxes().size(), 3u);
  EXPECT_TRUE(dialogs.Boxes()[2].text.contains(QStringLiteral("3手")));
}

TEST_F(CanvasHistoryTest, TheBudgetDialogSetsTheSharedLimitAndOldStepsGo) {
  dialogs.QueueExec([](QDialog& dialog) {
    dialog.findChild<QSpinBox*>(QStringLiteral("UndoMemorySpin"))->setValue(1);
    return int(QDialog::Accepted);
  });
  MainItem("MN_UNDOMEMORY")->trigger();
  EXPECT_EQ(app->session().budget.Limit(), std::size_t{1} << 20);
  EXPECT_NE(ReadText(SettingsFile()).find("[Edit]"), std::string::npos);
  EXPECT_NE(ReadText(SettingsFile()).find("UndoMemoryMB=1"), std::string::npos);
  // Whole-picture changes of 640 x 400 in many colours: about two bytes a
  // pixel a step, so a third step passes one megabyte and the oldest go.
  for (int k = 0; k < 6; ++k) {
    IndexedImage& picture = WindowProbe::Doc(main()).Picture();
    for (int y = 0; y < 400; ++y)
      for (int x = 0; x < 640; ++x) picture.At(x, y) = static_cast<std::uint8_t>((x * 7 + y * 13 + k * 31) % 236 + 10);
    WindowProbe::MarkChanged(main());
  }
  const HistoryBudget& budget = app->session().budget;
  const History& history = WindowProbe::Doc(main()).history();
  EXPECT_LE(history.UndoCount(), 2u);
  EXPECT_GE(history.UndoCount(), 1u);
  EXPECT_LE(budget.Used(), budget.Limit());
  int undone = 0;
  while (main().Action(QStringLiteral("MN_MAINUNDO"))->isEnabled() && undone < 10) {
    main().MN_MAINUNDOClick();
    ++undone;
  }
  EXPECT_EQ(static_cast<std::size_t>(undone), history.RedoCount());
  EXPECT_NE(main().PictureImage().At(0, 0), 255);  // the first changes are gone for good
}

}  // namespace
}  // namespace zudizar
