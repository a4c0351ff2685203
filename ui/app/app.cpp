#include "ui/app/app.h"

#include <QDesktopServices>
#include <QEvent>
#include <QProcess>
#include <algorithm>

#include "base/settings.h"
#include "ui/app/recovery.h"
#include "ui/colour/colour_window.h"
#include "ui/common/dialogs.h"
#include "ui/edit/edit_window.h"
#include "ui/edit/text_input.h"
#include "ui/edit/text_render.h"
#include "ui/main/about_box.h"
#include "ui/main/main_window.h"
#include "ui/main/position_dialog.h"
#include "ui/main/size_dialog.h"
#include "ui/sub/sub_window.h"

namespace zudizar {

// Keeps the main window's MN_EDIT and MN_SUB marks on exactly while their
// windows are shown, however they were shown or hidden.
class VisibilityWatch : public QObject {
 public:
  VisibilityWatch(TForm1& main, QWidget& edit, QWidget& sub) : main_(main), edit_(&edit), sub_(&sub) {
    edit.installEventFilter(this);
    sub.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide) {
      const bool shown = event->type() == QEvent::Show;
      if (watched == edit_)
        main_.CanvasWindowShown(true, shown);
      else if (watched == sub_)
        main_.CanvasWindowShown(false, shown);
    }
    return false;
  }

 private:
  TForm1& main_;
  QObject* edit_;
  QObject* sub_;
};

App::App(Dialogs& dialogs, const std::string& programFile)
    : dialogs_(dialogs), programFile_(programFile), stamper_(std::make_unique<QtTextStamper>()) {
  StartProgram = [](const QString& program) { return QProcess::startDetached(program, {}); };
  OpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  SetProgramFile(programFile);
}

App::~App() {
  Shutdown();
  recovery_.reset();
  watch_.reset();
  // Destroyed in reverse order of creation; the main window last.
  text_.reset();
  position_.reset();
  sub_.reset();
  colour_.reset();
  size_.reset();
  edit_.reset();
  about_.reset();
  main_.reset();
}

void App::Start() {
  if (started_) return;
  // The main window's creation runs first and alone: it starts the trace log,
  // the shared palette and the settings file that the others read.
  main_ = std::make_unique<TForm1>(*this);
  // The settings file is known now: the undo histories take their budget.
  const int megabytes = ReadIntSettingIn("Edit", "UndoMemoryMB", kUndoMemoryDefaultMB);
  session_.budget.SetLimit(static_cast<std::size_t>(std::clamp(megabytes, kUndoMemoryMinMB, kUndoMemoryMaxMB)) << 20);
  about_ = std::make_unique<TAboutBox>(*this);
  edit_ = std::make_unique<TTAVOEDTF>(*this);
  size_ = std::make_unique<TBtnRightDlg>(*this);
  colour_ = std::make_unique<TPALETTEF>(*this);
  sub_ = std::make_unique<TTAVOSUBF>(*this);
  position_ = std::make_unique<TITISITEF>(*this);
  text_ = std::make_unique<TForm2>(*this);
  watch_ = std::make_unique<VisibilityWatch>(*main_, *edit_, *sub_);
  started_ = true;
  // Work an instance that ended uncleanly left behind comes back first; then
  // this instance's own work is kept safe.
  recovery_ = std::make_unique<Recovery>(*this);
  recovery_->OfferLeftovers();
  recovery_->TellOrphans();
  recovery_->Start(RecoveryIntervalMs);
}

void App::Shutdown() {
  if (!started_ || shutDown_) return;
  shutDown_ = true;
  // A clean end: nothing is left to recover.
  recovery_->Finish();
  main_->FormDestroy();
  edit_->FormDestroy();
  colour_->FormDestroy();
  sub_->FormDestroy();
  text_->FormDestroy();
}

bool App::QueryClose() { return main_->CloseQuery() && edit_->CloseQuery() && sub_->CloseQuery(); }

void App::ShowSettingsError(const SettingsWriteError& error) { ShowError(QString::fromStdString(error.what())); }

void App::ShowError(const QString& text) {
  dialogs_.MessageBox(main_ ? static_cast<QWidget*>(main_.get()) : nullptr, text, kApplicationTitle, BoxButtons::Ok,
                      BoxIcon::Error);
}

// ---- what the windows ask of each other ----

namespace {
QWidget* WindowOf(App& app, WindowId window) {
  switch (window) {
    case WindowId::Main: return &app.main();
    case WindowId::Edit: return &app.edit();
    case WindowId::Sub: return &app.sub();
    case WindowId::Colour: return &app.colour();
  }
  return nullptr;
}
}  // namespace

void App::SetShown(WindowId window, bool shown) { WindowOf(*this, window)->setVisible(shown); }

void App::SetCaption(WindowId window, const QString& caption) { WindowOf(*this, window)->setWindowTitle(caption); }

