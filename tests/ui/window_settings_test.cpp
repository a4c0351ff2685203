#include "ui/common/window_settings.h"

#include <fcntl.h>

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <cstring>

#include "base/file_system.h"
#include "formats/dispatch.h"
#include "ui/common/recent_files.h"
#include "ui/edit/edit_window.h"
#include "ui/sub/sub_window.h"
#include "ui_support.h"

namespace zudizar {
namespace {

using testing::ReadText;
using testing::WriteText;

TEST(PlaceOnScreens, KeepsWindowsOnAScreenOrFallsBackToTheDesign) {
  const QRect design(240, 2, 435, 300);
  const QList<QRect> screens = {QRect(0, 0, 1600, 1000), QRect(1600, 0, 1024, 768), QRect(5000, 0, 0, 0)};
  struct Case {
    const char* what;
    QRect saved, expected;
  } cases[] = {
      {"on the first screen", QRect(100, 50, 500, 350), QRect(100, 50, 500, 350)},
      {"on the second screen", QRect(2000, 100, 500, 350), QRect(2000, 100, 500, 350)},
      {"partly off to the left stays", QRect(-300, 50, 500, 350), QRect(-300, 50, 500, 350)},
      {"too far left keeps a grip", QRect(-490, 50, 500, 350), QRect(-468, 50, 500, 350)},
      {"caption above the screen comes down", QRect(100, -200, 500, 350), QRect(100, 0, 500, 350)},
      {"larger than its screen is cut", QRect(1600, 0, 3000, 2000), QRect(1600, 0, 1024, 768)},
      {"on no screen", QRect(-9000, -9000, 500, 350), design},
      {"on a screen of no size", QRect(5000, 0, 500, 350), design},
      {"too small to see", QRect(100, 50, 0, 350), design},
  };
  for (const Case& c : cases) EXPECT_EQ(PlaceOnScreens(c.saved, design, screens), c.expected) << c.what;
}

class SavingAndSettingsTest : public testing::AppTest {};

TEST_F(SavingAndSettingsTest, WindowsSavedOffTheScreenStartWhereTheyWereDesigned) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  WriteText(SettingsFile(),
            "[zudizar]\nCutLeft=-90000\nCutTop=-90000\nCutWidth=500\nCutHeight=350\n"
            "SUBLeft=" +
                std::to_string(screen.x()) + "\nSUBTop=" + std::to_string(screen.y()) +
                "\nSUBWidth=99999\nSUBHeight=99999\nEDTLeft=2147483647\nEDTTop=5\n");
  StartApp();
  EXPECT_EQ(app->main().pos(), QPoint(240, 2));
  EXPECT_EQ(app->main().size(), QSize(435, 300));
  EXPECT_LE(app->sub().width(), screen.width());
  EXPECT_LE(app->sub().height(), screen.height());
  EXPECT_LT(app->edit().x(), screen.right());
}

// Says the user may not write any file.
class ReadOnlyFiles : public FileSystem {
 public:
  int Access(const char*, int) override {
    errno = EACCES;
    return -1;
  }
};

TEST_F(SavingAndSettingsTest, ARefusedSaveNamesTheFileAndTheReasonAndKeepsIt) {
  const std::string path = folder.File("読み取り専用.BMP");
  WriteText(path, "old");
  StartApp();
  TForm1& main = app->main();
  WindowProbe::MarkChanged(main);
  WindowProbe::Doc(main).SetFileName(path);
  dialogs.QueueAnswer(BoxAnswer::Ok);
  {
    ReadOnlyFiles readOnly;
    ScopedFileSystem use(readOnly);
    main.MN_SAVEClick();
  }
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_EQ(dialogs.Boxes()[0].text,
            QString::fromStdString(path + " に保存できませんでした。\n" + std::strerror(EACCES)));
  EXPECT_EQ(dialogs.Boxes()[0].caption, QStringLiteral("保存エラー"));
  EXPECT_EQ(ReadText(path), "old");
  EXPECT_TRUE(main.Modified());
  dialogs.QueueAnswer(BoxAnswer::No);
}

TEST_F(SavingAndSettingsTest, AFileNamedWithALineBreakStaysOutOfTheRecentList) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(4, 4, image), 1);
  const std::string plain = folder.File("a.bmp");
  const std::string broken = folder.File("b\n[zudizar]\nINITBMP=x.bmp");
  ASSERT_TRUE(SavePictureFile(plain, image));
  ASSERT_TRUE(SavePictureFile(broken, image));
  WriteText(SettingsFile(), "[zudizar]\nINITBMP=start.bmp\n");
  StartApp();
  app->main().OpenPictureFile(plain);
  app->main().OpenPictureFile(broken);
  EXPECT_EQ(app->main().Recent()->Path(0), plain);
  EXPECT_TRUE(app->main().Recent()->Path(1).empty());
  StopApp();
  EXPECT_EQ(ReadSetting("INITBMP"), "start.bmp");
  EXPECT_EQ(ReadSetting("Fname"), plain);
}

}  // namespace
}  // namespace zudizar
