#include "ui/common/mag_info_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/shift_jis.h"
#include "formats/mag.h"
#include "ui/common/dialogs.h"
#include "ui/common/document.h"

namespace zudizar {
namespace {

const QString kCaption = QStringLiteral("MAG情報");
constexpr std::size_t kMachineBytes = 4;

QString Shown(const std::string& bytes) { return QString::fromStdString(ShiftJisToUtf8(bytes)); }

// The Shift_JIS length of a text, or -1 when a character has no code.
long long ShiftJisLength(const QString& text) {
  std::string bytes, refused;
  return Utf8ToShiftJis(text.toStdString(), bytes, refused) ? static_cast<long long>(bytes.size()) : -1;
}

QString CountText(long long bytes, std::size_t limit) {
  if (bytes < 0) return QStringLiteral("Shift_JISで書けない文字があります");
  return limit ? QStringLiteral("%1/%2バイト").arg(bytes).arg(limit) : QStringLiteral("%1バイト").arg(bytes);
}

}  // namespace

MagInfoDialog::MagInfoDialog(QWidget* parent, Dialogs& dialogs, const MagFields& fields)
    : QDialog(parent), dialogs_(dialogs), original_(fields) {
  setObjectName(QStringLiteral("MagInfoDialog"));
  setWindowTitle(kCaption);
  // A picture that never came from a MAG shows what its save would write.
  original_ = WrittenMagFields(fields);
  shownMachine_ = Shown(original_.machine);
  shownUser_ = Shown(original_.user);
  shownComment_ = Shown(original_.comment);

  const auto edit = [this](const char* name, const QString& text) {
    auto* e = new QLineEdit(text, this);
    e->setObjectName(QString::fromLatin1(name));
    connect(e, &QLineEdit::textChanged, this, [this] { CountBytes(); });
    return e;
  };
  const auto label = [this](const char* name) {
    auto* l = new QLabel(this);
    l->setObjectName(QString::fromLatin1(name));
    return l;
  };
  MachineEdit = edit("MachineEdit", shownMachine_);
  UserEdit = edit("UserEdit", shownUser_);
  CommentEdit = edit("CommentEdit", shownComment_);
  CommentEdit->setMinimumWidth(360);
  CodeEdit = new QSpinBox(this);
  CodeEdit->setObjectName(QStringLiteral("CodeEdit"));
  CodeEdit->setRange(0, 255);
  CodeEdit->setValue(original_.machineCode);
  MachineBytes = label("MachineBytes");
  UserBytes = label("UserBytes");
  CommentBytes = label("CommentBytes");

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("機種名"), this), 0, 0);
  grid->addWidget(MachineEdit, 0, 1);
  grid->addWidget(MachineBytes, 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("機種コード"), this), 1, 0);
  grid->addWidget(CodeEdit, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("ユーザー名"), this), 2, 0);
  grid->addWidget(UserEdit, 2, 1);
  grid->addWidget(UserBytes, 2, 2);
  grid->addWidget(new QLabel(QStringLiteral("コメント"), this), 3, 0);
  grid->addWidget(CommentEdit, 3, 1);
  grid->addWidget(CommentBytes, 3, 2);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OKBtn"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel->setObjectName(QStringLiteral("CancelBtn"));
  connect(ok, &QPushButton::clicked, this, [this] {
    if (OKBtnClick()) accept();
  });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  CountBytes();
}

void MagInfoDialog::CountBytes() {
  const auto count = [](QLineEdit* e, const QString& shown, const std::string& original) -> long long {
    return e->text() == shown ? static_cast<long long>(original.size()) : ShiftJisLength(e->text());
  };
  MachineBytes->setText(CountText(count(MachineEdit, shownMachine_, original_.machine), kMachineBytes));
  UserBytes->setText(CountText(count(UserEdit, shownUser_, original_.user), kMagUserNameBytes));
  CommentBytes->setText(CountText(count(CommentEdit, shownComment_, original_.comment), 0));
}

bool MagInfoDialog::Take(QLineEdit* edit, const QString& shown, const std::string& original, std::size_t limit,
                         const QString& what, std::string& bytes) {
  if (edit->text() == shown) {
    bytes = original;
    return true;
  }
  std::string refused;
  QString problem;
  if (!Utf8ToShiftJis(edit->text().toStdString(), bytes, refused))
    problem = QStringLiteral("%1の「%2」はShift_JISで書けない文字です。").arg(what, QString::fromStdString(refused));
  else if (!MagFieldTextAllowed(bytes))
    problem = QStringLiteral("%1に制御文字は書けません。").arg(what);
  else if (limit && bytes.size() > limit)
    problem = QStringLiteral("%1は%2バイトまでです（%3バイトあります）。").arg(what).arg(limit).arg(bytes.size());
  else
    return true;
  dialogs_.MessageBox(this, problem, kCaption, BoxButtons::Ok, BoxIcon::Warning);
  edit->setFocus();
  return false;
}

bool MagInfoDialog::OKBtnClick() {
  MagFields fields = original_;
  if (!Take(MachineEdit, shownMachine_, original_.machine, kMachineBytes, QStringLiteral("機種名"), fields.machine) ||
      !Take(UserEdit, shownUser_, original_.user, kMagUserNameBytes, QStringLiteral("ユーザー名"), fields.user) ||
      !Take(CommentEdit, shownComment_, original_.comment, 0, QStringLiteral("コメント"), fields.comment))
    return false;
  fields.machineCode = static_cast<std::uint8_t>(CodeEdit->value());
  result_ = fields;
  return true;
}

bool EditMagInfo(QWidget* window, Dialogs& dialogs, Document& document) {
  const MagFields before = document.Picture().mag;
  MagInfoDialog dialog(window, dialogs, before);
  if (dialogs.Exec(dialog) != QDialog::Accepted) return false;
  // A picture that never came from a MAG keeps its defaults until something
  // in them is changed.
  if (dialog.Result() == WrittenMagFields(before)) return false;
  return document.SetMagFields(dialog.Result());
}

}  // namespace zudizar
