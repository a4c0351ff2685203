#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <filesystem>
#include <functional>

#include "base/file_io.h"
#include "formats/bmp.h"
#include "formats/dispatch.h"
#include "ui/common/paint_box.h"
#include "ui/common/recent_files.h"
#include "ui/edit/edit_window.h"
#include "ui_support.h"

namespace zudizar {
namespace {

using testing::ReadText;
using testing::WriteText;

class FileCommandsTest : public testing::AppTest {
 protected:
  // Writes a picture whose colours are the given palette indices' colours,
  // with one extra colour (0x123456) that the default palette lacks.
  std::string WritePicture(const std::string& name, int width, int height) {
    IndexedImage image;
    EXPECT_EQ(CreateImage(width, height, image), 1);
    image.colourTable[20] = {0x56, 0x34, 0x12, 0};
    FillImage(image, 255);
    FillRect(image, 0, 0, 2, 1, 20);
    FillRect(image, 0, height - 1, 1, 1, 249);
    const std::string path = folder.File(name);
    EXPECT_TRUE(SavePictureFile(path, image));
    return path;
  }
  static bool Holds(const PaletteTable& table, int index, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return table[index].red == r && table[index].green == g && table[index].blue == b;
  }
};

TEST_F(FileCommandsTest, OpenLoadsThePictureWithItsColoursAndListsIt) {
  const std::string path = WritePicture("表ソ能.BMP", 32, 8);
  StartApp();
  TForm1& main = app->main();
  dialogs.QueueOpenFile(QString::fromStdString(path));
  main.MN_OPENClick();
  ASSERT_TRUE(main.PictureImage().HasPixels());
  EXPECT_EQ(main.PictureImage().ImageWidth(), 32);
  EXPECT_EQ(main.PictureImage().ImageHeight(), 8);
  EXPECT_EQ(main.ViewImage().ImageWidth(), 32);
  EXPECT_EQ(main.PaintBox1()->size(), QSize(32, 8));
  EXPECT_EQ(main.windowTitle(), QString::fromStdString(path));
  EXPECT_EQ(main.CurrentFileName(), path);
  EXPECT_EQ(main.Recent()->Path(0), path);
  EXPECT_FALSE(main.Busy());
  // The new colour took the first free entry, and the picture uses it.
  EXPECT_TRUE(Holds(SharedPalette.current, 10, 0x12, 0x34, 0x56));
  EXPECT_EQ(main.PictureImage().At(0, 0), 10);
  EXPECT_EQ(main.PictureImage().At(0, 7), 249);
  EXPECT_EQ(main.ViewImage().At(1, 0), 10);
  EXPECT_EQ(main.ViewImage().colourTable[10], (ColourTableEntry{0x56, 0x34, 0x12, 0}));
  EXPECT_EQ(app->edit().EditImage().colourTable[10], (ColourTableEntry{0x56, 0x34, 0x12, 0}));
  // The canvas shows it.
  EXPECT_EQ(main.PaintBox1()->grab().toImage().pixelColor(0, 0), QColor(0x12, 0x34, 0x56));
}

TEST_F(FileCommandsTest, WhatIsNoFileIsNamedInABoxFromEveryCanvasAndTheRecentList) {
  const std::string pipe = folder.File("pipe.BMP");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::filesystem::create_directory(folder.File("album.BMP"));
  const struct {
    std::string path;
    QString reason;
  } cases[] = {{folder.File("none.BMP"), QStringLiteral("ファイルが見つかりません")},
               {folder.File("album.BMP"), QStringLiteral("フォルダです。絵のファイルではありません")},
               {pipe, QStringLiteral("名前付きパイプ（FIFO）です。絵のファイルではありません")},
               {"/dev/null", QStringLiteral("デバイスです。絵のファイルではありません")}};
  StartApp();
  const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> opens = {
      {"main", [&](const std::string& p) { app->main().OpenPictureFile(p); }},
      {"sub", [&](const std::string& p) { app->sub().OpenSubFile(p); }},
      {"edit", [&](const std::string& p) { app->edit().OpenEditFile(p); }},
      {"main's recent list",
       [&](const std::string& p) {
         app->main().Recent()->Add(p);
         app->main().MN_FILEREOPENClick(0);
       }},
      {"main's Open", [&](const std::string& p) {
         dialogs.QueueOpenFile(QString::fromStdString(p));
         app->main().MN_OPENClick();
       }}};
  for (const auto& [canvas, open] : opens)
    for (const auto& c : cases) {
      dialogs.QueueAnswer(BoxAnswer::Ok);
      open(c.path);
      ASSERT_FALSE(dialogs.Boxes().empty()) << canvas;
      EXPECT_EQ(dialogs.Boxes().back().text,
                QString::fromStdString(c.path) + QStringLiteral(" を開けませんでした。\n") + c.reason)
          << canvas;
      EXPECT_EQ(dialogs.Boxes().back().caption, QStringLiteral("ﾌｧｲﾙのﾛｰﾄﾞ失敗")) << canvas;
    }
  EXPECT_EQ(app->main().PictureImage().ImageWidth(), 640);
  EXPECT_TRUE(app->main().CurrentFileName().empty());
  EXPECT_TRUE(app->sub().FileName().empty());
  EXPECT_TRUE(app->edit().FileName().empty());
  dialogs.QueueOpenFile(std::nullopt);
  app->main().MN_OPENClick();
  EXPECT_TRUE(app->main().CurrentFileName().empty());
}

TEST_F(FileCommandsTest, AFileThatCannotBeReadKeepsCanvasAndColours) {
  const std::string bad = folder.File("bad.MAG");
  WriteText(bad, "not a picture at all");
  StartApp();
  TForm1& main = app->main();
  FillRect(WindowProbe::Doc(main).Picture(), 0, 0, 3, 3, 7);
  WindowProbe::Doc(main).SetFileName(folder.File("KEPT.BMP"));
  const QString caption = main.windowTitle();
  const PaletteTable before = SharedPalette.current;
  dialogs.QueueAnswer(BoxAnswer::Ok);
  main.OpenPictureFile(bad);
  // The failed file never becomes the one Save writes, nor enters the list.
  EXPECT_EQ(main.CurrentFileName(), folder.File("KEPT.BMP"));
  EXPECT_EQ(main.windowTitle(), caption);
  EXPECT_TRUE(main.Recent()->Path(0).empty());
  ASSERT_TRUE(main.PictureImage().HasPixels());
  EXPECT_EQ(main.PictureImage().ImageWidth(), 640);
  EXPECT_EQ(main.PictureImage().At(1, 1), 7);
  EXPECT_EQ(SharedPalette.current, before);
  ASSERT_FALSE(dialogs.Boxes().empty());
  EXPECT_TRUE(dialogs.Boxes().back().text.contains(QString::fromStdString(bad)));
  EXPECT_FALSE(main.Busy());
}

TEST_F(FileCommandsTest, OpenShowsTheReadersMessagesAndItsOwnOnlyWhenTheyAreSilent) {
  // A 24-bit BMP of 300 colours opens after the palette step's message.
  std::string many = "BM";
  many.resize(54 + 900, '\0');
  const auto put32 = [&many](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) many[at + i] = static_cast<char>(v >> (8 * i));
  };
  put32(2, static_cast<std::uint32_t>(many.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, 300);
  put32(22, 1);
  many[26] = 1;
  many[28] = 24;
  for (int k = 0; k < 300; ++k) {
    many[54 + 3 * k] = static_cast<char>(k);
    many[55 + 3 * k] = static_cast<char>(k / 256 + 1);
    many[56 + 3 * k] = 77;
  }
  const std::string manyPath = folder.File("多い.BMP");
  WriteText(manyPath, many);
  const std::string badBmp = folder.File("bad.BMP");
  WriteText(badBmp, "BM not a bitmap");
  const std::string badMag = folder.File("bad.MAG");
  WriteText(badMag, "not a picture at all");
  StartApp();
  TForm1& main = app->main();
  const std::size_t before = dialogs.Boxes().size();

  dialogs.QueueAnswer(BoxAnswer::Ok);
  main.OpenPictureFile(manyPath);
  EXPECT_EQ(main.PictureImage().ImageWidth(), 300);
  ASSERT_EQ(dialogs.Boxes().size(), before + 1);
  EXPECT_EQ(dialogs.Boxes()[before + 0].text, QStringLiteral("256色以上ﾋﾞｯﾄﾏｯﾌﾟの為、256色以上をｶｯﾄしました。"));
  EXPECT_EQ(dialogs.Boxes()[before + 0].caption, QStringLiteral("ﾋﾞｯﾄﾏｯﾌﾟのﾛｰﾄﾞ失敗"));
  EXPECT_EQ(dialogs.Boxes()[before + 0].icon, BoxIcon::Information);

  // The reader said why: no second box.
  dialogs.QueueAnswer(BoxAnswer::Ok);
  main.OpenPictureFile(badBmp);
  ASSERT_EQ(dialogs.Boxes().size(), before + 2);
  EXPECT_EQ(dialogs.Boxes()[before + 1].caption, QStringLiteral("ﾋﾞｯﾄﾏｯﾌﾟのﾛｰﾄﾞ失敗"));
  EXPECT_TRUE(dialogs.Boxes()[before + 1].text.startsWith(QString::fromStdString(badBmp) + QLatin1Char('\n')));

  // The MAG reader is silent: the window says it could not open the file.
  dialogs.QueueAnswer(BoxAnswer::Ok);
  main.OpenPictureFile(badMag);
  ASSERT_EQ(dialogs.Boxes().size(), before + 3);
  EXPECT_EQ(dialogs.Boxes()[before + 2].text, QString::fromStdString(badMag) + QStringLiteral(" を開けませんでした。"));
  EXPECT_EQ(dialogs.Boxes()[before + 2].caption, QStringLiteral("ﾌｧｲﾙのﾛｰﾄﾞ失敗"));
  EXPECT_EQ(dialogs.Boxes()[before + 2].icon, BoxIcon::Information);
}

TEST_F(FileCommandsTest, APictureCutShortOpensWithItsNoteInTheCaptionNotABox) {
  std::vector<std::uint8_t> bytes = EncodeBmp([] {
    IndexedImage image;
    EXPECT_EQ(CreateImage(16, 16, image), 1);
    return image;
  }());
  bytes.resize(bytes.size() - 16 * 8);  // half the rows
  const std::string cut = folder.File("cut.BMP");
  WriteText(cut, std::string(bytes.begin(), bytes.end()));
  StartApp();
  TForm1& main = app->main();
  const std::size_t before = dialogs.Boxes().size();
  main.OpenPictureFile(cut);
  EXPECT_EQ(main.PictureImage().ImageHeight(), 16);
  EXPECT_EQ(dialogs.Boxes().size(), before);
  EXPECT_EQ(main.windowTitle(), QString::fromStdString(cut) + QStringLiteral("　") + QString::fromUtf8(kDataEndedText));
}

TEST_F(FileCommandsTest, ReopenTakesTheListedFile) {
  const std::string a = WritePicture("A.BMP", 16, 4);
  const std::string b = WritePicture("B.BMP", 8, 8);
  StartApp();
  TForm1& main = app->main();
  main.OpenPictureFile(a);
  main.OpenPictureFile(b);
  EXPECT_EQ(main.Recent()->Path(1), a);
  main.Recent()->Item(1)->trigger();
  EXPECT_EQ(main.PictureImage().ImageWidth(), 16);
  EXPECT_EQ(main.Recent()->Path(0), a);
  EXPECT_EQ(main.Recent()->Path(1), b);
  // An empty item does nothing.
  main.MN_FILEREOPENClick(5);
  EXPECT_EQ(main.CurrentFileName(), a);
  // The list is written at the end and read back at the next start.
  StopApp();
  StartApp();
  EXPECT_EQ(app->main().Recent()->Path(0), a);
  EXPECT_TRUE(app->main().Recent()->Item(1)->isVisible());
}

TEST_F(FileCommandsTest, SaveAsAddsBmpAndSaveClearsModified) {
  StartApp();
  TForm1& main = app->main();
  FillRect(WindowProbe::Doc(main).Picture(), 0, 0, 2, 2, 249);
  WindowProbe::MarkChanged(main);
  // Save without a name behaves as Save as; a name without extension gets ".BMP".
  dialogs.QueueSaveFile(QString::fromStdString(folder.File("PIC")));
  main.MN_SAVEClick();
  const std::string saved = folder.File("PIC.BMP");
  ASSERT_TRUE(FileExists(saved));
  EXPECT_EQ(FileLength(saved), 1078 + 640 * 400);
  EXPECT_FALSE(main.Modified());
  EXPECT_EQ(main.CurrentFileName(), saved);
  EXPECT_EQ(main.windowTitle(), QString::fromStdString(saved) + QStringLiteral(" 保存終了 "));
  IndexedImage back;
  ASSERT_TRUE(LoadPictureFile(saved, back));
  EXPECT_EQ(back.At(1, 1), 249);
  EXPECT_EQ(back.At(2, 2), 255);
  // A name with an extension is used as typed.
  dialogs.QueueSaveFile(QString::fromStdString(folder.File("P2.bmp")));
  main.MN_NEWSAVEClick();
  EXPECT_TRUE(FileExists(folder.File("P2.bmp")));
  // Cancel in the save dialog changes nothing.
  dialogs.QueueSaveFile(std::nullopt);
  main.MN_NEWSAVEClick();
  EXPECT_EQ(main.CurrentFileName(), folder.File("P2.bmp"));
}

TEST_F(FileCommandsTest, FailedSaveKeepsModifiedAndTheOldFile) {
  StartApp();
  TForm1& main = app->main();
  WindowProbe::MarkChanged(main);
  WindowProbe::Doc(main).SetFileName(folder.File("no-such-folder/X.BMP"));
  dialogs.QueueAnswer(BoxAnswer::Ok);
  main.MN_SAVEClick();
  EXPECT_TRUE(main.Modified());
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_EQ(dialogs.Boxes()[0].icon, BoxIcon::Error);
  EXPECT_FALSE(main.windowTitle().contains(QStringLiteral("保存終了")));
  // Closing still asks, since the work is not saved.
  dialogs.QueueAnswer(BoxAnswer::No);
  StopApp();
  EXPECT_EQ(dialogs.Boxes().size(), 2u);
}

TEST_F(FileCommandsTest, SaveQuestionYesWithAFailingSaveKeepsTheWindowOpen) {
  StartApp();
  TForm1& main = app->main();
  WindowProbe::Doc(main).SetFileName(folder.File("no-such-folder/X.BMP"));
  WindowProbe::MarkChanged(main);
  dialogs.QueueAnswer(BoxAnswer::Yes);
  dialogs.QueueAnswer(BoxAnswer::Ok);  // the failure box
  main.close();
  ASSERT_EQ(dialogs.Boxes().size(), 2u);
  EXPECT_EQ(dialogs.Boxes()[1].icon, BoxIcon::Error);
  EXPECT_TRUE(main.PictureImage().HasPixels());
  EXPECT_TRUE(main.Modified());
  EXPECT_FALSE(FileExists(SettingsFile()));
  dialogs.QueueAnswer(BoxAnswer::No);
}

TEST_F(FileCommandsTest, SaveQuestionYesSavesBeforeClosing) {
  StartApp();
  TForm1& main = app->main();
  WindowProbe::Doc(main).SetFileName(folder.File("CLOSE.BMP"));
  FillRect(WindowProbe::Doc(main).Picture(), 0, 0, 1, 1, 3);
  WindowProbe::MarkChanged(main);
  dialogs.QueueAnswer(BoxAnswer::Yes);
  StopApp();
  EXPECT_TRUE(FileExists(folder.File("CLOSE.BMP")));
}

TEST_F(FileCommandsTest, StartUpAndReloadTakeTheStartUpPalettePicture) {
  WritePicture("TAVOCINI.BMP", 8, 2);
  StartApp();
  EXPECT_TRUE(Holds(SharedPalette.current, 10, 0x12, 0x34, 0x56));
  EXPECT_TRUE(Holds(app->session().Table(), 10, 0x12, 0x34, 0x56));
  // A canvas made at start carries the start-up colours.
  EXPECT_EQ(app->main().PictureImage().colourTable[10], (ColourTableEntry{0x56, 0x34, 0x12, 0}));

  // The reload reads "INITBMP" when set.
  IndexedImage other;
  ASSERT_EQ(CreateImage(4, 1, other), 1);
  other.colourTable[30] = {0x03, 0x02, 0x01, 0};
  FillImage(other, 30);
  ASSERT_TRUE(SavePictureFile(folder.File("other.BMP"), other));
  WriteSetting("INITBMP", folder.File("other.BMP"));
  app->main().MN_PALREINITClick();
  EXPECT_TRUE(Holds(SharedPalette.current, 10, 0x01, 0x02, 0x03));
  // After the double load the handle's free entries equal the current table's.
  ASSERT_TRUE(SharedPalette.handle);
  for (int i = 10; i <= 245; ++i) EXPECT_EQ((*SharedPalette.handle)[i], SharedPalette.current[i]) << i;
}

}  // namespace
}  // namespace zudizar

