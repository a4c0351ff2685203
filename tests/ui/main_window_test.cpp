#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>

#include "base/settings.h"
#include "base/trace.h"
#include "core/pixel_ops.h"
#include "core/region.h"
#include "ui/colour/colour_window.h"
#include "ui/common/file_progress.h"
#include "ui/common/paint_box.h"
#include "ui/common/recent_files.h"
#include "ui/edit/edit_window.h"
#include "ui/edit/text_input.h"
#include "ui/main/size_dialog.h"
#include "ui/sub/sub_window.h"
#include "ui_support.h"

namespace zudizar {
namespace {

using testing::AppTest;
using testing::ReadText;
using testing::WriteText;

class MainWindowTest : public AppTest {};

TEST_F(MainWindowTest, FirstStartUsesDesignValues) {
  StartApp();
  TForm1& main = app->main();
  EXPECT_EQ(main.windowTitle(), QStringLiteral("ﾐﾗﾙｶ貼り絵　v0.46"));
  EXPECT_EQ(main.x(), 240);
  EXPECT_EQ(main.y(), 2);
  EXPECT_EQ(main.width(), 435);
  EXPECT_EQ(main.height(), 300);
  for (int k = 0; k < 8; ++k) {
    QAction* item = main.Recent()->Item(k);
    EXPECT_FALSE(item->isVisible()) << k;
    EXPECT_EQ(item->text(), QStringLiteral("(&%1)").arg(k));
  }
  EXPECT_EQ(main.PaintBox1()->AreaWidth(), 640);
  EXPECT_EQ(main.PaintBox1()->AreaHeight(), 400);
  ASSERT_TRUE(main.PictureImage().HasPixels());
  EXPECT_EQ(main.PictureImage().ImageWidth(), 640);
  EXPECT_EQ(main.PictureImage().ImageHeight(), 400);
  for (auto p : main.PictureImage().pixels) ASSERT_EQ(p, 255);
  for (auto p : main.ViewImage().pixels) ASSERT_EQ(p, 255);
  EXPECT_EQ(app->session().LeftColour(), 249);
  EXPECT_EQ(app->session().RightColour(), 252);
  EXPECT_EQ(app->edit().EditImage().ImageWidth(), 256);
  EXPECT_EQ(app->edit().EditImage().ImageHeight(), 240);
  EXPECT_EQ(main.Mode(), 0);
  EXPECT_EQ(SharedPalette.current, DefaultPalette);
  // The settings file and section are fixed from the program file.
  EXPECT_EQ(SettingsPath(), SettingsFile());
  EXPECT_EQ(SettingsSection(), "zudizar");
  // The trace log is recreated with its first line.
  EXPECT_EQ(ReadText(folder.File("TAVOTRC.LOG")), "TRACE ON\n");
  // No settings file until something writes one.
  EXPECT_FALSE(QFile::exists(QString::fromStdString(SettingsFile())));
}

TEST_F(MainWindowTest, WindowsAreCreatedWithTheirCaptionsAndSizes) {
  StartApp();
  EXPECT_EQ(app->edit().windowTitle(), QStringLiteral("編集パレット"));
  EXPECT_EQ(app->sub().windowTitle(), QStringLiteral("ﾐﾗﾙｶ貼り絵ｻﾌﾞﾊﾟﾚｯﾄ"));
  EXPECT_EQ(app->colour().windowTitle(), QStringLiteral("カラーパレット"));
  EXPECT_EQ(app->textInput().windowTitle(), QStringLiteral("文字入力"));
  EXPECT_EQ(app->sizeDialog().windowTitle(), QStringLiteral("サイズ変更ダイアログ"));
  EXPECT_EQ(app->edit().pos(), QPoint(-1, 21));
  EXPECT_EQ(app->edit().size(), QSize(287, 379));
  // The sub palette takes the edit palette's size when nothing is saved.
  EXPECT_EQ(app->sub().pos(), QPoint(288, 301));
  EXPECT_EQ(app->sub().size(), app->edit().size());
  EXPECT_EQ(app->colour().pos(), QPoint(1, 7));
  EXPECT_EQ(app->colour().PaintBox1->size(), QSize(512, 128));
  EXPECT_EQ(app->textInput().pos(), QPoint(200, 64));
  ASSERT_TRUE(app->sub().SubPictureImage().HasPixels());
  EXPECT_EQ(app->sub().SubPictureImage().pixels.front(), 255);
  EXPECT_EQ(app->edit().EditImage().ImageWidth(), 256);
  EXPECT_EQ(app->edit().EditImage().ImageHeight(), 240);
}

TEST_F(MainWindowTest, MenuKeepsItsSeparatorsMarksAndOrder) {
  StartApp();
  for (const char* separator : {"MN_DUMMY1", "MN_DUMMY3", "DUMMYXX", "MN_DUMMY2"}) {
    ASSERT_NE(Item(separator), nullptr) << separator;
    EXPECT_TRUE(Item(separator)->isSeparator()) << separator;
  }
  // Check marks at start.
  EXPECT_TRUE(Item("MN_MODERELEASE")->isChecked());
  EXPECT_TRUE(Item("MN_EDIT")->isChecked());
  EXPECT_FALSE(Item("MN_SUB")->isChecked());
  EXPECT_FALSE(Item("MN_MODE24")->isChecked());
  // The top-level menus in order, with the confirm item among them.
  QStringList top;
  for (QAction* action : app->main().menuBar()->actions()) top << action->text();
  EXPECT_EQ(top, (QStringList{QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("固定枠設定(&T)"), QStringLiteral("表示(&V)"),
                              QStringLiteral("確定(&R)"), QStringLiteral("ﾍﾙﾌﾟ(&H)")}));
  // The file menu keeps the defined order of its items and separators.
  QStringList order;
  for (QAction* action : app->main().menuBar()->actions().front()->menu()->actions()) order << action->objectName();
  EXPECT_EQ(order, (QStringList{"MN_NEW",        "MN_OPEN",       "MN_FILEREOPEN",  "MN_SAVE",        "MN_NEWSAVE",
                                "MN_MAGINFO",    "MN_DUMMYUNDO",  "MN_MAINUNDO",    "MN_MAINREDO",    "MN_CLIPCOPY",
                                "MN_CLIPPASTE",  "MN_EDITTOCOPY", "MN_EDITTOCOPYR", "MN_EDITTOMOVE",  "MN_EDITCOPY",
                                "MN_EDITCOPYR",  "MN_SUBCOPY",    "MN_MAINTOCOPY",  "MN_MAINTOCOPYR", "MN_DUMMY1",
                                "MN_MAINCOPY",   "MN_MAINMOVE",   "MN_MAINCHANGE",  "MN_MAINJIGS",    "MN_DUMMY3",
                                "MN_HensyuMode", "DUMMYXX",       "MN_END"}));
}

TEST_F(MainWindowTest, ClosingWritesKeysAndRestartRestoresGeometry) {
  StartApp();
  app->main().move(100, 50);
  app->main().resize(500, 350);
  StopApp();
  const std::string ini = ReadText(SettingsFile());
  EXPECT_NE(ini.find("[zudizar]"), std::string::npos);
  const auto left = ini.find("CutLeft=100");
  const auto top = ini.find("CutTop=50");
  const auto width = ini.find("CutWidth=500");
  const auto height = ini.find("CutHeight=350");
  ASSERT_NE(left, std::string::npos);
  ASSERT_NE(height, std::string::npos);
  // Written in the order left, top, width, height.
  EXPECT_LT(left, top);
  EXPECT_LT(top, width);
  EXPECT_LT(width, height);
  EXPECT_NE(ini.find("Fname7="), std::string::npos);
  EXPECT_NE(ini.find("EDTLeft="), std::string::npos);
  EXPECT_NE(ini.find("SUBWidth="), std::string::npos);
  EXPECT_NE(ini.find("PALLeft="), std::string::npos);
  EXPECT_NE(ini.find("Form2Left="), std::string::npos);

  StartApp();
  EXPECT_EQ(app->main().pos(), QPoint(100, 50));
  EXPECT_EQ(app->main().size(), QSize(500, 350));
}

TEST_F(MainWindowTest, CloseWaitsWhileALoadIsBusy) {
  StartApp();
  WindowProbe::SetBusy(app->main(), true);
  app->main().close();
  EXPECT_FALSE(QFile::exists(QString::fromStdString(SettingsFile())));
  EXPECT_TRUE(app->main().PictureImage().HasPixels());
  WindowProbe::SetBusy(app->main(), false);
  app->main().close();
  EXPECT_NE(ReadText(SettingsFile()).find("CutLeft="), std::string::npos);
}

TEST_F(MainWindowTest, SaveQuestionCancelKeepsTheWindowAndNoClosesWithoutSaving) {
  StartApp();
  TForm1& main = app->main();
  FillRect(WindowProbe::Doc(main).Picture(), 0, 0, 2, 2, 3);
  WindowProbe::MarkChanged(main);
  dialogs.QueueAnswer(BoxAnswer::Cancel);
  main.close();
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  const auto& box = dialogs.Boxes()[0];
  EXPECT_EQ(box.text, QStringLiteral("描画域が更新されています、内容を保存しますか？"));
  EXPECT_EQ(box.caption, QStringLiteral("確認メッセージ"));
  EXPECT_EQ(box.buttons, BoxButtons::YesNoCancel);
  EXPECT_EQ(box.icon, BoxIcon::Information);
  // Cancel: still open, picture and flag kept, nothing written.
  EXPECT_TRUE(main.Modified());
  EXPECT_EQ(ReadPixel(main.PictureImage(), 1, 1), 3);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(SettingsFile())));

