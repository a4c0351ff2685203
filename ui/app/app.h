// The App object: creates the eight windows once, in the defined order, owns
// the session they share, and is the only code that knows every window. A
// window asks another window for something through the calls below; App
// forwards them. No other globals, so each test builds its own.
#pragma once

#include <QSize>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

#include "core/entry_mask.h"
#include "core/indexed_image.h"
#include "core/swatch_arrangement.h"
#include "ui/common/document.h"
#include "ui/common/session.h"

class QWidget;

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
class VisibilityWatch;
class Recovery;

inline const QString kApplicationTitle = QStringLiteral("ﾐﾗﾙｶ貼り絵ﾂｰﾙ　v0.46");
inline const QString kHelpFileName = QStringLiteral("ZUDIZAR.html");

// The windows that other windows show, hide or caption.
enum class WindowId { Main, Edit, Sub, Colour };

class App {
 public:
  // `programFile` is the program file's path inside the program folder.
  App(Dialogs& dialogs, const std::string& programFile);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Creates the windows (each runs its FormCreate) and shows the main window
  // and the edit palette.
  void Start();
  // Runs every window's destruction steps once: the main window's first.
  void Shutdown();
  // Before the program ends: asks about each modified canvas in turn (main,
  // edit, sub); false (keep running) when the user keeps one.
  bool QueryClose();

  TForm1& main() { return *main_; }
  TAboutBox& about() { return *about_; }
  TTAVOEDTF& edit() { return *edit_; }
  TBtnRightDlg& sizeDialog() { return *size_; }
  TPALETTEF& colour() { return *colour_; }
  TTAVOSUBF& sub() { return *sub_; }
  TITISITEF& position() { return *position_; }
  TForm2& textInput() { return *text_; }
  Dialogs& dialogs() { return dialogs_; }
  // What the windows share: colours, tool settings, palette changes.
  Session& session() { return session_; }
  // Renders the text tool's stamp for every canvas that draws.
  TextStamper& textStamper() { return *stamper_; }
  const std::string& ProgramFile() const { return programFile_; }
  bool Started() const { return started_; }

  // Platform services, replaceable in tests: start a program found on PATH,
  // open a document (the manual) in the desktop's viewer.
  std::function<bool(const QString&)> StartProgram;
  std::function<bool(const QUrl&)> OpenUrl;

  // The application's standard error display for a failed settings write.
  void ShowSettingsError(const SettingsWriteError& error);
  void ShowError(const QString& text);

  // ---- what the windows ask of each other ----
  // Shows, hides and captions a window.
  void SetShown(WindowId window, bool shown);
  void SetCaption(WindowId window, const QString& caption);
  // The size dialog for a new canvas; false when cancelled.
  bool AskCanvasSize(int& width, int& height);
  // The position dialog for a paste at a typed place; false when cancelled.
  bool AskPastePosition(int& x, int& y);
  // The colour palette, switched to the background controls when the
  // session names a background target.
  void ShowColourWindow();
  void StepColours(bool forward);
  // Fills the session's background target with the drawing colours (a
  // gradient between them in swatch order when they differ).
  void FillBackground(bool horizontal);

  // The edit palette's picture: the piece pasted and the size of a selection.
  const IndexedImage& EditPicture();
  // The transfers into the edit palette (numbered as its transfer modes).
  void EditSetTransferMode(int mode);
  void EditPreviewTransfer(int x, int y, int transparent, const IndexedImage& source, int height, int width);
  void EditCopyIn(int x, int y, int transparent, const IndexedImage& source, int height, int width);
  void EditRestoreView();

  // The edit palette's window size (the sub canvas starts at it).
  QSize EditWindowSize();

  // The main canvas's entry point for its modes, and the typed-position paste.
  void MainCanvasCommand(int kind);
  void MainPasteAtTypedPosition(bool edgeCut);
  // The exchange of the main and sub canvases' pictures.
  void ExchangeCanvases();

  // The sub canvas: its picture, a transfer started from the edit palette,
  // and taking the main canvas's picture in an exchange.
  const IndexedImage& SubPicture();
  void SubStartTransfer(int mode);
  // The exchange: the sub canvas takes `incoming` as one step and hands out
  // its own picture; false, nothing changed, without memory.
  bool SubSwapContent(CanvasContent& incoming, CanvasContent& outgoing);

  // ---- the memory of the undo histories ----
  static constexpr int kUndoMemoryDefaultMB = 256;
  static constexpr int kUndoMemoryMinMB = 1;
  static constexpr int kUndoMemoryMaxMB = 65536;
  int UndoMemoryMB() const;
  // Sets the budget every history shares and keeps it in the settings.
  void SetUndoMemoryMB(int megabytes);

  // ---- the palette entries the canvases' pixels index ----
  // The three canvases, by number.
  enum class CanvasId { Main = 0, Edit = 1, Sub = 2 };
  // The entries the canvases other than `canvas` use: a palette load for
  // `canvas` leaves their colours as they are.
  EntryMask EntriesInUseBeside(CanvasId canvas);
  // The free entries (10-245) no canvas uses.
  int UnusedFreeEntries();
  // A canvas's picture changed (opened, made, exchanged, drawn on): the
  // colour palette recounts its free entries.
  void CanvasPictureChanged();

  // ---- work that survives a crash ----
  // What a canvas holds: its picture, the file name it belongs to, and
  // whether it has unsaved changes.
  struct CanvasState {
    const IndexedImage* picture;
    std::string name;  // bytes
    bool modified;
  };
  CanvasState Canvas(CanvasId canvas);
  // Puts a recovered picture back on its canvas, modified, with its name.
  void RestoreCanvas(CanvasId canvas, IndexedImage& picture, const std::string& name);
  Recovery& recovery() { return *recovery_; }
  // How often the recovery files are brought up to date; tests make it short.
  int RecoveryIntervalMs = 10000;

 private:
  Dialogs& dialogs_;
  std::string programFile_;  // bytes
  Session session_;
  bool started_ = false;
  bool shutDown_ = false;
  std::unique_ptr<TextStamper> stamper_;
  std::unique_ptr<TForm1> main_;
  std::unique_ptr<TAboutBox> about_;
  std::unique_ptr<TTAVOEDTF> edit_;
  std::unique_ptr<TBtnRightDlg> size_;
  std::unique_ptr<TPALETTEF> colour_;
  std::unique_ptr<TTAVOSUBF> sub_;
  std::unique_ptr<TITISITEF> position_;
  std::unique_ptr<TForm2> text_;
  std::unique_ptr<VisibilityWatch> watch_;
  std::unique_ptr<Recovery> recovery_;
};

}  // namespace zudizar
