// The main canvas's modes as objects. The window forwards press, move and
// release in picture pixels to the current mode; a mode draws its preview
// into the view, owns its data only while it is active, and changes the
// document once, on release or on confirm.
#pragma once

#include <qnamespace.h>
#include <QString>
#include <QtGlobal>
#include <cstdint>

#include "core/geometry.h"
#include "core/history.h"
#include "core/indexed_image.h"
#include "core/jigsaw.h"
#include "core/tool_session.h"
#include "ui/common/clipboard.h"

namespace zudizar {

class App;
class CanvasView;
class Document;
class TForm1;

// The defined mode numbers, by name.
enum class MainMode : int {
  None = 0,
  CopyToEdit = 1,
  CopyToEditEdgeCut = 2,
  MoveToEdit = 3,
  PasteFromEdit = 4,
  PasteFromEditEdgeCut = 5,
  ExchangeWithSub = 8,
  // The paste of a picture from the clipboard: a number no command gives,
  // since the paste starts only with its piece.
  PasteFromClipboard = 9,
  Edit = 20,
  CellCopy = 21,
  CellMove = 22,
  CellExchange = 23,
};

// The one place where the defined numbers meet the names.
constexpr int ModeNumber(MainMode mode) { return static_cast<int>(mode); }
// A defined command number as a mode; false for a number that names none.
bool ModeFromNumber(int number, MainMode& mode);

// What a press asks of the window.
enum class PressResult { Stay, Cancel };

class CanvasMode {
 public:
  explicit CanvasMode(TForm1& window) : window_(window) {}
  virtual ~CanvasMode() = default;
  CanvasMode(const CanvasMode&) = delete;
  CanvasMode& operator=(const CanvasMode&) = delete;

  virtual MainMode Kind() const = 0;
  // Called once the mode is current (its preview may appear now).
  virtual void Enter() {}
  virtual PressResult Press(Qt::MouseButton button, Point p) { return PressResult::Stay; }
  virtual void Move(Point p) {}
  virtual void Release(Qt::MouseButton button, Point p) {}
  // The one commit of the mode's result (the confirm command).
  virtual void Confirm() {}
  // Leaves without committing; `byUser` for a right-click cancel.
  virtual void Leave(bool byUser) {}
  // The picture changed under the mode (a background fill).
  virtual void PictureChanged() {}
  // The frame or a half offset changed: a drag over the old grid is dropped.
  virtual void FramesChanged() {}
  // An undo or redo comes: the mode ends what it shows or carries; true
  // when the view holds something of it that the picture must replace.
  virtual bool EndForHistory() { return false; }
  // The picture took a step back or forward (`resized`: another size).
  virtual void HistoryMoved(bool resized) {}
  // A gesture is running: moves reach the mode.
  bool Tracking() const { return tracking_; }

 protected:
  App& app() const;
  Document& document() const;
  CanvasView& view() const;
  TForm1& window() const { return window_; }
  const IndexedImage& picture() const;
  void Caption(const QString& caption) const;
  // The jigsaw is solved: the window ends the game (and this mode).
  void Solved(int moves, const QString& duration) const;
  bool tracking_ = false;

 private:
  TForm1& window_;
};

// The transfer modes' gesture: the left button drags a place that follows
// the snapped pointer until it is released; the right button cancels.
class FollowingMode : public CanvasMode {
 public:
  using CanvasMode::CanvasMode;
  PressResult Press(Qt::MouseButton button, Point p) override;
  void Move(Point p) override;
  void Release(Qt::MouseButton button, Point p) override;

 protected:
  // The place follows the pointer to `snapped`.
  virtual void Follow(Point snapped) = 0;
};

// Modes 1-3: the pointer chooses the region the edit palette takes; the
// confirm copies it there (and, for 3, clears it here).
class SelectionMode : public FollowingMode {
 public:
  SelectionMode(TForm1& window, MainMode kind);
  MainMode Kind() const override { return kind_; }
  void Confirm() override;
  void Leave(bool byUser) override;
  bool EndForHistory() override;
  // The region the confirm would take: the edit palette's size at the
  // chosen place, cut to the picture.
  Rect Region() const;

