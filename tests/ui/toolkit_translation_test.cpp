// The standard dialogs read in Japanese: the toolkit's own translation is
// installed at start. In a binary of its own, since it changes every
// toolkit text of the process.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "ui/common/toolkit_translation.h"
#include "ui_support.h"

namespace zudizar {
namespace {

TEST(ToolkitTranslation, StandardButtonsAndFileDialogsReadInJapanese) {
  QApplication& application = testing::EnsureQtApplication();
  QDialogButtonBox before(QDialogButtonBox::Cancel);
  ASSERT_EQ(before.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancel"));

  ASSERT_TRUE(InstallToolkitTranslation(application));
  QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
  QMessageBox box;
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  EXPECT_TRUE(box.button(QMessageBox::Yes)->text().startsWith(QStringLiteral("はい")));
  EXPECT_TRUE(box.button(QMessageBox::No)->text().startsWith(QStringLiteral("いいえ")));
  // The toolkit's own file dialog (the one used without a desktop's).
  EXPECT_NE(QFileDialog::tr("Look in:"), QStringLiteral("Look in:"));
  EXPECT_NE(QFileDialog::tr("Open"), QStringLiteral("Open"));
}

}  // namespace
}  // namespace zudizar
