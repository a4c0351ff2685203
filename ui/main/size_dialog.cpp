#include "ui/main/size_dialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/limits.h"
#include "ui/app/app.h"

namespace zudizar {

namespace {
const char* const kWidths[] = {"12",  "16",  "24",  "32",  "40",  "48",  "56",  "60",  "64",  "72",
                               "80",  "96",  "108", "120", "128", "144", "160", "192", "200", "240",
                               "256", "280", "320", "360", "384", "400", "440", "480", "512", "520",
                               "560", "600", "640", "680", "720", "760", "800"};
const char* const kHeights[] = {"12",  "16",  "20",  "24",  "28",  "32",  "36",  "40",  "44",  "48",  "56",  "60",
                                "64",  "72",  "80",  "96",  "108", "120", "128", "144", "160", "192", "200", "240",
                                "256", "280", "320", "360", "384", "400", "440", "480", "512", "520", "560", "600"};
}  // namespace

TBtnRightDlg::TBtnRightDlg(App& app) : QDialog(nullptr), app_(app) {
  setObjectName(QStringLiteral("BtnRightDlg"));
  setWindowTitle(QStringLiteral("サイズ変更ダイアログ"));
  ComboBox1 = new QComboBox(this);
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  ComboBox1->setEditable(true);
  for (const char* w : kWidths) ComboBox1->addItem(QString::fromLatin1(w));
  ComboBox1->setEditText(QStringLiteral("256"));
  ComboBox2 = new QComboBox(this);
  ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
  ComboBox2->setEditable(true);
  for (const char* h : kHeights) ComboBox2->addItem(QString::fromLatin1(h));
  ComboBox2->setEditText(QStringLiteral("240"));
  for (QComboBox* box : {ComboBox1, ComboBox2}) {
    // Return goes to the OK button: no inline completion takes it first (it
    // would only deselect the text), and typed sizes do not join the lists.
    box->setCompleter(nullptr);
    box->setInsertPolicy(QComboBox::NoInsert);
  }

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OKBtn"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel->setObjectName(QStringLiteral("CancelBtn"));
  // A refused value keeps the dialog open for correction: closing it as
  // accepted would make New wipe the canvas for a size nobody chose.
  connect(ok, &QPushButton::clicked, this, [this] {
    if (OKBtnClick()) accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* fields = new QHBoxLayout;
  fields->addWidget(new QLabel(QStringLiteral("ピクセル数　横"), this));
  fields->addWidget(ComboBox1);
  fields->addWidget(new QLabel(QStringLiteral("縦"), this));
  fields->addWidget(ComboBox2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  resize(303, 71);
  setModal(true);
  FormCreate();
}

bool TBtnRightDlg::ConvertText(const QString& text, int& value) {
  bool ok = false;
  const int converted = text.trimmed().toInt(&ok, 10);
  if (!ok) {
    app_.ShowError(QStringLiteral("'%1' は整数ではありません").arg(text));
    return false;
  }
  // A canvas needs at least one pixel and at most the picture limit per side.
  if (converted < 1 || converted > kMaxImageSide) {
    app_.ShowError(QStringLiteral("'%1' は 1 から %2 までの整数ではありません").arg(text).arg(kMaxImageSide));
    return false;
  }
  value = converted;
  return true;
}

void TBtnRightDlg::FormCreate() {
  ConvertText(ComboBox1->currentText(), Width);
  ConvertText(ComboBox2->currentText(), Height);
}

bool TBtnRightDlg::OKBtnClick() {
  // A failing width also leaves the height unconverted.
  if (!ConvertText(ComboBox1->currentText(), Width)) return false;
  return ConvertText(ComboBox2->currentText(), Height);
}

void TBtnRightDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Typing starts in the width field again, whichever field was used last.
  ComboBox1->setFocus();
  if (ComboBox1->lineEdit()) ComboBox1->lineEdit()->selectAll();
}

}  // namespace zudizar
