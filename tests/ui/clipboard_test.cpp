// The system clipboard on the three canvases: a round trip that keeps every
// colour, another program's true-colour picture, the palette entries a paste
// takes and its step carries, and the paste item's state.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <cstdlib>

#include "core/frames.h"
#include "core/limits.h"
#include "formats/dispatch.h"
#include "ui/main/position_dialog.h"
#include "ui_support.h"

namespace zudizar {
namespace {

QRgb Shown(std::uint8_t index) {
  const PaletteEntry& e = SharedPalette.current[index];
  return qRgb(e.red, e.green, e.blue);
}

// What the user sees of `rect` of a picture.
std::vector<QRgb> Colours(const IndexedImage& picture, const Rect& rect) {
  std::vector<QRgb> out;
  for (int y = rect.y; y < rect.Bottom(); ++y)
    for (int x = rect.x; x < rect.Right(); ++x) out.push_back(Shown(picture.At(x, y)));
  return out;
}

class ClipboardTest : public testing::CanvasAppTest {
 protected:
  void SetUp() override {
    CanvasAppTest::SetUp();
    QGuiApplication::clipboard()->clear();
  }
  static void Offer(const QImage& image) { QGuiApplication::clipboard()->setImage(image); }
  void SmallEditPicture(int width, int height, std::uint8_t index) {
    IndexedImage& picture = WindowProbe::Doc(edit()).Picture();
    CreateImage(width, height, picture);
    LoadColourTableFromShared(picture);
    FillImage(picture, index);
    WindowProbe::ShowNewPicture(edit());
  }
};

TEST_F(ClipboardTest, TheSelectionCopiedAndPastedOnEveryCanvasKeepsItsColoursAsOneStepEach) {
  IndexedImage& picture = WindowProbe::Doc(main()).Picture();
  for (int y = 0; y < picture.ImageHeight(); ++y)
    for (int x = 0; x < picture.ImageWidth(); ++x)
      picture.At(x, y) = static_cast<std::uint8_t>((x * 7 + y * 13) % 236 + 10);
  WindowProbe::MarkChanged(main());
  SmallEditPicture(40, 30, 255);
  // A selection at the right edge: the edit palette's size, cut to the picture.
  main().CanvasCommand(1);
  main().PaintBox1MouseDown(Qt::LeftButton, 620, 100);
  main().PaintBox1MouseUp(Qt::LeftButton, 620, 100);
  main().Action(QStringLiteral("MN_CLIPCOPY"))->trigger();
  main().PaintBox1MouseDown(Qt::RightButton, 0, 0);
  const QImage copied = QGuiApplication::clipboard()->image();
  EXPECT_EQ(copied.format(), QImage::Format_Indexed8);
  ASSERT_EQ(copied.size(), QSize(20, 30));
  const std::vector<QRgb> colours = Colours(picture, {620, 100, 20, 30});
  EXPECT_EQ(copied.pixel(3, 4), colours[4 * 20 + 3]);
  const PaletteTable palette = SharedPalette.current;

  const std::vector<std::uint8_t> editBefore = edit().EditImage().pixels;
  edit().Action(QStringLiteral("MN_CLIPPASTE"))->trigger();
  EXPECT_EQ(Colours(edit().EditImage(), {0, 0, 20, 30}), colours);
  edit().MN_EDITUNDOClick();
  EXPECT_EQ(edit().EditImage().pixels, editBefore);

  sub().Action(QStringLiteral("MN_CLIPPASTE"))->trigger();
  EXPECT_EQ(Colours(sub().SubPictureImage(), {0, 0, 20, 30}), colours);
  EXPECT_EQ(sub().SubPictureImage().At(20, 0), 255);
  sub().MoveInHistory(false);
  EXPECT_FALSE(sub().Modified());

  // The main canvas previews the piece where the pointer puts it; the
  // picture changes on the confirm.
  const std::vector<std::uint8_t> mainBefore = picture.pixels;
  main().Action(QStringLiteral("MN_CLIPPASTE"))->trigger();
  EXPECT_EQ(main().Mode(), ModeNumber(MainMode::PasteFromClipboard));
  main().PaintBox1MouseDown(Qt::LeftButton, 300, 200);
  main().PaintBox1MouseUp(Qt::LeftButton, 300, 200);
  EXPECT_EQ(picture.pixels, mainBefore);
  EXPECT_EQ(Shown(main().ViewImage().At(305, 205)), colours[5 * 20 + 5]);
  main().Action(QStringLiteral("MN_REAL"))->trigger();
  EXPECT_EQ(Colours(picture, {300, 200, 20, 30}), colours);
  // Every colour was in the palette: no entry was taken.
  EXPECT_EQ(SharedPalette.current, palette);
  main().MN_MAINUNDOClick();
  EXPECT_EQ(picture.pixels, mainBefore);
}

TEST_F(ClipboardTest, AnotherProgramsTrueColourPictureIsPreviewedAndPastedInCloseColours) {
  QImage photo(64, 48, QImage::Format_RGB32);
  for (int y = 0; y < photo.height(); ++y)
    for (int x = 0; x < photo.width(); ++x) photo.setPixel(x, y, qRgb(x * 4, y * 5, 255 - x * 2));
  // The sub canvas's entries keep their colours.
  IndexedImage& subPicture = WindowProbe::Doc(sub()).Picture();
  for (int x = 0; x < 50; ++x) subPicture.At(x, 0) = static_cast<std::uint8_t>(10 + x);
  const std::vector<QRgb> subColours = Colours(subPicture, {0, 0, 50, 1});
  Offer(photo);
  main().Action(QStringLiteral("MN_CLIPPASTE"))->trigger();
  main().PaintBox1MouseDown(Qt::LeftButton, 10, 20);
  main().PaintBox1MouseUp(Qt::LeftButton, 10, 20);
  EXPECT_NE(main().ViewImage().At(40, 40), main().PictureImage().At(40, 40));
  main().CanvasCommand(0);
  long long total = 0;
  for (int y = 0; y < photo.height(); ++y)
    for (int x = 0; x < photo.width(); ++x) {
      const QRgb want = photo.pixel(x, y), got = Shown(main().PictureImage().At(10 + x, 20 + y));
      total +=
          std::abs(qRed(want) - qRed(got)) + std::abs(qGreen(want) - qGreen(got)) + std::abs(qBlue(want) - qBlue(got));
    }
  EXPECT_LT(static_cast<double>(total) / (photo.width() * photo.height()), 12.0);
  EXPECT_EQ(Colours(subPicture, {0, 0, 50, 1}), subColours);
}

TEST_F(ClipboardTest, NewColoursTakeEntriesNoCanvasUsesAndTheStepAsksForThemAgainOnRedo) {
  const QRgb strange[] = {qRgb(1, 2, 3), qRgb(201, 3, 99), qRgb(17, 250, 130)};
  QImage piece(3, 1, QImage::Format_ARGB32);
  for (int x = 0; x < 3; ++x) piece.setPixel(x, 0, strange[x]);
  // The main canvas keeps its own entry 11 through its paste.
  FillImage(WindowProbe::Doc(main()).Picture(), 200);
  WindowProbe::Doc(main()).Picture().At(5, 5) = 11;
  WindowProbe::MarkChanged(main());
  Offer(piece);
  main().MN_CLIPPASTEClick();
  main().CanvasCommand(0);
  for (int x = 0; x < 3; ++x) {
    EXPECT_EQ(Shown(main().PictureImage().At(x, 0)), strange[x]) << x;
    EXPECT_NE(main().PictureImage().At(x, 0), 11);
  }
  // Undone, the entry is taken over; the redo sets the pasted colour again.
  const std::uint8_t taken = main().PictureImage().At(1, 0);
  main().MN_MAINUNDOClick();
  SharedPalette.pending = SharedPalette.current;
  SharedPalette.pending[taken] = {90, 90, 90, 0};
  app->session().ApplyPalette();
  main().MN_MAINREDOClick();
  EXPECT_EQ(Shown(main().PictureImage().At(1, 0)), strange[1]);

  // A half-transparent pixel goes over white, as in a PNG.
  QImage veiled(1, 1, QImage::Format_ARGB32);
  veiled.setPixel(0, 0, qRgba(0, 0, 0, 128));
  Offer(veiled);
  edit().MN_CLIPPASTEClick();
  EXPECT_EQ(Shown(edit().EditImage().At(0, 0)), qRgb(127, 127, 127));
}

TEST_F(ClipboardTest, APasteGoesOnOverAnOpenedPictureAndTakesTheNearestColourOfAnEntryTakenOver) {
  QImage piece(3, 3, QImage::Format_RGB32);
  piece.fill(qRgb(250, 5, 5));
  Offer(piece);
  SmallEditPicture(4, 4, 250);
  main().MN_CLIPPASTEClick();
  // A typed paste of the edit palette's picture meanwhile.
  dialogs.QueueExec([](QDialog& dialog) {
    static_cast<TITISITEF&>(dialog).MaskEditX->setText(QStringLiteral("600"));
    static_cast<TITISITEF&>(dialog).MaskEditY->setText(QStringLiteral("300"));
    return int(QDialog::Accepted);
  });
  main().MN_MAINTOCOPYClick();
  EXPECT_EQ(main().PictureImage().At(600, 300), 250);
  // An open whose colour goes to the first free entry, where the piece's red was.
  IndexedImage opened;
  CreateImage(50, 40, opened);
  LoadColourTableFromShared(opened);
  FillImage(opened, 30);
  const std::string path = folder.File("opened.bmp");
  ASSERT_TRUE(SavePictureFile(path, opened));
  main().OpenPictureFile(path);
  ASSERT_EQ(main().PictureImage().ImageWidth(), 50);
  EXPECT_EQ(main().Mode(), ModeNumber(MainMode::PasteFromClipboard));
  main().CanvasCommand(0);
  const QRgb pasted = Shown(main().PictureImage().At(2, 2));
  EXPECT_GT(qRed(pasted), 200);
  EXPECT_LT(qGreen(pasted) + qBlue(pasted), 100);
  EXPECT_EQ(main().PictureImage().At(3, 3), main().PictureImage().At(49, 39));
}

TEST_F(ClipboardTest, ThePasteItemFollowsTheClipboardAndAPictureTooLargeIsRefused) {
  QAction* items[] = {main().Action(QStringLiteral("MN_CLIPPASTE")), sub().Action(QStringLiteral("MN_CLIPPASTE")),
                      edit().Action(QStringLiteral("MN_CLIPPASTE"))};
  QGuiApplication::clipboard()->setText(QStringLiteral("文字だけ"));
  for (QAction* item : items) EXPECT_FALSE(item->isEnabled());
  QImage wide(kMaxImageSide + 1, 1, QImage::Format_RGB32);
  wide.fill(Qt::black);
  Offer(wide);
  for (QAction* item : items) EXPECT_TRUE(item->isEnabled());
  const std::vector<std::uint8_t> before = sub().SubPictureImage().pixels;
  dialogs.QueueAnswer(BoxAnswer::Ok);
  sub().MN_CLIPPASTEClick();
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_TRUE(dialogs.Boxes().back().text.contains(QStringLiteral("大きすぎて")));
  EXPECT_EQ(sub().SubPictureImage().pixels, before);
  EXPECT_FALSE(WindowProbe::Doc(sub()).CanUndo());
  QGuiApplication::clipboard()->clear();
  for (QAction* item : items) EXPECT_FALSE(item->isEnabled());
  // The menu looks again as it opens.
  items[0]->setEnabled(true);
  emit main().findChild<QMenu*>(QStringLiteral("MN_FILE"))->aboutToShow();
  EXPECT_FALSE(items[0]->isEnabled());
}

}  // namespace
}  // namespace zudizar
