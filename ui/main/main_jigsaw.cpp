// The jigsaw puzzle on the main canvas: the start question, the shuffle with
// its visible repaints, and a game that knows when it is solved.
#include <QAction>
#include <QDateTime>
#include <QElapsedTimer>
#include <QRegion>

#include "core/frames.h"
#include "core/jigsaw.h"
#include "core/region.h"
#include "ui/app/app.h"
#include "ui/common/dialogs.h"
#include "ui/common/paint_box.h"
#include "ui/edit/edit_window.h"
#include "ui/main/main_window.h"

namespace zudizar {

namespace {

const QString kPlayCaption = QStringLiteral("マウス左でマス移動、マウス右でマス回転です。");

// Visible repaints during the shuffle at most this often, so a large grid
// shuffles quickly and a small one can still be watched.
constexpr qint64 kShuffleRepaintMs = 15;

QString DurationText(qint64 ms) {
  const qint64 seconds = ms / 1000;
  if (seconds < 60) return QStringLiteral("%1秒").arg(seconds);
  return QStringLiteral("%1分%2秒").arg(seconds / 60).arg(seconds % 60);
}

}  // namespace

void TForm1::MN_MAINJIGSClick() {
  // Nothing to rearrange on an empty canvas.
  if (!PictureImage.HasPixels()) return;
  const BoxAnswer answer = app_.dialogs().MessageBox(
      this, QStringLiteral("描画域を並べ変えますが、よろしいですか？"), QStringLiteral("確認メッセージ"),
      BoxButtons::YesNoCancel, BoxIcon::Information);
  if (answer != BoxAnswer::Yes && answer != BoxAnswer::No) return;
  if (FrameSize < 24) SetFrame(48);
  // The cells the shuffle cuts are the cells play snaps to.
  Action(QStringLiteral("MN_MODEHALFLEFT"))->setChecked(false);
  Action(QStringLiteral("MN_MODEHALFUP"))->setChecked(false);
  EndJigsaw();
  // A pending transfer is dropped, not confirmed, before the picture changes.
  if (Mode >= 1 && Mode <= 3) {
    app_.edit().RestoreView();
    app_.edit().SetTransferMode(0);
  }
  Mode = 0;
  CanvasCommand(0);

  bool shuffle = answer == BoxAnswer::Yes;
  if (shuffle) {
    CreateImage(PictureImage.ImageWidth(), PictureImage.ImageHeight(), Jigsaw.solution);
    CopyImage(Jigsaw.solution, PictureImage, kNoTransparent);
    const JigsawGrid grid = JigsawGrid::Over(FrameSize, PictureImage.ImageWidth(), PictureImage.ImageHeight());
    const JigsawRandom random = MakeJigsawRandom();
    QElapsedTimer sinceRepaint;
    sinceRepaint.start();
    QRegion dirty;
    Busy = true;
    ShuffleJigsaw(PictureImage, grid, random, [&](int k, int d) {
      for (const Rect r : {grid.Cell(k), grid.Cell(d)}) {
        CopyClipped(ViewImage, {r.x, r.y}, PictureImage, r);
        ComposeRect(r);
        dirty += QRect(r.x, r.y, r.width, r.height);
      }
      if (sinceRepaint.elapsed() >= kShuffleRepaintMs) {
        Busy = false;
        PaintBox1->repaint(dirty);
        Busy = true;
        dirty = QRegion();
        sinceRepaint.restart();
      }
    });
    Busy = false;
    // A picture smaller than one cell plays on without a solved state.
    shuffle = grid.Cells() > 0;
    if (shuffle) MarkModified();
  }
  CanvasCommand(23);
  setWindowTitle(kPlayCaption);
  Jigsaw.active = shuffle;
  Jigsaw.moves = 0;
  Jigsaw.startedMs = QDateTime::currentMSecsSinceEpoch();
  app_.dialogs().MessageBox(this, QStringLiteral("ﾏｳｽを使って、絵を並べ変えましょう。"),
                            QStringLiteral("ゲームスタート"), BoxButtons::Ok, BoxIcon::Information);
}

void TForm1::JigsawMoveMade() {
  if (!Jigsaw.active) return;
  ++Jigsaw.moves;
  setWindowTitle(kPlayCaption + QStringLiteral("　%1手").arg(Jigsaw.moves));
  if (!SamePixels(PictureImage, Jigsaw.solution)) return;
  const int moves = Jigsaw.moves;
  const qint64 taken = QDateTime::currentMSecsSinceEpoch() - Jigsaw.startedMs;
  EndJigsaw();
  CanvasCommand(0);
  setWindowTitle(QStringLiteral("ﾒｲﾝﾊﾟﾚｯﾄ ") + CurrentFileName);
  app_.dialogs().MessageBox(
      this, QStringLiteral("完成です！　%1手、%2で並べ終えました。").arg(moves).arg(DurationText(taken)),
      QStringLiteral("ゲームクリア"), BoxButtons::Ok, BoxIcon::Information);
}

void TForm1::EndJigsaw() {
  Jigsaw.active = false;
  FreeImage(Jigsaw.solution);
}

}  // namespace zudizar
