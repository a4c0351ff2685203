// Start-up: the application title, then the App object creates the windows
// in their defined order. `--convert IN OUT` runs headless on the same code.
#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <cstdio>
#include <cstring>
#include <string>

#include "ui/app/app.h"
#include "ui/common/dialogs.h"
#include "ui/common/program_folder.h"
#include "ui/edit/edit_window.h"
#include "ui/main/main_window.h"

namespace {

int RunGui(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(zudizar::kApplicationTitle);
  QApplication::setQuitOnLastWindowClosed(false);
  // Japanese captions need a Japanese gothic font.
  QFont font(QStringLiteral("IPAPGothic"));
  font.setPixelSize(13);
  QApplication::setFont(font);
  zudizar::QtDialogs dialogs;
  zudizar::App app(dialogs, zudizar::ResolveProgramFile());
  app.Start();
  app.main().show();
  app.edit().show();
  return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
  return RunGui(argc, argv);
}
