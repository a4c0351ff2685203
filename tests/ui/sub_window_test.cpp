#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QKeySequence>
#include <QMenuBar>

#include "base/file_io.h"
#include "formats/dispatch.h"
#include "ui/common/file_progress.h"
#include "ui/common/paint_box.h"
#include "ui/common/recent_files.h"
#include "ui/edit/edit_window.h"
#include "ui/main/main_window.h"
#include "ui/main/size_dialog.h"
#include "ui/sub/sub_window.h"
#include "ui_support.h"

namespace zudizar {
namespace {

using testing::ReadText;
using testing::WriteText;

class SubWindowTest : public testing::AppTest {
 protected:
  TTAVOSUBF& sub() { return app->sub(); }
  QAction* SubItem(const char* name) { return sub().Action(QString::fromLatin1(name)); }
};

TEST_F(SubWindowTest, MenuStartsWithoutAFrameAndListsRecentFiles) {
  StartApp();
  EXPECT_TRUE(SubItem("MN_MODERELEASE")->isChecked());
  EXPECT_EQ(SubItem("MN_FILEREOPEN7")->text(), QStringLiteral("(&7)"));
}

TEST_F(SubWindowTest, FrameItemsFormOneFamilyWithTheSubPalettesOwnHalfOffsets) {
  StartApp();
  SubItem("MN_MODEHALFLEFT")->trigger();
  SubItem("MN_MODE24")->trigger();
  SubItem("MN_MODE48")->trigger();
  EXPECT_EQ(sub().FrameSize(), 48);
  for (const char* other : {"MN_MODERELEASE", "MN_MODE24", "MN_MODE32", "MN_MODE192", "MN_MODECENTER"})
    EXPECT_FALSE(SubItem(other)->isChecked()) << other;
  EXPECT_TRUE(SubItem("MN_MODEHALFLEFT")->isChecked());
  // 48 div 2 − 1 = 23 columns to the right of the plain grid's column 47.
  EXPECT_EQ(sub().SubDisplayImage().At(47 + 23, 5), 248);
  EXPECT_EQ(sub().SubDisplayImage().At(47, 5), 255);
  EXPECT_EQ(sub().SubViewImage().At(47 + 23, 5), 255);
  SubItem("MN_MODEHALFLEFT")->trigger();
  SubItem("MN_MODE24")->trigger();
  EXPECT_EQ(sub().SubDisplayImage().At(23, 5), 248);
  EXPECT_EQ(sub().SubDisplayImage().At(5, 24), 248);
  SubItem("MN_MODERELEASE")->trigger();
  EXPECT_EQ(sub().SubDisplayImage().At(23, 5), 255);
  // What is composed is what the screen shows.
  FillRect(WindowProbe::Doc(sub()).Picture(), 0, 0, 2, 2, 249);
  sub().FillBackground(249);
  EXPECT_EQ(sub().PaintBox1()->grab().toImage().pixelColor(1, 1), QColor(255, 0, 0));
}

TEST_F(SubWindowTest, PickingOutlinesThePieceAndARightClickCancels) {
  StartApp();
  sub().StartSubTransfer(6);
  EXPECT_TRUE(SubItem("MN_EDITCOPY")->isChecked());
  // Before any click the piece is the one at the view's top-left.
  EXPECT_EQ(sub().PickRect(), (Rect{0, 0, 256, 240}));
  sub().PaintBox1MouseDown(Qt::LeftButton, 10, 20);
  EXPECT_EQ(sub().SubDisplayImage().At(10, 20), 248);
  EXPECT_EQ(sub().SubDisplayImage().At(265, 259), 248);
  EXPECT_EQ(sub().SubDisplayImage().At(11, 21), 255);
  sub().PaintBox1MouseMove(Qt::LeftButton, 500, 900);  // clamped onto the picture
  sub().PaintBox1MouseUp(Qt::LeftButton, 500, 900);
  EXPECT_EQ(sub().PickRect(), (Rect{500, 399, 256, 240}));
  EXPECT_EQ(sub().SubDisplayImage().At(10, 20), 255);
  EXPECT_EQ(sub().SubDisplayImage().At(639, 399), 248);
  EXPECT_EQ(sub().windowTitle(), QStringLiteral("確定をマウスクリックして下さい"));
  // An expose presents the outline without wiping it.
  const ColourTableEntry grey = sub().SubDisplayImage().colourTable[248];
  EXPECT_EQ(sub().PaintBox1()->grab().toImage().pixelColor(600, 399), QColor(grey.red, grey.green, grey.blue));
  sub().PaintBox1MouseDown(Qt::RightButton, 5, 5);
  EXPECT_EQ(sub().TransferMode(), 0);
  EXPECT_FALSE(SubItem("MN_EDITCOPY")->isChecked());
  EXPECT_EQ(sub().SubDisplayImage().At(639, 399), 255);
  // Without a transfer the mouse does nothing.
  sub().PaintBox1MouseDown(Qt::LeftButton, 10, 20);
  EXPECT_EQ(sub().SubDisplayImage().At(10, 20), 255);
}

TEST_F(SubWindowTest, EdgeCutTakesTheWholePicturesCornerColour) {
  StartApp();
  IndexedImage& picture = WindowProbe::Doc(sub()).Picture();
  const int w = picture.ImageWidth(), h = picture.ImageHeight();
  picture.At(0, 0) = 5;
  picture.At(0, h - 1) = 9;
  picture.At(w - 1, h - 1) = 9;
  picture.At(w - 1, 0) = 7;
  sub().StartSubTransfer(7);
  EXPECT_EQ(sub().TransferTransparent(), 9);
  sub().StartSubTransfer(6);
  EXPECT_EQ(sub().TransferTransparent(), kNoTransparent);
  EXPECT_FALSE(SubItem("MN_EDITCOPYR")->isChecked());
  sub().MN_REALClick();
  EXPECT_EQ(sub().TransferMode(), 0);
  EXPECT_EQ(sub().windowTitle(), QStringLiteral("ｻﾌﾞﾊﾟﾚｯﾄ "));
}

TEST_F(SubWindowTest, NewWithARefusedSizeKeepsThePicture) {
  StartApp();
  FillRect(WindowProbe::Doc(sub()).Picture(), 0, 0, 4, 4, 7);
  for (int width : {0, -5}) {
    dialogs.QueueExec([width](QDialog& dialog) {
      static_cast<TBtnRightDlg&>(dialog).Width = width;
      return int(QDialog::Accepted);
    });
    sub().MN_NEWClick();
    EXPECT_EQ(sub().SubPictureImage().ImageWidth(), 640);
    EXPECT_EQ(sub().SubPictureImage().At(1, 1), 7);
  }
  // A usable size makes a white picture; OK to the question asks for a background colour.
  dialogs.QueueExec([](QDialog& dialog) {
    auto& size = static_cast<TBtnRightDlg&>(dialog);
    size.Width = 100;
    size.Height = 60;
    return int(QDialog::Accepted);
  });
  dialogs.QueueAnswer(BoxAnswer::Ok);
  sub().MN_NEWClick();
  EXPECT_EQ(sub().SubPictureImage().ImageWidth(), 100);
  EXPECT_EQ(sub().SubDisplayImage().ImageHeight(), 60);
  EXPECT_EQ(sub().PaintBox1()->size(), QSize(100, 60));
  EXPECT_EQ(sub().SubPictureImage().At(1, 1), 255);
  EXPECT_EQ(dialogs.Boxes().back().caption, QStringLiteral("背景色選択"));
  EXPECT_EQ(static_cast<int>(app->session().Background()), 2);
  EXPECT_FALSE(sub().Busy());
}

TEST_F(SubWindowTest, OpenListsOnlyFilesThatOpenedAndAFailureKeepsEverything) {
  const std::string good = WritePicture("表ソ.BMP", 30, 20, 249);
  const std::string bad = folder.File("bad.BMP");
  WriteText(bad, "BM but not a picture");
  StartApp();
  dialogs.QueueOpenFile(QString::fromStdString(good));
  sub().MN_OPENClick();
  EXPECT_EQ(sub().SubPictureImage().ImageWidth(), 30);
  EXPECT_EQ(sub().SubPictureImage().At(3, 3), 249);
  EXPECT_EQ(sub().PaintBox1()->size(), QSize(30, 20));
  EXPECT_EQ(sub().windowTitle(), QStringLiteral("ｻﾌﾞﾊﾟﾚｯﾄ ") + QString::fromStdString(good));

  dialogs.QueueAnswer(BoxAnswer::Ok);
  sub().OpenSubFile(bad);
  ASSERT_FALSE(dialogs.Boxes().empty());
  EXPECT_EQ(sub().SubPictureImage().ImageWidth(), 30);
  EXPECT_EQ(sub().FileName(), good);
  EXPECT_EQ(sub().windowTitle(), QStringLiteral("ｻﾌﾞﾊﾟﾚｯﾄ ") + QString::fromStdString(good));
  EXPECT_EQ(sub().Recent()->Path(0), good);
  EXPECT_TRUE(sub().Recent()->Path(1).empty());
  // Save after the failed load writes the picture that is shown, not over the bad file.
  sub().MN_SAVEClick();
  EXPECT_EQ(ReadText(bad), "BM but not a picture");
  IndexedImage back;
  ASSERT_TRUE(LoadPictureFile(good, back));
  EXPECT_EQ(back.ImageWidth(), 30);
  // The list survives a restart under "Sname".
  StopApp();
  EXPECT_NE(ReadText(SettingsFile()).find("Sname=" + good), std::string::npos);
  StartApp();
  EXPECT_EQ(sub().Recent()->Path(0), good);
  sub().Recent()->Item(0)->trigger();
  EXPECT_EQ(sub().SubPictureImage().ImageWidth(), 30);
}

TEST_F(SubWindowTest, SaveAsAddsBmpAndProgressCaptionsNameThePhase) {
  StartApp();
  dialogs.QueueSaveFile(QString::fromStdString(folder.File("PIC")));
  sub().MN_SAVEClick();
  const std::string saved = folder.File("PIC.BMP");
  EXPECT_TRUE(FileExists(saved));
  EXPECT_EQ(sub().windowTitle(), QStringLiteral("ｻﾌﾞﾊﾟﾚｯﾄ ") + QString::fromStdString(saved));
  for (const auto& [phase, caption] : {std::pair{0, "Prev "}, {1, "Conv "}, {2, "Conv "}}) {
    FileProgressEvent progress(40, phase);
    QCoreApplication::sendEvent(&sub(), &progress);
    EXPECT_EQ(sub().windowTitle(), QString::fromLatin1(caption) + "40% " + QString::fromStdString(saved));
  }
}

TEST_F(SubWindowTest, ClientSizeIsKeptAsOneMeasure) {
  StartApp();
  sub().show();
  sub().resize(400, 300);
  sub().Action(QStringLiteral("MN_HIDE"))->trigger();
  EXPECT_FALSE(sub().isVisible());
  EXPECT_FALSE(app->main().Action(QStringLiteral("MN_SUB"))->isChecked());
  EXPECT_NE(ReadText(SettingsFile()).find("SUBWidth=400"), std::string::npos);
  StopApp();
  EXPECT_NE(ReadText(SettingsFile()).find("SUBHeight=300"), std::string::npos);
  StartApp();
  EXPECT_EQ(sub().size(), QSize(400, 300));
}

TEST_F(SubWindowTest, ConfirmCopiesThePickedPieceAndCancelLeavesTheEditPictureAlone) {
  StartApp();
  TTAVOEDTF& edit = app->edit();
  FillImage(WindowProbe::Doc(edit).Picture(), 7);
  FillRect(WindowProbe::Doc(sub()).Picture(), 100, 50, 256, 240, 249);
  FillRect(WindowProbe::Doc(sub()).Picture(), 100, 50, 2, 2, 255);
  // Edge cut from the menu: the sub picture's white corners stay out.
  SubItem("MN_EDITCOPYR")->trigger();
  EXPECT_EQ(sub().TransferMode(), 7);
  EXPECT_EQ(sub().windowTitle(), kSubPickPrompt);
  sub().PaintBox1MouseDown(Qt::LeftButton, 100, 50);
  sub().PaintBox1MouseUp(Qt::LeftButton, 100, 50);
  EXPECT_EQ(edit.EditImage().At(0, 0), 7);  // only a preview so far
  sub().Action(QStringLiteral("MN_REAL"))->trigger();
  EXPECT_EQ(edit.EditImage().At(0, 0), 7);
  EXPECT_EQ(edit.EditImage().At(5, 5), 249);
  EXPECT_EQ(sub().TransferMode(), 0);
  EXPECT_EQ(sub().windowTitle(), QStringLiteral("ｻﾌﾞﾊﾟﾚｯﾄ "));
  // A right click while picking copies nothing.
  FillImage(WindowProbe::Doc(edit).Picture(), 7);
  SubItem("MN_EDITCOPY")->trigger();
  sub().PaintBox1MouseDown(Qt::LeftButton, 100, 50);
  sub().PaintBox1MouseDown(Qt::RightButton, 100, 50);
  sub().PaintBox1DblClick();
  EXPECT_EQ(edit.EditImage().At(5, 5), 7);
  EXPECT_EQ(sub().TransferMode(), 0);
  // Through the edit palette's own item, and confirmed before any click:
  // the piece at the view's top-left.
  edit.SetTransferMode(6);
  sub().StartSubTransfer(0);
  EXPECT_EQ(edit.EditImage().At(0, 0), 255);
}

TEST_F(SubWindowTest, ExchangeSwapsPicturesWithTheirNamesSoASaveWritesEachToItsOwnFile) {
  const std::string path = WritePicture("sub.BMP", 30, 20, 249);
  const std::string mainPath = folder.File("main.BMP");
  StartApp();
  sub().OpenSubFile(path);
  TForm1& main = app->main();
  FillImage(WindowProbe::Doc(main).Picture(), 7);
  WindowProbe::Doc(main).SetFileName(mainPath);
  WindowProbe::MarkChanged(main);
  SubItem("MN_MODE24")->trigger();
  SubItem("MN_MAINCOPY")->trigger();
  EXPECT_EQ(main.PictureImage().ImageWidth(), 30);
  EXPECT_EQ(main.PictureImage().At(1, 1), 249);
  EXPECT_EQ(sub().SubPictureImage().ImageWidth(), 640);
  EXPECT_EQ(sub().SubPictureImage().At(1, 1), 7);
  EXPECT_EQ(sub().PaintBox1()->size(), QSize(640, 400));
  // What the sub palette shows is the new picture with its frame grid.
  EXPECT_EQ(sub().SubDisplayImage().At(1, 1), 7);
  EXPECT_EQ(sub().SubDisplayImage().At(23, 1), 248);
  // Each picture keeps its name and flag, and each caption names its own file.
  EXPECT_EQ(main.CurrentFileName(), path);
  EXPECT_EQ(sub().FileName(), mainPath);
  EXPECT_EQ(main.windowTitle(), QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ ") + QString::fromStdString(path));
  EXPECT_EQ(sub().windowTitle(), QStringLiteral("ｻﾌﾞﾊﾟﾚｯﾄ ") + QString::fromStdString(mainPath));
  EXPECT_FALSE(main.Modified());
  EXPECT_TRUE(sub().Modified());
  EXPECT_FALSE(SubItem("MN_MAINCOPY")->isChecked());
  // F9 on each canvas writes the picture it shows to that picture's own file.
  main.MN_SAVEClick();
  sub().MN_SAVEClick();
  IndexedImage written;
  ASSERT_TRUE(LoadPictureFile(path, written));
  EXPECT_EQ(written.ImageWidth(), 30);
  EXPECT_EQ(written.At(1, 1), 249);
  ASSERT_TRUE(LoadPictureFile(mainPath, written));
  EXPECT_EQ(written.ImageWidth(), 640);
  EXPECT_EQ(written.At(1, 1), 7);
  EXPECT_FALSE(sub().Modified());
  // The main palette's own item exchanges back; the sub palette shows what arrived.
  main.Action(QStringLiteral("MN_SUBCOPY"))->trigger();
  EXPECT_EQ(sub().SubPictureImage().ImageWidth(), 30);
  EXPECT_EQ(sub().SubDisplayImage().At(1, 1), 249);
  EXPECT_EQ(sub().SubDisplayImage().At(23, 1), 248);
  // With no picture on the sub palette nothing happens.
  FreeImage(WindowProbe::Doc(sub()).Picture());
  SubItem("MN_MAINCOPY")->trigger();
  EXPECT_EQ(main.PictureImage().ImageWidth(), 640);
  EXPECT_FALSE(sub().SubPictureImage().HasPixels());
}

}  // namespace
}  // namespace zudizar