  // No: closes without saving and writes the keys.
  dialogs.QueueAnswer(BoxAnswer::No);
  main.close();
  EXPECT_FALSE(main.PictureImage().HasPixels());  // the destruction steps ran
  EXPECT_NE(ReadText(SettingsFile()).find("CutLeft="), std::string::npos);
  app.reset();

  // An unmodified canvas closes without a question.
  StartApp();
  StopApp();
  EXPECT_EQ(dialogs.Boxes().size(), 2u);
}

TEST_F(MainWindowTest, RecentFilesSurviveARestartAndVanishedFilesLeave) {
  const std::string kept = folder.File("表ソ能.BMP");
  const std::string gone = folder.File("gone.BMP");
  WriteText(kept, "x");
  WriteText(SettingsFile(), "[zudizar]\nFname=" + kept + "\nFname1=" + gone + "\nFname2=" + kept + "\n");
  StartApp();
  RecentFileList& recent = *app->main().Recent();
  EXPECT_TRUE(recent.Item(0)->isVisible());
  EXPECT_EQ(recent.Caption(0), QStringLiteral("(&0) ") + QString::fromStdString(kept));
  EXPECT_FALSE(recent.Item(1)->isVisible());
  EXPECT_EQ(recent.Caption(1), QStringLiteral("(&1)"));
  EXPECT_TRUE(recent.Item(2)->isVisible());
  StopApp();
  const std::string ini = ReadText(SettingsFile());
  EXPECT_NE(ini.find("Fname=" + kept), std::string::npos);
  EXPECT_NE(ini.find("Fname1=\n"), std::string::npos);
  EXPECT_NE(ini.find("Fname2=" + kept), std::string::npos);
}

