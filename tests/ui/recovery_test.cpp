// Work survives an unclean end: every modified canvas comes back, colour for
// colour, with its name; a damaged file is skipped; a running instance's
// work is never taken by another.
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <cstdio>
#include <vector>

#include "base/file_io.h"
#include "base/file_system.h"
#include "formats/dispatch.h"
#include "formats/mag.h"
#include "ui/app/recovery.h"
#include "ui/edit/edit_window.h"
#include "ui_support.h"

namespace zudizar::testing {
namespace {

// The colour of every pixel, as the user sees it.
std::vector<ColourTableEntry> Colours(const IndexedImage& picture) {
  std::vector<ColourTableEntry> out;
  for (std::uint8_t index : picture.pixels) out.push_back(picture.colourTable[index]);
  return out;
}

class RecoveryTest : public AppTest {
 protected:
  QString RecoveryRoot() { return QString::fromStdString(folder.File("recovery/")); }
  // Fields a MAG file gave the picture: Shift_JIS text, a comment, the bytes
  // between the terminator and the header.
  static MagFields Fields() {
    MagFields fields;
    fields.present = true;
    fields.machine = "PC98";
    fields.user = "\x83\x5C\x95\x5C artist      ";
    fields.comment = "a comment\xA0";
    fields.gap = std::string("\x00\x01", 2);
    fields.machineCode = 3;
    fields.machineFlags = 0x41;
    return fields;
  }
  // Unsaved work on all three canvases, in colours the start-up palette lacks;
  // the main and edit pictures came from MAG files.
  void Draw() {
    for (int i = kFirstFreeEntry; i <= kLastFreeEntry; ++i)
      SharedPalette.pending[i] = {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i * 13 + 5),
                                  static_cast<std::uint8_t>(i * 29 + 1), 0};
    app->main().ApplyPalette();
    TForm1& main = app->main();
    IndexedImage& picture = WindowProbe::Doc(main).Picture();
    for (int y = 0; y < picture.ImageHeight(); ++y)
      for (int x = 0; x < picture.ImageWidth(); ++x)
        picture.At(x, y) = static_cast<std::uint8_t>((x / 9 + y / 7) % 256);
    WindowProbe::Doc(main).SetFileName("/pictures/コラージュ.BMP");
    picture.mag = Fields();
    WindowProbe::Doc(app->edit()).Picture().mag = Fields();
    WindowProbe::Doc(app->edit()).Picture().mag.comment = "edit";
    WindowProbe::MarkChanged(main);
    IndexedImage& edit = WindowProbe::Doc(app->edit()).Picture();
    FillRect(edit, 3, 4, 50, 20, 33);
    FillRect(edit, 60, 60, 9, 9, 249);
    app->sub().FillBackground(120);
  }
};

TEST_F(RecoveryTest, AnUncleanEndGivesEveryModifiedCanvasBackWithItsColoursAndName) {
  StartApp();
  Draw();
  const auto mainColours = Colours(app->main().PictureImage());
  const auto editColours = Colours(app->edit().EditImage());
  const auto subColours = Colours(app->sub().SubPictureImage());
  app->recovery().WriteChanged();
  app->recovery().Wait();
  const QString own = QString::fromStdString(app->recovery().Folder());
  for (const char* file : {"main.bmp", "main.txt", "main.mag", "edit.bmp", "edit.mag", "sub.bmp"})
    EXPECT_TRUE(QFileInfo::exists(own + QString::fromLatin1(file))) << file;
  EXPECT_FALSE(QFileInfo::exists(own + QStringLiteral("sub.mag")));  // it never had fields
  // An unclean end: the files stay, the lock goes.
  app->recovery().Abandon();
  app.reset();

  dialogs.QueueAnswer(BoxAnswer::Yes);
  StartApp();
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_EQ(dialogs.Boxes()[0].text, QStringLiteral("前回終了時の作業が残っています。復元しますか？"));
  EXPECT_EQ(Colours(app->main().PictureImage()), mainColours);
  EXPECT_EQ(Colours(app->edit().EditImage()), editColours);
  EXPECT_EQ(Colours(app->sub().SubPictureImage()), subColours);
  EXPECT_EQ(app->main().CurrentFileName(), "/pictures/コラージュ.BMP");
  // The MAG fields come back with their pictures, byte for byte.
  EXPECT_EQ(app->main().PictureImage().mag, Fields());
  EXPECT_EQ(app->edit().EditImage().mag.comment, "edit");
  EXPECT_EQ(app->edit().EditImage().mag.user, Fields().user);
  EXPECT_FALSE(app->sub().SubPictureImage().mag.present);
  EXPECT_TRUE(app->main().Modified());
  EXPECT_TRUE(app->edit().Modified());
  EXPECT_TRUE(app->sub().Modified());
  // What was offered is gone; this instance keeps its own folder only.
  EXPECT_EQ(QDir(RecoveryRoot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
  dialogs.QueueAnswer(BoxAnswer::No);  // closing: the main picture is unsaved
}

TEST_F(RecoveryTest, SavedWorkLeavesNothingAndARunningInstancesWorkIsNotTaken) {
  StartApp();
  Draw();
  app->recovery().WriteChanged();
  app->recovery().Wait();
  const QString own = QString::fromStdString(app->recovery().Folder());
  // A second instance beside this one asks nothing and takes nothing.
  {
    App second(dialogs, folder.File("zudizar"));
    second.Start();
    EXPECT_TRUE(dialogs.Boxes().empty());
    second.Shutdown();
  }
  EXPECT_TRUE(QFileInfo::exists(own + QStringLiteral("main.bmp")));
  // A change to the fields alone is written; fields that went leave no file
  // an earlier picture's fields could come back from.
  const QString mainFields = own + QStringLiteral("main.mag");
  WindowProbe::Doc(app->main()).Picture().mag.comment = "changed";
  app->recovery().WriteChanged();
  app->recovery().Wait();
  std::vector<std::uint8_t> bytes;
  MagFields kept;
  ASSERT_TRUE(ReadWholeFile(mainFields.toStdString(), bytes));
  ASSERT_TRUE(UnpackMagFields(bytes, kept));
  EXPECT_EQ(kept.comment, "changed");
  WindowProbe::Doc(app->main()).Picture().mag = {};
  app->recovery().WriteChanged();
  app->recovery().Wait();
  EXPECT_FALSE(QFileInfo::exists(mainFields));
  EXPECT_TRUE(QFileInfo::exists(own + QStringLiteral("main.bmp")));
  // Saved canvases have nothing left to recover.
  WindowProbe::Doc(app->main()).MarkSaved();
  WindowProbe::MarkSaved(app->edit());
  app->recovery().WriteChanged();
  app->recovery().Wait();
  EXPECT_FALSE(QFileInfo::exists(own + QStringLiteral("main.bmp")));
  EXPECT_FALSE(QFileInfo::exists(own + QStringLiteral("edit.bmp")));
  EXPECT_FALSE(QFileInfo::exists(own + QStringLiteral("edit.mag")));
  EXPECT_TRUE(QFileInfo::exists(own + QStringLiteral("sub.bmp")));
  // A clean end removes the folder.
  StopApp();
  EXPECT_FALSE(QFileInfo::exists(own));
}

TEST_F(RecoveryTest, ADamagedFileIsSkippedWithAMessageAndNoRemovesEverything) {
  const QString left = QString::fromStdString(folder.File("recovery/4194305/"));
  ASSERT_TRUE(QDir().mkpath(left));
  WriteText((left + QStringLiteral("main.bmp")).toStdString(), "BM not a bitmap at all");
  WriteText((left + QStringLiteral("main.txt")).toStdString(), "/x.BMP");
  dialogs.QueueAnswer(BoxAnswer::Yes);
  dialogs.QueueAnswer(BoxAnswer::Ok);
  StartApp();
  ASSERT_EQ(dialogs.Boxes().size(), 2u);
  EXPECT_TRUE(dialogs.Boxes()[1].text.endsWith(QStringLiteral("を復元できませんでした。")));
  EXPECT_FALSE(app->main().Modified());
  EXPECT_FALSE(QFileInfo::exists(left));
  StopApp();

  ASSERT_TRUE(QDir().mkpath(left));
  IndexedImage picture;
  ASSERT_EQ(CreateImage(8, 8, picture), 1);
  ASSERT_TRUE(SavePictureFile((left + QStringLiteral("sub.bmp")).toStdString(), picture));
  // Damaged fields: the picture comes back without them.
  ASSERT_TRUE(SavePictureFile((left + QStringLiteral("main.bmp")).toStdString(), picture));
  std::vector<std::uint8_t> fields = PackMagFields(Fields());
  fields.pop_back();
  ASSERT_TRUE(WriteFileSafely((left + QStringLiteral("main.mag")).toStdString(), fields));
  dialogs.QueueAnswer(BoxAnswer::Yes);
  StartApp();
  EXPECT_TRUE(app->main().Modified());
  EXPECT_EQ(app->main().PictureImage().ImageWidth(), 8);
  EXPECT_FALSE(app->main().PictureImage().mag.present);
  dialogs.QueueAnswer(BoxAnswer::No);  // closing: the main picture is unsaved
  StopApp();

  ASSERT_TRUE(QDir().mkpath(left));
  ASSERT_TRUE(SavePictureFile((left + QStringLiteral("sub.bmp")).toStdString(), picture));
  dialogs.QueueAnswer(BoxAnswer::No);
  StartApp();
  EXPECT_FALSE(app->sub().Modified());
  EXPECT_FALSE(QFileInfo::exists(left));
}

// The colour the drawing gives each pixel of a canvas, from the palette it
// set up: the plain model of Draw().
ColourTableEntry ModelColour(int index) {
  if (index >= kFirstFreeEntry && index <= kLastFreeEntry)
    return {static_cast<std::uint8_t>(index * 29 + 1), static_cast<std::uint8_t>(index * 13 + 5),
            static_cast<std::uint8_t>(index * 7), 0};
  const PaletteEntry& e = DefaultPalette[static_cast<std::size_t>(index)];
  return {e.blue, e.green, e.red, 0};
}

// Runs only as the child of the test below: draws, waits until the work is on
// disk, says so, and waits to be killed.
TEST_F(RecoveryTest, ChildDrawsAndWaitsToBeKilled) {
  const QString home = qEnvironmentVariable("ZUDIZAR_RECOVERY_CHILD");
  if (home.isEmpty()) GTEST_SKIP() << "the kill test's child";
  app = std::make_unique<App>(dialogs, home.toStdString() + "/zudizar");
  app->RecoveryIntervalMs = 20;
  app->Start();
  Draw();
  const QString own = QString::fromStdString(app->recovery().Folder());
  QElapsedTimer waited;
  waited.start();
  while (!(QFileInfo::exists(own + QStringLiteral("main.bmp")) && QFileInfo::exists(own + QStringLiteral("edit.bmp")) &&
           QFileInfo::exists(own + QStringLiteral("sub.bmp")))) {
    ASSERT_LT(waited.elapsed(), 30000) << "the work never reached the disk";
    QCoreApplication::processEvents();
    QThread::msleep(5);
  }
  std::printf("ready\n");
  std::fflush(stdout);
  while (waited.elapsed() < 120000) QThread::msleep(50);
  FAIL() << "was not killed";
}

TEST_F(RecoveryTest, AKilledSessionComesBackColourForColourOnTheNextStart) {
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("ZUDIZAR_RECOVERY_CHILD"), QString::fromStdString(folder.Path().string()));
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  child.setProcessEnvironment(environment);
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=RecoveryTest.ChildDrawsAndWaitsToBeKilled")});
  ASSERT_TRUE(child.waitForStarted(30000));
  QByteArray said;
  QElapsedTimer waited;
  waited.start();
  while (!said.contains("ready") && waited.elapsed() < 90000) {
    child.waitForReadyRead(1000);
    said += child.readAllStandardOutput();
    ASSERT_NE(child.state(), QProcess::NotRunning) << said.toStdString();
  }
  ASSERT_TRUE(said.contains("ready")) << said.toStdString();
  child.kill();  // SIGKILL: no clean end of any kind
  ASSERT_TRUE(child.waitForFinished(30000));

  dialogs.QueueAnswer(BoxAnswer::Yes);
  StartApp();
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  // Every pixel of every canvas has the colour the killed session showed.
  const IndexedImage& main = app->main().PictureImage();
  ASSERT_EQ(main.ImageWidth(), 640);
  for (int y = 0; y < main.ImageHeight(); ++y)
    for (int x = 0; x < main.ImageWidth(); ++x)
      ASSERT_EQ(main.colourTable[main.At(x, y)], ModelColour((x / 9 + y / 7) % 256)) << x << "," << y;
  const IndexedImage& edit = app->edit().EditImage();
  for (int y = 0; y < edit.ImageHeight(); ++y)
    for (int x = 0; x < edit.ImageWidth(); ++x) {
      const bool red = x >= 60 && x < 69 && y >= 60 && y < 69;
      const bool rect = x >= 3 && x < 53 && y >= 4 && y < 24;
      ASSERT_EQ(edit.colourTable[edit.At(x, y)], ModelColour(red ? 249 : rect ? 33 : 255)) << x << "," << y;
    }
  const IndexedImage& sub = app->sub().SubPictureImage();
  for (std::uint8_t index : sub.pixels) ASSERT_EQ(sub.colourTable[index], ModelColour(120));
  EXPECT_EQ(app->main().CurrentFileName(), "/pictures/コラージュ.BMP");
  EXPECT_TRUE(app->main().Modified());
  dialogs.QueueAnswer(BoxAnswer::No);  // closing: the main picture is unsaved
}

// Kills the process at the first byte written in place into `target`, when
// the copy of its old bytes is already kept.
class KillAtTheFirstWriteInPlace : public FileSystem {
 public:
  std::string target;
  int Open(const char* path, int flags, mode_t mode) override {
    const int fd = FileSystem::Open(path, flags, mode);
    if (path == target && (flags & O_ACCMODE) != O_RDONLY && !(flags & O_CREAT)) victim_ = fd;
    return fd;
  }
  ssize_t Write(int fd, const void* data, std::size_t count) override {
    if (fd == victim_) ::raise(SIGKILL);
    return FileSystem::Write(fd, data, count);
  }

 private:
  int victim_ = -2;
};

TEST_F(RecoveryTest, OldBytesThatCouldNotBePutBackAreNamedAtEveryStart) {
  GTEST_FLAG_SET(death_test_style, "fast");
  SetProgramFile(folder.File("zudizar"));
  const std::string target = folder.File("絵.bmp"), link = folder.File("link.bmp");
  WriteText(target, "the old bytes");
  ASSERT_EQ(::link(target.c_str(), link.c_str()), 0);  // so it is written in place
  EXPECT_EXIT(
      {
        KillAtTheFirstWriteInPlace killing;
        killing.target = target;
        ScopedFileSystem use(killing);
        WriteFileSafely(target, std::vector<std::uint8_t>(100, 'n'));
      },
      ::testing::KilledBySignal(SIGKILL), "");
  // The file moved away before the next start: its old bytes have nowhere to go.
  ASSERT_EQ(::unlink(target.c_str()), 0);
  ASSERT_EQ(::unlink(link.c_str()), 0);
  EXPECT_EQ(RestoreKeptCopies(), 0);
  const std::vector<std::string> orphans = OrphanedKeptCopies();
  ASSERT_EQ(orphans.size(), 1u);
  EXPECT_EQ(ReadText(folder.File("recovery/") + orphans[0]), "the old bytes");
  for (int start = 0; start < 2; ++start) {
    dialogs.QueueAnswer(BoxAnswer::Ok);
    StartApp();
    ASSERT_EQ(dialogs.Boxes().size(), static_cast<std::size_t>(start + 1));
    const QString text = dialogs.Boxes().back().text;
    EXPECT_TRUE(text.contains(QStringLiteral("元のファイルに戻せませんでした"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromStdString(orphans[0]))) << text.toStdString();
    EXPECT_TRUE(text.contains(RecoveryRoot())) << text.toStdString();
    EXPECT_EQ(dialogs.Boxes().back().icon, BoxIcon::Warning);
    StopApp();
  }
}

}  // namespace
}  // namespace zudizar::testing