namespace zudizar {
namespace {

// Unsaved work on any canvas is asked about before it is dropped, and a
// picture keeps its name unless it was really written under another.
class UnsavedWorkTest : public testing::AppTest {
 protected:
  const QString kMainQuestion = QStringLiteral("描画域が更新されています、内容を保存しますか？");
  const QString kEditQuestion = QStringLiteral("編集ﾊﾟﾚｯﾄの描画域が更新されています、内容を保存しますか？");
  const QString kSubQuestion = QStringLiteral("ｻﾌﾞﾊﾟﾚｯﾄの描画域が更新されています、内容を保存しますか？");
};

TEST_F(UnsavedWorkTest, OpenNewAndReopenAskFirstAndCancelKeepsPictureAndName) {
  StartApp();
  TForm1& main = app->main();
  const std::string name = folder.File("KEEP.BMP");
  WindowProbe::Doc(main).SetFileName(name);
  FillRect(WindowProbe::Doc(main).Picture(), 0, 0, 4, 4, 7);
  WindowProbe::MarkChanged(main);
  for (auto command : {&TForm1::MN_OPENClick, &TForm1::MN_NEWClick}) {
    const std::size_t asked = dialogs.Boxes().size();
    dialogs.QueueAnswer(BoxAnswer::Cancel);
    (main.*command)();
    ASSERT_EQ(dialogs.Boxes().size(), asked + 1);
    EXPECT_EQ(dialogs.Boxes().back().text, kMainQuestion);
    EXPECT_EQ(dialogs.Boxes().back().buttons, BoxButtons::YesNoCancel);
  }
  // Nothing else was shown (no file dialog, no size dialog), nothing changed.
  EXPECT_EQ(dialogs.ExecCount(), 0);
  EXPECT_EQ(main.PictureImage().At(3, 3), 7);
  EXPECT_EQ(main.CurrentFileName(), name);
  EXPECT_TRUE(main.Modified());

  // The sub palette asks with its own words; No goes on to the command.
  TTAVOSUBF& sub = app->sub();
  sub.FillBackground(9);
  EXPECT_TRUE(sub.Modified());
  dialogs.QueueAnswer(BoxAnswer::No);
  dialogs.QueueOpenFile(std::nullopt);
  sub.MN_OPENClick();
  EXPECT_EQ(dialogs.Boxes().back().text, kSubQuestion);
  EXPECT_EQ(sub.SubPictureImage().At(0, 0), 9);
  // Yes with a Save as that is abandoned keeps the picture and stops the command.
  dialogs.QueueAnswer(BoxAnswer::Yes);
  dialogs.QueueSaveFile(std::nullopt);
  sub.MN_NEWClick();
  EXPECT_EQ(dialogs.ExecCount(), 0);
  EXPECT_TRUE(sub.Modified());
  dialogs.QueueAnswer(BoxAnswer::No);  // closing: the main picture is still unsaved
}

TEST_F(UnsavedWorkTest, QuitAsksForEveryModifiedCanvasAndCancelOnAnyKeepsAll) {
  StartApp();
  TTAVOEDTF& edit = app->edit();
  WindowProbe::Doc(edit).Picture().At(2, 2) = 33;  // a drawing on the edit palette only
  EXPECT_TRUE(edit.Modified());
  dialogs.QueueAnswer(BoxAnswer::Cancel);
  app->main().close();
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_EQ(dialogs.Boxes()[0].text, kEditQuestion);
  EXPECT_EQ(edit.EditImage().At(2, 2), 33);
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(SettingsFile())));  // still running
  // Yes saves the edit picture through Save as; then the sub palette is asked.
  app->sub().FillBackground(5);
  const std::string saved = folder.File("EDIT");
  dialogs.QueueAnswer(BoxAnswer::Yes);
  dialogs.QueueSaveFile(QString::fromStdString(saved));
  dialogs.QueueAnswer(BoxAnswer::No);
  app->main().close();
  ASSERT_EQ(dialogs.Boxes().size(), 3u);
  EXPECT_EQ(dialogs.Boxes()[2].text, kSubQuestion);
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(saved + ".BMP")));
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(SettingsFile())));  // closed
  app.reset();
}

