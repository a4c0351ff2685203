#include "ui/common/dialogs.h"

#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

namespace zudizar {

BoxAnswer QtDialogs::MessageBox(QWidget* parent, const QString& text, const QString& caption, BoxButtons buttons,
                                BoxIcon icon) {
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

std::optional<QString> QtDialogs::OpenFileName(QWidget* parent, const QString& filter, const QString& folder) {
  const QString path = QFileDialog::getOpenFileName(parent, QString(), folder, filter);
  if (path.isEmpty()) return std::nullopt;
  return path;
}

std::optional<QString> QtDialogs::SaveFileName(QWidget* parent, const QString& filter, const QString& folder) {
  const QString path = QFileDialog::getSaveFileName(parent, QString(), folder, filter);
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

}  // namespace zudizar
