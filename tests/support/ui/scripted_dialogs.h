// The dialogs service of tests and benchmarks: records every box and
// answers from queues, so the windows' logic runs offscreen without blocking.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "ui/common/dialogs.h"

namespace zudizar {

// Records every box and answers from queues. Anything shown that nobody
// scripted is reported through `onUnexpected` (tests make it a failure) and
// answered with Cancel.
class ScriptedDialogs : public Dialogs {
 public:
  struct Box {
    QString text, caption;
    BoxButtons buttons;
    BoxIcon icon;
  };

  explicit ScriptedDialogs(std::function<void(const QString&)> onUnexpected) : onUnexpected_(std::move(onUnexpected)) {}

  void QueueAnswer(BoxAnswer answer) { answers_.push_back(answer); }
  void QueueOpenFile(std::optional<QString> path) { openFiles_.push_back(std::move(path)); }
  void QueueSaveFile(std::optional<QString> path) { saveFiles_.push_back(std::move(path)); }
  void QueueFont(std::optional<QFont> font) { fonts_.push_back(std::move(font)); }
  void QueueColour(std::optional<QColor> colour) { colours_.push_back(std::move(colour)); }
  // The script fills the dialog's controls as a user would, then the result is returned.
  void QueueExec(std::function<int(QDialog&)> script) { execs_.push_back(std::move(script)); }

  const std::vector<Box>& Boxes() const { return boxes_; }
  int ExecCount() const { return execCount_; }
  bool AllAnswersUsed() const {
    return answers_.empty() && openFiles_.empty() && saveFiles_.empty() && fonts_.empty() && colours_.empty() &&
           execs_.empty();
  }

  BoxAnswer MessageBox(QWidget* parent, const QString& text, const QString& caption, BoxButtons buttons,
                       BoxIcon icon) override;
  std::optional<QString> OpenFileName(QWidget* parent, const QString& filter, const QString& folder = {}) override;
  std::optional<QString> SaveFileName(QWidget* parent, const QString& filter, const QString& folder = {}) override;
  // The folder each file dialog started in, in order.
  const std::vector<QString>& FileDialogFolders() const { return folders_; }
  bool ChooseFont(QWidget* parent, QFont& font) override;
  bool ChooseColour(QWidget* parent, const QString& caption, QColor& colour) override;
  int Exec(QDialog& dialog) override;
  // The colour each colour dialog started at.
  const std::vector<QColor>& ColourStarts() const { return colourStarts_; }

 private:
  std::function<void(const QString&)> onUnexpected_;
  std::deque<BoxAnswer> answers_;
  std::deque<std::optional<QString>> openFiles_, saveFiles_;
  std::deque<std::optional<QFont>> fonts_;
  std::deque<std::optional<QColor>> colours_;
  std::vector<QColor> colourStarts_;
  std::vector<QString> folders_;
  std::deque<std::function<int(QDialog&)>> execs_;
  std::vector<Box> boxes_;
  int execCount_ = 0;
};

}  // namespace zudizar
