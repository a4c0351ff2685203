#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include "core/frames.h"
#include "core/jigsaw.h"
#include "core/region.h"
#include "core/tool_gestures.h"
#include "ui/common/paint_box.h"
#include "ui/edit/edit_window.h"
#include "ui/main/position_dialog.h"
#include "ui/sub/sub_window.h"
#include "ui_support.h"

namespace zudizar {
namespace {

using testing::Pattern;

using testing::AppTest;

IndexedImage Copy(const IndexedImage& image) {
  IndexedImage copy;
  CreateImage(image.ImageWidth(), image.ImageHeight(), copy);
  CopyImage(copy, image, kNoTransparent);
  return copy;
}

std::vector<int> Block(const IndexedImage& image, Rect r) {
  std::vector<int> out;
  for (int y = r.y; y < r.Bottom(); ++y)
    for (int x = r.x; x < r.Right(); ++x) out.push_back(image.At(x, y));
  return out;
}

class MainCanvasTest : public AppTest {
 protected:
  void SetUp() override {
    StartApp();
    Pattern(WindowProbe::Doc(main()).Picture());
    WindowProbe::View(main()).RestoreAll(main().PictureImage());
    CreateImage(640, 400, before);
    CopyImage(before, WindowProbe::Doc(main()).Picture(), kNoTransparent);
  }
  void TearDown() override {
    if (app) WindowProbe::Doc(main()).MarkSaved();  // no save question at the end
    AppTest::TearDown();
  }
  TForm1& main() { return app->main(); }
  TTAVOEDTF& edit() { return app->edit(); }
  void Drag(Point from, Point to, Qt::MouseButton button = Qt::LeftButton) {
    main().PaintBox1MouseDown(button, from.x, from.y);
    main().PaintBox1MouseMove(button, (from.x + to.x) / 2, (from.y + to.y) / 2);
    main().PaintBox1MouseMove(button, to.x, to.y);
    main().PaintBox1MouseUp(button, to.x, to.y);
  }
  void RightClick(Point p) {
    main().PaintBox1MouseDown(Qt::RightButton, p.x, p.y);
    main().PaintBox1MouseUp(Qt::RightButton, p.x, p.y);
  }
  QAction* EditItem(const char* name) { return edit().findChild<QAction*>(QString::fromLatin1(name)); }
  // The edit palette's picture, made w × h and filled with one colour.
  void EditPicture(int w, int h, std::uint8_t colour) {
    IndexedImage& picture = WindowProbe::Doc(edit()).Picture();
    CreateImage(w, h, picture);
    FillImage(picture, colour);
    WindowProbe::ShowNewPicture(edit());
  }

  IndexedImage before;
};

TEST_F(MainCanvasTest, CellsAreCopiedMovedAndExchanged) {
  main().SetFrame(32);
  const Rect a{0, 0, 32, 32}, b{64, 32, 32, 32};
  Item("MN_MAINCOPY")->trigger();
  EXPECT_EQ(main().Mode(), 21);
  EXPECT_TRUE(Item("MN_MAINCOPY")->isChecked());
  Drag({5, 5}, {70, 40});
  EXPECT_EQ(Block(main().PictureImage(), b), Block(before, a));
  EXPECT_EQ(Block(main().PictureImage(), a), Block(before, a));
  EXPECT_TRUE(main().Modified());

  CopyImage(WindowProbe::Doc(main()).Picture(), before, kNoTransparent);
  Item("MN_MAINMOVE")->trigger();
  EXPECT_FALSE(Item("MN_MAINCOPY")->isChecked());
  Drag({70, 40}, {70, 40});  // on the starting cell: nothing changes
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));
  Drag({5, 5}, {70, 40});
  EXPECT_EQ(Block(main().PictureImage(), b), Block(before, a));
  EXPECT_EQ(Block(main().PictureImage(), a), std::vector<int>(32 * 32, BackgroundColour(main().PictureImage())));

