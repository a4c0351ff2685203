// The edit palette through its menus, buttons and mouse, offscreen.
#include <gtest/gtest.h>

#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include "core/region.h"
#include "formats/dispatch.h"
#include "ui/common/file_progress.h"
#include "ui/common/paint_box.h"
#include "ui/common/recent_files.h"
#include "ui/edit/edit_window.h"
#include "ui/main/size_dialog.h"
#include "ui_support.h"

namespace zudizar {
namespace {

class EditWindowTest : public testing::AppTest {
 protected:
  TTAVOEDTF& Edit() { return app->edit(); }
  QAction* EditItem(const char* name) { return Edit().Action(QString::fromLatin1(name)); }
  // The picture, for a test to set up a few pixels.
  IndexedImage& Picture() { return WindowProbe::Doc(Edit()).Picture(); }
  template <typename Widget = QToolButton>
  Widget* Find(const char* name) {
    return Edit().findChild<Widget*>(QString::fromLatin1(name));
  }

  // A new picture of the size the dialog is given; no background colour.
  void NewPicture(int w, int h) {
    dialogs.QueueExec([w, h](QDialog& dialog) {
      auto& size = static_cast<TBtnRightDlg&>(dialog);
      size.Width = w;
      size.Height = h;
      return int(QDialog::Accepted);
    });
    dialogs.QueueAnswer(BoxAnswer::Cancel);
    Edit().MN_NEWClick();
  }
  // A mouse gesture in paint-area pixels through real mouse events.
  void Drag(Qt::MouseButton button, QPoint from, QPoint to) {
    QTest::mousePress(Edit().PaintBox1(), button, {}, from);
    QTest::mouseMove(Edit().PaintBox1(), to);
    QTest::mouseRelease(Edit().PaintBox1(), button, {}, to);
  }
  void SetUp() override {
    StartApp();
    Edit().show();
  }
};

TEST_F(EditWindowTest, MenuMarksFollowToolsAndPens) {
  // Start marks; a pen item checks itself only.
  for (const char* name : {"MN_EDITFREE", "MN_PENA8", "MN_KOTEICANCEL", "MN_VIEW1"})
    EXPECT_TRUE(EditItem(name)->isChecked()) << name;
  EditItem("MN_PENB4")->trigger();
  EXPECT_EQ(app->session().tools.penCode, 18);
  int checkedPens = 0;
  for (QAction* item : Edit().findChildren<QAction*>())
    if (item->property("penCode").isValid()) checkedPens += item->isChecked();
  EXPECT_EQ(checkedPens, 1);
  // Gradients press the fill button; the text button names its command.
  EditItem("MN_EDITGRADXX")->trigger();
  EXPECT_EQ(app->session().tools.tool, kToolGradientHorizontal);
  EXPECT_TRUE(Find("BTN_FUL")->isChecked());
  EXPECT_FALSE(EditItem("MN_EDITFREE")->isChecked());
  Find("SpeedButton9")->click();
  EXPECT_EQ(app->session().tools.tool, kToolSpray);
  EXPECT_TRUE(EditItem("MN_EDITSPRAY")->isChecked());
  EXPECT_EQ(Find("BTN_MOJI")->toolTip(), QStringLiteral("文字"));
}

TEST_F(EditWindowTest, NewPictureIsClampedAndScrollMaximaFollowTheZoom) {
  NewPicture(10, 500);
  EXPECT_EQ(Edit().EditImage().ImageWidth(), 24);
  EXPECT_EQ(Edit().EditImage().ImageHeight(), 240);

  NewPicture(100, 50);
  Edit().MN_VIEW4Click();  // 256 < 800 and 240 < 400: the display start is asked
  EXPECT_EQ(app->session().tools.tool, kToolStartFrame4);
  EXPECT_EQ(Edit().windowTitle(), QStringLiteral("表示開始位置をｸﾘｯｸして下さい"));
  Edit().MN_VIEW1Click();  // changed mind: the prompt goes with the waiting
  EXPECT_EQ(Edit().windowTitle(), QStringLiteral("編集ﾊﾟﾚｯﾄ "));
  Edit().MN_VIEW4Click();
  Drag(Qt::LeftButton, {0, 0}, {0, 0});
  EXPECT_EQ(Edit().Zoom(), 4);
  EXPECT_EQ(Find<QScrollBar>("ScrollBarX")->maximum(), 18);
  EXPECT_FALSE(Find<QScrollBar>("ScrollBarX")->isHidden());
  EXPECT_TRUE(Find<QScrollBar>("ScrollBarY")->isHidden());

  NewPicture(256, 240);
  Picture().At(224, 210) = 33;
  Picture().At(255, 239) = 44;
  Edit().MN_VIEW1Click();
  Edit().MN_VIEW8Click();
  Drag(Qt::LeftButton, {300, 300}, {300, 300});  // far outside: the last start
  EXPECT_EQ(Find<QScrollBar>("ScrollBarX")->maximum(), 112);
  EXPECT_EQ(Find<QScrollBar>("ScrollBarY")->maximum(), 105);
  EXPECT_EQ(Find<QScrollBar>("ScrollBarX")->value(), 112);
  EXPECT_EQ(Find<QScrollBar>("ScrollBarY")->value(), 105);
  EXPECT_EQ(Edit().ScreenImage().At(0, 0), 33);
  EXPECT_EQ(Edit().ScreenImage().At(255, 239), 44);
  EXPECT_EQ(Edit().windowTitle(), QStringLiteral("編集ﾊﾟﾚｯﾄ "));
}

TEST_F(EditWindowTest, APaletteChangeGivesTheAreaBesideASmallPictureItsGreyBack) {
  NewPicture(100, 50);
  ASSERT_EQ(Edit().ScreenImage().At(200, 100), 7);
  app->main().BlankAllCanvases();
  app->main().ApplyPalette();
  EXPECT_EQ(Edit().ScreenImage().At(200, 100), 7);
  EXPECT_EQ(Edit().ScreenImage().At(10, 10), 255);  // the new white picture
}

TEST_F(EditWindowTest, DisplayStartClickOrImmediateSwitch) {
  NewPicture(32, 240);
  Edit().MN_VIEW4Click();
  EXPECT_EQ(Edit().ViewMode(), 4);
  EXPECT_EQ(app->session().tools.tool, kToolFree);

  NewPicture(33, 31);
  Edit().MN_VIEW1Click();
  Edit().MN_VIEW4Click();
  EXPECT_EQ(Edit().ViewMode(), 0);
  EXPECT_EQ(app->session().tools.tool, kToolStartFrame4);
  QTest::mousePress(Edit().PaintBox1(), Qt::LeftButton, {}, QPoint(10, 6));
  EXPECT_EQ(Edit().windowTitle(), QStringLiteral("10x6"));
  // The frame shows what the 4× view will hold: 64 × 60 picture pixels.
  EXPECT_EQ(Edit().ScreenImage().At(10, 6), 7);
  EXPECT_EQ(Edit().ScreenImage().At(73, 65), 7);
  EXPECT_EQ(Edit().ScreenImage().At(11, 7), 255);
  QTest::mouseRelease(Edit().PaintBox1(), Qt::LeftButton, {}, QPoint(10, 6));
  EXPECT_EQ(Edit().ViewMode(), 4);
  EXPECT_EQ(app->session().tools.tool, kToolFree);
  EXPECT_TRUE(EditItem("MN_VIEW4")->isChecked());
  EXPECT_FALSE(EditItem("MN_VIEW1")->isChecked());
}

TEST_F(EditWindowTest, DrawingThroughTheMouseAtEachMagnification) {
  NewPicture(32, 30);
  struct Case {
    void (TTAVOEDTF::*view)();
    int zoom;
  };
  for (const Case& k :
       {Case{&TTAVOEDTF::MN_VIEW1Click, 1}, Case{&TTAVOEDTF::MN_VIEW4Click, 4}, Case{&TTAVOEDTF::MN_VIEW8Click, 8}}) {
    FillImage(Picture(), 255);
    (Edit().*k.view)();
    if (k.zoom > 1 && !EditItem("MN_VIEWGRID")->isChecked()) Edit().MN_VIEWGRIDClick();
    Edit().SetPen(3);
    // Round pen 8 at (10, 10): columns 7 … 14, rows 6 … 13.
    const QPoint at(10 * k.zoom + k.zoom / 2, 10 * k.zoom + k.zoom / 2);
    Drag(Qt::LeftButton, at, at);
    EXPECT_EQ(Edit().EditImage().At(7, 8), 249) << k.zoom;
    EXPECT_EQ(Edit().EditImage().At(14, 10), 249) << k.zoom;
    EXPECT_EQ(Edit().EditImage().At(15, 10), 255) << k.zoom;
    // A free line from (0, 10) to (3, 8) with pen 1 and the right button.
    Edit().SetPen(0);
    Drag(Qt::RightButton, QPoint(0, 10 * k.zoom), QPoint(3 * k.zoom, 8 * k.zoom));
    for (Point p : {Point{0, 10}, Point{1, 10}, Point{2, 9}, Point{3, 8}})
      EXPECT_EQ(Edit().EditImage().At(p.x, p.y), 252) << k.zoom << " " << p.x;
    // What the partial presents composed equals a whole recompose.
    const std::vector<std::uint8_t> shown = Edit().ScreenImage().pixels;
    Edit().RepaintView();
    EXPECT_EQ(shown, Edit().ScreenImage().pixels) << k.zoom;
  }
  // A drag that leaves the window draws nothing outside and still ends.
  QTest::mousePress(Edit().PaintBox1(), Qt::LeftButton, {}, QPoint(8, 8));
  QTest::mouseMove(Edit().PaintBox1(), QPoint(-500, 4000));
  QTest::mouseRelease(Edit().PaintBox1(), Qt::LeftButton, {}, QPoint(-500, 4000));
  EXPECT_FALSE(Edit().Dragging());
}

TEST_F(EditWindowTest, MoveToolSwapsQuartersInTheCentreLineView) {
  NewPicture(40, 30);
  IndexedImage& picture = Picture();
  picture.At(3, 4) = 10;    // in the top-left quarter
  picture.At(25, 20) = 11;  // in the bottom-right quarter
  Edit().MN_VIEWCENTERClick();
  EXPECT_TRUE(EditItem("MN_VIEWGRID")->isChecked());
  EXPECT_EQ(Edit().ScreenImage().At(19, 3), 7);  // the vertical centre line
  Edit().MN_EDITMOVEClick();
  Drag(Qt::LeftButton, {5, 5}, {30, 20});
  EXPECT_EQ(picture.At(23, 19), 10);  // the quarter landed at (20, 15)
  EXPECT_EQ(picture.At(3, 4), 10);    // and the source keeps its content
  EXPECT_EQ(picture.At(25, 20), 255);
  // The right button turns the quarter under it a quarter clockwise.
  QTest::mouseClick(Edit().PaintBox1(), Qt::RightButton, {}, QPoint(2, 2));
  EXPECT_EQ(picture.At(15 - 1 - 4, 3), 10);
  // In the standard view the right button rotates the whole picture.
  Edit().MN_VIEW1Click();
  picture.At(0, 0) = 12;
  QTest::mouseClick(Edit().PaintBox1(), Qt::RightButton, {}, QPoint(2, 2));
  EXPECT_EQ(picture.At(29, 0), 12);
}

TEST_F(EditWindowTest, UndoAfterStrokesAndAfterEnlarge) {
  NewPicture(100, 60);
  Edit().MN_EDITFREEClick();
  const std::vector<std::uint8_t> before = Edit().EditImage().pixels;
  Drag(Qt::LeftButton, {5, 5}, {40, 30});
  Drag(Qt::LeftButton, {60, 5}, {20, 50});
  ASSERT_NE(before, Edit().EditImage().pixels);
  Find("SpeedButton11")->click();
  EXPECT_EQ(before, Edit().EditImage().pixels);

  // The enlarge is a step of its own: undo gives back the smaller picture
  // with its stroke, redo the enlarged one.
  Drag(Qt::LeftButton, {5, 5}, {40, 30});
  const std::vector<std::uint8_t> drawn = Edit().EditImage().pixels;
  Edit().MN_EDITKAKUDAIClick();
  EXPECT_EQ(Edit().EditImage().ImageWidth(), 200);
  const std::vector<std::uint8_t> enlarged = Edit().EditImage().pixels;
  Edit().MN_EDITUNDOClick();
  EXPECT_EQ(Edit().EditImage().ImageWidth(), 100);
  EXPECT_EQ(drawn, Edit().EditImage().pixels);
  Edit().MN_EDITREDOClick();
  EXPECT_EQ(Edit().EditImage().ImageWidth(), 200);
  EXPECT_EQ(enlarged, Edit().EditImage().pixels);
}

TEST_F(EditWindowTest, RefusedSizesShowTheirMessageAndChangeNothing) {
  struct Case {
    int w, h;
    void (TTAVOEDTF::*command)();
    const char* text;
  };
  for (const Case& k : {Case{129, 10, &TTAVOEDTF::MN_EDITKAKUDAIClick, "サイズが大きい為、拡大出来ません。"},
                        Case{47, 100, &TTAVOEDTF::MN_EDITSYUKUSYOClick, "サイズが小さい為、縮小出来ません。"}}) {
    CreateImage(k.w, k.h, Picture());
    FillImage(Picture(), 5);
    dialogs.QueueAnswer(BoxAnswer::Ok);
    (Edit().*k.command)();
    EXPECT_EQ(dialogs.Boxes().back().text, QString::fromUtf8(k.text));
    EXPECT_EQ(dialogs.Boxes().back().caption, QStringLiteral("メッセージ"));
    EXPECT_EQ(Edit().windowTitle(), QStringLiteral("%1x%2").arg(k.w).arg(k.h));
    EXPECT_EQ(Edit().EditImage().ImageWidth(), k.w);
  }
  // The caption follows the size the picture gets afterwards; it never keeps
  // the size of the refusal.
  Edit().MN_EDITKAKUDAIClick();
  EXPECT_EQ(Edit().windowTitle(), QStringLiteral("94x200"));
  Edit().MN_EDITSYUKUSYOClick();
  EXPECT_EQ(Edit().windowTitle(), QStringLiteral("47x100"));
}

TEST_F(EditWindowTest, LargePictureIsCutAndAFailedOpenKeepsWhatWasThere) {
  IndexedImage big;
  CreateImage(640, 400, big);
  FillImage(big, 255);
  big.At(255, 239) = 249;
  big.At(256, 0) = 252;
  const std::string path = folder.File("大きい.BMP");
  ASSERT_TRUE(SavePictureFile(path, big));
  dialogs.QueueAnswer(BoxAnswer::Ok);
  Edit().OpenEditFile(path);
  ASSERT_FALSE(dialogs.Boxes().empty());
  EXPECT_EQ(dialogs.Boxes().back().text, QStringLiteral("サイズの調整で 640x400から256x240になります"));
  EXPECT_EQ(dialogs.Boxes().back().caption, QStringLiteral("サイズが大きすぎる為、一部分カットされます。"));
  EXPECT_EQ(Edit().EditImage().ImageWidth(), 256);
  EXPECT_EQ(Edit().EditImage().At(255, 239), 249);
  EXPECT_EQ(Edit().FileName(), path);
  EXPECT_EQ(Edit().windowTitle(), QStringLiteral("編集ﾊﾟﾚｯﾄ ") + QString::fromStdString(path));
  EXPECT_EQ(Edit().Recent()->Path(0), path);

  const std::string bad = folder.File("bad.BMP");
  testing::WriteText(bad, "BM not a picture");
  const std::size_t boxes = dialogs.Boxes().size();
  dialogs.QueueAnswer(BoxAnswer::Ok);
  Edit().OpenEditFile(bad);
  EXPECT_EQ(dialogs.Boxes().size(), boxes + 1);
  EXPECT_EQ(Edit().EditImage().At(255, 239), 249);
  EXPECT_EQ(Edit().FileName(), path);
  EXPECT_EQ(Edit().windowTitle(), QStringLiteral("編集ﾊﾟﾚｯﾄ ") + QString::fromStdString(path));
  EXPECT_EQ(Edit().Recent()->Path(0), path);
  EXPECT_TRUE(Edit().Recent()->Path(1).empty());
}

TEST_F(EditWindowTest, SaveAsAddsTheExtensionAndProgressShowsInTheCaption) {
  NewPicture(30, 30);
  Picture().At(1, 1) = 249;
  const QString stem = QString::fromStdString(folder.File("表a"));
  dialogs.QueueSaveFile(stem);
  Edit().MN_NEWSAVEClick();
  EXPECT_EQ(Edit().FileName(), stem.toStdString() + ".BMP");
  EXPECT_EQ(Edit().windowTitle(), QStringLiteral("編集ﾊﾟﾚｯﾄ ") + stem + QStringLiteral(".BMP"));
  IndexedImage saved;
  ASSERT_TRUE(LoadPictureFile((stem + QStringLiteral(".BMP")).toStdString(), saved));
  EXPECT_EQ(saved.At(1, 1), 249);
  // Saving leaves the recent list alone.
  EXPECT_TRUE(Edit().Recent()->Path(0).empty());
  FileProgressEvent prepare(40, 0), convert(75, 1);
  QCoreApplication::sendEvent(&Edit(), &prepare);
  EXPECT_EQ(Edit().windowTitle(), QStringLiteral("Prev 40% ") + QString::fromStdString(Edit().FileName()));
  QCoreApplication::sendEvent(&Edit(), &convert);
  EXPECT_EQ(Edit().windowTitle(), QStringLiteral("Conv 75% ") + QString::fromStdString(Edit().FileName()));
}

TEST_F(EditWindowTest, ClosingHidesAndUnchecksTheMainItem) {
  ASSERT_TRUE(Item("MN_EDIT")->isChecked());
  Edit().close();
  EXPECT_FALSE(Edit().isVisible());
  EXPECT_FALSE(Item("MN_EDIT")->isChecked());
  Edit().show();
  Edit().MN_HIDEClick();
  EXPECT_FALSE(Edit().isVisible());
}

}  // namespace
}  // namespace zudizar
