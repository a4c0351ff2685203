#pragma once

#include <QMainWindow>
#include <QString>

#include "core/indexed_image.h"
#include "core/shared_palette.h"

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
