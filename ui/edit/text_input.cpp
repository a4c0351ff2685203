#include "ui/edit/text_input.h"

#include <QAction>
#include <QLineEdit>

#include "base/settings.h"
#include "ui/app/app.h"
#include "ui/common/window_settings.h"
#include "ui/edit/edit_window.h"
#include "ui/edit/text_render.h"

namespace zudizar {

TForm2::TForm2(App& app) : QWidget(nullptr, Qt::Tool), app_(app) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("文字入力"));
  QFont font = DefinedFont(QStringLiteral("ＭＳ Ｐゴシック"), -12);
  font.setStyleStrategy(QFont::PreferDefault);
  setFont(font);
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  QFont editFont = DefinedFont(QStringLiteral("ＭＳ ゴシック"), -16);
  // The field itself is ordinary text: smoothing only stays off in the stamp.
  editFont.setStyleStrategy(QFont::PreferDefault);
  Edit1->setFont(editFont);
  Edit1->setGeometry(8, 8, 297, 24);
  connect(Edit1, &QLineEdit::textChanged, this, &TForm2::Edit1Change);
  resize(314, 41);
  move(200, 64);
  FormCreate();
}

void TForm2::FormCreate() {
  RestoreWindowPosition(*this, "Form2Left", "Form2Top");
  bool& vertical = app_.session().tools.text.vertical;
  vertical = ReadIntSetting("Form2Vertical", 0) != 0;
  emit app_.session().toolsChanged();
}

void TForm2::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  try {
    SaveWindowPosition(*this, "Form2Left", "Form2Top");
    WriteSetting("Form2Vertical", app_.session().tools.text.vertical ? "1" : "0");
  } catch (const SettingsWriteError& error) {
    app_.ShowSettingsError(error);
  }
}

void TForm2::Edit1Change(const QString& text) {
  // The edit palette's caption echoes what is typed.
  app_.session().tools.text.text = text.toStdString();
  emit app_.session().toolsChanged();
  app_.SetCaption(WindowId::Edit, text);
}

}  // namespace zudizar
