// The MAG information dialog ("MAG情報") of every canvas: the machine name,
// machine code, user name and comment a MAG file keeps about its picture,
// shown decoded from Shift_JIS and editable, each text with its byte count.
#pragma once

#include <QDialog>
#include <QString>

#include "core/indexed_image.h"

class QLabel;
class QLineEdit;
class QSpinBox;
class QWidget;

namespace zudizar {

class Dialogs;
class Document;

class MagInfoDialog : public QDialog {
  Q_OBJECT
 public:
  // Shows `fields`, or for a picture that never came from a MAG what its
  // save would write (machine code 0, the MagUserName setting, no comment).
  MagInfoDialog(QWidget* parent, Dialogs& dialogs, const MagFields& fields);

  QLineEdit* MachineEdit = nullptr;
  QSpinBox* CodeEdit = nullptr;
  QLineEdit* UserEdit = nullptr;
  QLineEdit* CommentEdit = nullptr;
  QLabel* MachineBytes = nullptr;
  QLabel* UserBytes = nullptr;
  QLabel* CommentBytes = nullptr;

  // Converts the texts; false, with a message, when one is refused (the
  // dialog then stays open). A text left as it was shown keeps its bytes,
  // even those shown as escapes.
  bool OKBtnClick();
  // The fields as accepted.
  const MagFields& Result() const { return result_; }

 private:
  void CountBytes();
  bool Take(QLineEdit* edit, const QString& shown, const std::string& original, std::size_t limit, const QString& what,
            std::string& bytes);

  Dialogs& dialogs_;
  MagFields original_;
  MagFields result_;
  QString shownMachine_, shownUser_, shownComment_;
};

// Runs the dialog over `window` for the document's picture; accepted changes
// become one step of the document's history. Returns whether they changed.
bool EditMagInfo(QWidget* window, Dialogs& dialogs, Document& document);

}  // namespace zudizar
