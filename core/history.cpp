#include "core/history.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace zudizar {

namespace {

// Equal bytes between two changed ones are stored inside one run when there
// are at most this many: a separate run's header (gap and length) takes two
// bytes or more, and each equal byte kept costs two (before and after).
constexpr std::size_t kMergeGap = 2;

// A larger scratch buffer (left by a step over much of a big picture) goes
// back to the system rather than staying with the history.
constexpr std::size_t kKeepScratch = std::size_t{1} << 20;

// An image without pixels has no size, whatever its header says.
int WidthOf(const IndexedImage& image) { return image.HasPixels() ? image.ImageWidth() : 0; }
int HeightOf(const IndexedImage& image) { return image.HasPixels() ? image.ImageHeight() : 0; }
bool SameSize(const IndexedImage& a, const IndexedImage& b) {
  return WidthOf(a) == WidthOf(b) && HeightOf(a) == HeightOf(b);
}

std::uint8_t* PutVarint(std::uint8_t* out, std::size_t value) {
  while (value >= 0x80) {
    *out++ = static_cast<std::uint8_t>(value | 0x80);
    value >>= 7;
  }
  *out++ = static_cast<std::uint8_t>(value);
  return out;
}

const std::uint8_t* GetVarint(const std::uint8_t* in, std::size_t& value) {
  value = 0;
  for (int shift = 0;; shift += 7) {
    const std::uint8_t byte = *in++;
    value |= static_cast<std::size_t>(byte & 0x7F) << shift;
    if (!(byte & 0x80)) return in;
  }
}

// The first index in [i, n) at which a and b differ, or n. Equal stretches
// are passed sixteen bytes at a time: most of a marked tile did not change.
std::size_t FirstDifference(const std::uint8_t* a, const std::uint8_t* b, std::size_t i, std::size_t n) {
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 16 <= n; i += 16) {
      std::uint64_t x0, y0, x1, y1;
      std::memcpy(&x0, a + i, 8);
      std::memcpy(&y0, b + i, 8);
      std::memcpy(&x1, a + i + 8, 8);
      std::memcpy(&y1, b + i + 8, 8);
      if ((x0 ^ y0) | (x1 ^ y1)) break;
    }
    for (; i + 8 <= n; i += 8) {
      std::uint64_t x, y;
      std::memcpy(&x, a + i, 8);
      std::memcpy(&y, b + i, 8);
      if (x != y) return i + static_cast<std::size_t>(std::countr_zero(x ^ y) / 8);
    }
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// The first index in [i, n) at which a and b are equal, or n.
std::size_t FirstEqual(const std::uint8_t* a, const std::uint8_t* b, std::size_t i, std::size_t n) {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kLow = 0x0101010101010101, kHigh = 0x8080808080808080;
    for (; i + 8 <= n; i += 8) {
      std::uint64_t x, y;
      std::memcpy(&x, a + i, 8);
      std::memcpy(&y, b + i, 8);
      const std::uint64_t v = x ^ y;
      // The lowest flagged byte is the first zero byte of v (higher flags may be false).
      const std::uint64_t zero = (v - kLow) & ~v & kHigh;
      if (zero) return i + static_cast<std::size_t>(std::countr_zero(zero) / 8);
    }
  }
  while (i < n && a[i] != b[i]) ++i;
  return i;
}

// The base copy takes `pixels` as they are, without a copy.
void TakePixels(IndexedImage& image, int width, int height, std::vector<std::uint8_t>&& pixels) {
  image.infoHeader.biWidth = width;
  image.infoHeader.biHeight = height;
  image.infoHeader.biSizeImage = static_cast<std::uint32_t>(pixels.size());
  image.pixelBlockSize = static_cast<std::int32_t>(pixels.size());
  image.pixels = std::move(pixels);
}

// Gives `image` another size and these pixels (none for 0 × 0), keeping its
// colour table and the header fields that do not follow from the size.
void Reshape(IndexedImage& image, int width, int height, const std::vector<std::uint8_t>& pixels) {
  const auto table = image.colourTable;
  const BitmapInfoHeader info = image.infoHeader;
  const std::uint16_t originX = image.originX, originY = image.originY;
  CreateImage(width, height, image);
  image.colourTable = table;
  image.infoHeader.biXPelsPerMeter = info.biXPelsPerMeter;
  image.infoHeader.biYPelsPerMeter = info.biYPelsPerMeter;
  image.infoHeader.biClrUsed = info.biClrUsed;
  image.infoHeader.biClrImportant = info.biClrImportant;
  image.originX = originX;
  image.originY = originY;
  if (image.pixels.size() == pixels.size() && !pixels.empty())
    std::memcpy(image.pixels.data(), pixels.data(), pixels.size());
}

