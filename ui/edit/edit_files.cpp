// The edit palette's file menu: new picture, open and reopen, save, save as,
// close, and the size rule for loaded pictures.
#include <QAction>
#include <QFileInfo>
#include <algorithm>

#include "core/edit_commands.h"
#include "core/region.h"
#include "formats/dispatch.h"
#include "ui/app/app.h"
#include "ui/common/dialogs.h"
#include "ui/common/file_commands.h"
#include "ui/common/file_progress.h"
#include "ui/common/recent_files.h"
#include "ui/edit/edit_window.h"

namespace zudizar {

namespace {

const QString kEditOpenFilter = QStringLiteral(
    "BMP (*.BMP *.MAG *.JPG *.PNG *.ICO *.bmp *.mag *.jpg *.jpeg *.png *.ico);;ｱｲｺﾝ (*.ICO *.ico)");
const QString kEditSaveFilter = QStringLiteral("BMP (*.BMP *.MAG *.JPG *.PNG *.ICO *.bmp *.mag *.jpg *.png *.ico)");

}  // namespace

void TTAVOEDTF::MN_NEWClick() {
  Busy = true;
  int chosenWidth = 0, chosenHeight = 0;
  if (app_.AskCanvasSize(chosenWidth, chosenHeight)) {
    FileName.clear();
    const int w = std::max(std::min(chosenWidth, kPictureWidth), 24);
    const int h = std::max(std::min(chosenHeight, kPictureHeight), 24);
    CreateImage(w, h, EditImage);
    EditImage.colourTable = MagnifiedImage.colourTable;
    FreeImage(UndoImage);
    RecreatePictureBuffers();
    FillImage(EditImage, 255);
    CopyImage(MagnifiedImage, EditImage, kNoTransparent);
    SetScrollRanges(w, h);
    if (app_.dialogs().MessageBox(this, QStringLiteral("背景色を設定しますか。"), QStringLiteral("背景色選択"),
                                  BoxButtons::OkCancel, BoxIcon::Question) == BoxAnswer::Ok) {
      app_.session().SetBackground(BackgroundTarget::Edit);
      app_.ShowColourWindow();
    }
    TakeCheckpoint(UndoImage, EditImage);
  }
  Busy = false;
  OverlayShownFor = 0;
  RepaintView();
}

void TTAVOEDTF::MN_OPENClick() {
  const auto path = app_.dialogs().OpenFileName(this, kEditOpenFilter);
  if (path) OpenEditFile(*path);
}

void TTAVOEDTF::MN_FILEREOPENClick(int k) {
  const QString path = Recent->Path(k);
  if (!path.isEmpty()) OpenEditFile(path);
}

void TTAVOEDTF::OpenEditFile(const QString& name) {
  if (!QFileInfo(name).isFile()) return;
  // The picture, name and caption stay as they were until the load succeeds,
  // so a later save can never replace the file that failed to load.
  const QString previousName = FileName;
  const QString previousCaption = windowTitle();
  FileName = name;  // the progress captions name the file being loaded
  setWindowTitle(QStringLiteral("編集ﾊﾟﾚｯﾄ ") + name);
  Busy = true;
  IndexedImage loaded;
  WindowProgressSink sink(this);
  FileReport report;
  const bool ok = LoadPictureFile(name.toStdString(), loaded, &report, &sink) && loaded.HasPixels() &&
                  loaded.ImageWidth() > 0 && loaded.ImageHeight() > 0;
  ShowFileReport(this, app_.dialogs(), report);
  Busy = false;
  if (!ok) {
    FileName = previousName;
    setWindowTitle(previousCaption);
    if (report.Empty())
      app_.dialogs().MessageBox(this, QStringLiteral("%1 を開けませんでした。").arg(name),
                                QStringLiteral("ﾌｧｲﾙのﾛｰﾄﾞ失敗"), BoxButtons::Ok, BoxIcon::Information);
    OverlayShownFor = 0;
    RepaintView();
    return;
  }
  Recent->Add(name);
  EditImage = std::move(loaded);
  LoadColourTableFromShared(EditImage);
  FitEditSize(EditImage);
  Busy = true;
  FreeImage(UndoImage);
  RecreatePictureBuffers();
  TakeCheckpoint(UndoImage, EditImage);
  SetScrollRanges(EditImage.ImageWidth(), EditImage.ImageHeight());
  Busy = false;
  ShowFileCaption();
  OverlayShownFor = 0;
  RepaintView();
}

void TTAVOEDTF::FitEditSize(IndexedImage& image) {
  if (inFitEditSize_ || !image.HasPixels()) return;
  const int w0 = image.ImageWidth(), h0 = image.ImageHeight();
  if (w0 <= kPictureWidth && h0 <= kPictureHeight) return;
  inFitEditSize_ = true;
  Busy = true;
  const int w = std::min(w0, kPictureWidth), h = std::min(h0, kPictureHeight);
  app_.dialogs().MessageBox(this,
                            QStringLiteral("サイズの調整で %1x%2から%3x%4になります").arg(w0).arg(h0).arg(w).arg(h),
                            QStringLiteral("サイズが大きすぎる為、一部分カットされます。"), BoxButtons::Ok,
                            BoxIcon::Information);
  IndexedImage cut;
  if (CreateImage(w, h, cut)) {
    cut.colourTable = image.colourTable;
    CopyRegion(cut, 0, 0, image, 0, 0, w, h, kNoTransparent);
    image = std::move(cut);
  }
  Busy = false;
  inFitEditSize_ = false;
}

void TTAVOEDTF::MN_SAVEClick() {
  if (FileName.isEmpty()) {
    MN_NEWSAVEClick();
    return;
  }
  WindowProgressSink sink(this);
  FileReport report;
  const bool ok = SavePictureFile(FileName.toStdString(), EditImage, &report, &sink);
  ShowFileReport(this, app_.dialogs(), report);
  ShowFileCaption();
  if (!ok && report.Empty())
    app_.dialogs().MessageBox(this, QStringLiteral("%1 に保存できませんでした。").arg(FileName),
                              QStringLiteral("保存エラー"), BoxButtons::Ok, BoxIcon::Error);
}

void TTAVOEDTF::MN_NEWSAVEClick() {
  const auto chosen = app_.dialogs().SaveFileName(this, kEditSaveFilter);
  if (!chosen) return;
  const QString path = WithSaveExtension(*chosen);
  FileName = path;
  ShowFileCaption();
  MN_SAVEClick();
}

void TTAVOEDTF::MN_HIDEClick() {
  hide();
}

}  // namespace zudizar
