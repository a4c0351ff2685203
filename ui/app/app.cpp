#include "ui/app/app.h"

#include <QDesktopServices>
#include <QProcess>

#include "base/settings.h"
#include "ui/colour/colour_window.h"
#include "ui/common/dialogs.h"
#include "ui/edit/edit_window.h"
#include "ui/edit/text_input.h"
#include "ui/edit/text_render.h"
#include "ui/main/about_box.h"
#include "ui/main/main_window.h"
#include "ui/main/position_dialog.h"
#include "ui/main/size_dialog.h"
#include "ui/sub/sub_window.h"

namespace zudizar {

App::App(Dialogs& dialogs, const QString& programFile)
    : dialogs_(dialogs), programFile_(programFile), stamper_(std::make_unique<QtTextStamper>()) {
  StartProgram = [](const QString& program) { return QProcess::startDetached(program, {}); };
  OpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  SetProgramFile(programFile.toStdString());
}

App::~App() {
  Shutdown();
  // Destroyed in reverse order of creation; the main window last.
  text_.reset();
  position_.reset();
  sub_.reset();
  colour_.reset();
  size_.reset();
  edit_.reset();
  about_.reset();
  main_.reset();
}

void App::Start() {
  if (started_) return;
  // The main window's creation runs first and alone: it starts the trace log,
  // the shared palette and the settings file that the others read.
  main_ = std::make_unique<TForm1>(*this);
  about_ = std::make_unique<TAboutBox>(*this);
  edit_ = std::make_unique<TTAVOEDTF>(*this);
  size_ = std::make_unique<TBtnRightDlg>(*this);
  colour_ = std::make_unique<TPALETTEF>(*this);
  sub_ = std::make_unique<TTAVOSUBF>(*this);
  position_ = std::make_unique<TITISITEF>(*this);
  text_ = std::make_unique<TForm2>(*this);
  main_->FollowPaletteVisibility();
  started_ = true;
}

void App::Shutdown() {
  if (!started_ || shutDown_) return;
  shutDown_ = true;
  main_->FormDestroy();
  edit_->FormDestroy();
  colour_->FormDestroy();
  sub_->FormDestroy();
  text_->FormDestroy();
}

void App::ShowSettingsError(const SettingsWriteError& error) {
  ShowError(QString::fromStdString(error.what()));
}

void App::ShowError(const QString& text) {
  dialogs_.MessageBox(main_ ? static_cast<QWidget*>(main_.get()) : nullptr, text, kApplicationTitle,
                      BoxButtons::Ok, BoxIcon::Error);
}

}  // namespace zudizar
