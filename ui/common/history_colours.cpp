#include "ui/common/history_colours.h"

#include <array>
#include <numeric>

#include "core/frames.h"
#include "formats/reduce.h"
#include "ui/common/canvas_view.h"
#include "ui/common/document.h"
#include "ui/common/file_commands.h"
#include "ui/common/session.h"

namespace zudizar {

const char* const kColoursMappedNote = "（他の画面が使っている色は近い色で戻しました）";

bool FollowMoveColours(Session& session, const HistoryMove& move, const EntryMask& inUseBeside, IndexedImage& picture) {
  if (move.palette.empty()) return false;
  PaletteTable table = SharedPalette.current;
  bool changed = false;
  std::vector<PaletteChange> refused;
  for (const PaletteChange& change : move.palette) {
    if (table[change.index] == change.after) continue;
    if (inUseBeside[change.index]) {
      refused.push_back(change);
    } else {
      table[change.index] = change.after;
      changed = true;
    }
  }
  if (changed) {
    SharedPalette.pending = table;
    session.ApplyPalette();
  }
  if (refused.empty() || !picture.HasPixels()) return false;
  std::array<std::uint8_t, 256> map;
  std::iota(map.begin(), map.end(), 0);
  for (const PaletteChange& change : refused)
    map[change.index] = static_cast<std::uint8_t>(
        NearestColourByScan(SharedPalette.current, change.after.red, change.after.green, change.after.blue));
  bool mapped = false;
  // The whole picture: pixels that kept their index across the step still
  // wanted the step's colour.
  for (int y = 0; y < picture.ImageHeight(); ++y) {
    std::uint8_t* row = picture.Row(y);
    for (int x = 0; x < picture.ImageWidth(); ++x) {
      const std::uint8_t to = map[row[x]];
      mapped |= to != row[x];
      row[x] = to;
    }
  }
  return mapped;
}

bool FollowMoveOnCanvas(Session& session, Document& document, CanvasView& view, const HistoryMove& move,
                        const EntryMask& inUseBeside, bool overlay) {
  IndexedImage& picture = document.Picture();
  const bool mapped = FollowMoveColours(session, move, inUseBeside, picture);
  if (mapped) document.Adopt(ImageRect(picture));
  if (move.resized) {
    view.ShowPicture(picture);
  } else if (overlay || mapped) {
    view.RestoreAll(picture);
  } else {
    view.Restore(picture, move.rect);
  }
  return mapped;
}

}  // namespace zudizar
