#include "ui/main/about_box.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace zudizar {

TAboutBox::TAboutBox(App& app) : QDialog(nullptr), app_(app) {
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QStringLiteral("バージョン情報"));
  auto* layout = new QGridLayout(this);
  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("ProgramIcon"));
  icon->setPixmap(QApplication::windowIcon().isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32)
                                                      : QApplication::windowIcon().pixmap(32, 32));
  auto* product = new QLabel(QStringLiteral("ZUDIZAR"), this);
  product->setObjectName(QStringLiteral("ProductName"));
  auto* version = new QLabel(QStringLiteral("Version0.46"), this);
  version->setObjectName(QStringLiteral("Version"));
  auto* comments = new QLabel(QStringLiteral("ﾐﾗﾙｶ貼り絵ﾂｰﾙ"), this);
  comments->setObjectName(QStringLiteral("Comments"));
  auto* ok = new QPushButton(QStringLiteral("   OK"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  layout->addWidget(icon, 0, 0, 2, 1);
  layout->addWidget(product, 0, 1);
  layout->addWidget(version, 1, 1);
  layout->addWidget(comments, 2, 1);
  layout->addWidget(ok, 3, 0, 1, 2, Qt::AlignHCenter);
  setModal(true);
}

}  // namespace zudizar
