// The main canvas's file and palette commands.
#include "formats/dispatch.h"
#include "formats/opened_picture.h"
#include "palette/palette_load.h"
#include "ui/app/app.h"
#include "ui/common/canvas_view.h"
#include "ui/common/dialogs.h"
#include "ui/common/file_commands.h"
#include "ui/common/file_names.h"
#include "ui/common/file_progress.h"
#include "ui/common/mag_info_dialog.h"
#include "ui/common/recent_files.h"
#include "ui/main/main_window.h"

namespace zudizar {

void TForm1::MN_OPENClick() {
  if (!CloseQuery()) return;
  const auto path = AskOpenName(this, app_.dialogs(), kPictureOpenFilter, document_.FileName());
  if (!path) return;
  OpenPictureFile(*path);
}

void TForm1::OpenPictureFile(const std::string& path) {
  if (!CheckOpenable(this, app_.dialogs(), path)) return;
  // A picture that cannot be loaded keeps the file name and caption the canvas
  // had, so that Save never writes over the file that failed.
  const QString previousTitle = windowTitle();
  setWindowTitle(ShownName(path));
  SetBusy(true);
  // Kept so that a picture that cannot be loaded leaves canvas and colours as they were.
  const PaletteTable previousCurrent = SharedPalette.current;

  Session& session = app_.session();
  session.BlankCanvases();
  WindowProgressSink sink(this);
  // One read and one decode: the palette step's colours go on to the picture step.
  OpenedPicture opened;
  ReadPictureForOpen(path, opened);
  FileReport paletteReport;
  // The other canvases' colours stay as they are.
  MergeOpenedColours(opened, &paletteReport, &sink, app_.EntriesInUseBeside(App::CanvasId::Main));
  ShowFileReport(this, app_.dialogs(), paletteReport);
  session.ApplyMergedPalette();

  IndexedImage loaded;
  FileReport pictureReport;
  bool ok = MapOpenedPicture(opened, loaded, &pictureReport, &sink) && loaded.HasPixels();
  ShowFileReport(this, app_.dialogs(), pictureReport);
  const bool told = !paletteReport.Empty() || !pictureReport.Empty();
  if (ok) {
    // The open is one step, colours and all, so that it can be undone.
    TakePicture(loaded, path, PaletteDifferences(previousCurrent, SharedPalette.current));
  } else if (!told) {
    ShowLoadFailure(this, app_.dialogs(), path);
  }
  if (ok) {
    document_.SetModified(false);
    recent_->Add(path);
  } else {
    SharedPalette.pending = previousCurrent;
    session.ApplyMergedPalette();
  }
  SetBusy(false);
  setWindowTitle(ok ? ShownName(path) + FileReportNote(pictureReport) : previousTitle);
  view_->ComposeAll();
}

void TForm1::MN_FILEREOPENClick(int k) {
  const std::string path = recent_->Path(k);
  if (path.empty() || !CloseQuery()) return;
  OpenPictureFile(path);
}

bool TForm1::SaveTo(const std::string& path) {
  if (!WritePicture(this, app_.dialogs(), path, document_.Picture())) return false;
  document_.SetFileName(path);
  document_.MarkSaved();
  setWindowTitle(ShownName(path) + QStringLiteral(" 保存終了 "));
  return true;
}

void TForm1::MN_SAVEClick() {
  if (document_.FileName().empty()) {
    MN_NEWSAVEClick();
    return;
  }
  // A failed save keeps the modified flag and has said why.
  if (!SaveTo(document_.FileName())) setWindowTitle(FileCaption());
}

void TForm1::MN_NEWSAVEClick() {
  const auto path = AskSaveName(this, app_.dialogs(), kPictureSaveFilter, document_.FileName());
  if (!path) return;
  setWindowTitle(QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ ") + ShownName(*path));
  // A name that could not be written is not adopted: the next save goes
  // where the picture belongs.
  if (!SaveTo(*path)) setWindowTitle(FileCaption());
}

void TForm1::MN_MAGINFOClick() {
  if (busy_ || !EditMagInfo(this, app_.dialogs(), document_)) return;
  setWindowTitle(FileCaption());
  emit app_.session().historyChanged();
}

void TForm1::MN_NEWClick() {
  if (!CloseQuery()) return;
  SetBusy(true);
  const PaletteTable previousCurrent = SharedPalette.current;
  int width = 0, height = 0;
  if (app_.AskCanvasSize(width, height)) {
    if (app_.dialogs().MessageBox(this, QStringLiteral("カラーパレットを変更しますか。"),
                                  QStringLiteral("色パレット選択"), BoxButtons::OkCancel,
                                  BoxIcon::Question) == BoxAnswer::Ok) {
      if (const auto path = AskOpenName(this, app_.dialogs(), kPictureOpenFilter, document_.FileName())) {
        progressName_ = ShownName(*path);
        app_.session().BlankCanvases();
        WindowProgressSink sink(this);
        FileReport report;
        LoadPaletteFromPicture(*path, &report, &sink, app_.EntriesInUseBeside(App::CanvasId::Main));
        ShowFileReport(this, app_.dialogs(), report);
        app_.session().ApplyMergedPalette();
        progressName_.clear();
      }
    }
    IndexedImage blank;
    if (CreateImage(width, height, blank)) {
      FillImage(blank, 255);
      TakePicture(blank, {}, PaletteDifferences(previousCurrent, SharedPalette.current));
      document_.SetModified(false);
      setWindowTitle(FileCaption());
      if (app_.dialogs().MessageBox(this, QStringLiteral("背景色を設定しますか。"), QStringLiteral("背景色選択"),
                                    BoxButtons::OkCancel, BoxIcon::Question) == BoxAnswer::Ok) {
        app_.session().SetBackground(BackgroundTarget::Main);
        app_.ShowColourWindow();
      }
    } else {
      app_.ShowError(QStringLiteral("%1 x %2 の画像を作るメモリがありません").arg(width).arg(height));
    }
  }
  SetBusy(false);
  view_->ComposeAll();
}

void TForm1::MN_ROREZURUClick() {
  if (!app_.StartProgram(QStringLiteral("ROREZURU.EXE")))
    app_.dialogs().MessageBox(this, QStringLiteral("ｶﾗｰﾊﾟﾚｯﾂ作成ﾂｰﾙを実行出来ませんでした"),
                              QStringLiteral("呼び出しエラー"), BoxButtons::Ok, BoxIcon::Information);
}

void TForm1::MN_PALREINITClick() {
  app_.session().BlankCanvases();
  WindowProgressSink sink(this);
  // Load, apply, load, apply: the second load rebuilds the display handle
  // from the colours the first one made current.
  for (int pass = 0; pass < 2; ++pass) {
    FileReport report;
    LoadStartupPalette(&report, &sink, app_.EntriesInUseBeside(App::CanvasId::Main));
    ShowFileReport(this, app_.dialogs(), report);
    app_.session().ApplyPalette();
  }
}

}  // namespace zudizar
