#pragma once

#include <QWidget>

#include "core/geometry.h"
#include "core/indexed_image.h"
#include "core/shared_palette.h"
#include "core/swatch_arrangement.h"
#include "core/swatch_grid.h"

class QLabel;
class QPushButton;
class QRadioButton;

namespace zudizar {

class App;
class PaintBox;

inline const QString kColourCaption = QStringLiteral("カラーパレット");

// The colour palette: the 256 swatches, the two drawing colours with their
// rings of recent colours, the swatch arrangement, and the background fill
// of a new canvas.
class TPALETTEF : public QWidget {
  Q_OBJECT
 public:
  explicit TPALETTEF(App& app);

  // The buffers, read-only: the 32 x 8 swatches in arrangement order, the
  // screen buffer (the grid plus the dragged swatch), the swatch being
  // dragged, and the two drawing colours.
  const IndexedImage& SwatchGridImage() const { return swatchGrid_; }
  const IndexedImage& PaletteDisplayImage() const { return paletteDisplay_; }
  const IndexedImage& DragSwatchImage() const { return dragSwatch_; }
  const IndexedImage& LeftColourImage() const { return leftColour_; }
  const IndexedImage& RightColourImage() const { return rightColour_; }
  SwatchArrangement Arrangement = IdentityArrangement();
  // This window's copies of the session's drawing colours.
  int LeftColour = 0, RightColour = 0;
  ColourRing LeftRing, RightRing;
  int DragSource = 0;
  Point DragPoint;
  bool Dragging = false;
  bool Initialised = false;

  PaintBox* PaintBox1 = nullptr;
  PaintBox* PaintBox_LEFT = nullptr;
  PaintBox* PaintBox_RIGHT = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  // "空き N": the free entries no canvas uses, under the swatches.
  QLabel* LabelFree = nullptr;
  QRadioButton* RadioButton1 = nullptr;
  QPushButton* Button_OK = nullptr;
  QPushButton* BTN_SAVEFILE = nullptr;
  QPushButton* OK_BTN = nullptr;

  void FormCreate();
  void FormShow();
  // Shows the window, switching its controls for the background mode also
  // when it is already on screen (no show event comes then).
  void ShowWindow();
  void FormHide();
  void FormDestroy();
  void FormResize();

  void PaintBox1MouseDown(Qt::MouseButton button, int x, int y);
  void PaintBox1MouseMove(int x, int y);
  void PaintBox1MouseUp(Qt::MouseButton button, int x, int y);
  // A double click on a swatch of a free entry edits that palette colour.
  void PaintBox1DblClick();
  void PaintBox_LeftMouseDown(Qt::MouseButton button);
  void PaintBox_RightMouseDown(Qt::MouseButton button);
  void Button_OKClick();
  void BTN_SAVEFILEClick();
  void OK_BTNClick();

  // Both rings one step forward or back (the main window's next and previous colour).
  void StepColoursForward();
  void StepColoursBack();
  // Merges the colours of the picture file `path` into the palette, as
  // opening it would, every canvas keeping its picture and colours; no
  // canvas takes the picture. A file that is no picture is told (the drop
  // of a file on this window).
  void LoadPaletteFile(const std::string& path);
  // Changes the colour of palette entry `index` (10 … 245) through the colour
  // dialog and hands the new palette to every window; refuses reserved entries.
  void EditPaletteColour(int index);

  void TakeSharedPalette(const PaletteTable& table);
  // Recounts the free entries no canvas uses, while the window is shown.
  void ShowFreeEntries();
  void BlankForPaletteChange();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  bool InBackgroundMode() const;
  // Draws the grid from the arrangement into SwatchGridImage and shows it.
  void RebuildGrid();
  // PaletteDisplayImage := the grid, presented whole.
  void ShowGrid();
  void SetLeftColour(std::uint8_t colour);
  void SetRightColour(std::uint8_t colour);
  void ShowRingPositions();
  void PaintSwatch(QPainter& painter, PaintBox& box, IndexedImage& image, std::uint8_t colour);
  void PresentDisplay(QPainter& painter, PaintBox& box);

  App& app_;
  IndexedImage swatchGrid_, paletteDisplay_, dragSwatch_, leftColour_, rightColour_;
  bool alive_ = true;
  bool blanked_ = false;
  bool loadingPalette_ = false;
  // Set while a handler of that kind runs, so it is not entered again.
  bool gridPainting_ = false, leftPainting_ = false, rightPainting_ = false, moving_ = false;
  Qt::MouseButton lastPressButton_ = Qt::NoButton;
  int lastPressPosition_ = -1;
};

}  // namespace zudizar
