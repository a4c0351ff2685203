#include "support/ui/scripted_dialogs.h"

#include <QDialog>

namespace zudizar {

BoxAnswer ScriptedDialogs::MessageBox(QWidget*, const QString& text, const QString& caption, BoxButtons buttons,
                                      BoxIcon icon) {
  boxes_.push_back({text, caption, buttons, icon});
  if (answers_.empty()) {
    onUnexpected_(QStringLiteral("unscripted message box: ") + caption + QStringLiteral(" / ") + text);
    return BoxAnswer::Cancel;
  }
  const BoxAnswer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::optional<QString> ScriptedDialogs::OpenFileName(QWidget*, const QString& filter, const QString& folder) {
  folders_.push_back(folder);
  if (openFiles_.empty()) {
    onUnexpected_(QStringLiteral("unscripted open dialog: ") + filter);
    return std::nullopt;
  }
  auto path = openFiles_.front();
  openFiles_.pop_front();
  return path;
}

std::optional<QString> ScriptedDialogs::SaveFileName(QWidget*, const QString& filter, const QString& folder) {
  folders_.push_back(folder);
  if (saveFiles_.empty()) {
    onUnexpected_(QStringLiteral("unscripted save dialog: ") + filter);
    return std::nullopt;
  }
  auto path = saveFiles_.front();
  saveFiles_.pop_front();
  return path;
}

bool ScriptedDialogs::ChooseFont(QWidget*, QFont& font) {
  if (fonts_.empty()) {
    onUnexpected_(QStringLiteral("unscripted font dialog"));
    return false;
  }
  auto chosen = fonts_.front();
  fonts_.pop_front();
  if (!chosen) return false;
  font = *chosen;
  return true;
}

bool ScriptedDialogs::ChooseColour(QWidget*, const QString& caption, QColor& colour) {
  colourStarts_.push_back(colour);
  if (colours_.empty()) {
    onUnexpected_(QStringLiteral("unscripted colour dialog: ") + caption);
    return false;
  }
  auto chosen = colours_.front();
  colours_.pop_front();
  if (!chosen) return false;
  colour = *chosen;
  return true;
}

int ScriptedDialogs::Exec(QDialog& dialog) {
  ++execCount_;
  if (execs_.empty()) {
    onUnexpected_(QStringLiteral("unscripted modal dialog: ") + dialog.windowTitle());
    return QDialog::Rejected;
  }
  auto script = std::move(execs_.front());
  execs_.pop_front();
  return script(dialog);
}

}  // namespace zudizar