TEST_F(MainWindowTest, RecentListMovesToTopWithoutDuplicatesAndKeepsEight) {
  StartApp();
  RecentFileList& recent = *app->main().Recent();
  recent.Add("/a");
  recent.Add("/b");
  recent.Add("/a");
  EXPECT_EQ(recent.Path(0), "/a");
  EXPECT_EQ(recent.Path(1), "/b");
  EXPECT_TRUE(recent.Path(2).empty());
  EXPECT_FALSE(recent.Item(2)->isVisible());
  for (int i = 0; i < 9; ++i) recent.Add("/f" + std::to_string(i));
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(recent.Path(k), "/f" + std::to_string(8 - k));
    EXPECT_EQ(recent.Caption(k), QStringLiteral("(&%1) /f%2").arg(k).arg(8 - k));
  }
  // A path with '&' is shown literally and kept exactly.
  recent.Add("/x&y");
  EXPECT_EQ(recent.Path(0), "/x&y");
  EXPECT_EQ(recent.Item(0)->text(), "(&0) /x&&y");
}

TEST_F(MainWindowTest, BadSettingsFilesStartWithDesignValues) {
  std::string garbage(4096, '\0');
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 131) & 0xFF);
  garbage += "\n[zudizar]\nCutLeft=abc\nCutTop=\nCutWidth=" + std::string(10 * 1024 * 1024, '9') + "\n";
  WriteText(SettingsFile(), garbage);
  StartApp();
  EXPECT_EQ(app->main().pos(), QPoint(240, 2));
  EXPECT_EQ(app->main().size(), QSize(435, 300));
  StopApp();
  // Every other line is kept when the keys are written.
  const std::string ini = ReadText(SettingsFile());
  EXPECT_EQ(ini.substr(0, 4096), garbage.substr(0, 4096));
  EXPECT_NE(ini.find("CutLeft=240"), std::string::npos);
}