 protected:
  void Follow(Point snapped) override;

 private:
  MainMode kind_;
  Point position_;
};

// Modes 4-5: the edit palette's picture follows the pointer as a preview in
// the view; the confirm pastes it into the picture. The clipboard's paste is
// the same with a piece of its own, whose palette entries its step carries.
class PasteMode : public FollowingMode {
 public:
  PasteMode(TForm1& window, MainMode kind);
  PasteMode(TForm1& window, ClipboardPiece piece);
  MainMode Kind() const override { return kind_; }
  void Enter() override;
  void Confirm() override;
  void PictureChanged() override;
  bool EndForHistory() override;
  void HistoryMoved(bool) override { PictureChanged(); }
  // Pastes at a point without preview (the typed position).
  void PasteAt(Point p);
  // Moves the preview to a point (clamped at the top left).
  void ShowPreview(Point p);
  // Hands the clipboard's piece on (to the mode made afresh for a new picture).
  ClipboardPiece TakePiece() { return std::move(clip_); }

 protected:
  void Follow(Point snapped) override { ShowPreview(snapped); }

 private:
  int Transparent() const;
  // What is pasted: the clipboard's piece, or the edit palette's picture.
  const IndexedImage& Piece();
  MainMode kind_;
  Point position_;
  ClipboardPiece clip_;
  Rect preview_;         // where the preview now lies in the view
};

// Modes 21-23: cells picked up, moved, exchanged and turned; without a frame
// the whole picture shifts. Mode 23 carries the jigsaw game.
class CellMode : public CanvasMode {
 public:
  CellMode(TForm1& window, MainMode kind);
  MainMode Kind() const override { return kind_; }
  PressResult Press(Qt::MouseButton button, Point p) override;
  void Move(Point p) override;
  void Release(Qt::MouseButton button, Point p) override;
  void FramesChanged() override;
  bool EndForHistory() override;
  void HistoryMoved(bool resized) override;
  // Starts the game over the picture as it is now (the solution).
  void StartGame(IndexedImage solution);
  bool Playing() const { return game_.active; }

 private:
  void Drop(Point p);
  void Turn(Point p);
  void MoveMade();
  MainMode kind_;
  IndexedImage carried_;  // the picked cell
  Point start_, current_;
  struct Game {
    bool active = false;
    IndexedImage solution;
    int moves = 0;
    qint64 startedMs = 0;
  } game_;
};

// Mode 20: the tools chosen in the edit palette draw on the main picture,
// in a gesture of this mode's own. The view is the picture being drawn; a
// step that commits copies it into the document.
class EditMode : public CanvasMode {
 public:
  explicit EditMode(TForm1& window);
  MainMode Kind() const override { return MainMode::Edit; }
  PressResult Press(Qt::MouseButton button, Point p) override;
  void Move(Point p) override;
  void Release(Qt::MouseButton button, Point p) override;
  void Leave(bool byUser) override { tools_.Cancel(); }
  bool EndForHistory() override;
  void HistoryMoved(bool resized) override;
  // A stamp is held (only during a gesture of the move or text tool).
  bool HoldsStamp() const { return stamp_.HasPixels(); }
  const IndexedImage& Stamp() const { return stamp_; }

 private:
  ToolTarget Target(IndexedImage& shown);
  ToolInk Ink();
  void Show(const ToolStep& step);
  void TakeSize();
  ToolSession tools_;
  DirtyTiles touched_;  // where the running gesture drew in the view
  // Made by the tool session for a gesture that needs it: what the move tool
  // carries (the picture's size), or the text stamp (the text's box).
  IndexedImage stamp_;
  IndexedImage unusedWork_;  // stays empty: previews are drawn in the view
  SwatchArrangement order_{};
};

}  // namespace zudizar
