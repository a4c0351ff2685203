#pragma once

#include <QWidget>

class QLineEdit;

namespace zudizar {

class App;

// The text input window of the text tool.
class TForm2 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm2(App& app);

  QLineEdit* Edit1 = nullptr;
  // The text tool sets its text top to bottom ("縦書き"); kept in "Form2Vertical".
  bool VerticalText = false;

  void FormCreate();
  void FormDestroy();
  void Edit1Change(const QString& text);

 private:
  App& app_;
  bool destroyed_ = false;
};

}  // namespace zudizar