TEST_F(MainWindowTest, UnwritableSettingsFileIsReportedOnce) {
  StartApp();
  // A folder in place of the settings file cannot be written.
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(SettingsFile())));
  dialogs.QueueAnswer(BoxAnswer::Ok);
  app->main().FormDestroy();
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_EQ(dialogs.Boxes()[0].text, QString::fromStdString(SettingsFile()) + QStringLiteral(" に書き込めません"));
  // The failed write ends the steps: the buffers are still there.
  EXPECT_TRUE(app->main().PictureImage().HasPixels());
  // The other windows report their own failures.
  for (int i = 0; i < 4; ++i) dialogs.QueueAnswer(BoxAnswer::Ok);
  StopApp();
}

TEST_F(MainWindowTest, ApplyPaletteReachesEveryShownBufferAndOnlyTheFreeEntries) {
  StartApp();
  TForm1& main = app->main();
  for (int i = 0; i < 256; ++i) SharedPalette.pending[i] = {1, 2, 3, 0};
  main.ApplyPalette();
  EXPECT_EQ(SharedPalette.current, SharedPalette.pending);
  // Whatever a user can see or save follows the free entries and keeps the reserved ones.
  const IndexedImage mainShown = main.DisplayImage(), subShown = app->sub().SubDisplayImage();
  const IndexedImage* shown[] = {&main.PictureImage(),       &main.ViewImage(),
                                 &mainShown,                 &app->sub().SubPictureImage(),
                                 &app->sub().SubViewImage(), &subShown,
                                 &app->edit().EditImage(),   &app->colour().SwatchGridImage()};
  for (const IndexedImage* image : shown) {
    for (int i = 0; i < 256; ++i) {
      const bool free = i >= 10 && i <= 245;
      const ColourTableEntry expected =
          free ? ColourTableEntry{3, 2, 1, 0}
               : ColourTableEntry{DefaultPalette[i].blue, DefaultPalette[i].green, DefaultPalette[i].red, 0};
      ASSERT_EQ(image->colourTable[i], expected) << i;
    }
  }
}

TEST_F(MainWindowTest, ProgressCaptionsNameThePhase) {
  StartApp();
  TForm1& main = app->main();
  WindowProbe::Doc(main).SetFileName("/w/A.JPG");
  FileProgressEvent load(40, 1);
  QCoreApplication::sendEvent(&main, &load);
  EXPECT_EQ(main.windowTitle(), QStringLiteral("ﾃﾞｰﾀﾛｰﾄﾞ 40% /w/A.JPG"));
  FileProgressEvent prepare(0, 0);
  QCoreApplication::sendEvent(&main, &prepare);
  EXPECT_EQ(main.windowTitle(), QStringLiteral("ﾛｰﾄﾞ準備 0% /w/A.JPG"));
  FileProgressEvent reduce(75, 2);
  QCoreApplication::sendEvent(&main, &reduce);
  EXPECT_EQ(main.windowTitle(), QStringLiteral("ﾊﾟﾚｯﾄ減色 75% /w/A.JPG"));
}

TEST_F(MainWindowTest, ShowAndHideEditAndSubPalettes) {
  StartApp();
  TForm1& main = app->main();
  app->edit().show();
  main.MN_EDITClick();
  EXPECT_FALSE(app->edit().isVisible());
  EXPECT_FALSE(Item("MN_EDIT")->isChecked());
  // Hiding writes the edit palette's position.
  EXPECT_NE(ReadText(SettingsFile()).find("EDTLeft="), std::string::npos);
  Item("MN_EDIT")->trigger();
  EXPECT_TRUE(app->edit().isVisible());
  EXPECT_TRUE(Item("MN_EDIT")->isChecked());
  Item("MN_SUB")->trigger();
  EXPECT_TRUE(app->sub().isVisible());
  EXPECT_TRUE(Item("MN_SUB")->isChecked());
  main.MN_SUBClick();
  EXPECT_FALSE(app->sub().isVisible());
  EXPECT_NE(ReadText(SettingsFile()).find("SUBLeft="), std::string::npos);
}

