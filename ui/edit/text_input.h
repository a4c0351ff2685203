#pragma once

#include <QWidget>

class QLineEdit;

namespace zudizar {

class App;

// The text input window of the text tool. What is typed becomes the text
// tool's text in the shared tool settings; it also keeps the "縦書き" choice
// of those settings in "Form2Vertical".
class TForm2 : public QWidget {
  Q_OBJECT
 public:
  explicit TForm2(App& app);

  QLineEdit* Edit1 = nullptr;

  void FormCreate();
  void FormDestroy();
  void Edit1Change(const QString& text);

 private:
  App& app_;
  bool destroyed_ = false;
};

}  // namespace zudizar
