#pragma once

#include <QMainWindow>
#include <QString>
#include <cstdint>

#include "core/indexed_image.h"
#include "core/shared_palette.h"

class QScrollArea;

namespace zudizar {

class App;
class PaintBox;
class RecentFileList;

inline const QString kMainCaption = QStringLiteral("ﾐﾗﾙｶ貼り絵　v0.46");
inline const QString kPictureOpenFilter = QStringLiteral("BMP (*.BMP *.MAG *.JPG *.PNG *.ICO *.bmp *.mag *.jpg *.jpeg *.png *.ico);;ALL (*)");
inline const QString kPictureSaveFilter = QStringLiteral("BMP (*.BMP *.MAG *.JPG *.PNG *.ICO *.bmp *.mag *.jpg *.png *.ico)");

// The main palette: the main window with the main canvas.
class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(App& app);

  // The six image buffers.
  IndexedImage ViewImage, DisplayImage, BackupImage, PictureImage, PieceImage, ToolImage;

  QString CurrentFileName;
  int FrameSize = 0;
  int DrawnFrameSize = 0;
  int PositionX = 0, PositionY = 0;
  int RegionWidth = 256, RegionHeight = 240;
  int Mode = 0;
  bool Busy = false;
  bool PaintEnabled = true;
  bool Modified = false;
  int BackgroundMode = 0;
  std::uint8_t LeftColour = 249;
  std::uint8_t RightColour = 252;
  PaletteTable PaletteCopy{};
  PaletteHandle Palette;

  PaintBox* PaintBox1 = nullptr;
  QScrollArea* Scroll = nullptr;
  RecentFileList* Recent = nullptr;

  // The menu item of that name (MN_OPEN, MN_MODE24, …), or null.
  QAction* Action(const QString& name) const;

  void FormCreate();
  // Asks whether to save a modified collage before the window closes: false
  // (stay open) for Cancel or when the save chosen by Yes did not complete.
  bool CloseQuery();
  void FormDestroy();
  void FormResize();
  void PaintBox1Paint(QPainter& painter);
  void ApplyPalette();
  void BlankAllCanvases();
  // Records that PictureImage changed through a command.
  void MarkModified() { Modified = true; }
  // Scroll position: the top-left canvas pixel visible (0 for a hidden bar).
  int ScrollX() const;
  int ScrollY() const;

  // File and palette commands.
  void MN_NEWClick();
  void MN_OPENClick();
  void OpenPictureFile(const QString& path);
  void MN_FILEREOPENClick(int k);
  void MN_SAVEClick();
  void MN_NEWSAVEClick();
  void MN_ROREZURUClick();
  void MN_PALREINITClick();
  // Window commands.
  void MN_EDITClick();
  void MN_SUBClick();
  void MN_HELPEXClick();
  void MN_VERSIONClick();
  void MN_ENDClick();
  // Fixed frames.
  void SetFrame(int size);
  void ToggleHalfOffset(const QString& item);

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildMenu();
  void ResizePaintBox(int width, int height);
  void ResetScroll();
  void Recompose();

  App& app_;
  bool destroyed_ = false;
  bool blanked_ = false;
  bool drawnHalfLeft_ = false;
  bool drawnHalfUp_ = false;
};

}  // namespace zudizar
