#pragma once

#include <QMainWindow>
#include <QString>

#include "core/geometry.h"
#include "core/indexed_image.h"
#include "ui/common/document.h"

class QAction;

namespace zudizar {

class App;
class CanvasView;
class PaintBox;
class RecentFileList;

inline const QString kSubCaptionPrefix = QStringLiteral("ｻﾌﾞﾊﾟﾚｯﾄ ");
inline const QString kSubPickPrompt = QStringLiteral("サブパレット上でマウスクリックして、コピー元を決めて下さい。");

// The sub canvas window ("ｻﾌﾞﾊﾟﾚｯﾄ"): a second canvas beside the main one, a
// source of pieces for the edit palette and the other side of the exchange.
class TTAVOSUBF : public QMainWindow {
  Q_OBJECT
 public:
  explicit TTAVOSUBF(App& app);

  // The buffers, read-only: the document's picture, the picture as shown,
  // and the screen buffer (with frame grid and pick outline).
  const IndexedImage& SubPictureImage() const { return document_.Picture(); }
  const IndexedImage& SubViewImage() const;
  // What the canvas shows, at 1:1 over the whole picture.
  IndexedImage SubDisplayImage() const;
  const std::string& FileName() const { return document_.FileName(); }
  int FrameSize() const;
  int TransferMode() const { return transferMode_; }
  const Rect& PickRect() const { return pick_; }
  bool Busy() const { return busy_; }
  PaintBox* PaintBox1() const;
  RecentFileList* Recent() const { return recent_; }

  // The menu item of that name (MN_OPEN, MN_MODE24, …), or null.
  QAction* Action(const QString& name) const;

  void FormCreate();
  void FormDestroy();
  void FormHide();
  // The exchange: takes `incoming` (picture, name, modified flag) as one step
  // and hands its own out. False, nothing changed, without memory.
  bool SwapContent(CanvasContent& incoming, CanvasContent& outgoing);
  // Undo and redo (MN_SUBUNDO, MN_SUBREDO): the picture one step back or forward.
  void MoveInHistory(bool forward);
  // Puts back a picture recovered after a crash: modified, with its name.
  void RestorePicture(IndexedImage& picture, const std::string& name);
  // Fills the picture with one colour (the background of a new canvas).
  void FillBackground(std::uint8_t colour);

  // Transfers to the edit palette: 6 copy, 7 copy with edge cut, 0 confirm.
  void StartSubTransfer(int mode);
  // The transparent index of the running transfer: 256, or the edge-cut colour.
  int TransferTransparent() const;

  void PaintBox1MouseDown(Qt::MouseButton button, int x, int y);
  void PaintBox1MouseMove(Qt::MouseButton button, int x, int y);
  void PaintBox1MouseUp(Qt::MouseButton button, int x, int y);
  void PaintBox1DblClick();

  // Asks whether to save a modified picture before it is dropped (a quit,
  // New, Open): false (keep it) for Cancel or a save that did not complete.
  bool CloseQuery();
  bool Modified() const { return document_.Modified(); }

  void MN_NEWClick();
  void MN_OPENClick();
  void OpenSubFile(const std::string& path);
  void MN_FILEREOPENClick(int k);
  void MN_SAVEClick();
  void MN_NEWSAVEClick();
  // Shows and edits the picture's MAG fields; a change is one undoable step.
  void MN_MAGINFOClick();
  void MN_EDITCOPYClick();
  void MN_EDITCOPYRClick();
  void MN_MAINCOPYClick();
  void MN_HIDEClick();
  void MN_REALClick();
  // The system clipboard (sub_clipboard.cpp): copies the running pick, else
  // the whole picture; pastes at the top left of the visible area.
  void MN_CLIPCOPYClick();
  void MN_CLIPPASTEClick();
  // The nine frame items: 0 none, 1 centre lines, else the cell size.
  void SetFrame(int size);
  void ToggleHalfOffset(bool left);

 protected:
  bool event(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void BuildMenu();
  void ReflectFrame();
  void SaveGeometry();
  bool Picking() const;
  void PickAt(int x, int y);
  void CancelTransfer();
  void EndTransfer();
  void UncheckTransferItems();
  // Writes the picture to `path`; on success the picture takes that name.
  bool SaveTo(const std::string& path);
  // Makes `picture` (moved from) the document's, as one step with the name it
  // belongs to, and shows it afresh.
  void TakePicture(IndexedImage& picture, const std::string& name);
  // MN_SUBUNDO and MN_SUBREDO are enabled while there is a step to take.
  void ReflectHistory();

  // Test support sets a document up directly (a name, a few pixels).
  friend class WindowProbe;
  App& app_;
  Document document_;
  CanvasView* view_ = nullptr;
  RecentFileList* recent_ = nullptr;
  int transferMode_ = 0;
  bool tracking_ = false;
  Rect pick_{0, 0, 1, 1};
  bool busy_ = false;
  bool destroyed_ = false;
  bool mouseGate_ = false;
  QString progressName_;  // the file a running load or save names in its captions
};

}  // namespace zudizar
