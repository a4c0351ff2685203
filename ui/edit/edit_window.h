#pragma once

#include <QMainWindow>
#include <QString>
#include <cstdint>

#include "core/edit_view.h"
#include "core/geometry.h"
#include "core/history.h"
#include "core/indexed_image.h"
#include "core/shared_palette.h"
#include "core/tool_session.h"
#include "ui/common/document.h"

class QAction;
class QLabel;
class QMenu;
class QScrollBar;
class QToolButton;
class QWidget;

namespace zudizar {

class App;
class PaintBox;
class RecentFileList;

// The edit palette: the magnifying pixel editor for a picture of at most
// 256 × 240 pixels. Split over several files: edit_window.cpp (creation,
// layout, palette), edit_display.cpp (views, composing and presenting),
// edit_menu.cpp (the menu table), edit_files.cpp (file commands),
// edit_tools.cpp (tools, pens, mouse), edit_commands.cpp (whole-picture
// commands and undo), edit_transfer.cpp (transfers with the main and sub
// palettes), edit_glyphs.cpp (button glyphs).
class TTAVOEDTF : public QMainWindow {
  Q_OBJECT
 public:
  explicit TTAVOEDTF(App& app);

  static constexpr int kPictureWidth = 256;
  static constexpr int kPictureHeight = 240;

  // The buffers, read-only: the document's picture (the only buffer loaded
  // and saved), a tool's preview or a command's
  // intermediate result, what the move tool carries or the text stamp, the
  // visible part of the picture at the current zoom, and the screen buffer
  // (the magnified part plus grid and rubber bands).
  const IndexedImage& EditImage() const { return document_.Picture(); }
  const IndexedImage& WorkImage() const { return work_; }
  const IndexedImage& StampImage() const { return stamp_; }
  const IndexedImage& MagnifiedImage() const { return display_.magnified; }
  const IndexedImage& ScreenImage() const { return display_.screen; }
  const std::string& FileName() const { return document_.FileName(); }
  // 0 standard, 1 centre lines, 4 or 8 magnified; the zoom of the view.
  int ViewMode() const { return display_.viewMode; }
  int Zoom() const { return display_.zoom; }
  bool Busy() const { return busy_; }
  PaintBox* PaintBox1() const { return ui_.PaintBox1; }
  RecentFileList* Recent() const { return recent_; }

  // The menu item of that name (MN_NEW, MN_PENA8, …), or null.
  QAction* Action(const QString& name) const;

  // Puts back a picture recovered after a crash: modified, with its name.
  void RestorePicture(IndexedImage& picture, const std::string& name);
  // Whether the picture differs from the one last opened, made or saved.
  bool Modified() const;
  // Asks whether to save a modified picture before it is dropped (a quit,
  // New, Open): false (keep it) for Cancel or a save that did not complete.
  bool CloseQuery();

  // Creation and destruction.
  void FormCreate();
  void FormDestroy();
  void FormHide();
  void FormShow() {}
  void FormResize();
  void TakeSharedPalette(const PaletteTable& table);
  void BlankForPaletteChange();
  // Fills the picture with `left`, or a gradient to `right` in swatch order.
  void FillBackground(std::uint8_t left, std::uint8_t right, bool horizontal, const SwatchArrangement& order);

  // Views (edit_display.cpp).
  void SetScrollRanges(int width, int height);
  // Composes the visible part of the picture with its overlay and presents it.
  void RepaintView();
  void DrawOverlay(int mode);
  void DrawStartFrame(int x, int y);
  void RestoreView();
  // Shows a changed rectangle of a picture-sized buffer (the picture, or the
  // work buffer for a preview) at the current magnification.
  void PresentPictureRect(const Rect& rect, const IndexedImage& source);
  // The view of the picture as it is now shown.
  EditView CurrentView() const;
  // Repaints the two colour swatches.
  void RepaintSwatches();
  void ScrollBarXChange();
  void ScrollBarYChange();
  void MN_VIEW1Click();
  void MN_VIEW4Click() { SetMagnification(4); }
  void MN_VIEW8Click() { SetMagnification(8); }
  void MN_VIEWCENTERClick();
  void MN_VIEWGRIDClick();

  // Files (edit_files.cpp).
  void MN_NEWClick();
  void MN_OPENClick();
  void MN_FILEREOPENClick(int k);
  void MN_SAVEClick();
  void MN_NEWSAVEClick();
  // Shows and edits the picture's MAG fields; a change is one undoable step.
  void MN_MAGINFOClick();
  void MN_HIDEClick();
  // The system clipboard (edit_clipboard.cpp): copies the whole picture;
  // pastes at the top left as a transfer in does, as one step.
  void MN_CLIPCOPYClick();
  void MN_CLIPPASTEClick();
  void OpenEditFile(const std::string& name);
  void FitEditSize(IndexedImage& image);