  CopyImage(WindowProbe::Doc(main()).Picture(), before, kNoTransparent);
  Item("MN_MAINCHANGE")->trigger();
  Drag({5, 5}, {70, 40});
  EXPECT_EQ(Block(main().PictureImage(), b), Block(before, a));
  EXPECT_EQ(Block(main().PictureImage(), a), Block(before, b));
  // What the user sees is the committed picture with the grid.
  EXPECT_EQ(main().ViewImage().pixels, main().PictureImage().pixels);
  EXPECT_EQ(main().DisplayImage().At(31, 5), 248);

  // A release or a move without a press changes nothing.
  CopyImage(before, WindowProbe::Doc(main()).Picture(), kNoTransparent);
  main().PaintBox1MouseMove(Qt::LeftButton, 100, 100);
  main().PaintBox1MouseUp(Qt::LeftButton, 100, 100);
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));
}

TEST_F(MainCanvasTest, RightButtonTurnsACellAndFourTurnsRestoreIt) {
  main().SetFrame(48);
  main().CanvasCommand(21);
  WindowProbe::Doc(main()).MarkSaved();
  RightClick({60, 60});
  const Rect cell{48, 48, 48, 48};
  EXPECT_NE(Block(main().PictureImage(), cell), Block(before, cell));
  EXPECT_EQ(main().PictureImage().At(48, 95), before.At(48, 48));  // top-left went to bottom-left
  EXPECT_TRUE(main().Modified());
  for (int i = 0; i < 3; ++i) RightClick({60, 60});
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));
  // Centre-line quarters of 640 × 400 are not square and stay as they are.
  main().SetFrame(1);
  RightClick({10, 10});
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));
}

TEST_F(MainCanvasTest, OnlyALeftDoubleClickConfirms) {
  main().SetFrame(48);
  main().CanvasCommand(23);
  // A right double click arrives as a press: it turns the cell and the mode goes on.
  QTest::mouseDClick(main().PaintBox1(), Qt::RightButton, Qt::NoModifier, QPoint(60, 60));
  EXPECT_EQ(main().Mode(), 23);
  EXPECT_FALSE(SamePixels(main().PictureImage(), before));
  for (int i = 0; i < 3; ++i) RightClick({60, 60});
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));
  QTest::mouseDClick(main().PaintBox1(), Qt::LeftButton, Qt::NoModifier, QPoint(60, 60));
  EXPECT_EQ(main().Mode(), 0);
  EXPECT_FALSE(Item("MN_MAINCHANGE")->isChecked());
}

TEST_F(MainCanvasTest, WithoutAFrameThePictureShiftsToThePointer) {
  main().CanvasCommand(22);
  Drag({320, 200}, {320, 200});
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));
  const std::uint8_t background = BackgroundColour(before);
  Drag({320, 200}, {330, 200});
  for (int y : {0, 199, 399}) {
    for (int x = 0; x < 10; ++x) ASSERT_EQ(main().PictureImage().At(x, y), background);
    for (int x = 10; x < 640; ++x) ASSERT_EQ(main().PictureImage().At(x, y), before.At(x - 10, y));
  }
  EXPECT_TRUE(main().Modified());
}

TEST_F(MainCanvasTest, EdgeCellOfThe48FrameDropsOnlyWhatLiesInside) {
  main().SetFrame(48);
  main().CanvasCommand(21);
  Drag({630, 390}, {0, 0});  // the cell at (624, 384) has 16 × 16 pixels inside
  const std::uint8_t background = BackgroundColour(before);
  EXPECT_EQ(Block(main().PictureImage(), {0, 0, 16, 16}), Block(before, {624, 384, 16, 16}));
  EXPECT_EQ(Block(main().PictureImage(), {16, 0, 32, 48}), std::vector<int>(32 * 48, background));
  EXPECT_EQ(Block(main().PictureImage(), {0, 16, 16, 32}), std::vector<int>(16 * 32, background));
  // With the half offsets the cells at the top-left reach outside too.
  main().Action(QStringLiteral("MN_MODEHALFLEFT"))->trigger();
  main().Action(QStringLiteral("MN_MODEHALFUP"))->trigger();
  CopyImage(WindowProbe::Doc(main()).Picture(), before, kNoTransparent);
  Drag({5, 5}, {100, 100});  // cell (−24, −24) onto cell (72, 72)
  EXPECT_EQ(Block(main().PictureImage(), {96, 96, 24, 24}), Block(before, {0, 0, 24, 24}));
  EXPECT_EQ(main().PictureImage().At(72, 72), background);
}

