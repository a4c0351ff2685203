#include <gtest/gtest.h>

#include <QPushButton>

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "ui/colour/colour_window.h"
#include "ui/common/paint_box.h"
#include "ui/main/position_dialog.h"
#include "ui/main/size_dialog.h"
#include "ui_support.h"

namespace zudizar {
namespace {

class DialogsTest : public testing::AppTest {};

TEST_F(DialogsTest, SizeDialogConvertsItsTexts) {
  StartApp();
  TBtnRightDlg& dialog = app->sizeDialog();
  EXPECT_EQ(dialog.Width, 256);
  EXPECT_EQ(dialog.Height, 240);
  EXPECT_EQ(dialog.ComboBox1->count(), 37);
  EXPECT_EQ(dialog.ComboBox2->count(), 36);
  for (int i = 0; i < dialog.ComboBox1->count(); ++i)
    EXPECT_EQ(dialog.ComboBox1->itemText(i).toInt() % 4, 0) << dialog.ComboBox1->itemText(i).toStdString();
  dialog.OKBtnClick();
  EXPECT_EQ(dialog.Width, 256);
  EXPECT_EQ(dialog.Height, 240);
  dialog.ComboBox1->setEditText(QStringLiteral("100"));
  dialog.ComboBox2->setEditText(QStringLiteral("60"));
  dialog.OKBtnClick();
  EXPECT_EQ(dialog.Width, 100);
  EXPECT_EQ(dialog.Height, 60);
}

TEST_F(DialogsTest, SizeDialogReportsTextsThatAreNotWholeNumbers) {
  StartApp();
  TBtnRightDlg& dialog = app->sizeDialog();
  dialog.ComboBox1->setEditText(QStringLiteral("abc"));
  dialog.ComboBox2->setEditText(QStringLiteral("60"));
  dialogs.QueueAnswer(BoxAnswer::Ok);
  dialog.OKBtnClick();
  ASSERT_EQ(dialogs.Boxes().size(), 1u);
  EXPECT_EQ(dialogs.Boxes()[0].text, QStringLiteral("'abc' は整数ではありません"));
  // A failing width also leaves the height unconverted.
  EXPECT_EQ(dialog.Width, 256);
  EXPECT_EQ(dialog.Height, 240);
  // A size the canvas cannot have is refused the same way.
  dialog.ComboBox1->setEditText(QStringLiteral("0"));
  dialogs.QueueAnswer(BoxAnswer::Ok);
  EXPECT_FALSE(dialog.OKBtnClick());
  EXPECT_EQ(dialogs.Boxes().size(), 2u);
  EXPECT_EQ(dialog.Width, 256);
  // Through the OK button a refused value keeps the dialog open.
  dialog.show();
  dialogs.QueueAnswer(BoxAnswer::Ok);
  dialog.findChild<QPushButton*>(QStringLiteral("OKBtn"))->click();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  dialog.reject();
}

TEST_F(DialogsTest, PositionDialogKeepsTheLastWholeNumber) {
  StartApp();
  TITISITEF& dialog = app->position();
  EXPECT_EQ(dialog.X, 0);
  EXPECT_EQ(dialog.MaskEditX->text(), QStringLiteral("000"));
  dialog.MaskEditX->setText(QStringLiteral("7"));
  EXPECT_EQ(dialog.X, 7);
  dialog.MaskEditX->clear();
  EXPECT_EQ(dialog.X, 7);
  dialog.MaskEditY->setText(QStringLiteral("999"));
  EXPECT_EQ(dialog.Y, 999);
  // At most three digits get in.
  dialog.MaskEditY->setText(QStringLiteral("1234"));
  EXPECT_LE(dialog.MaskEditY->text().size(), 3);
  EXPECT_LE(dialog.Y, 999);
}

// Typed as a user types: each opening starts in X with its text selected, so
// "10 Tab 10 Return" gives (10, 10) every time; the size dialog takes the
// first Return.
TEST_F(DialogsTest, DialogsTakeTypingFromTheirFirstFieldAndTheFirstReturn) {
  StartApp();
  TITISITEF& position = app->position();
  for (int opening = 0; opening < 2; ++opening) {
    position.show();
    QApplication::setActiveWindow(&position);
    QTest::qWait(1);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("10"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("10"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(position.isVisible()) << opening;
    EXPECT_EQ(position.result(), QDialog::Accepted) << opening;
    EXPECT_EQ(position.X, 10) << opening;
    EXPECT_EQ(position.Y, 10) << opening;
    if (position.isVisible()) position.reject();
  }

  TBtnRightDlg& size = app->sizeDialog();
  for (const QString& typed : {QString(), QStringLiteral("100")}) {
    size.show();
    QApplication::setActiveWindow(&size);
    QTest::qWait(1);
    if (!typed.isEmpty()) QTest::keyClicks(QApplication::focusWidget(), typed);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(size.isVisible()) << typed.toStdString();
    EXPECT_EQ(size.result(), QDialog::Accepted) << typed.toStdString();
    EXPECT_EQ(size.Width, typed.isEmpty() ? 256 : 100);
    if (size.isVisible()) size.reject();
  }
}

TEST_F(DialogsTest, NewWithCancelChangesNothing) {
  StartApp();
  TForm1& main = app->main();
  FillRect(WindowProbe::Doc(main).Picture(), 0, 0, 4, 4, 7);
  dialogs.QueueExec([](QDialog&) { return int(QDialog::Rejected); });
  main.MN_NEWClick();
  EXPECT_EQ(main.PictureImage().ImageWidth(), 640);
  EXPECT_EQ(main.PictureImage().At(0, 0), 7);
  EXPECT_FALSE(main.Busy());
}

TEST_F(DialogsTest, NewMakesAWhiteCanvasOfTheChosenSize) {
  StartApp();
  TForm1& main = app->main();
  WindowProbe::Doc(main).SetFileName("/old.BMP");
  dialogs.QueueExec([](QDialog& dialog) {
    auto& size = static_cast<TBtnRightDlg&>(dialog);
    size.ComboBox1->setEditText(QStringLiteral("100"));
    size.ComboBox2->setEditText(QStringLiteral("60"));
    size.OKBtnClick();
    return int(QDialog::Accepted);
  });
  dialogs.QueueAnswer(BoxAnswer::Cancel);  // keep the colour palette
  dialogs.QueueAnswer(BoxAnswer::Ok);      // set a background colour
  main.MN_NEWClick();
  ASSERT_EQ(dialogs.Boxes().size(), 2u);
  EXPECT_EQ(dialogs.Boxes()[0].text, QStringLiteral("カラーパレットを変更しますか。"));
  EXPECT_EQ(dialogs.Boxes()[0].caption, QStringLiteral("色パレット選択"));
  EXPECT_EQ(dialogs.Boxes()[0].buttons, BoxButtons::OkCancel);
  EXPECT_EQ(dialogs.Boxes()[0].icon, BoxIcon::Question);
  EXPECT_EQ(dialogs.Boxes()[1].text, QStringLiteral("背景色を設定しますか。"));
  EXPECT_EQ(dialogs.Boxes()[1].caption, QStringLiteral("背景色選択"));
  EXPECT_EQ(main.PictureImage().ImageWidth(), 100);
  EXPECT_EQ(main.PictureImage().ImageHeight(), 60);
  EXPECT_EQ(main.ViewImage().ImageWidth(), 100);
  EXPECT_EQ(main.PaintBox1()->size(), QSize(100, 60));
  for (auto p : main.PictureImage().pixels) ASSERT_EQ(p, 255);
  EXPECT_TRUE(main.CurrentFileName().empty());
  EXPECT_EQ(static_cast<int>(app->session().Background()), 1);
  EXPECT_TRUE(app->colour().isVisible());
}

}  // namespace
}  // namespace zudizar
