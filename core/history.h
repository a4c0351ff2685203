// The undo history of one canvas, and the memory budget all canvases share.
//
// A history keeps a base copy of the picture as of its newest recorded state.
// A command marks the rectangles it changed (Touch); recording compares only
// those tiles of the picture with the base, so a step holds the runs of pixels
// that really changed, before and after, and costs memory in proportion to
// them, not to the picture. A step whose picture changed size holds the
// whole picture of the side the history is not on (the base is the other).
// A step may also carry the shared-palette entries and the file name it
// changed; the history only keeps them, the canvas applies them.
// Qt-free.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "core/indexed_image.h"
#include "core/shared_palette.h"

namespace zudizar {

// One shared-palette entry a step changed, from `before` to `after`.
struct PaletteChange {
  std::uint8_t index = 0;
  PaletteEntry before, after;
  friend bool operator==(const PaletteChange&, const PaletteChange&) = default;
};

// The free entries (10-245) in which `after` differs from `before`.
std::vector<PaletteChange> PaletteDifferences(const PaletteTable& before, const PaletteTable& after);

// The pixels of a picture as tiles that may have changed.
class DirtyTiles {
 public:
  static constexpr int kTile = 64;
  // Forgets every mark and takes the picture's size.
  void Reset(int width, int height);
  void Add(const Rect& rect);  // clipped to the picture
  void AddAll();
  bool Empty() const { return count_ == 0; }
  // Calls f(y, x0, x1) for each row y and each run [x0, x1) of marked
  // columns on it, rows top-down and runs left to right.
  template <typename F>
  void ForEachSpan(F&& f) const;

 private:
  int width_ = 0, height_ = 0, columns_ = 0, rows_ = 0;
  std::vector<std::uint8_t> marked_;
  std::size_t count_ = 0;
  // Every mark lies in these tile columns and rows, so a small change on a
  // large picture never reads or clears the whole map.
  int left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
};

// What an undo or redo did, for the canvas to show and follow.
struct HistoryMove {
  bool moved = false;                  // false: there was nothing to undo or redo
  bool resized = false;                // the picture now has another size
  Rect rect;                           // the pixels that changed (the whole picture when resized)
  std::vector<PaletteChange> palette;  // entries to set: from `before` (as now) to `after` (as wanted)
  bool renamed = false;
  std::string name;  // the file name the picture now belongs to (when renamed)
};

class History;

// One memory budget for every history: when the steps of all histories
// together pass it, the oldest steps go first, so the budget is never
// passed by more than the newest step; a step larger than the whole budget
// stays, alone, until the next step is recorded.
class HistoryBudget {
 public:
  static constexpr std::size_t kDefaultBytes = std::size_t{256} << 20;
  explicit HistoryBudget(std::size_t bytes = kDefaultBytes) : limit_(bytes) {}
  HistoryBudget(const HistoryBudget&) = delete;
  HistoryBudget& operator=(const HistoryBudget&) = delete;

  std::size_t Limit() const { return limit_; }
  // A new limit; steps beyond it are dropped at once, oldest first.
  void SetLimit(std::size_t bytes);
  // The memory the steps of every history hold now.
  std::size_t Used() const { return used_; }

 private:
  friend class History;
  void Enforce(const History* keep);
  std::size_t limit_;
  std::size_t used_ = 0;
  std::uint64_t sequence_ = 0;  // numbers steps in the order they were made
  std::vector<History*> histories_;
};

class History {
 public:
  explicit History(HistoryBudget& budget);
  ~History();
  History(const History&) = delete;
  History& operator=(const History&) = delete;

  // Starts afresh from `picture` and `name`: no steps, nothing pending.
  void Reset(const IndexedImage& picture, const std::string& name);

  // The picture changed within `rect` since the last recorded state.
  void Touch(const Rect& rect);
  void TouchAll();
  // Pixels changes were marked and not yet recorded.
  bool Pending() const { return !dirty_.Empty(); }

  // Makes everything marked since the last step (and a change of size,
  // palette entries or name) one step. Nothing is recorded when nothing
  // changed; returns whether a step was. Drops the redo branch when it does.
  bool Record(const IndexedImage& picture, const std::vector<PaletteChange>& palette = {});
  bool Record(const IndexedImage& picture, const std::vector<PaletteChange>& palette, const std::string& name);
  // Copies the marked tiles of `source` (the picture's size) into `picture`
  // and records them: for a canvas that draws in a buffer of its own.
  bool RecordFrom(const IndexedImage& source, IndexedImage& picture);

  // The name changed without a step (a save under another name).
  void SetName(const std::string& name) { name_ = name; }
  const std::string& Name() const { return name_; }

  bool CanUndo() const { return cursor_ > 0 || Pending(); }
  bool CanRedo() const { return cursor_ < steps_.size() && !Pending(); }
  // Undo records what is pending first, then takes the picture back one
  // step; redo takes it forward one. `picture` keeps its colour table.
  HistoryMove Undo(IndexedImage& picture);
  HistoryMove Redo(IndexedImage& picture);

  // The canvas changed `rect` of the picture after a move (colours mapped to
  // the nearest of the table): that is the recorded state now, not a step.
  void Adopt(const IndexedImage& picture, const Rect& rect);

  // Names the recorded state: equal positions mean equal pictures. Steps
  // dropped by the budget keep their numbers.
  std::uint64_t Position() const;
  std::size_t UndoCount() const { return cursor_; }
  std::size_t RedoCount() const { return steps_.size() - cursor_; }
  // The memory this history's steps hold (the base copy not counted).
  std::size_t Bytes() const { return bytes_; }
  // Drops every step, keeping the recorded state.
  void Clear();
  // For tests: the base copy equals `picture`.
  bool BaseMatches(const IndexedImage& picture) const;

 private:
  friend class HistoryBudget;
  struct Step;
  // The oldest step the budget may drop here (0 when none): the oldest
  // undo step, or with none left the newest redo step.
  std::uint64_t DroppableSequence(const History* keep) const;
  void DropOne();
  HistoryMove Apply(IndexedImage& picture, Step& step, bool forward);

  HistoryBudget& budget_;
  std::deque<std::unique_ptr<Step>> steps_;
  std::size_t cursor_ = 0;          // steps_[0, cursor_) are done
  std::uint64_t basePosition_ = 0;  // the position with no step done
  std::size_t bytes_ = 0;
  IndexedImage base_;
  std::string name_;
  DirtyTiles dirty_;
  std::vector<std::uint8_t> scratch_;
};

template <typename F>
void DirtyTiles::ForEachSpan(F&& f) const {
  if (count_ == 0) return;
  for (int ty = top_; ty < bottom_; ++ty) {
    const std::uint8_t* row = marked_.data() + static_cast<std::size_t>(ty) * columns_;
    // Each pixel row reads only the columns between the first and the last
    // marked tile of its tile row.
    int first = left_, last = right_;
    while (first < last && !row[first]) ++first;
    while (last > first && !row[last - 1]) --last;
    if (first == last) continue;
    const int y0 = ty * kTile, y1 = std::min(height_, y0 + kTile);
    for (int y = y0; y < y1; ++y) {
      for (int tx = first; tx < last;) {
        if (!row[tx]) {
          ++tx;
          continue;
        }
        int end = tx + 1;
        while (end < last && row[end]) ++end;
        f(y, tx * kTile, std::min(width_, end * kTile));
        tx = end;
      }
    }
  }
}

}  // namespace zudizar
