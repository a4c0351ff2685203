// File names are bytes: names that are no UTF-8 (Shift_JIS, as PC-98 picture
// collections have them) are shown visibly, kept byte for byte by the
// settings, the recent lists and the program folder, and found again from
// the names the toolkit's dialogs give.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QFile>
#include <QStringDecoder>
#include <filesystem>
#include <random>

#include "base/settings.h"
#include "formats/dispatch.h"
#include "ui/common/file_commands.h"
#include "ui/common/file_names.h"
#include "ui/common/program_folder.h"
#include "ui/common/recent_files.h"
#include "ui_support.h"

namespace zudizar {
namespace {

// "ソフト" and "表" in Shift_JIS: second bytes 0x5C ('\') and bytes that are
// no UTF-8.
const std::string kSoft = "\x83\x5C\x83\x74\x83\x67";
const std::string kTable = "\x95\x5C";

// The plain inverse of ShownName for names without a backslash of their own.
std::string Unshown(const QString& shown) {
  std::string bytes;
  for (qsizetype i = 0; i < shown.size(); ++i) {
    if (shown[i] == QLatin1Char('\\') && i + 3 < shown.size() && shown[i + 1] == QLatin1Char('x')) {
      bytes += static_cast<char>(shown.mid(i + 2, 2).toInt(nullptr, 16));
      i += 3;
    } else {
      const qsizetype length = shown[i].isHighSurrogate() ? 2 : 1;
      bytes += shown.mid(i, length).toUtf8().toStdString();
      i += length - 1;
    }
  }
  return bytes;
}

bool IsUtf8(const std::string& bytes) {
  // Stateless: a sequence cut at the end is an error, not input to come.
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = decoder(QByteArray::fromStdString(bytes));
  return !decoder.hasError();
}

// Random names of bytes (no NUL, no '/'), mixing ASCII, blanks, line breaks,
// stray high bytes and whole UTF-8 characters.
std::string RandomName(std::mt19937& random, bool withBackslash = true) {
  static const char* const kPieces[] = {"a", "Z", ".", " ", "\t", "&", "\"", "'", "=", ";", "[", "\n", "\r",
                                        "\x83", "\x5C", "\xFF", "\xC3", "\xE3\x81", "\xF0\x9F\x98\x80",
                                        "表", "ソ", "\xEF\xBF\xBD", "\x80"};
  std::uniform_int_distribution<int> length(1, 12);
  std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
  std::string name;
  for (int n = length(random); n > 0; --n) {
    const std::string p = kPieces[piece(random)];
    if (!withBackslash && p == "\x5C") continue;
    name += p;
  }
  if (name == "." || name == ".." || name.empty()) name += "x";
  return name;
}

TEST(ShownName, ShowsEveryByteOfAnyNameAndValidTextAsItIs) {
  std::mt19937 random(23);
  for (int trial = 0; trial < 3000; ++trial) {
    const std::string name = RandomName(random, false);
    const QString shown = ShownName(name);
    EXPECT_EQ(Unshown(shown), name) << trial;
    if (IsUtf8(name)) {
      EXPECT_EQ(shown, QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }
  }
  EXPECT_EQ(ShownName(kTable + ".BMP"), QStringLiteral("\\x95\\.BMP"));
}

class FileNamesTest : public testing::CanvasAppTest {
 protected:
  std::string Folder() const { return folder.Path().native(); }
  // A picture of `width` x 4 under the name `path` (bytes).
  static void WritePictureAt(const std::string& path, int width) {
    IndexedImage image;
    ASSERT_EQ(CreateImage(width, 4, image), 1);
    LoadColourTableFromShared(image);
    FillImage(image, 249);
    ASSERT_TRUE(SavePictureFile(path, image));
  }
};

TEST_F(FileNamesTest, AnyByteNameRoundTripsThroughTheSettingsAndTheRecentList) {
  std::mt19937 random(4);
  QObject owner;
  for (int round = 0; round < 12; ++round) {
    RecentFileList written(&owner, nullptr, "Tname");
    written.Load();
    // The plain model: newest first, no repeats, eight at most, and names
    // holding a line break left out.
    std::vector<std::string> model;
    for (int k = 0; k < RecentFileList::kCount; ++k)
      if (!written.Path(k).empty()) model.push_back(written.Path(k));
    for (int n = 0; n < 6; ++n) {
      const std::string path = Folder() + "/" + RandomName(random);
      if (path.find_first_of("\n\r") == std::string::npos) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0) << ShownName(path).toStdString();
        ::close(fd);
        std::erase(model, path);
        model.insert(model.begin(), path);
        if (model.size() > RecentFileList::kCount) model.pop_back();
      }
      written.Add(path);
      std::string last = "/x/" + RandomName(random);
      std::erase_if(last, [](char c) { return c == '\n' || c == '\r'; });  // refused by the writer
      WriteSettingIn("Option", "LastFolder", last);
      EXPECT_EQ(ReadSettingIn("Option", "LastFolder"), last);
    }
    written.Save();
    FixSettingsLocation();  // read afresh, as the next start does
    RecentFileList read(&owner, nullptr, "Tname");
    read.Load();
    for (int k = 0; k < RecentFileList::kCount; ++k) {
      const std::string expected = k < static_cast<int>(model.size()) ? model[k] : std::string();
      EXPECT_EQ(read.Path(k), expected) << round << " " << k;
      EXPECT_EQ(read.Caption(k), expected.empty() ? QStringLiteral("(&%1)").arg(k)
                                                  : QStringLiteral("(&%1) ").arg(k) + ShownName(expected));
    }
  }
}

TEST_F(FileNamesTest, TheDialogsNamesLeadBackToTheEntriesTheyShow) {
  const std::string album = Folder() + "/" + kTable;
  std::filesystem::create_directory(album);
  const std::string picture = album + "/" + kSoft + ".BMP";
  WritePictureAt(picture, 7);
  const QString shown = QFile::decodeName(QByteArray::fromStdString(picture));
  ASSERT_TRUE(shown.contains(QChar::ReplacementCharacter));  // what the toolkit makes of it

  dialogs.QueueOpenFile(shown);
  main().MN_OPENClick();
  EXPECT_EQ(main().CurrentFileName(), picture);
  EXPECT_EQ(main().PictureImage().ImageWidth(), 7);
  EXPECT_EQ(main().windowTitle(), ShownName(picture));
  EXPECT_EQ(ReadSettingIn("Option", "LastFolder"), album);
  // The next dialog starts as near the folder as the toolkit can name it.
  dialogs.QueueSaveFile(QFile::decodeName(QByteArray::fromStdString(album)) + QStringLiteral("/新"));
  main().MN_NEWSAVEClick();
  EXPECT_EQ(dialogs.FileDialogFolders().back(), QString::fromStdString(Folder()));
  EXPECT_EQ(main().CurrentFileName(), album + "/新.BMP");
  EXPECT_TRUE(IsPlainFileName(album + "/新.BMP"));

  // Two entries the toolkit shows alike: neither is guessed.
  WritePictureAt(album + "/\x82.BMP", 3);
  WritePictureAt(album + "/\x81.BMP", 5);
  dialogs.QueueOpenFile(QFile::decodeName(QByteArray::fromStdString(album + "/\x82.BMP")));
  dialogs.QueueAnswer(BoxAnswer::Ok);
  sub().MN_OPENClick();
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_TRUE(dialogs.Boxes()[0].text.contains(QStringLiteral("2個あります"))) << dialogs.Boxes()[0].text.toStdString();
  EXPECT_TRUE(sub().FileName().empty());
}

class ProgramFolderTest : public testing::AppTest {};

// The environment variable for the life of a test.
class ScopedHome {
 public:
  explicit ScopedHome(const std::string& home) { ::setenv("ZUDIZAR_HOME", home.c_str(), 1); }
  ~ScopedHome() { ::unsetenv("ZUDIZAR_HOME"); }
};

TEST_F(ProgramFolderTest, AShiftJisProgramFolderKeepsItsSettingsStartUpPaletteAndRecentFiles) {
  const std::string home = folder.Path().native() + "/" + kSoft;
  std::filesystem::create_directory(home);
  const ScopedHome scoped(home);
  const std::string programFile = ResolveProgramFile();
  ASSERT_EQ(programFile.substr(0, home.size() + 1), home + "/");
  const std::string section = SettingsSectionName(programFile.substr(home.size() + 1));
  // A start-up palette with a colour of its own, a picture to reopen and
  // the settings naming it and placing the main window.
  IndexedImage palette;
  ASSERT_EQ(CreateImage(4, 1, palette), 1);
  palette.colourTable[20] = {0x56, 0x34, 0x12, 0};
  FillImage(palette, 20);
  ASSERT_TRUE(SavePictureFile(home + "/TAVOCINI.BMP", palette));
  const std::string picture = home + "/" + kTable + ".BMP";
  IndexedImage reopened;
  ASSERT_EQ(CreateImage(9, 4, reopened), 1);
  ASSERT_TRUE(SavePictureFile(picture, reopened));
  testing::WriteText(home + "/TAVOINI.INI", "[" + section + "]\nCutLeft=123\nCutTop=45\nFname=" + picture + "\n");

  app = std::make_unique<App>(dialogs, programFile);
  app->Start();
  EXPECT_EQ(app->main().pos(), QPoint(123, 45));
  EXPECT_EQ(SharedPalette.current[10].red, 0x12);
  EXPECT_EQ(SharedPalette.current[10].blue, 0x56);
  ASSERT_EQ(app->main().Recent()->Path(0), picture);
  EXPECT_EQ(app->main().Recent()->Item(0)->text(), QStringLiteral("(&0) ") + ShownName(picture));
  app->main().Recent()->Item(0)->trigger();  // the real handler
  EXPECT_EQ(app->main().CurrentFileName(), picture);
  EXPECT_EQ(app->main().PictureImage().ImageWidth(), 9);
  StopApp();
  // Everything stayed in the one folder: no look-alike was made beside it.
  std::vector<std::string> entries;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
    entries.push_back(entry.path().filename().native());
  EXPECT_EQ(entries, std::vector<std::string>{kSoft});
  EXPECT_NE(testing::ReadText(home + "/TAVOINI.INI").find("Fname=" + picture + "\n"), std::string::npos);
}

}  // namespace
}  // namespace zudizar
