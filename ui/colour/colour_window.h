#pragma once

#include <QWidget>

#include "core/indexed_image.h"
#include "palette/palette_load.h"
#include "core/shared_palette.h"

namespace zudizar {

class App;
class PaintBox;

// The colour palette: the 256 swatches and the two drawing colours.
class TPALETTEF : public QWidget {
  Q_OBJECT
 public:
  explicit TPALETTEF(App& app);

  IndexedImage SwatchGridImage, PaletteDisplayImage, DragSwatchImage, LeftColourImage, RightColourImage;
  SwatchArrangement Arrangement = IdentityArrangement();

  PaintBox* PaintBox1 = nullptr;
  PaintBox* PaintBox_LEFT = nullptr;
  PaintBox* PaintBox_RIGHT = nullptr;

  void FormCreate();
  void FormDestroy();
  void FormHide();
  void TakeSharedPalette(const PaletteTable& table);
  void BlankForPaletteChange();
  void GetSwatchArrangement(SwatchArrangement& destination) const { destination = Arrangement; }
  // Draws the 32 × 8 grid of 16 × 16 swatches in arrangement order.
  void BuildSwatchGrid();

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  void PaintArea(QPainter& painter, PaintBox& box, IndexedImage& image);

  App& app_;
  bool destroyed_ = false;
  bool blanked_ = false;
};

}  // namespace zudizar