  // Tools, pens and the mouse (edit_tools.cpp).
  void SelectTool(int tool);
  void MN_EDITSPRAYClick() { SelectTool(kToolSpray); }
  void MN_EDITFREEClick() { SelectTool(kToolFree); }
  void MN_EDITLINEClick() { SelectTool(kToolLine); }
  void MN_EDITANGLEClick() { SelectTool(kToolBox); }
  void MN_EDITFULClick() { SelectTool(kToolFill); }
  void MN_EDITERASClick() { SelectTool(kToolEraser); }
  void MN_EDITMOVEClick() { SelectTool(kToolMove); }
  void MN_EDITGRADYYClick() { SelectTool(kToolGradientVertical); }
  void MN_EDITGRADXXClick() { SelectTool(kToolGradientHorizontal); }
  void MN_EDITMOJIClick();
  void BTN_MOJIClick();
  void MN_EDITFONTClick();
  void SetFixedTextPosition(int position);
  void MN_TATEGAKIClick();
  void SetPen(std::uint8_t code);
  void MN_COLORSETClick();
  void MN_COLORDEFAULTClick();
  void PaintBox1MouseDown(Qt::MouseButton button, int x, int y);
  void PaintBox1MouseMove(Qt::MouseButton button, int x, int y);
  void PaintBox1MouseUp(Qt::MouseButton button, int x, int y);
  // A drag is running on the paint area: a tool's gesture, a display-start
  // frame or a quarter carried in the centre-line view.
  bool Dragging() const { return tools_.Dragging() || framing_ || moveInCentreView_; }
  // The running gesture's text stamp and spray (tests seed the spray).
  const ToolSession& Tools() const { return tools_; }
  SprayGenerator& Spray() { return tools_.Spray(); }

  // Whole-picture commands, undo and redo (edit_commands.cpp).
  // Ends the running step: what was drawn since the last one becomes a step
  // of the history (choosing a tool, a command, a transfer).
  void Checkpoint();
  void MN_EDITREDOClick();
  // MN_EDITUNDOSTROKE: every stroke a step of its own.
  void MN_EDITUNDOSTROKEClick();
  bool UndoEachStroke() const { return undoEachStroke_; }
  // The undo history of the picture.
  const History& PictureHistory() const { return document_.history(); }
  void MN_EDITROLEClick();
  void MN_EDITSAYUClick();
  void MN_EDITUPDOWNClick();
  void MN_EDITHOSYOKUClick();
  void MN_EDITSAYUCOPYClick();
  void MN_EDITUPDOWNCOPYClick();
  void MN_EDITSAUPClick();
  void MN_EDITKAKUDAIClick();
  void MN_EDITSYUKUSYOClick();
  void MN_EDITSHIFTLEFTClick();
  void MN_EDITSHIFTRIGHTClick();
  void MN_EDITSHIFTUPClick();
  void MN_EDITSHIFTDOWNClick();
  void MN_EDITSHTURClick();
  void MN_EDITSFTDRClick();
  void MN_EDITUNDOClick();

  // Drops a pending display-start click, restoring the tool and caption.
  void StopAwaitingDisplayStart();
  // The caption "編集ﾊﾟﾚｯﾄ " + file name.
  void ShowFileCaption();

  // Transfers with the main and sub palettes (edit_transfer.cpp).
  // The MN_SET menu: its nine transfer items with their keys.
  QMenu* CreateTransferMenu();
  // Takes the undo copy and starts a transfer into this palette (kCopyFromMain,
  // kCopyFromMainEdgeCut, kCutFromMain, kCopyFromSub, kCopyFromSubEdgeCut);
  // kTransferNone only takes the undo copy.
  void SetTransferMode(int mode);
  // Shows what the region at (x, y) of the source would give; the picture stays.
  void PreviewTransfer(int x, int y, int transparent, const IndexedImage& source, int height, int width);
  // Takes the region at (x, y) of the source into the picture at (0, 0).
  void CopyIntoEdit(int x, int y, int transparent, const IndexedImage& source, int height, int width);