bool App::AskCanvasSize(int& width, int& height) {
  if (dialogs_.Exec(*size_) != QDialog::Accepted) return false;
  width = size_->Width;
  height = size_->Height;
  return true;
}

bool App::AskPastePosition(int& x, int& y) {
  if (dialogs_.Exec(*position_) != QDialog::Accepted) return false;
  x = position_->X;
  y = position_->Y;
  return true;
}

void App::ShowColourWindow() { colour_->ShowWindow(); }

void App::StepColours(bool forward) {
  if (forward)
    colour_->StepColoursForward();
  else
    colour_->StepColoursBack();
}

void App::FillBackground(bool horizontal) {
  const std::uint8_t left = session_.LeftColour(), right = session_.RightColour();
  switch (session_.Background()) {
    case BackgroundTarget::Main: main_->FillBackground(left, right, horizontal, session_.SwatchOrder()); break;
    case BackgroundTarget::Edit: edit_->FillBackground(left, right, horizontal, session_.SwatchOrder()); break;
    case BackgroundTarget::Sub: sub_->FillBackground(left); break;
    case BackgroundTarget::None: break;
  }
  CanvasPictureChanged();
}

const IndexedImage& App::EditPicture() { return edit_->EditImage(); }

void App::EditSetTransferMode(int mode) { edit_->SetTransferMode(mode); }

void App::EditPreviewTransfer(int x, int y, int transparent, const IndexedImage& source, int height, int width) {
  edit_->PreviewTransfer(x, y, transparent, source, height, width);
}

void App::EditCopyIn(int x, int y, int transparent, const IndexedImage& source, int height, int width) {
  edit_->CopyIntoEdit(x, y, transparent, source, height, width);
  CanvasPictureChanged();
}

void App::EditRestoreView() { edit_->RestoreView(); }

QSize App::EditWindowSize() { return edit_ ? edit_->size() : QSize(); }

void App::MainCanvasCommand(int kind) { main_->CanvasCommand(kind); }

void App::MainPasteAtTypedPosition(bool edgeCut) { main_->PasteAtTypedPosition(edgeCut); }

void App::ExchangeCanvases() { main_->CanvasCommand(ModeNumber(MainMode::ExchangeWithSub)); }

const IndexedImage& App::SubPicture() { return sub_->SubPictureImage(); }

void App::SubStartTransfer(int mode) { sub_->StartSubTransfer(mode); }

EntryMask App::EntriesInUseBeside(CanvasId canvas) {
  // The windows still being made use nothing yet.
  EntryMask mask{};
  if (main_ && canvas != CanvasId::Main) MarkEntriesInUse(main_->PictureImage(), mask);
  if (edit_ && canvas != CanvasId::Edit) MarkEntriesInUse(edit_->EditImage(), mask);
  if (sub_ && canvas != CanvasId::Sub) MarkEntriesInUse(sub_->SubPictureImage(), mask);
  return mask;
}

App::CanvasState App::Canvas(CanvasId canvas) {
  switch (canvas) {
    case CanvasId::Main: return {&main_->PictureImage(), main_->CurrentFileName(), main_->Modified()};
    case CanvasId::Edit: return {&edit_->EditImage(), edit_->FileName(), edit_->Modified()};
    case CanvasId::Sub: break;
  }
  return {&sub_->SubPictureImage(), sub_->FileName(), sub_->Modified()};
}

void App::RestoreCanvas(CanvasId canvas, IndexedImage& picture, const std::string& name) {
  switch (canvas) {
    case CanvasId::Main: main_->RestorePicture(picture, name); break;
    case CanvasId::Edit: edit_->RestorePicture(picture, name); break;
    case CanvasId::Sub: sub_->RestorePicture(picture, name); break;
  }
  CanvasPictureChanged();
}

int App::UnusedFreeEntries() {
  EntryMask mask = EntriesInUseBeside(CanvasId::Main);
  if (main_) MarkEntriesInUse(main_->PictureImage(), mask);
  return CountUnusedFreeEntries(mask);
}

void App::CanvasPictureChanged() {
  if (colour_) colour_->ShowFreeEntries();
}

bool App::SubSwapContent(CanvasContent& incoming, CanvasContent& outgoing) {
  return sub_->SwapContent(incoming, outgoing);
}


int App::UndoMemoryMB() const { return static_cast<int>(session_.budget.Limit() >> 20); }

void App::SetUndoMemoryMB(int megabytes) {
  megabytes = std::clamp(megabytes, kUndoMemoryMinMB, kUndoMemoryMaxMB);
  session_.budget.SetLimit(static_cast<std::size_t>(megabytes) << 20);
  try {
    WriteSettingIn("Edit", "UndoMemoryMB", std::to_string(megabytes));
  } catch (const SettingsWriteError& error) {
    ShowSettingsError(error);
  }
}

}  // namespace zudizar