TEST_F(UnsavedWorkTest, AFailedSaveAsKeepsTheNameAndNewShowsNoPath) {
  StartApp();
  TForm1& main = app->main();
  const std::string name = folder.File("HOME.BMP");
  WindowProbe::Doc(main).SetFileName(name);
  WindowProbe::MarkChanged(main);
  dialogs.QueueSaveFile(QString::fromStdString(folder.File("no-such-folder/X.BMP")));
  dialogs.QueueAnswer(BoxAnswer::Ok);  // the failure box
  main.MN_NEWSAVEClick();
  EXPECT_EQ(main.CurrentFileName(), name);
  EXPECT_EQ(main.windowTitle(), QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ ") + QString::fromStdString(name));
  EXPECT_TRUE(main.Modified());
  // New, once the question is answered, shows the caption without a path.
  dialogs.QueueAnswer(BoxAnswer::No);
  dialogs.QueueExec([](QDialog&) { return int(QDialog::Accepted); });
  dialogs.QueueAnswer(BoxAnswer::Cancel);  // keep the colour palette
  dialogs.QueueAnswer(BoxAnswer::Cancel);  // no background colour
  main.MN_NEWClick();
  EXPECT_TRUE(main.CurrentFileName().empty());
  EXPECT_EQ(main.windowTitle(), QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ "));
  EXPECT_FALSE(main.Modified());
}

}  // namespace
}  // namespace zudizar

