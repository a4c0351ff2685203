#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QToolButton>

#include "ui/edit/edit_window.h"
#include "ui/edit/text_input.h"
#include "ui/edit/text_render.h"
#include "ui/main/main_window.h"
#include "ui_support.h"

namespace zudizar {
namespace {

using testing::ReadText;

class TextToolTest : public testing::AppTest {
 protected:
  TTAVOEDTF& edit() { return app->edit(); }
  QAction* EditItem(const char* name) { return edit().Action(QString::fromLatin1(name)); }
  int Count(std::uint8_t index) {
    int n = 0;
    for (std::uint8_t p : edit().EditImage().pixels) n += p == index;
    return n;
  }
};

TEST_F(TextToolTest, TheButtonClearsTheTextAndTheMenuKeepsIt) {
  StartApp();
  app->textInput().Edit1->setText(QStringLiteral("貼り絵"));
  EXPECT_EQ(edit().windowTitle(), QStringLiteral("貼り絵"));
  EditItem("MN_EDITMOJI")->trigger();
  EXPECT_EQ(app->textInput().Edit1->text(), QStringLiteral("貼り絵"));
  EXPECT_TRUE(app->textInput().isVisible());
  EXPECT_TRUE(EditItem("MN_EDITMOJI")->isChecked());
  edit().findChild<QToolButton*>(QStringLiteral("BTN_MOJI"))->click();
  EXPECT_TRUE(app->session().tools.text.text.empty());
  EXPECT_TRUE(app->textInput().Edit1->text().isEmpty());
}

TEST_F(TextToolTest, StampsAtAFixedPlaceOrWhereTheMouseIsReleased) {
  StartApp();
  FillImage(WindowProbe::Doc(edit()).Picture(), 255);
  app->session().tools.text.font = DescribeFont(DefinedFont(QStringLiteral("ＭＳ ゴシック"), -16));
  edit().MN_EDITMOJIClick();
  app->textInput().Edit1->setText(QStringLiteral("文字"));
  EditItem("MN_KOTEIDOWNRIGHT")->trigger();
  EXPECT_FALSE(EditItem("MN_KOTEICANCEL")->isChecked());
  const std::uint8_t left = app->session().LeftColour();
  edit().PaintBox1MouseDown(Qt::LeftButton, 3, 3);
  edit().PaintBox1MouseUp(Qt::LeftButton, 3, 3);
  const int letters = Count(left);
  EXPECT_GT(letters, 0);
  EXPECT_EQ(edit().EditImage().At(5, 5), 255);
  EXPECT_EQ(letters + Count(255), 256 * 240);
  // Free placement: a preview while dragging, the stamp on release.
  EditItem("MN_KOTEICANCEL")->trigger();
  FillImage(WindowProbe::Doc(edit()).Picture(), 255);
  edit().PaintBox1MouseDown(Qt::LeftButton, 10, 10);
  edit().PaintBox1MouseMove(Qt::LeftButton, 40, 30);
  EXPECT_EQ(Count(left), 0);
  edit().PaintBox1MouseUp(Qt::LeftButton, 40, 30);
  EXPECT_EQ(Count(left), letters);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 256; ++x) ASSERT_EQ(edit().EditImage().At(x, y), 255);
}

TEST_F(TextToolTest, StampsOnTheMainCanvasInEditMode) {
  StartApp();
  TForm1& main = app->main();
  app->session().tools.text.font = DescribeFont(DefinedFont(QStringLiteral("ＭＳ ゴシック"), -16));
  edit().MN_EDITMOJIClick();
  app->textInput().Edit1->setText(QStringLiteral("縦"));
  EditItem("MN_TATEGAKI")->trigger();
  main.MN_HensyuModeClick();
  ASSERT_EQ(main.Mode(), 20);
  const std::uint8_t right = app->session().RightColour();
  main.PaintBox1MouseDown(Qt::RightButton, 600, 10);
  main.PaintBox1MouseMove(Qt::RightButton, 300, 150);
  EXPECT_EQ(main.PictureImage().At(305, 155), 255);  // only previewed
  main.PaintBox1MouseUp(Qt::RightButton, 300, 150);
  int letters = 0, outside = 0;
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 640; ++x)
      if (WindowProbe::Doc(main).Picture().At(x, y) == right)
        (x >= 300 && x < 316 && y >= 150 && y < 166 ? letters : outside)++;
  EXPECT_GT(letters, 0);
  EXPECT_EQ(outside, 0);
  EXPECT_TRUE(main.Modified());
  // The preview is gone from the screen buffer where the stamp passed.
  EXPECT_EQ(main.DisplayImage().At(600, 10), main.PictureImage().At(600, 10));
  dialogs.QueueAnswer(BoxAnswer::No);  // closing with the changed picture
}

TEST_F(TextToolTest, VerticalSettingIsAToggleKeptInTheSettings) {
  StartApp();
  EXPECT_FALSE(EditItem("MN_TATEGAKI")->isChecked());
  EditItem("MN_TATEGAKI")->trigger();
  EXPECT_TRUE(EditItem("MN_TATEGAKI")->isChecked());
  EXPECT_TRUE(app->session().tools.text.vertical);
  EXPECT_EQ(app->session().tools.text.fixedPlace, 0);  // not one of the fixed places
  StopApp();
  EXPECT_NE(ReadText(SettingsFile()).find("Form2Vertical=1"), std::string::npos);
  StartApp();
  EXPECT_TRUE(EditItem("MN_TATEGAKI")->isChecked());
  EXPECT_TRUE(app->session().tools.text.vertical);
}

}  // namespace
}  // namespace zudizar
