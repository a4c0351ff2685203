// The App object: creates the eight windows once, in the defined order, and
// lets them reach each other. No other globals, so each test builds its own.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

#include "ui/common/session.h"

namespace zudizar {

class Dialogs;
class SettingsWriteError;
class TForm1;
class TAboutBox;
class TTAVOEDTF;
class TBtnRightDlg;
class TPALETTEF;
class TTAVOSUBF;
class TITISITEF;
class TForm2;
class TextStamper;

inline const QString kApplicationTitle = QStringLiteral("ﾐﾗﾙｶ貼り絵ﾂｰﾙ　v0.46");
inline const QString kHelpFileName = QStringLiteral("ZUDIZAR.html");

class App {
 public:
  // `programFile` is the program file's path inside the program folder.
  App(Dialogs& dialogs, const QString& programFile);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Creates the windows (each runs its FormCreate) and shows the main window
  // and the edit palette.
  void Start();
  // Runs every window's destruction steps once: the main window's first.
  void Shutdown();

  TForm1& main() { return *main_; }
  TAboutBox& about() { return *about_; }
  TTAVOEDTF& edit() { return *edit_; }
  TBtnRightDlg& sizeDialog() { return *size_; }
  TPALETTEF& colour() { return *colour_; }
  TTAVOSUBF& sub() { return *sub_; }
  TITISITEF& position() { return *position_; }
  TForm2& textInput() { return *text_; }
  Dialogs& dialogs() { return dialogs_; }
  // What the windows share: the tool settings, with their change signal.
  Session& session() { return session_; }
  // Renders the text tool's stamp for every canvas that draws.
  TextStamper& textStamper() { return *stamper_; }
  const QString& ProgramFile() const { return programFile_; }
  bool Started() const { return started_; }

  // Platform services, replaceable in tests: start a program found on PATH,
  // open a document (the manual) in the desktop's viewer.
  std::function<bool(const QString&)> StartProgram;
  std::function<bool(const QUrl&)> OpenUrl;

  // The application's standard error display for a failed settings write.
  void ShowSettingsError(const SettingsWriteError& error);
  void ShowError(const QString& text);

 private:
  Dialogs& dialogs_;
  QString programFile_;
  bool started_ = false;
  bool shutDown_ = false;
  Session session_;
  std::unique_ptr<TextStamper> stamper_;
  std::unique_ptr<TForm1> main_;
  std::unique_ptr<TAboutBox> about_;
  std::unique_ptr<TTAVOEDTF> edit_;
  std::unique_ptr<TBtnRightDlg> size_;
  std::unique_ptr<TPALETTEF> colour_;
  std::unique_ptr<TTAVOSUBF> sub_;
  std::unique_ptr<TITISITEF> position_;
  std::unique_ptr<TForm2> text_;
};

}  // namespace zudizar