namespace zudizar {
namespace {

// Each canvas's Open and Save as start where the user's pictures are: the
// folder of the canvas's own file, else the folder any canvas used last (kept
// for the next start), else the pictures folder or home.
TEST_F(FileCommandsTest, FileDialogsStartInTheFolderOfTheFileElseTheLastFolderUsed) {
  StartApp();
  const std::string albumFolder = folder.File("album");
  std::filesystem::create_directories(albumFolder);
  const std::string picture = WritePicture("album/piece.bmp", 8, 8);
  const QStringList fallbacks{QStandardPaths::writableLocation(QStandardPaths::PicturesLocation), QDir::homePath()};

  dialogs.QueueOpenFile(QString::fromStdString(picture));
  app->main().MN_OPENClick();
  ASSERT_EQ(app->main().CurrentFileName(), picture);
  EXPECT_TRUE(fallbacks.contains(dialogs.FileDialogFolders().back()));
  EXPECT_NE(ReadText(SettingsFile()).find("[Option]"), std::string::npos);

  // The sub canvas has no file: it starts in the folder used last.
  dialogs.QueueOpenFile(std::nullopt);
  app->sub().MN_OPENClick();
  EXPECT_EQ(dialogs.FileDialogFolders().back(), QString::fromStdString(albumFolder));
  // The edit palette's picture belongs to another folder: it starts there.
  const std::string elsewhere = folder.File("elsewhere");
  std::filesystem::create_directories(elsewhere);
  WindowProbe::Doc(app->edit()).SetFileName(elsewhere + "/x.bmp");
  dialogs.QueueSaveFile(std::nullopt);
  app->edit().MN_NEWSAVEClick();
  EXPECT_EQ(dialogs.FileDialogFolders().back(), QString::fromStdString(elsewhere));

  // The folder used last outlives the program.
  StopApp();
  StartApp();
  dialogs.QueueOpenFile(std::nullopt);
  app->main().MN_OPENClick();
  EXPECT_EQ(dialogs.FileDialogFolders().back(), QString::fromStdString(albumFolder));
  // A folder that is gone is passed over.
  std::filesystem::remove_all(albumFolder);
  dialogs.QueueOpenFile(std::nullopt);
  app->sub().MN_OPENClick();
  EXPECT_TRUE(fallbacks.contains(dialogs.FileDialogFolders().back()));
}

}  // namespace
}  // namespace zudizar