TEST_F(MainCanvasTest, CutToTheEditPaletteWithCaptionsAndUndo) {
  EditPicture(50, 40, 3);
  edit().SetTransferMode(3);
  EXPECT_EQ(main().Mode(), 3);
  EXPECT_TRUE(EditItem("MN_SETCUT")->isChecked());
  EXPECT_TRUE(Item("MN_EDITTOMOVE")->isChecked());
  EXPECT_EQ(main().windowTitle(), QStringLiteral("メインパレット上でマウスクリックして、移動元を決めて下さい。"));
  main().PaintBox1MouseDown(Qt::LeftButton, 10, 20);
  main().PaintBox1MouseUp(Qt::LeftButton, 10, 20);
  EXPECT_EQ(main().windowTitle(), QStringLiteral("確定をマウスクリックして下さい"));
  // The outline in the display; the edit palette previews without changing its picture.
  EXPECT_EQ(main().DisplayImage().At(10, 20), 248);
  EXPECT_EQ(main().DisplayImage().At(59, 59), 248);
  EXPECT_EQ(edit().ScreenImage().At(1, 1), before.At(11, 21));
  EXPECT_EQ(edit().EditImage().At(1, 1), 3);
  main().Action(QStringLiteral("MN_REAL"))->trigger();
  EXPECT_EQ(main().windowTitle(), QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ "));
  EXPECT_EQ(Block(edit().EditImage(), {0, 0, 50, 40}), Block(before, {10, 20, 50, 40}));
  // The main picture keeps its background where the piece was taken.
  const std::uint8_t background = BackgroundColour(before);
  EXPECT_EQ(Block(main().PictureImage(), {10, 20, 50, 40}), std::vector<int>(50 * 40, background));
  EXPECT_EQ(main().PictureImage().At(60, 20), before.At(60, 20));
  EXPECT_EQ(main().Mode(), 0);
  EXPECT_FALSE(Item("MN_EDITTOMOVE")->isChecked());
  EXPECT_TRUE(main().Modified());
  // Undo in the edit palette brings back the picture from before the transfer.
  edit().MN_EDITUNDOClick();
  EXPECT_EQ(edit().EditImage().pixels, std::vector<std::uint8_t>(50 * 40, 3));
}

TEST_F(MainCanvasTest, CopyFromTheCornerTakesWhatExistsAndCancelTakesNothing) {
  EditPicture(100, 100, 3);
  edit().SetTransferMode(1);
  main().PaintBox1MouseDown(Qt::LeftButton, 630, 390);
  main().PaintBox1DblClick();
  EXPECT_EQ(Block(edit().EditImage(), {0, 0, 10, 10}), Block(before, {630, 390, 10, 10}));
  EXPECT_EQ(edit().EditImage().At(10, 0), 3);
  EXPECT_EQ(edit().EditImage().At(0, 10), 3);
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));

  // Edge cut from the sub palette's rule: corners 5/7/7/9 skip 7.
  FillImage(WindowProbe::Doc(main()).Picture(), 1);
  WindowProbe::Doc(main()).Picture().At(0, 0) = 5;
  WindowProbe::Doc(main()).Picture().At(639, 0) = 7;
  WindowProbe::Doc(main()).Picture().At(0, 399) = 7;
  WindowProbe::Doc(main()).Picture().At(639, 399) = 9;
  WindowProbe::Doc(main()).Picture().At(1, 0) = 7;
  WindowProbe::Doc(main()).Picture().At(2, 0) = 5;
  EditPicture(4, 4, 3);
  edit().SetTransferMode(2);
  main().PaintBox1MouseDown(Qt::LeftButton, 0, 0);
  main().CanvasCommand(0);
  EXPECT_EQ(edit().EditImage().At(0, 0), 5);
  EXPECT_EQ(edit().EditImage().At(1, 0), 3);
  EXPECT_EQ(edit().EditImage().At(2, 0), 5);

  // A right click cancels: nothing copied, mode 0, a fresh undo copy.
  EditPicture(4, 4, 3);
  edit().SetTransferMode(1);
  main().PaintBox1MouseDown(Qt::LeftButton, 0, 0);
  main().PaintBox1MouseDown(Qt::RightButton, 0, 0);
  EXPECT_EQ(main().Mode(), 0);
  EXPECT_EQ(edit().EditImage().pixels, std::vector<std::uint8_t>(16, 3));
}