// `destination` takes the size and pixels of `source`.
void CopyPixels(IndexedImage& destination, const IndexedImage& source) {
  if (!SameSize(destination, source)) {
    Reshape(destination, WidthOf(source), HeightOf(source), source.pixels);
  } else if (source.HasPixels()) {
    std::memcpy(destination.pixels.data(), source.pixels.data(), source.pixels.size());
  }
}

// A side of a run that is one colour throughout (a pen's mark, a fill) is
// kept as that one byte: strokes and fills then cost little more than the
// bytes they covered.
bool OneColour(const std::uint8_t* bytes, std::size_t n) {
  return std::all_of(bytes + 1, bytes + n, [first = bytes[0]](std::uint8_t b) { return b == first; });
}

// Writes one side of a run: the bytes, or the one byte of a one-colour side.
std::uint8_t* PutSide(std::uint8_t* out, const std::uint8_t* bytes, std::size_t n, bool oneColour) {
  if (oneColour) {
    *out = bytes[0];
    return out + 1;
  }
  std::memcpy(out, bytes, n);
  return out + n;
}

// Compares the marked spans of `picture` with `base`, appends each run of
// changed bytes to `scratch` (gap from the previous run's end, then length
// × 4 + 2 × (before is one colour) + (after is one colour), as varints; then
// the bytes before, then after, a one-colour side as its one byte; offsets
// counted top-down as y × width + x), brings `base` up to date, and widens
// `bounds` to the runs. Returns the bytes used in `scratch`.
std::size_t EncodeChanges(const DirtyTiles& dirty, const IndexedImage& picture, IndexedImage& base,
                          std::vector<std::uint8_t>& scratch, Rect& bounds) {
  const std::size_t width = static_cast<std::size_t>(base.ImageWidth());
  std::size_t used = 0, previousEnd = 0;
  int left = base.ImageWidth(), right = 0, top = -1, bottom = 0;
  dirty.ForEachSpan([&](int y, int x0, int x1) {
    const std::uint8_t* now = picture.Row(y) + x0;
    std::uint8_t* was = base.Row(y) + x0;
    const std::size_t n = static_cast<std::size_t>(x1 - x0);
    for (std::size_t i = FirstDifference(now, was, 0, n); i < n; i = FirstDifference(now, was, i, n)) {
      const std::size_t start = i;
      for (;;) {
        i = FirstEqual(now, was, i, n);
        const std::size_t limit = std::min(n, i + kMergeGap + 1);
        std::size_t next = i;
        while (next < limit && now[next] == was[next]) ++next;
        if (next == limit) break;
        i = next;
      }
      const std::size_t length = i - start;
      const std::size_t offset = static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x0) + start;
      const std::size_t need = used + 2 * 10 + 2 * length;
      if (scratch.size() < need) scratch.resize(std::max(need, scratch.size() * 2));
      const bool beforeOne = OneColour(was + start, length), afterOne = OneColour(now + start, length);
      std::uint8_t* out = PutVarint(scratch.data() + used, offset - previousEnd);
      out = PutVarint(out, length * 4 + (beforeOne ? 2 : 0) + (afterOne ? 1 : 0));
      out = PutSide(out, was + start, length, beforeOne);
      out = PutSide(out, now + start, length, afterOne);
      std::memcpy(was + start, now + start, length);
      used = static_cast<std::size_t>(out - scratch.data());
      previousEnd = offset + length;
      left = std::min(left, x0 + static_cast<int>(start));
      right = std::max(right, x0 + static_cast<int>(i));
      if (top < 0) top = y;
      bottom = y + 1;
    }
  });
  if (used) bounds = Rect::FromEdges(left, top, right, bottom);
  return used;
}

}  // namespace

