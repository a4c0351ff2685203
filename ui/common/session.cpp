#include "ui/common/session.h"

namespace zudizar {

Session::Session() { table_ = SharedPalette.current; }

void Session::SetLeftColour(std::uint8_t colour) {
  left_ = colour;
  emit coloursChanged();
}

void Session::SetRightColour(std::uint8_t colour) {
  right_ = colour;
  emit coloursChanged();
}

void Session::BlankCanvases() { emit canvasesBlanked(); }

void Session::ApplyPalette() {
  handle_ = GetPendingPalette(table_);
  SetCurrentPalette(table_, handle_);
  emit paletteApplied(table_);
}

void Session::ApplyMergedPalette() {
  ApplyPalette();
  RealizeSharedPalette();
  ApplyPalette();
}

}  // namespace zudizar
