#pragma once

#include <QMainWindow>
#include <QString>

#include "core/indexed_image.h"
#include "core/shared_palette.h"

class QMenu;

namespace zudizar {

class App;
class PaintBox;
class RecentFileList;

// The edit palette: the magnifying pixel editor for a picture of at most
// 256 × 240 pixels.
class TTAVOEDTF : public QMainWindow {
  Q_OBJECT
 public:
  explicit TTAVOEDTF(App& app);

  static constexpr int kPictureWidth = 256;
  static constexpr int kPictureHeight = 240;

  IndexedImage EditImage, UndoImage, WorkImage, StampImage, MagnifiedImage, ScreenImage;
  IndexedImage LeftSwatchImage, RightSwatchImage;

  QString FileName;
  QString TextString;
  int PictureWidth = kPictureWidth;
  int PictureHeight = kPictureHeight;
  int Zoom = 1;
  bool Busy = false;
  bool PaintEnabled = true;

  PaintBox* PaintBox1 = nullptr;
  PaintBox* PaintBox_LEFT = nullptr;
  PaintBox* PaintBox_RIGHT = nullptr;
  RecentFileList* Recent = nullptr;

  void FormCreate();
  void FormDestroy();
  void FormHide();
  void TakeSharedPalette(const PaletteTable& table);
  void BlankForPaletteChange();
  // Composes the visible part of the picture and presents it.
  void RepaintView();

  // ---- Transfers with the main and sub palettes (edit_transfer.cpp) ----
 public:
  // The MN_SET menu: its nine transfer items with their keys.
  QMenu* CreateTransferMenu();
  // Takes the undo copy and starts a transfer into this palette (1, 2, 3 from
  // the main palette, 6, 7 from the sub palette); 0 only takes the undo copy.
  void SetTransferMode(int mode);
  // Shows what the region at (x, y) of the source would give; EditImage stays.
  void PreviewTransfer(int x, int y, int transparent, const IndexedImage& source, int height, int width);
  // Takes the region at (x, y) of the source into EditImage at (0, 0).
  void CopyIntoEdit(int x, int y, int transparent, const IndexedImage& source, int height, int width);
  // Ends a shown transfer preview and shows the picture again.
  void EndTransferPreview();

 private:
  void HookTransferPaint();
  void CheckTransferItems(const char* checked);
  bool transferPreviewShown_ = false;
  bool transferPaintHooked_ = false;
  bool copyingIntoEdit_ = false;
  // ---- end of transfers ----
 public:

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  void PaintBox1Paint(QPainter& painter);
  void PaintSwatch(QPainter& painter, IndexedImage& swatch, int colour);

  App& app_;
  bool destroyed_ = false;
  bool blanked_ = false;
};

}  // namespace zudizar