std::vector<PaletteChange> PaletteDifferences(const PaletteTable& before, const PaletteTable& after) {
  std::vector<PaletteChange> changes;
  for (int i = kFirstFreeEntry; i <= kLastFreeEntry; ++i)
    if (!(before[i] == after[i])) changes.push_back({static_cast<std::uint8_t>(i), before[i], after[i]});
  return changes;
}

// ---- DirtyTiles ----

void DirtyTiles::Reset(int width, int height) {
  if (width <= 0 || height <= 0) width = height = 0;
  if (width == width_ && height == height_) {
    for (int ty = top_; ty < bottom_; ++ty) {
      std::uint8_t* row = marked_.data() + static_cast<std::size_t>(ty) * static_cast<std::size_t>(columns_);
      std::fill(row + left_, row + right_, std::uint8_t{0});
    }
  } else {
    width_ = width;
    height_ = height;
    columns_ = (width + kTile - 1) / kTile;
    rows_ = (height + kTile - 1) / kTile;
    marked_.assign(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_), 0);
  }
  count_ = 0;
  left_ = top_ = right_ = bottom_ = 0;
}

void DirtyTiles::Add(const Rect& rect) {
  const Rect r = rect.Intersect({0, 0, width_, height_});
  if (r.Empty()) return;
  // Unsigned: the clipped edges are not negative, and the division is a shift.
  const unsigned tx0 = static_cast<unsigned>(r.x) / kTile, tx1 = static_cast<unsigned>(r.Right() - 1) / kTile + 1;
  const unsigned ty0 = static_cast<unsigned>(r.y) / kTile, ty1 = static_cast<unsigned>(r.Bottom() - 1) / kTile + 1;
  for (unsigned ty = ty0; ty < ty1; ++ty) {
    std::uint8_t* row = marked_.data() + static_cast<std::size_t>(ty) * static_cast<std::size_t>(columns_);
    for (unsigned tx = tx0; tx < tx1; ++tx) {
      count_ += row[tx] == 0;
      row[tx] = 1;
    }
  }
  const bool first = right_ == 0;
  left_ = first ? static_cast<int>(tx0) : std::min(left_, static_cast<int>(tx0));
  top_ = first ? static_cast<int>(ty0) : std::min(top_, static_cast<int>(ty0));
  right_ = std::max(right_, static_cast<int>(tx1));
  bottom_ = std::max(bottom_, static_cast<int>(ty1));
}

void DirtyTiles::AddAll() {
  std::fill(marked_.begin(), marked_.end(), std::uint8_t{1});
  count_ = marked_.size();
  left_ = top_ = 0;
  right_ = columns_;
  bottom_ = rows_;
}

// ---- steps ----

struct History::Step {
  // What a step needs beyond its runs: most steps have none of it, so it
  // lives behind a pointer and a plain step stays a few words.
  struct Extra {
    int beforeWidth = 0, beforeHeight = 0, afterWidth = 0, afterHeight = 0;
    bool resized = false;
    bool renamed = false;
    // Whole pictures, when resized: only the side the history is not on
    // (`before` while the step is done, `after` while it is undone).
    std::vector<std::uint8_t> before, after;
    std::vector<PaletteChange> palette;
    std::string nameBefore, nameAfter;
  };

  std::uint64_t sequence = 0;
  Rect rect;
  std::vector<std::uint8_t> runs;
  std::unique_ptr<Extra> extra;

  // What the step holds, as the budget counts it; fixed once it is made.
  std::size_t Bytes() const {
    std::size_t bytes = sizeof(Step) + runs.capacity();
    if (extra) {
      // A resized step is counted at its larger side, whichever it holds.
      const std::size_t sides =
          extra->resized ? std::max(static_cast<std::size_t>(extra->beforeWidth) * extra->beforeHeight,
                                    static_cast<std::size_t>(extra->afterWidth) * extra->afterHeight)
                         : 0;
      bytes += sizeof(Extra) + sides + extra->palette.capacity() * sizeof(PaletteChange) + extra->nameBefore.size() +
               extra->nameAfter.size();
    }
    return bytes;
  }
};

// ---- HistoryBudget ----

void HistoryBudget::SetLimit(std::size_t bytes) {
  limit_ = bytes;
  Enforce(nullptr);
}

