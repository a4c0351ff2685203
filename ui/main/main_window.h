#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "core/geometry.h"
#include "core/indexed_image.h"
#include "core/jigsaw.h"
#include "ui/common/document.h"
#include "ui/main/canvas_modes.h"

namespace zudizar {

class App;
class CanvasView;
class PaintBox;
class RecentFileList;

inline const QString kMainCaption = QStringLiteral("ﾐﾗﾙｶ貼り絵　v0.46");

// The main canvas window ("メインパレット"): the collage being made, with its
// modes (selections for the edit palette, pastes from it, cells and the
// jigsaw, edit mode, the exchange with the sub canvas). The document is the
// picture; the view shows it; the current mode object handles the mouse.
class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(App& app);
  ~TForm1() override;

  // The buffers, read-only: the document's picture, the picture as shown
  // (with a paste preview), and the screen buffer (with grid and outlines).
  const IndexedImage& PictureImage() const { return document_.Picture(); }
  const IndexedImage& ViewImage() const;
  // What the canvas shows, at 1:1 over the whole picture.
  IndexedImage DisplayImage() const;
  const std::string& CurrentFileName() const { return document_.FileName(); }
  bool Modified() const { return document_.Modified(); }
  bool Busy() const { return busy_; }
  // The defined mode number (0 none, 1-5 transfers, 20 edit mode, 21-23 cells).
  int Mode() const { return ModeNumber(mode_ ? mode_->Kind() : MainMode::None); }
  int FrameSize() const;
  PaintBox* PaintBox1() const;
  RecentFileList* Recent() const { return recent_; }

  // The menu item of that name (MN_OPEN, MN_MODE24, …), or null.
  QAction* Action(const QString& name) const;

  void FormCreate();
  // Asks whether to save a modified collage before it is dropped (a close,
  // New, Open): false (keep it) for Cancel or when the save chosen by Yes
  // did not complete.
  bool CloseQuery();
  void FormDestroy();
  void ApplyPalette();
  void BlankAllCanvases();
  // The picture changed within `rect` through a command: one step of the
  // history, with the palette entries the command set (a clipboard paste).
  void Changed(const Rect& rect, const std::vector<PaletteChange>& palette = {});
  // Undo and redo (MN_MAINUNDO, MN_MAINREDO).
  void MN_MAINUNDOClick() { MoveInHistory(false); }
  void MN_MAINREDOClick() { MoveInHistory(true); }
  // Asks for the memory every undo history may use (MN_UNDOMEMORY).
  void MN_UNDOMEMORYClick();
  // The jigsaw was solved with `moves` moves in `duration`: the game ends.
  void GameSolved(int moves, const QString& duration);
  // Fills the picture with `left`, or a gradient to `right` in swatch order.
  void FillBackground(std::uint8_t left, std::uint8_t right, bool horizontal, const SwatchArrangement& order);
  // Puts back a picture recovered after a crash: modified, with its name.
  void RestorePicture(IndexedImage& picture, const std::string& name);
  // Marks MN_EDIT and MN_SUB as their windows are shown and hidden.
  void CanvasWindowShown(bool edit, bool shown);

  // File and palette commands.
  void MN_NEWClick();
  void MN_OPENClick();
  void OpenPictureFile(const std::string& path);
  void MN_FILEREOPENClick(int k);
  void MN_SAVEClick();
  void MN_NEWSAVEClick();
  // Shows and edits the picture's MAG fields; a change is one undoable step.
  void MN_MAGINFOClick();
  void MN_ROREZURUClick();
  void MN_PALREINITClick();
  // Window commands.
  void MN_EDITClick();
  void MN_SUBClick();
  void MN_HELPEXClick();
  void MN_VERSIONClick();
  void MN_ENDClick();
  // Fixed frames: 0 none, 1 centre lines, else the cell size.
  void SetFrame(int size);
  void ToggleHalfOffset(bool left);

  // The single entry point of all modes, by the defined numbers: 0 confirms,
  // 1-3 select for the edit palette, 4-5 paste from it, 8 exchanges with the
  // sub canvas, 21-23 copy, move and exchange cells.
  void CanvasCommand(int kind);
  void PaintBox1MouseDown(Qt::MouseButton button, int x, int y);
  void PaintBox1MouseMove(Qt::MouseButton button, int x, int y);
  void PaintBox1MouseUp(Qt::MouseButton button, int x, int y);
  void PaintBox1DblClick();
  void MN_REALClick();
  void MN_MAINTOCOPYClick() { PasteAtTypedPosition(false); }
  void MN_MAINTOCOPYRClick() { PasteAtTypedPosition(true); }
  void PasteAtTypedPosition(bool edgeCut);
  void MN_HensyuModeClick();
  void MN_MAINJIGSClick();
  // The system clipboard (main_clipboard.cpp): copies the selection of a
  // running selection mode, else the whole picture; pastes through a
  // preview of its own, confirmed as any paste.
  void MN_CLIPCOPYClick();
  void MN_CLIPPASTEClick();

  // Makes the jigsaw's generator; tests install a seeded one.
  std::function<JigsawRandom()> MakeJigsawRandom = ClockJigsawRandom;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  friend class CanvasMode;
  void BuildMenu();
  // The marks of the transfer and mode items follow the mode.
  void ReflectMode();
  void ReflectFrame();
  // Leaves the current mode (dropping what it holds) and enters `kind`.
  void EnterMode(MainMode kind);
  // Makes `picture` (moved from) the document's, as one step with its name
  // and the palette entries its arrival changed, and shows it afresh (the
  // mode stays, with none of the old picture's data). Showing takes no
  // picture-sized memory, so it cannot fail once the picture exists.
  void TakePicture(IndexedImage& picture, const std::string& name, const std::vector<PaletteChange>& palette = {});
  // Takes the picture one step back or forward in its history.
  void MoveInHistory(bool forward);
  // MN_MAINUNDO and MN_MAINREDO are enabled while there is a step to take.
  void ReflectHistory();
  void ExchangeWithSub();
  QString FileCaption() const;
  // Writes the picture to `path`; on success the picture takes that name.
  bool SaveTo(const std::string& path);
  std::unique_ptr<CanvasMode> MakeMode(MainMode kind);
  void DropRetiredMode();
  void SetBusy(bool busy);

  // Test support sets a document up directly (a name, a few pixels).
  friend class WindowProbe;
  App& app_;
  Document document_;
  CanvasView* view_ = nullptr;
  std::unique_ptr<CanvasMode> mode_;
  // A mode left while one of its own handlers runs lives until that returns.
  std::unique_ptr<CanvasMode> retired_;
  RecentFileList* recent_ = nullptr;
  bool busy_ = false;
  bool destroyed_ = false;
  bool mouseDownRunning_ = false;
  bool mouseMoveRunning_ = false;
  bool mouseUpRunning_ = false;
  bool historyRunning_ = false;
  QString progressName_;  // the palette file a New loads, named in the progress captions
};

}  // namespace zudizar