TEST_F(MainCanvasTest, PastePreviewSurvivesExposesAndNeverReachesThePicture) {
  EditPicture(20, 10, 249);
  main().SetFrame(32);
  Item("MN_EDITCOPY")->trigger();
  EXPECT_EQ(main().Mode(), 4);
  main().PaintBox1MouseDown(Qt::LeftButton, 40, 40);
  main().PaintBox1MouseMove(Qt::LeftButton, 70, 70);  // snaps to (64, 64)
  // An expose presents the preview as it is.
  const QImage shot = main().PaintBox1()->grab().toImage();
  EXPECT_EQ(shot.pixelColor(70, 66), QColor(255, 0, 0));
  EXPECT_EQ(main().DisplayImage().At(64, 66), 248);                               // the outline's left edge
  EXPECT_EQ(main().DisplayImage().At(33, 33), main().PictureImage().At(33, 33));  // the old place restored
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));
  // Switching modes, confirming and edit mode leave the picture alone; only the stroke changes it.
  Item("MN_MAINCOPY")->trigger();
  Item("MN_REAL")->trigger();
  Item("MN_HensyuMode")->trigger();
  EXPECT_EQ(main().Mode(), 20);
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));
  edit().SetPen(0);
  Drag({300, 300}, {310, 300});
  FillRect(before, 300, 300, 11, 1, 249);
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));
  WindowProbe::Doc(main()).MarkSaved();

  // A right click cancels the preview; with a frame the view is the picture again.
  Item("MN_HensyuMode")->trigger();
  main().CanvasCommand(4);
  main().PaintBox1MouseDown(Qt::LeftButton, 40, 40);
  main().PaintBox1MouseDown(Qt::RightButton, 40, 40);
  EXPECT_EQ(main().Mode(), 0);
  EXPECT_EQ(main().ViewImage().pixels, before.pixels);
  EXPECT_FALSE(main().Modified());

  // Confirmed edge cut: the edit picture's background stays out.
  EditPicture(20, 10, 249);
  FillRect(WindowProbe::Doc(edit()).Picture(), 5, 5, 2, 2, 250);
  main().CanvasCommand(5);
  main().PaintBox1MouseDown(Qt::LeftButton, 100, 100);  // snaps to (96, 96)
  main().PaintBox1MouseUp(Qt::LeftButton, 100, 100);
  main().CanvasCommand(0);
  EXPECT_EQ(main().PictureImage().At(101, 101), 250);
  EXPECT_EQ(main().PictureImage().At(96, 96), before.At(96, 96));
  EXPECT_TRUE(main().Modified());
}