void HistoryBudget::Enforce(const History* keep) {
  while (used_ > limit_) {
    History* oldest = nullptr;
    std::uint64_t oldestSequence = 0;
    for (History* history : histories_) {
      const std::uint64_t sequence = history->DroppableSequence(keep);
      if (sequence && (!oldest || sequence < oldestSequence)) {
        oldest = history;
        oldestSequence = sequence;
      }
    }
    if (!oldest) return;
    oldest->DropOne();
  }
}

// ---- History ----

History::History(HistoryBudget& budget) : budget_(budget) { budget_.histories_.push_back(this); }

History::~History() {
  auto& list = budget_.histories_;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  budget_.used_ -= bytes_;
}

void History::Reset(const IndexedImage& picture, const std::string& name) {
  budget_.used_ -= bytes_;
  bytes_ = 0;
  steps_.clear();
  cursor_ = 0;
  basePosition_ = 0;
  name_ = name;
  CopyPixels(base_, picture);
  dirty_.Reset(WidthOf(picture), HeightOf(picture));
  std::vector<std::uint8_t>().swap(scratch_);
}

void History::Touch(const Rect& rect) { dirty_.Add(rect); }

void History::TouchAll() { dirty_.AddAll(); }

bool History::Record(const IndexedImage& picture, const std::vector<PaletteChange>& palette) {
  return Record(picture, palette, name_);
}

bool History::Record(const IndexedImage& picture, const std::vector<PaletteChange>& palette, const std::string& name) {
  const int width = WidthOf(picture), height = HeightOf(picture);
  const bool resized = !SameSize(picture, base_);
  const bool renamed = name != name_;
  Rect rect;
  std::size_t used = 0;
  if (resized) {
    rect = {0, 0, width, height};
  } else if (picture.HasPixels()) {
    used = EncodeChanges(dirty_, picture, base_, scratch_, rect);
  }
  dirty_.Reset(width, height);
  if (!resized && !used && palette.empty() && !renamed) return false;

  auto step = std::make_unique<Step>();
  step->rect = rect;
  // Built in the scratch buffer and copied once, so the step holds no slack.
  if (used) step->runs = std::vector<std::uint8_t>(scratch_.data(), scratch_.data() + used);
  if (scratch_.size() > kKeepScratch) std::vector<std::uint8_t>().swap(scratch_);
  if (resized || !palette.empty() || renamed) {
    auto extra = std::make_unique<Step::Extra>();
    if (resized) {
      extra->resized = true;
      extra->beforeWidth = WidthOf(base_);
      extra->beforeHeight = HeightOf(base_);
      extra->afterWidth = width;
      extra->afterHeight = height;
      // The step holds the picture of the side the history is not on; the
      // base is the other, so an open of a large picture costs one copy.
      extra->before = std::move(base_.pixels);
      Reshape(base_, width, height, picture.pixels);
    }
    extra->palette = palette;
    if (renamed) {
      extra->renamed = true;
      extra->nameBefore = name_;
      extra->nameAfter = name;
      name_ = name;
    }
    step->extra = std::move(extra);
  }

  while (steps_.size() > cursor_) {
    const std::size_t bytes = steps_.back()->Bytes();
    bytes_ -= bytes;
    budget_.used_ -= bytes;
    steps_.pop_back();
  }
  step->sequence = ++budget_.sequence_;
  const std::size_t bytes = step->Bytes();
  steps_.push_back(std::move(step));
  ++cursor_;
  bytes_ += bytes;
  budget_.used_ += bytes;
  budget_.Enforce(this);
  return true;
}

bool History::RecordFrom(const IndexedImage& source, IndexedImage& picture) {
  if (source.HasPixels() && SameSize(source, picture) && SameSize(picture, base_)) {
    dirty_.ForEachSpan([&](int y, int x0, int x1) {
      std::memcpy(picture.Row(y) + x0, source.Row(y) + x0, static_cast<std::size_t>(x1 - x0));
    });
  }
  return Record(picture);
}

HistoryMove History::Undo(IndexedImage& picture) {
  // A picture of another size than the base changed without a mark; it is a
  // step all the same.
  if (Pending() || !SameSize(picture, base_)) Record(picture);
  if (cursor_ == 0) return {};
  --cursor_;
  return Apply(picture, *steps_[cursor_], false);
}

