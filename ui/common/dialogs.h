// The one service through which every message box, file dialog, font dialog
// and modal dialog is shown. The real one uses Qt's dialogs; tests install a
// scripted one (tests/support/ui), so UI logic runs offscreen without blocking.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <optional>

class QDialog;
class QWidget;

namespace zudizar {

enum class BoxButtons { Ok, OkCancel, YesNoCancel, YesNo };
enum class BoxIcon { None, Information, Question, Warning, Error };
enum class BoxAnswer { Ok, Cancel, Yes, No };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual BoxAnswer MessageBox(QWidget* parent, const QString& text, const QString& caption, BoxButtons buttons,
                               BoxIcon icon) = 0;
  // A chosen path, or nothing when the user cancelled; the dialog starts in
  // `folder` (empty: wherever the toolkit chooses).
  virtual std::optional<QString> OpenFileName(QWidget* parent, const QString& filter, const QString& folder = {}) = 0;
  virtual std::optional<QString> SaveFileName(QWidget* parent, const QString& filter, const QString& folder = {}) = 0;
  virtual bool ChooseFont(QWidget* parent, QFont& font) = 0;
  // The colour dialog, starting at `colour`; false when the user cancelled.
  virtual bool ChooseColour(QWidget* parent, const QString& caption, QColor& colour) = 0;
  // Runs a modal dialog; returns QDialog::Accepted or QDialog::Rejected.
  virtual int Exec(QDialog& dialog) = 0;
};

class QtDialogs : public Dialogs {
 public:
  BoxAnswer MessageBox(QWidget* parent, const QString& text, const QString& caption, BoxButtons buttons,
                       BoxIcon icon) override;
  std::optional<QString> OpenFileName(QWidget* parent, const QString& filter, const QString& folder = {}) override;
  std::optional<QString> SaveFileName(QWidget* parent, const QString& filter, const QString& folder = {}) override;
  bool ChooseFont(QWidget* parent, QFont& font) override;
  bool ChooseColour(QWidget* parent, const QString& caption, QColor& colour) override;
  int Exec(QDialog& dialog) override;
};

}  // namespace zudizar