TEST_F(MainCanvasTest, EditModeDrawsWithTheEditPalettesToolOnAnyPictureSize) {
  // A picture larger than the start canvas, from the sub palette.
  CreateImage(800, 600, WindowProbe::Doc(app->sub()).Picture());
  FillImage(WindowProbe::Doc(app->sub()).Picture(), 255);
  main().CanvasCommand(8);
  WindowProbe::Doc(main()).MarkSaved();
  main().MN_HensyuModeClick();
  EXPECT_TRUE(Item("MN_HensyuMode")->isChecked());
  edit().SetPen(0);
  edit().MN_EDITLINEClick();
  main().PaintBox1MouseDown(Qt::RightButton, 700, 500);
  main().PaintBox1MouseMove(Qt::RightButton, 790, 590);
  // The rubber band is shown, not committed.
  EXPECT_EQ(main().DisplayImage().At(790, 590), 252);
  EXPECT_EQ(main().PictureImage().At(790, 590), 255);
  main().PaintBox1MouseUp(Qt::RightButton, 750, 500);
  EXPECT_EQ(main().PictureImage().At(750, 500), 252);
  EXPECT_EQ(main().DisplayImage().At(790, 590), 255);  // the band is gone
  EXPECT_TRUE(main().Modified());
  // A fill acts on the press and is committed at once.
  edit().MN_EDITFULClick();
  main().PaintBox1MouseDown(Qt::LeftButton, 10, 10);
  EXPECT_EQ(main().PictureImage().At(0, 0), 249);
  EXPECT_EQ(edit().windowTitle(), QStringLiteral("編集ﾊﾟﾚｯﾄ "));
  // F8 again leaves edit mode; other modes ignore it.
  main().MN_HensyuModeClick();
  EXPECT_EQ(main().Mode(), 0);
  main().CanvasCommand(21);
  main().MN_HensyuModeClick();
  EXPECT_EQ(main().Mode(), 21);
}

TEST_F(MainCanvasTest, EditModeCommitsExactlyWhatAGestureLeavesOnThePicture) {
  main().MN_HensyuModeClick();
  edit().SetPen(0);
  WindowProbe::Doc(main()).MarkSaved();
  // A line released off the canvas leaves nothing to take.
  edit().MN_EDITLINEClick();
  Drag({100, 100}, {900, 100});
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));
  EXPECT_FALSE(main().Modified());
  // A free line that leaves the canvas keeps what it drew on the way.
  edit().MN_EDITFREEClick();
  main().PaintBox1MouseDown(Qt::LeftButton, 100, 100);
  main().PaintBox1MouseMove(Qt::LeftButton, 110, 100);
  main().PaintBox1MouseUp(Qt::LeftButton, 900, 100);
  FillRect(before, 100, 100, 11, 1, 249);
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));
  EXPECT_TRUE(main().Modified());
  // The edit palette's own gesture and the main canvas's do not share a drag.
  QTest::mousePress(edit().PaintBox1(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_TRUE(edit().Dragging());
  main().PaintBox1MouseDown(Qt::LeftButton, 200, 200);
  main().PaintBox1MouseUp(Qt::LeftButton, 200, 200);
  EXPECT_EQ(main().PictureImage().At(200, 200), 249);
  EXPECT_TRUE(edit().Dragging());
  QTest::mouseRelease(edit().PaintBox1(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(edit().Dragging());
}

TEST_F(MainCanvasTest, EditModeHoldsOnlyWhatAGestureCarries) {
  main().MN_HensyuModeClick();
  Session& session = app->session();
  const IndexedImage* none = nullptr;
  // A rubber band is drawn in the view alone until its release.
  const IndexedImage before = Copy(main().PictureImage());
  session.tools.tool = kToolBox;
  main().PaintBox1MouseDown(Qt::LeftButton, 10, 10);
  main().PaintBox1MouseMove(Qt::LeftButton, 30, 20);
  EXPECT_EQ(WindowProbe::EditModeStamp(main()), none);
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));
  EXPECT_EQ(WindowProbe::View(main()).View().At(30, 20), 249);
  main().PaintBox1MouseMove(Qt::LeftButton, 20, 15);
  EXPECT_EQ(WindowProbe::View(main()).View().At(30, 20), before.At(30, 20));  // the band went back
  // An undo in the middle takes the band out of the view as well.
  main().MN_MAINUNDOClick();
  EXPECT_TRUE(SamePixels(WindowProbe::View(main()).View(), before));
  main().PaintBox1MouseUp(Qt::LeftButton, 20, 15);
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));
  Drag({10, 10}, {30, 20});
  EXPECT_EQ(main().PictureImage().At(10, 10), 249);
  EXPECT_EQ(main().PictureImage().At(30, 20), 249);
  EXPECT_TRUE(SamePixels(WindowProbe::View(main()).View(), main().PictureImage()));
  // Text carries a stamp of its own box.
  session.tools.tool = kToolText;
  session.tools.text.text = "ab";
  session.tools.text.fixedPlace = kTextFree;
  main().PaintBox1MouseDown(Qt::LeftButton, 100, 100);
  const IndexedImage* stamp = WindowProbe::EditModeStamp(main());
  ASSERT_NE(stamp, none);
  EXPECT_LT(stamp->ImageWidth(), 200);
  EXPECT_LT(stamp->ImageHeight(), 100);
  main().PaintBox1MouseUp(Qt::LeftButton, 100, 100);
  EXPECT_EQ(WindowProbe::EditModeStamp(main()), none);
  // The move tool carries the whole picture: moved 10 to the right.
  const IndexedImage moved = Copy(main().PictureImage());
  session.tools.tool = kToolMove;
  main().PaintBox1MouseDown(Qt::LeftButton, 320, 200);
  ASSERT_NE(WindowProbe::EditModeStamp(main()), none);
  EXPECT_EQ(WindowProbe::EditModeStamp(main())->ImageWidth(), moved.ImageWidth());
  EXPECT_EQ(WindowProbe::EditModeStamp(main())->ImageHeight(), moved.ImageHeight());
  main().PaintBox1MouseMove(Qt::LeftButton, 330, 200);
  main().PaintBox1MouseUp(Qt::LeftButton, 330, 200);
  EXPECT_EQ(WindowProbe::EditModeStamp(main()), none);
  EXPECT_EQ(Block(main().PictureImage(), {110, 50, 40, 40}), Block(moved, {100, 50, 40, 40}));
  // A gradient's probe fill leaves no trace beyond the gradient itself.
  session.tools.tool = kToolGradientVertical;
  main().PaintBox1MouseDown(Qt::LeftButton, 200, 300);
  main().PaintBox1MouseUp(Qt::LeftButton, 200, 300);
  EXPECT_EQ(WindowProbe::EditModeStamp(main()), none);
  EXPECT_TRUE(SamePixels(WindowProbe::View(main()).View(), main().PictureImage()));
}