HistoryMove History::Redo(IndexedImage& picture) {
  if (Pending() || cursor_ == steps_.size() || !SameSize(picture, base_)) return {};
  ++cursor_;
  return Apply(picture, *steps_[cursor_ - 1], true);
}

HistoryMove History::Apply(IndexedImage& picture, Step& step, bool forward) {
  HistoryMove move;
  move.moved = true;
  move.rect = step.rect;
  Step::Extra* extra = step.extra.get();
  if (extra && extra->resized) {
    const int width = forward ? extra->afterWidth : extra->beforeWidth;
    const int height = forward ? extra->afterHeight : extra->beforeHeight;
    // The base (the side left) goes into the step; the side it held
    // becomes the base.
    std::vector<std::uint8_t>& held = forward ? extra->after : extra->before;
    std::vector<std::uint8_t>& left = forward ? extra->before : extra->after;
    Reshape(picture, width, height, held);
    left = std::move(base_.pixels);
    TakePixels(base_, width, height, std::move(held));
    dirty_.Reset(width, height);
    move.resized = true;
    move.rect = {0, 0, width, height};
  } else if (!step.runs.empty()) {
    const std::size_t width = static_cast<std::size_t>(base_.ImageWidth());
    const std::uint8_t* in = step.runs.data();
    const std::uint8_t* const end = in + step.runs.size();
    std::size_t offset = 0;
    while (in < end) {
      std::size_t gap, code;
      in = GetVarint(in, gap);
      in = GetVarint(in, code);
      offset += gap;
      const std::size_t length = code >> 2;
      const std::size_t beforeSize = (code & 2) ? 1 : length, afterSize = (code & 1) ? 1 : length;
      const int y = static_cast<int>(offset / width), x = static_cast<int>(offset % width);
      const std::uint8_t* bytes = forward ? in + beforeSize : in;
      const bool oneColour = forward ? (code & 1) : (code & 2);
      for (IndexedImage* image : {&picture, &base_}) {
        if (oneColour)
          std::memset(image->Row(y) + x, bytes[0], length);
        else
          std::memcpy(image->Row(y) + x, bytes, length);
      }
      in += beforeSize + afterSize;
      offset += length;
    }
  }
  if (extra) {
    move.palette = extra->palette;
    if (!forward)
      for (PaletteChange& change : move.palette) std::swap(change.before, change.after);
    if (extra->renamed) {
      name_ = forward ? extra->nameAfter : extra->nameBefore;
      move.renamed = true;
      move.name = name_;
    }
  }
  return move;
}

void History::Adopt(const IndexedImage& picture, const Rect& rect) {
  if (!picture.HasPixels() || !SameSize(picture, base_)) return;
  const Rect r = rect.Intersect({0, 0, WidthOf(picture), HeightOf(picture)});
  for (int y = r.y; y < r.Bottom(); ++y)
    std::memcpy(base_.Row(y) + r.x, picture.Row(y) + r.x, static_cast<std::size_t>(r.width));
}

std::uint64_t History::Position() const { return cursor_ ? steps_[cursor_ - 1]->sequence : basePosition_; }

void History::Clear() {
  basePosition_ = Position();
  budget_.used_ -= bytes_;
  bytes_ = 0;
  steps_.clear();
  cursor_ = 0;
}

bool History::BaseMatches(const IndexedImage& picture) const {
  return SameSize(picture, base_) && picture.pixels == base_.pixels;
}

std::uint64_t History::DroppableSequence(const History* keep) const {
  // The step just recorded (the newest done step of `keep`) always stays.
  if (cursor_ > (this == keep ? 1u : 0u)) return steps_.front()->sequence;
  if (this != keep && !steps_.empty()) return steps_.back()->sequence;
  return 0;
}

void History::DropOne() {
  if (steps_.empty()) return;
  std::unique_ptr<Step> step;
  if (cursor_ > 0) {
    step = std::move(steps_.front());
    steps_.pop_front();
    --cursor_;
    // The state with no step done is now the one this step led to.
    basePosition_ = step->sequence;
  } else {
    step = std::move(steps_.back());
    steps_.pop_back();
  }
  const std::size_t bytes = step->Bytes();
  bytes_ -= bytes;
  budget_.used_ -= bytes;
}

}  // namespace zudizar
