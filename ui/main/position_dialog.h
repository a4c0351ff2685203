#pragma once

#include <QDialog>

class QLineEdit;

namespace zudizar {

class App;

// Asks for the X and Y position at which a piece is pasted (0 … 999).
class TITISITEF : public QDialog {
  Q_OBJECT
 public:
  explicit TITISITEF(App& app);

  int X = 0;
  int Y = 0;
  QLineEdit* MaskEditX = nullptr;
  QLineEdit* MaskEditY = nullptr;

  void FormCreate();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  App& app_;
};

}  // namespace zudizar
