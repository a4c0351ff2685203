#pragma once

#include <QMainWindow>
#include <QString>

#include "core/geometry.h"
#include "core/indexed_image.h"
#include "core/shared_palette.h"

class QAction;
class QScrollArea;

namespace zudizar {

class App;
class PaintBox;
class RecentFileList;

inline const QString kSubCaptionPrefix = QStringLiteral("ｻﾌﾞﾊﾟﾚｯﾄ ");
inline const QString kSubPickPrompt = QStringLiteral("サブパレット上でマウスクリックして、コピー元を決めて下さい。");

// The sub palette: a second canvas beside the main palette, a source of
// pieces for the edit palette.
class TTAVOSUBF : public QMainWindow {
  Q_OBJECT
 public:
  explicit TTAVOSUBF(App& app);

  // The picture; the picture as last committed for display; that plus the
  // overlays (frame grid, pick outline), exactly what the screen shows.
  IndexedImage SubPictureImage;  // the document: saved, transferred and exchanged
  IndexedImage SubViewImage;     // the picture as last committed for display
  IndexedImage SubDisplayImage;  // the screen buffer: SubViewImage plus frame grid and pick outline
  QString FileName;
  int FrameSize = 0;
  int TransferMode = 0;
  bool Tracking = false;
  Rect PickRect{0, 0, 1, 1};
  bool Busy = false;
  bool PaintEnabled = true;

  PaintBox* PaintBox1 = nullptr;
  QScrollArea* Scroll = nullptr;
  RecentFileList* Recent = nullptr;

  // The menu item of that name (MN_OPEN, MN_MODE24, …), or null.
  QAction* Action(const QString& name) const;

  void FormCreate();
  void FormDestroy();
  void FormHide();
  void TakeSharedPalette(const PaletteTable& table);
  void BlankForPaletteChange();
  // Composes what a repaint shows (the frame grid when its settings changed)
  // and presents it; used after the picture changed from outside.
  void RepaintView();
  // Takes the main palette's picture as its own (sub_exchange.cpp).
  void ReceiveMainPicture();

  // Transfers to the edit palette: 6 copy, 7 copy with edge cut, 0 confirm.
  void StartSubTransfer(int mode);
  // The transparent index of the running transfer: 256, or the edge-cut colour.
  int TransferTransparent() const;

  void PaintBox1MouseDown(Qt::MouseButton button, int x, int y);
  void PaintBox1MouseMove(Qt::MouseButton button, int x, int y);
  void PaintBox1MouseUp(Qt::MouseButton button, int x, int y);
  void PaintBox1DblClick();

  void MN_NEWClick();
  void MN_OPENClick();
  void OpenSubFile(const QString& path);
  void MN_FILEREOPENClick(int k);
  void MN_SAVEClick();
  void MN_NEWSAVEClick();
  void MN_EDITCOPYClick();
  void MN_EDITCOPYRClick();
  void MN_MAINCOPYClick();
  void MN_HIDEClick();
  void MN_REALClick();
  // The nine frame items: 0 none, 1 centre lines, else the cell size.
  void SetFrame(int size);
  void ToggleHalfOffset(const QString& item);
  // Shows SubViewImage again after another window changed it.
  void RefreshView();

 protected:
  bool event(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  friend class SubPaintBox;
  void BuildMenu();
  void PaintBox1Paint(QPainter& painter, const QRect& exposed);
  void ResizePaintBox(int width, int height);
  void ResetScroll();
  // Drops the composed frame grid so that the next repaint recomposes.
  void ResetFrameCache() { drawnFrameSize_ = 0; }
  void SaveGeometry();
  void PickAt(int x, int y);
  void CancelTransfer();
  void EndTransfer();
  void UncheckTransferItems();
  // What this window asks of the edit and main palettes (sub_links.cpp).
  void EditSetTransferMode(int mode);
  void EditPreview(int x, int y, int transparent, int h, int w);
  void EditCopyInto(int x, int y, int transparent, int h, int w);
  void EditRestoreView();
  void MainExchange();

  App& app_;
  bool destroyed_ = false;
  bool mouseGate_ = false;
  int drawnFrameSize_ = 0;
  bool drawnHalfLeft_ = false;
  bool drawnHalfUp_ = false;
  Rect shownOutline_;      // the pick outline now drawn in SubDisplayImage
  QString progressName_;   // the file a running load or save names in its captions
};

}  // namespace zudizar