 protected:
  bool event(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // What the paint area and the swatches show, and how.
  struct Display {
    int viewMode = kViewStandard;  // as ViewMode()
    int zoom = 1;
    int pendingZoom = 4;       // the zoom a display-start click switches to
    int overlayShownFor = 0;   // the view mode whose grid the screen buffer holds; 0 none
    Point startFramePosition;  // the display-start frame, in picture pixels
    Point startFrameSize;
    IndexedImage magnified;                // MagnifiedImage
    IndexedImage screen;                   // ScreenImage
    IndexedImage leftSwatch, rightSwatch;  // the two drawing colours below the tools
    bool blanked = false;                  // every area shows the blank screen until the new palette arrives
  };
  // The defined components, under their defined object names.
  struct Widgets {
    PaintBox* PaintBox1 = nullptr;
    PaintBox* PaintBox_LEFT = nullptr;
    PaintBox* PaintBox_RIGHT = nullptr;
    QScrollBar* ScrollBarX = nullptr;
    QScrollBar* ScrollBarY = nullptr;
    QWidget* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QToolButton *BTN_FREE = nullptr, *BTN_LINE = nullptr, *BTN_ANGLE = nullptr, *BTN_FUL = nullptr, *BTN_ERAS = nullptr,
                *BTN_MOVE = nullptr, *BTN_MOJI = nullptr, *SpeedButton9 = nullptr, *BTN_FONTSET = nullptr,
                *SpeedButton10 = nullptr, *SpeedButton11 = nullptr, *BTN_COLORDEF = nullptr;
  };

  void BuildLayout();
  void BuildMenu();                   // edit_menu.cpp
  void BuildButtons(QWidget* panel);  // edit_tools.cpp
  void PaintBox1Paint(QPainter& painter, const QRect& exposed);
  void PaintSwatch(QPainter& painter, IndexedImage& swatch, int colour);
  void SetMagnification(int zoom);
  void FinishStartFrame(int x, int y);
  void PresentScreenRect(const Rect& rect);
  void RecreatePictureBuffers();
  // Shows a picture whose size or pixels changed outside a command: the
  // other buffers follow its size and the view shows it afresh.
  void ShowNewPicture();
  void MoveInCentreView(Qt::MouseButton button, Point p, int phase);
  void CheckTransferItems(const char* checked);
  IndexedImage& Picture() { return document_.Picture(); }
  ToolTarget Target() { return {Picture(), work_, stamp_}; }
  ToolInk Ink();
  // The tool settings all drawing canvases share, and their change signal.
  ToolSettings& Settings();
  void SettingsChanged();
  void ShowToolStep(const ToolStep& step);
  // The picture as it is now is the one on disk (or a fresh one).
  void MarkSaved();
  // Writes the picture to `path`; on success the picture takes that name.
  bool SaveTo(const std::string& path);
  // A command on the whole picture as one step of its own.
  template <typename Command>
  void RunAsStep(Command command);
  // Takes the picture one step back or forward in its history.
  void MoveInHistory(bool forward);
  // The caption "WxH" of the picture as it is now.
  void ShowSizeCaption();
  // MN_EDITUNDO, SpeedButton11 and MN_EDITREDO are enabled while there is a step to take.
  void ReflectHistory();

  // Test support sets the picture up directly (a size, a few pixels).
  friend class WindowProbe;
  App& app_;
  // The picture and its file name.
  Document document_;
  // The picture as last opened, made or saved: it is modified while it differs
  // from this, whichever of the palette's many commands changed it.
  IndexedImage saved_;
  IndexedImage work_;   // WorkImage
  IndexedImage stamp_;  // StampImage
  Display display_;
  Widgets ui_;
  RecentFileList* recent_ = nullptr;
  ToolSession tools_;
  SwatchArrangement order_{};  // the swatch order a gradient gesture took at its start
  bool busy_ = false;          // a file command or a copy runs: no repaints, no mouse
  bool viewHeld_ = false;      // the view is being set up or composed: no repaint now
  bool destroyed_ = false;
  bool inMouseDown_ = false;
  bool inMouseMove_ = false;
  bool inOverlay_ = false;
  bool inFitEditSize_ = false;
  bool copyingIntoEdit_ = false;
  bool moveInCentreView_ = false;
  bool framing_ = false;         // the display-start frame follows the mouse
  bool undoEachStroke_ = false;  // MN_EDITUNDOSTROKE
  QString progressName_;         // the file a running load names in its captions
};

template <typename Command>
void TTAVOEDTF::RunAsStep(Command command) {
  Checkpoint();
  command();
  RepaintView();
  Checkpoint();
}

}  // namespace zudizar
