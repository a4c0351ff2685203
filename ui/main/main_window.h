#pragma once

#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <functional>

#include "core/geometry.h"
#include "core/indexed_image.h"
#include "core/jigsaw.h"
#include "core/pixel_ops.h"
#include "core/tool_session.h"
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
  IndexedImage PictureImage;  // the document: saved, loaded, exchanged; confirmed pastes land here
  IndexedImage ViewImage;     // the picture as shown, with a paste preview while one moves
  IndexedImage DisplayImage;  // the screen buffer: ViewImage plus grid and outlines; all that is painted
  IndexedImage BackupImage;   // the picture as it was when a paste preview or shift started
  IndexedImage PieceImage;    // edit mode's move tool: the piece it carries
  IndexedImage ToolImage;     // edit mode's rubber bands and stamps before the release commits them

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

  // ---- Canvas modes, transfers and the jigsaw (main_canvas.cpp, main_jigsaw.cpp) ----
  // The single entry point of all modes: 0 confirms, 1–3 select for the edit
  // palette, 4–5 paste from it, 8 exchanges with the sub palette, 21–23 copy,
  // move and exchange cells (or shift the whole picture without a frame).
  void CanvasCommand(int kind);
  void TrackSelection(int x, int y);
  // Target PictureImage writes the paste; any other target shows the preview.
  void ShowPastePreview(IndexedImage& target, int x, int y);
  void PaintBox1MouseDown(Qt::MouseButton button, int x, int y);
  void PaintBox1MouseMove(Qt::MouseButton button, int x, int y);
  void PaintBox1MouseUp(Qt::MouseButton button, int x, int y);
  void PaintBox1DblClick();
  void MN_REALClick();
  void MN_MAINTOCOPYClick();
  void MN_MAINTOCOPYRClick();
  void MN_HensyuModeClick();
  void MN_MAINJIGSClick();
  // Keeps MN_EDIT and MN_SUB checked exactly while their palettes are shown.
  void FollowPaletteVisibility();
  // Snaps a pointer position to the current frame and half offsets.
  Point Snap(Point p) const;
  // DisplayImage := ViewImage with the grid and the outline, over a rectangle or everything.
  void ComposeRect(Rect r);
  void ComposeAll();

  bool Tracking = false;
  bool Confirming = false;
  Point DragStart, DragCurrent;
  // Makes the jigsaw's generator; tests install a seeded one.
  std::function<JigsawRandom()> MakeJigsawRandom = ClockJigsawRandom;
  // The running game: the picture it must return to, and the moves so far.
  struct JigsawGame {
    bool active = false;
    IndexedImage solution;
    int moves = 0;
    qint64 startedMs = 0;
  } Jigsaw;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildMenu();
  void ResizePaintBox(int width, int height);
  void ResetScroll();
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool HalfLeft() const;
  bool HalfUp() const;
  // Checks the one transfer or mode item named (none for null), unchecks the others.
  void CheckTransferItems(const char* checked);
  void RecreateWorkBuffers();
  void ExchangeWithSub();
  void StartEditTransfer(int mode);
  void PasteAtTypedPosition(int mode);
  void CellPress(Point p);
  void CellDrag(Point p);
  void CellDrop(Point p);
  void TurnCellAt(Point p);
  void JigsawMoveMade();
  void EndJigsaw();
  void RestoreViewRect(Rect r);
  // A cell drag or shift cannot go on over a changed grid: it is dropped unchanged.
  void DropCellDrag();
  void ComposeFrom(const IndexedImage& source, Rect r);
  void EditModePress(Qt::MouseButton button, Point p);
  void EditModeMove(Point p);
  void EditModeRelease(Point p);
  // Shows a step of edit mode's gesture and takes what it committed.
  void ShowToolStep(const ToolStep& step);
  ToolInk EditModeInk();

  // Edit mode draws with the shared tool settings in a gesture of its own.
  ToolSession editTools_;
  SwatchArrangement gradientOrder_{};

  Rect selection_;         // the outline shown in DisplayImage (modes 1–3, no frame)
  Rect preview_;           // the paste preview built into ViewImage (modes 4–5)
  IndexedImage carried_;   // the cell picked in modes 21–23
  bool mouseDownRunning_ = false, mouseMoveRunning_ = false, previewRunning_ = false, exchangeRunning_ = false;

  App& app_;
  bool destroyed_ = false;
  bool blanked_ = false;
};

}  // namespace zudizar