TEST_F(MainCanvasTest, PasteAtATypedPositionClipsAtTheRightEdge) {
  EditPicture(20, 10, 249);
  WindowProbe::Doc(edit()).Picture().At(0, 0) = 250;
  main().CanvasCommand(22);
  dialogs.QueueExec([](QDialog& dialog) {
    auto& position = static_cast<TITISITEF&>(dialog);
    position.MaskEditX->setText(QStringLiteral("999"));
    position.MaskEditY->setText(QStringLiteral("5"));
    return int(QDialog::Accepted);
  });
  edit().findChild<QAction*>(QStringLiteral("MN_MAINTOCOPY"))->trigger();
  EXPECT_EQ(main().PictureImage().At(639, 5), 250);  // the piece's first column
  EXPECT_EQ(main().PictureImage().At(639, 6), 249);
  EXPECT_EQ(main().PictureImage().At(638, 5), before.At(638, 5));
  // The mode goes on with its item checked.
  EXPECT_EQ(main().Mode(), 22);
  EXPECT_TRUE(Item("MN_MAINMOVE")->isChecked());
  // Cancelled: nothing happens.
  dialogs.QueueExec([](QDialog&) { return int(QDialog::Rejected); });
  main().MN_MAINTOCOPYRClick();
  EXPECT_EQ(main().Mode(), 22);
}

