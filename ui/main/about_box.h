#pragma once

#include <QDialog>

namespace zudizar {

class App;

// The about box, shown modally by the version command.
class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(App& app);

 private:
  App& app_;
};

}  // namespace zudizar
