// The edit palette's file menu: new picture, open and reopen, save, save as,
// close, and the size rule for loaded pictures.
#include <QAction>
#include <algorithm>

#include "core/edit_commands.h"
#include "core/jigsaw.h"
#include "core/region.h"
#include "formats/dispatch.h"
#include "ui/app/app.h"
#include "ui/common/dialogs.h"
#include "ui/common/file_commands.h"
#include "ui/common/file_names.h"
#include "ui/common/mag_info_dialog.h"
#include "ui/common/recent_files.h"
#include "ui/common/reentry.h"
#include "ui/edit/edit_window.h"

namespace zudizar {

namespace {

const QString kEditOpenFilter =
    QStringLiteral("BMP (*.BMP *.MAG *.JPG *.PNG *.ICO *.bmp *.mag *.jpg *.jpeg *.png *.ico);;ｱｲｺﾝ (*.ICO *.ico)");
const QString kEditSaveFilter = QStringLiteral("BMP (*.BMP *.MAG *.JPG *.PNG *.ICO *.bmp *.mag *.jpg *.png *.ico)");

}  // namespace

bool TTAVOEDTF::Modified() const { return !SamePixels(document_.Picture(), saved_); }

void TTAVOEDTF::MarkSaved() {
  CreateImage(Picture().ImageWidth(), Picture().ImageHeight(), saved_);
  CopyImage(saved_, Picture(), kNoTransparent);
}

bool TTAVOEDTF::CloseQuery() {
  return ConfirmDropping(
      this, app_.dialogs(), Modified(), QStringLiteral("編集ﾊﾟﾚｯﾄの描画域が更新されています、内容を保存しますか？"),
      [this] { MN_SAVEClick(); }, [this] { return !Modified(); });
}

void TTAVOEDTF::MN_NEWClick() {
  if (!CloseQuery()) return;
  busy_ = true;
  int chosenWidth = 0, chosenHeight = 0;
  IndexedImage fresh;
  if (app_.AskCanvasSize(chosenWidth, chosenHeight)) {
    const int w = std::max(std::min(chosenWidth, kPictureWidth), 24);
    const int h = std::max(std::min(chosenHeight, kPictureHeight), 24);
    if (!CreateImage(w, h, fresh)) {
      busy_ = false;
      app_.ShowError(QStringLiteral("%1 x %2 の画像を作るメモリがありません").arg(w).arg(h));
      return;
    }
    fresh.colourTable = display_.magnified.colourTable;
    FillImage(fresh, 255);
    // What was drawn is a step of its own; the new picture is the next.
    Checkpoint();
    document_.Replace(std::move(fresh), {});
    RecreatePictureBuffers();
    CopyImage(display_.magnified, Picture(), kNoTransparent);
    SetScrollRanges(w, h);
    if (app_.dialogs().MessageBox(this, QStringLiteral("背景色を設定しますか。"), QStringLiteral("背景色選択"),
                                  BoxButtons::OkCancel, BoxIcon::Question) == BoxAnswer::Ok) {
      app_.session().SetBackground(BackgroundTarget::Edit);
      app_.ShowColourWindow();
    }
    // The background fill belongs to the new picture's step.
    Checkpoint();
    MarkSaved();
    ShowFileCaption();
    app_.CanvasPictureChanged();
  }
  busy_ = false;
  display_.overlayShownFor = 0;
  RepaintView();
}

void TTAVOEDTF::MN_OPENClick() {
  if (!CloseQuery()) return;
  const auto path = AskOpenName(this, app_.dialogs(), kEditOpenFilter, FileName());
  if (path) OpenEditFile(*path);
}

void TTAVOEDTF::MN_FILEREOPENClick(int k) {
  const std::string path = recent_->Path(k);
  if (!path.empty() && CloseQuery()) OpenEditFile(path);
}

void TTAVOEDTF::OpenEditFile(const std::string& name) {
  if (!CheckOpenable(this, app_.dialogs(), name)) return;
  // The picture, name and caption stay as they were until the load succeeds,
  // so a later save can never replace the file that failed to load.
  const QString previousCaption = windowTitle();
  progressName_ = ShownName(name);  // the progress captions name the file being loaded
  setWindowTitle(QStringLiteral("編集ﾊﾟﾚｯﾄ ") + ShownName(name));
  busy_ = true;
  IndexedImage loaded;
  QString note;
  const bool ok = ReadPicture(this, app_.dialogs(), name, loaded, &note);
  busy_ = false;
  progressName_.clear();
  if (!ok) {
    setWindowTitle(previousCaption);
    display_.overlayShownFor = 0;
    RepaintView();
    return;
  }
  recent_->Add(name);
  if (!note.isEmpty()) setWindowTitle(windowTitle() + note);
  LoadColourTableFromShared(loaded);
  FitEditSize(loaded);
  // What was drawn is a step of its own; the opened picture is the next.
  Checkpoint();
  document_.Replace(std::move(loaded), name);
  busy_ = true;
  RecreatePictureBuffers();
  SetScrollRanges(Picture().ImageWidth(), Picture().ImageHeight());
  busy_ = false;
  MarkSaved();
  ReflectHistory();
  ShowFileCaption();
  display_.overlayShownFor = 0;
  RepaintView();
  app_.CanvasPictureChanged();
}

void TTAVOEDTF::RestorePicture(IndexedImage& picture, const std::string& name) {
  FitEditSize(picture);
  Checkpoint();
  document_.Replace(std::move(picture), name);
  RecreatePictureBuffers();
  SetScrollRanges(Picture().ImageWidth(), Picture().ImageHeight());
  ReflectHistory();
  // Nothing on disk holds this picture yet: it counts as modified.
  FreeImage(saved_);
  ShowFileCaption();
  display_.overlayShownFor = 0;
  RepaintView();
}

void TTAVOEDTF::FitEditSize(IndexedImage& image) {
  const ReentryGuard guard(inFitEditSize_);
  if (!guard.Entered() || !image.HasPixels()) return;
  const int w0 = image.ImageWidth(), h0 = image.ImageHeight();
  if (w0 <= kPictureWidth && h0 <= kPictureHeight) return;
  busy_ = true;
  const int w = std::min(w0, kPictureWidth), h = std::min(h0, kPictureHeight);
  app_.dialogs().MessageBox(
      this, QStringLiteral("サイズの調整で %1x%2から%3x%4になります").arg(w0).arg(h0).arg(w).arg(h),
      QStringLiteral("サイズが大きすぎる為、一部分カットされます。"), BoxButtons::Ok, BoxIcon::Information);
  IndexedImage cut;
  if (CreateImage(w, h, cut)) {
    cut.colourTable = image.colourTable;
    cut.mag = image.mag;
    CopyRegion(cut, 0, 0, image, 0, 0, w, h, kNoTransparent);
    image = std::move(cut);
  }
  busy_ = false;
}

bool TTAVOEDTF::SaveTo(const std::string& path) {
  const bool saved = WritePicture(this, app_.dialogs(), path, Picture());
  if (saved) {
    document_.SetFileName(path);
    MarkSaved();
  }
  // The caption names the file the picture belongs to: the new one, or the
  // one it kept when the save failed.
  ShowFileCaption();
  return saved;
}

void TTAVOEDTF::MN_SAVEClick() {
  if (FileName().empty()) {
    MN_NEWSAVEClick();
    return;
  }
  SaveTo(FileName());
}

void TTAVOEDTF::MN_NEWSAVEClick() {
  const auto path = AskSaveName(this, app_.dialogs(), kEditSaveFilter, FileName());
  if (!path) return;
  setWindowTitle(QStringLiteral("編集ﾊﾟﾚｯﾄ ") + ShownName(*path));
  SaveTo(*path);
}

void TTAVOEDTF::MN_MAGINFOClick() {
  if (busy_) return;
  // What was drawn is a step of its own; the new fields are the next.
  Checkpoint();
  if (EditMagInfo(this, app_.dialogs(), document_)) emit app_.session().historyChanged();
  ReflectHistory();
}

void TTAVOEDTF::MN_HIDEClick() { hide(); }

}  // namespace zudizar