TEST_F(MainCanvasTest, ExchangeWithTheSubPalette) {
  TTAVOSUBF& sub = app->sub();
  CreateImage(100, 50, WindowProbe::Doc(sub).Picture());
  FillImage(WindowProbe::Doc(sub).Picture(), 9);
  WindowProbe::MarkChanged(main());
  Item("MN_SUBCOPY")->trigger();
  EXPECT_EQ(main().PictureImage().ImageWidth(), 100);
  EXPECT_EQ(main().PictureImage().pixels, std::vector<std::uint8_t>(100 * 50, 9));
  EXPECT_EQ(main().PaintBox1()->AreaWidth(), 100);
  EXPECT_EQ(sub.SubPictureImage().pixels, before.pixels);
  EXPECT_EQ(sub.PaintBox1()->AreaWidth(), 640);
  EXPECT_FALSE(Item("MN_SUBCOPY")->isChecked());
  // The modified flags travel with the pictures.
  EXPECT_FALSE(main().Modified());
  EXPECT_TRUE(sub.Modified());
  // Without a sub picture nothing is exchanged.
  FreeImage(WindowProbe::Doc(sub).Picture());
  main().CanvasCommand(8);
  EXPECT_EQ(main().PictureImage().ImageWidth(), 100);
}

TEST_F(MainCanvasTest, JigsawAnsweredNoPlaysOnThePictureAsItIs) {
  dialogs.QueueAnswer(BoxAnswer::No);
  dialogs.QueueAnswer(BoxAnswer::Ok);
  Item("MN_MAINJIGS")->trigger();
  EXPECT_EQ(main().FrameSize(), 48);
  EXPECT_TRUE(Item("MN_MODE48")->isChecked());
  EXPECT_EQ(main().Mode(), 23);
  EXPECT_TRUE(Item("MN_MAINCHANGE")->isChecked());
  EXPECT_EQ(main().windowTitle(), QStringLiteral("マウス左でマス移動、マウス右でマス回転です。"));
  ASSERT_EQ(dialogs.Boxes().size(), 2u);
  EXPECT_EQ(dialogs.Boxes()[0].text, QStringLiteral("描画域を並べ変えますが、よろしいですか？"));
  EXPECT_EQ(dialogs.Boxes()[0].caption, QStringLiteral("確認メッセージ"));
  EXPECT_EQ(dialogs.Boxes()[0].buttons, BoxButtons::YesNoCancel);
  EXPECT_EQ(dialogs.Boxes()[1].text, QStringLiteral("ﾏｳｽを使って、絵を並べ変えましょう。"));
  EXPECT_EQ(dialogs.Boxes()[1].caption, QStringLiteral("ゲームスタート"));
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));
  EXPECT_FALSE(main().Modified());
  // Play without a solved state: a swap is just a swap.
  Drag({5, 5}, {60, 5});
  EXPECT_EQ(main().Mode(), 23);
  // Cancel changes nothing.
  dialogs.QueueAnswer(BoxAnswer::Cancel);
  main().SetFrame(0);
  main().MN_MAINJIGSClick();
  EXPECT_EQ(main().FrameSize(), 0);
}

TEST_F(MainCanvasTest, ShuffledJigsawIsSolvedByReplayingTheInverseMoves) {
  main().SetFrame(64);
  main().Action(QStringLiteral("MN_MODEHALFUP"))->trigger();
  main().MakeJigsawRandom = [] { return SeededJigsawRandom(7); };
  dialogs.QueueAnswer(BoxAnswer::Yes);
  dialogs.QueueAnswer(BoxAnswer::Ok);
  main().MN_MAINJIGSClick();
  EXPECT_FALSE(main().Action(QStringLiteral("MN_MODEHALFUP"))->isChecked());
  EXPECT_FALSE(SamePixels(main().PictureImage(), before));
  EXPECT_EQ(Block(main().PictureImage(), {0, 384, 640, 16}), Block(before, {0, 384, 640, 16}));
  EXPECT_TRUE(main().Modified());

  // The same generator tells the steps; undo them from the last.
  const JigsawGrid grid = JigsawGrid::Over(64, 640, 400);
  const JigsawRandom random = SeededJigsawRandom(7);
  struct Step {
    int d, e, v;
  };
  std::vector<Step> steps;
  for (int k = 0; k < grid.Cells(); ++k) {
    const int d = random(grid.Cells()), e = random(4), v = random(4);
    steps.push_back({d, e, v});
  }
  auto centre = [&](int k) {
    const Rect r = grid.Cell(k);
    return Point{r.x + 32, r.y + 32};
  };
  int moves = 0;
  dialogs.QueueAnswer(BoxAnswer::Ok);  // the solved box
  for (int k = grid.Cells() - 1; k >= 0 && main().Mode() == 23; --k) {
    const Step& s = steps[k];
    for (int t = 0; t < (4 - s.v) % 4; ++t, ++moves) RightClick(centre(s.d));
    for (int t = 0; t < (4 - s.e) % 4; ++t, ++moves) RightClick(centre(k));
    if (s.d != k) Drag(centre(k), centre(s.d)), ++moves;
  }
  EXPECT_TRUE(SamePixels(main().PictureImage(), before));
  EXPECT_EQ(main().Mode(), 0);
  ASSERT_EQ(dialogs.Boxes().size(), 3u);
  EXPECT_EQ(dialogs.Boxes()[2].caption, QStringLiteral("ゲームクリア"));
  EXPECT_TRUE(dialogs.Boxes()[2].text.contains(QStringLiteral("%1手").arg(moves)));
}

