// The colour palette's palette load: a picture file's colours merged into
// the palette, no canvas changing.
#include <QCoreApplication>

#include "core/entry_mask.h"
#include "core/shared_palette.h"
#include "formats/dispatch.h"
#include "formats/opened_picture.h"
#include "palette/palette_load.h"
#include "ui/app/app.h"
#include "ui/colour/colour_window.h"
#include "ui/common/dialogs.h"
#include "ui/common/file_commands.h"
#include "ui/common/reentry.h"

namespace zudizar {

void TPALETTEF::LoadPaletteFile(const std::string& path) {
  const ReentryGuard guard(loadingPalette_);
  if (!guard.Entered()) return;
  // Every canvas keeps its picture, so every colour a canvas uses stays.
  EntryMask inUse = app_.EntriesInUseBeside(App::CanvasId::Main);
  MarkEntriesInUse(*app_.Canvas(App::CanvasId::Main).picture, inUse);
  const PaletteTable before = SharedPalette.current;
  setWindowTitle(QStringLiteral("しばらくお待ち下さい"));
  // Let the caption reach the screen before a long load, without user input.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  // The palette step of an open, as New's palette choice takes it.
  Session& session = app_.session();
  session.BlankCanvases();
  OpenedPicture opened;
  ReadPictureForOpen(path, opened);
  FileReport report;
  MergeOpenedColours(opened, &report, nullptr, inUse);
  ShowFileReport(this, app_.dialogs(), report);
  session.ApplyMergedPalette();
  setWindowTitle(kColourCaption);
  if (!report.Empty() || SharedPalette.current != before) return;
  // Nothing changed and nothing said: the colours were all there already, or
  // the file is no picture, which the palette step leaves to the picture
  // step to say.
  IndexedImage picture;
  FileReport pictureReport;
  if (MapOpenedPicture(opened, picture, &pictureReport) && picture.HasPixels()) return;
  ShowFileReport(this, app_.dialogs(), pictureReport);
  if (pictureReport.Empty()) ShowLoadFailure(this, app_.dialogs(), path);
}

}  // namespace zudizar
