#pragma once

#include <QDialog>

class QComboBox;

namespace zudizar {

class App;

// Asks for the pixel size of a new canvas. Created once and reused: the last
// texts and values are what the next caller sees.
class TBtnRightDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TBtnRightDlg(App& app);

  int Width = 0;  // the chosen size; named apart from QWidget::width()
  int Height = 0;

  QComboBox* ComboBox1 = nullptr;  // width
  QComboBox* ComboBox2 = nullptr;  // height

  void FormCreate();
  // Converts both texts; false (dialog stays open) when one is refused.
  bool OKBtnClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Converts a text into `value`; shows the conversion error and keeps the
  // value when the text is not a usable whole number.
  bool ConvertText(const QString& text, int& value);

  App& app_;
};

}  // namespace zudizar