TEST_F(MainCanvasTest, EditPaletteTransferMenuHasItsItemsAndKeys) {
  QMenu* menu = edit().findChild<QMenu*>(QStringLiteral("MN_SET"));
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->title(), QStringLiteral("複写(&S)"));
  const std::vector<std::tuple<const char*, QString, QString>> items = {
      {"MN_SETCOPY", QStringLiteral("ﾒｲﾝより複写(&C)"), "Ctrl+C"},
      {"MN_SETCOPYR", QStringLiteral("ﾒｲﾝより複写(&G)縁ｶｯﾄ"), "Ctrl+G"},
      {"MN_SETCUT", QStringLiteral("ﾒｲﾝより切り取り(&T)"), "Ctrl+T"},
      {"MN_SETTOCOPY", QStringLiteral("ﾒｲﾝへ複写(&U)"), "Ctrl+U"},
      {"MN_SETTOCOPYR", QStringLiteral("ﾒｲﾝへ複写(&Q)縁ｶｯﾄ"), "Ctrl+Q"},
      {"MN_SUBCOPY", QStringLiteral("ｻﾌﾞより複写(&S)"), "Ctrl+S"},
      {"MN_SUBCOPYR", QStringLiteral("ｻﾌﾞより複写(&O)縁ｶｯﾄ"), "Ctrl+O"},
      {"MN_MAINTOCOPY", QStringLiteral("ﾒｲﾝへ複写位置指定"), "Shift+F5"},
      {"MN_MAINTOCOPYR", QStringLiteral("ﾒｲﾝへ複写位置指定縁"), "Shift+F6"}};
  ASSERT_EQ(menu->actions().size(), 9);
  for (size_t i = 0; i < items.size(); ++i) {
    const auto& [name, caption, key] = items[i];
    QAction* action = menu->actions()[static_cast<int>(i)];
    EXPECT_EQ(action->objectName(), QString::fromLatin1(name));
    EXPECT_EQ(action->text(), caption);
    EXPECT_EQ(action->shortcut(), QKeySequence(key));
  }
  // Copy to main from the edit palette starts the main palette's paste.
  EditItem("MN_SETTOCOPYR")->trigger();
  EXPECT_EQ(main().Mode(), 5);
  EXPECT_TRUE(Item("MN_EDITCOPYR")->isChecked());
  // From the sub palette: its caption and check marks.
  EditItem("MN_SUBCOPYR")->trigger();
  EXPECT_EQ(app->sub().windowTitle(), QStringLiteral("サブパレット上でマウスクリックして、コピー元を決めて下さい。"));
  EXPECT_TRUE(EditItem("MN_SUBCOPYR")->isChecked());
  EXPECT_FALSE(EditItem("MN_SUBCOPY")->isChecked());
  // Closing the edit palette unchecks the main window's item.
  edit().show();
  EXPECT_TRUE(Item("MN_EDIT")->isChecked());
  edit().close();
  EXPECT_FALSE(Item("MN_EDIT")->isChecked());
}

}  // namespace
}  // namespace zudizar