TEST_F(MainWindowTest, FrameItemsKeepOneCheckAndComposeTheGrid) {
  StartApp();
  TForm1& main = app->main();
  Item("MN_MODE24")->trigger();
  EXPECT_EQ(main.FrameSize(), 24);
  EXPECT_TRUE(Item("MN_MODE24")->isChecked());
  EXPECT_FALSE(Item("MN_MODERELEASE")->isChecked());
  main.PaintBox1()->grab();  // paints
  EXPECT_EQ(main.DisplayImage().At(23, 5), 248);
  EXPECT_EQ(main.DisplayImage().At(5, 24), 248);
  EXPECT_EQ(main.DisplayImage().At(5, 5), 255);
  EXPECT_EQ(main.ViewImage().At(23, 5), 255);  // the grid lives only in the display
  Item("MN_MODEHALFLEFT")->trigger();
  EXPECT_TRUE(Item("MN_MODEHALFLEFT")->isChecked());
  main.PaintBox1()->grab();
  EXPECT_EQ(main.DisplayImage().At(11, 5), 248);
  EXPECT_EQ(main.DisplayImage().At(23, 5), 255);
  Item("MN_MODECENTER")->trigger();
  EXPECT_EQ(main.FrameSize(), 1);
  EXPECT_FALSE(Item("MN_MODE24")->isChecked());
  Item("MN_MODERELEASE")->trigger();
  EXPECT_EQ(main.FrameSize(), 0);
  main.PaintBox1()->grab();
  EXPECT_EQ(main.DisplayImage().At(11, 5), 255);
}

TEST_F(MainWindowTest, CanvasIsDrawnWithThePictureColours) {
  StartApp();
  TForm1& main = app->main();
  FillRect(*WindowProbe::View(main).DrawView(), 0, 0, 3, 2, 249);  // red
  WindowProbe::View(main).Compose({0, 0, 3, 2});
  const QImage shot = main.PaintBox1()->grab().toImage();
  EXPECT_EQ(shot.pixelColor(0, 0), QColor(255, 0, 0));
  EXPECT_EQ(shot.pixelColor(2, 1), QColor(255, 0, 0));
  EXPECT_EQ(shot.pixelColor(3, 0), QColor(255, 255, 255));
  EXPECT_EQ(shot.pixelColor(0, 2), QColor(255, 255, 255));
}

TEST_F(MainWindowTest, BlankingShowsWhiteUntilThePaletteIsApplied) {
  StartApp();
  TForm1& main = app->main();
  FillImage(*WindowProbe::View(main).DrawView(), 0);
  WindowProbe::SetBusy(main, true);  // a load in progress
  main.BlankAllCanvases();
  EXPECT_EQ(main.PaintBox1()->grab().toImage().pixelColor(5, 5), QColor(255, 255, 255));
  WindowProbe::SetBusy(main, false);
  main.ApplyPalette();
  EXPECT_EQ(main.PaintBox1()->grab().toImage().pixelColor(5, 5), QColor(0, 0, 0));
}

TEST_F(MainWindowTest, PaletteToolThatCannotStartIsReported) {
  StartApp();
  programStarts = false;
  dialogs.QueueAnswer(BoxAnswer::Ok);
  app->main().MN_ROREZURUClick();
  ASSERT_EQ(startedPrograms.size(), 1u);
  EXPECT_EQ(startedPrograms[0], QStringLiteral("ROREZURU.EXE"));
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_EQ(dialogs.Boxes()[0].text, QStringLiteral("ｶﾗｰﾊﾟﾚｯﾂ作成ﾂｰﾙを実行出来ませんでした"));
  EXPECT_EQ(dialogs.Boxes()[0].caption, QStringLiteral("呼び出しエラー"));
  EXPECT_EQ(dialogs.Boxes()[0].icon, BoxIcon::Information);
  programStarts = true;
  app->main().MN_ROREZURUClick();
  EXPECT_EQ(dialogs.Boxes().size(), 1u);
}

TEST_F(MainWindowTest, HelpOpensTheManualInTheProgramFolder) {
  WriteText(folder.File("ZUDIZAR.html"), "<html></html>");
  StartApp();
  app->main().MN_HELPEXClick();
  ASSERT_EQ(openedUrls.size(), 1u);
  EXPECT_EQ(openedUrls[0].toLocalFile(), QString::fromStdString(folder.File("ZUDIZAR.html")));
}

TEST_F(MainWindowTest, VersionShowsTheAboutBox) {
  StartApp();
  QString title;
  dialogs.QueueExec([&title](QDialog& dialog) {
    title = dialog.windowTitle();
    return int(QDialog::Accepted);
  });
  app->main().MN_VERSIONClick();
  EXPECT_EQ(title, QStringLiteral("バージョン情報"));
}

TEST_F(MainWindowTest, TextInputEchoesIntoTheEditPalette) {
  StartApp();
  app->textInput().Edit1->setText(QStringLiteral("貼り絵"));
  EXPECT_EQ(app->session().tools.text.text, std::string("貼り絵"));
  EXPECT_EQ(app->edit().windowTitle(), QStringLiteral("貼り絵"));
}

}  // namespace
}  // namespace zudizar
