#include "ui/main/position_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>

namespace zudizar {

namespace {
QLineEdit* MakeMaskEdit(QWidget* parent, const QString& name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setMaxLength(3);
  // Up to three digits: 0 … 999.
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), edit));
  return edit;
}
}  // namespace

TITISITEF::TITISITEF(App& app) : QDialog(nullptr), app_(app) {
  setObjectName(QStringLiteral("ITISITEF"));
  setWindowTitle(QStringLiteral("位置指定ﾀﾞｲｱﾛｸﾞ"));
  MaskEditX = MakeMaskEdit(this, QStringLiteral("MaskEditX"));
  MaskEditY = MakeMaskEdit(this, QStringLiteral("MaskEditY"));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OKBtn"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  cancel->setObjectName(QStringLiteral("CancelBtn"));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);  // Escape rejects too
  connect(MaskEditX, &QLineEdit::textChanged, this, [this](const QString& text) {
    bool converted = false;
    const int value = text.toInt(&converted);
    if (converted) X = value;
  });
  connect(MaskEditY, &QLineEdit::textChanged, this, [this](const QString& text) {
    bool converted = false;
    const int value = text.toInt(&converted);
    if (converted) Y = value;
  });
  auto* layout = new QGridLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("位置指定"), this), 0, 0, 1, 4);
  layout->addWidget(new QLabel(QStringLiteral("X"), this), 1, 0);
  layout->addWidget(MaskEditX, 1, 1);
  layout->addWidget(new QLabel(QStringLiteral("Y"), this), 1, 2);
  layout->addWidget(MaskEditY, 1, 3);
  layout->addWidget(ok, 0, 4);
  layout->addWidget(cancel, 1, 4);
  resize(263, 72);
  setModal(true);
  FormCreate();
}

void TITISITEF::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Each opening starts in X with its text selected, so typing replaces the
  // three digits (which would otherwise refuse every key) and Tab leads to Y.
  MaskEditX->setFocus(Qt::OtherFocusReason);
  MaskEditX->selectAll();
}

void TITISITEF::FormCreate() {
  X = 0;
  Y = 0;
  MaskEditX->setText(QStringLiteral("000"));
  MaskEditY->setText(QStringLiteral("000"));
}

}  // namespace zudizar
