// The MAG fields on the canvases: they arrive with an opened MAG, go with an
// exchange, come back with an undone open, are written by a save, and the
// MAG information dialog of each canvas edits them as one undoable step.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>

#include "base/file_io.h"
#include "formats/bmp_builder.h"
#include "formats/mag.h"
#include "ui/common/mag_info_dialog.h"
#include "ui_support.h"

namespace zudizar {
namespace {

class MagInfoTest : public testing::CanvasAppTest {
 protected:
  // A MAG file of an 8 x 4 picture with the artist's fields.
  std::string ArtistMag() {
    IndexedImage image;
    EXPECT_EQ(CreateImage(8, 4, image), 1);
    FillImage(image, 3);
    image.mag.present = true;
    image.mag.machine = "PC98";
    image.mag.user =
        "\x83\x5C\x95\x5C"
        "artist" +
        std::string(8, ' ');               // ソ表artist, 18 bytes
    image.mag.comment = "a comment \xA0";  // one undecodable byte
    image.mag.machineCode = 7;
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(EncodeMag(image, bytes));
    const std::string path = folder.File("作品.mag");
    EXPECT_TRUE(WriteFileSafely(path, bytes));
    expected = image.mag;
    return path;
  }
  std::string PlainBmp() {
    testing::BmpBuilder bmp;
    bmp.width = 8;
    bmp.height = 2;
    bmp.table = {{1, 2, 3}};
    bmp.pixels.assign(16, 0);
    const std::string path = folder.File("plain.bmp");
    EXPECT_TRUE(WriteFileSafely(path, bmp.Build()));
    return path;
  }
  MagFields expected;
};

TEST_F(MagInfoTest, FieldsTravelWithThePictureThroughOpenUndoExchangeAndSave) {
  const std::string mag = ArtistMag();
  main().OpenPictureFile(mag);
  EXPECT_EQ(main().PictureImage().mag, expected);
  main().OpenPictureFile(PlainBmp());
  EXPECT_FALSE(main().PictureImage().mag.present);
  main().MN_MAINUNDOClick();
  EXPECT_EQ(main().PictureImage().mag, expected);
  main().MN_MAINREDOClick();
  EXPECT_FALSE(main().PictureImage().mag.present);
  main().MN_MAINUNDOClick();

  // The exchange hands the fields to the sub palette with the picture.
  main().CanvasCommand(8);
  EXPECT_EQ(sub().SubPictureImage().mag, expected);
  EXPECT_FALSE(main().PictureImage().mag.present);

  // Saved as MAG from the sub palette, the file carries them byte for byte.
  const std::string copy = folder.File("copy.mag");
  dialogs.QueueSaveFile(QString::fromStdString(copy));
  sub().MN_NEWSAVEClick();
  std::vector<std::uint8_t> a, b;
  ASSERT_TRUE(ReadWholeFile(mag, a));
  ASSERT_TRUE(ReadWholeFile(copy, b));
  const std::size_t h = std::find(a.begin() + 8, a.end(), 0) - a.begin();
  ASSERT_GT(b.size(), h + 3);
  EXPECT_TRUE(std::equal(a.begin(), a.begin() + h + 3, b.begin()));
}

TEST_F(MagInfoTest, TheDialogShowsEditsAndRefusesWhatShiftJisCannotHold) {
  main().OpenPictureFile(ArtistMag());
  bool shownRight = false;
  dialogs.QueueExec([&](QDialog& d) {
    auto& dialog = static_cast<MagInfoDialog&>(d);
    shownRight = dialog.UserEdit->text() == QStringLiteral("ソ表artist        ") &&
                 dialog.CommentEdit->text() == QStringLiteral("a comment \\xA0") &&
                 dialog.MachineEdit->text() == QStringLiteral("PC98") && dialog.CodeEdit->value() == 7 &&
                 dialog.UserBytes->text().startsWith(QStringLiteral("18/18"));
    dialog.UserEdit->setText(QStringLiteral("絵師\U0001F600"));
    EXPECT_FALSE(dialog.OKBtnClick());
    dialog.UserEdit->setText(QStringLiteral("とても長い名前の絵師さん"));  // 24 bytes
    EXPECT_FALSE(dialog.OKBtnClick());
    dialog.UserEdit->setText(QStringLiteral("絵師"));
    EXPECT_TRUE(dialog.UserBytes->text().startsWith(QStringLiteral("4/18")));
    dialog.CodeEdit->setValue(9);
    EXPECT_TRUE(dialog.OKBtnClick());
    return int(QDialog::Accepted);
  });
  dialogs.QueueAnswer(BoxAnswer::Ok);
  dialogs.QueueAnswer(BoxAnswer::Ok);
  main().Action(QStringLiteral("MN_MAGINFO"))->trigger();
  EXPECT_TRUE(shownRight);
  ASSERT_EQ(dialogs.Boxes().size(), 2u);
  EXPECT_TRUE(dialogs.Boxes()[0].text.contains(QStringLiteral("\U0001F600")));
  EXPECT_TRUE(dialogs.Boxes()[1].text.contains(QStringLiteral("18")));

  // The comment kept its undecodable byte: it was not touched.
  MagFields edited = expected;
  edited.user = "\x8A\x47\x8E\x74";  // 絵師
  edited.machineCode = 9;
  EXPECT_EQ(main().PictureImage().mag, edited);
  EXPECT_TRUE(main().Modified());
  main().MN_MAINUNDOClick();
  EXPECT_EQ(main().PictureImage().mag, expected);
  EXPECT_FALSE(main().Modified());
  main().MN_MAINREDOClick();
  EXPECT_EQ(main().PictureImage().mag, edited);
  WindowProbe::Doc(main()).MarkSaved();

  // Cancelled, or accepted unchanged: nothing happens.
  dialogs.QueueExec([](QDialog&) { return int(QDialog::Rejected); });
  main().Action(QStringLiteral("MN_MAGINFO"))->trigger();
  dialogs.QueueExec([](QDialog& d) { return static_cast<MagInfoDialog&>(d).OKBtnClick() ? 1 : 0; });
  main().Action(QStringLiteral("MN_MAGINFO"))->trigger();
  EXPECT_FALSE(main().Modified());
}

TEST_F(MagInfoTest, EveryCanvasHasTheItemAndPicturesFromElsewhereShowTheDefaults) {
  for (QWidget* window :
       {static_cast<QWidget*>(&main()), static_cast<QWidget*>(&sub()), static_cast<QWidget*>(&edit())}) {
    QAction* item = window->findChild<QAction*>(QStringLiteral("MN_MAGINFO"));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), QStringLiteral("MAG情報(&I)..."));
    auto* file = window->findChild<QMenu*>(QStringLiteral("MN_FILE"));
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->actions().contains(item));
  }
  // The edit palette: defaults shown; a new comment is a step of its own.
  dialogs.QueueExec([](QDialog& d) {
    auto& dialog = static_cast<MagInfoDialog&>(d);
    EXPECT_EQ(dialog.UserEdit->text(), QStringLiteral("ZUDIZAR"));
    EXPECT_EQ(dialog.MachineEdit->text(), QStringLiteral("MG  "));
    EXPECT_EQ(dialog.CodeEdit->value(), 0);
    EXPECT_EQ(dialog.CommentEdit->text(), QString());
    dialog.CommentEdit->setText(QStringLiteral("ｺﾒﾝﾄ"));
    EXPECT_TRUE(dialog.CommentBytes->text().startsWith(QStringLiteral("4")));
    return dialog.OKBtnClick() ? 1 : 0;
  });
  edit().findChild<QAction*>(QStringLiteral("MN_MAGINFO"))->trigger();
  EXPECT_EQ(WindowProbe::Doc(edit()).Picture().mag.comment, "\xBA\xD2\xDD\xC4");
  EXPECT_TRUE(WindowProbe::Doc(edit()).CanUndo());
  WindowProbe::Doc(edit()).Undo();
  EXPECT_FALSE(WindowProbe::Doc(edit()).Picture().mag.present);
}

}  // namespace
}  // namespace zudizar
