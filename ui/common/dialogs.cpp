#include "ui/common/dialogs.h"

#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

namespace zudizar {

BoxAnswer QtDialogs::MessageBox(QWidget* parent, const QString& text, const QString& caption,
                                BoxButtons buttons, BoxIcon icon) {
  QMessageBox box(parent);
  box.setText(text);
  box.setWindowTitle(caption);
  switch (icon) {
    case BoxIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case BoxIcon::Information: box.setIcon(QMessageBox::Information); break;
    case BoxIcon::Question: box.setIcon(QMessageBox::Question); break;
    case BoxIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case BoxIcon::Error: box.setIcon(QMessageBox::Critical); break;
  }
  switch (buttons) {
    case BoxButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case BoxButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case BoxButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
    case BoxButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok: return BoxAnswer::Ok;
    case QMessageBox::Yes: return BoxAnswer::Yes;
    case QMessageBox::No: return BoxAnswer::No;
    default: return BoxAnswer::Cancel;
  }
}

std::optional<QString> QtDialogs::OpenFileName(QWidget* parent, const QString& filter) {
  const QString path = QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
  if (path.isEmpty()) return std::nullopt;
  return path;
}

std::optional<QString> QtDialogs::SaveFileName(QWidget* parent, const QString& filter) {
  const QString path = QFileDialog::getSaveFileName(parent, QString(), QString(), filter);
  if (path.isEmpty()) return std::nullopt;
  return path;
}

bool QtDialogs::ChooseFont(QWidget* parent, QFont& font) {
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, font, parent);
  if (ok) font = chosen;
  return ok;
}

bool QtDialogs::ChooseColour(QWidget* parent, const QString& caption, QColor& colour) {
  const QColor chosen = QColorDialog::getColor(colour, parent, caption);
  if (!chosen.isValid()) return false;
  colour = chosen;
  return true;
}

int QtDialogs::Exec(QDialog& dialog) { return dialog.exec(); }

BoxAnswer ScriptedDialogs::MessageBox(QWidget*, const QString& text, const QString& caption,
                                      BoxButtons buttons, BoxIcon icon) {
  boxes_.push_back({text, caption, buttons, icon});
  if (answers_.empty()) {
    onUnexpected_(QStringLiteral("unscripted message box: ") + caption + QStringLiteral(" / ") + text);
    return BoxAnswer::Cancel;
  }
  const BoxAnswer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::optional<QString> ScriptedDialogs::OpenFileName(QWidget*, const QString& filter) {
  if (openFiles_.empty()) {
    onUnexpected_(QStringLiteral("unscripted open dialog: ") + filter);
    return std::nullopt;
  }
  auto path = openFiles_.front();
  openFiles_.pop_front();
  return path;
}

std::optional<QString> ScriptedDialogs::SaveFileName(QWidget*, const QString& filter) {
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
