// What the windows share, owned by App: the two drawing colours, the tool
// settings, the canvas a background request is for, the swatch order of
// gradients, and the palette changes that every window's buffers follow.
// Windows read and change these here and listen to the signals; none writes
// another window's fields.
#pragma once

#include <QObject>
#include <cstdint>

#include "core/history.h"
#include "core/shared_palette.h"
#include "core/swatch_arrangement.h"
#include "core/tool_session.h"

namespace zudizar {

// Which canvas the colour palette's background controls fill; the numbers
// are the ones the settings and traces use.
enum class BackgroundTarget : int { None = 0, Main = 1, Sub = 2, Edit = 3 };

class Session : public QObject {
  Q_OBJECT
 public:
  Session();

  // The tool, pen and text settings every drawing canvas uses; whoever
  // changes them emits toolsChanged.
  ToolSettings tools;
  // The memory every canvas's undo history shares.
  HistoryBudget budget;

  std::uint8_t LeftColour() const { return left_; }
  std::uint8_t RightColour() const { return right_; }
  std::uint8_t Colour(bool right) const { return right ? right_ : left_; }
  void SetLeftColour(std::uint8_t colour);
  void SetRightColour(std::uint8_t colour);

  BackgroundTarget Background() const { return background_; }
  void SetBackground(BackgroundTarget target) { background_ = target; }

  const SwatchArrangement& SwatchOrder() const { return order_; }
  void SetSwatchOrder(const SwatchArrangement& order) { order_ = order; }

  // The table every window's buffers take entries 10-245 from.
  const PaletteTable& Table() const { return table_; }
  // A palette load starts: every canvas shows the blank display until the
  // new palette is applied.
  void BlankCanvases();
  // Makes the pending table current and hands it to every window.
  void ApplyPalette();
  // After colours were merged into the pending table: apply, realise, apply.
  // The load rebuilt the display handle before its colours were current, so
  // the handle is realised again from them and handed out a second time.
  void ApplyMergedPalette();

 signals:
  void coloursChanged();
  void toolsChanged();
  void canvasesBlanked();
  void paletteApplied(const PaletteTable& table);
  // A history took or dropped steps (the budget drops other canvases' too):
  // every window's undo and redo items follow.
  void historyChanged();

 private:
  std::uint8_t left_ = 249;
  std::uint8_t right_ = 252;
  BackgroundTarget background_ = BackgroundTarget::None;
  SwatchArrangement order_ = IdentityArrangement();
  PaletteTable table_{};
  PaletteHandle handle_;
};

}  // namespace zudizar
