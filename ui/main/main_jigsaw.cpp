// The jigsaw puzzle on the main canvas: the start question and the shuffle
// with its visible repaints; the game itself runs in the cell-exchange mode.
#include <QAction>
#include <QElapsedTimer>
#include <QRegion>

#include "core/frames.h"
#include "core/jigsaw.h"
#include "ui/app/app.h"
#include "ui/common/canvas_view.h"
#include "ui/common/dialogs.h"
#include "ui/common/paint_box.h"
#include "ui/main/main_window.h"

namespace zudizar {

namespace {

// Visible repaints during the shuffle at most this often, so a large grid
// shuffles quickly and a small one can still be watched.
constexpr qint64 kShuffleRepaintMs = 15;

}  // namespace

void TForm1::MN_MAINJIGSClick() {
  // Nothing to rearrange on an empty canvas.
  if (!document_.Picture().HasPixels()) return;
  const BoxAnswer answer =
      app_.dialogs().MessageBox(this, QStringLiteral("描画域を並べ変えますが、よろしいですか？"),
                                QStringLiteral("確認メッセージ"), BoxButtons::YesNoCancel, BoxIcon::Information);
  if (answer != BoxAnswer::Yes && answer != BoxAnswer::No) return;
  if (view_->Frame() < 24) SetFrame(48);
  // The cells the shuffle cuts are the cells play snaps to.
  view_->SetHalfLeft(false);
  view_->SetHalfUp(false);
  ReflectFrame();
  // A pending transfer is dropped, not confirmed, before the picture changes.
  if (mode_) mode_->Leave(true);
  EnterMode(MainMode::None);

  IndexedImage& picture = document_.Picture();
  IndexedImage solution;
  if (answer == BoxAnswer::Yes) {
    const JigsawGrid grid = JigsawGrid::Over(view_->Frame(), picture.ImageWidth(), picture.ImageHeight());
    // A picture smaller than one cell plays on without a solved state.
    if (grid.Cells() > 0 && CreateImage(picture.ImageWidth(), picture.ImageHeight(), solution))
      CopyImage(solution, picture, kNoTransparent);
    const JigsawRandom random = MakeJigsawRandom();
    QElapsedTimer sinceRepaint;
    sinceRepaint.start();
    QRegion dirty;
    SetBusy(true);
    ShuffleJigsaw(picture, grid, random, [&](int k, int d) {
      for (const Rect r : {grid.Cell(k), grid.Cell(d)}) {
        view_->Restore(picture, r);
        dirty += QRect(r.x, r.y, r.width, r.height);
      }
      if (sinceRepaint.elapsed() >= kShuffleRepaintMs) {
        SetBusy(false);
        view_->Box()->repaint(dirty);
        SetBusy(true);
        dirty = QRegion();
        sinceRepaint.restart();
      }
    });
    SetBusy(false);
    if (grid.Cells() > 0) Changed(ImageRect(picture));
  }
  CanvasCommand(ModeNumber(MainMode::CellExchange));
  setWindowTitle(QStringLiteral("マウス左でマス移動、マウス右でマス回転です。"));
  if (auto* cells = dynamic_cast<CellMode*>(mode_.get())) cells->StartGame(std::move(solution));
  app_.dialogs().MessageBox(this, QStringLiteral("ﾏｳｽを使って、絵を並べ変えましょう。"),
                            QStringLiteral("ゲームスタート"), BoxButtons::Ok, BoxIcon::Information);
}

}  // namespace zudizar
