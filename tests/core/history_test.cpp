#include "core/history.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace zudizar {
namespace {

int WidthOf(const IndexedImage& p) { return p.HasPixels() ? p.ImageWidth() : 0; }
int HeightOf(const IndexedImage& p) { return p.HasPixels() ? p.ImageHeight() : 0; }
Rect Whole(const IndexedImage& p) { return {0, 0, WidthOf(p), HeightOf(p)}; }

void Fill(IndexedImage& p, const Rect& rect, std::uint8_t colour) {
  const Rect r = rect.Intersect(Whole(p));
  for (int y = r.y; y < r.Bottom(); ++y) std::memset(p.Row(y) + r.x, colour, static_cast<std::size_t>(r.width));
}

// A w × h picture of zeros and its history started from it.
void Start(History& history, IndexedImage& picture, int w, int h) {
  CreateImage(w, h, picture);
  history.Reset(picture, "p");
}

// One state of a canvas as the plain model keeps it: everything, whole.
struct State {
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;
  PaletteTable palette;
  std::string name;
  int id = 0;
  bool SameAs(const State& o) const {
    return width == o.width && height == o.height && pixels == o.pixels && palette == o.palette && name == o.name;
  }
};

// A canvas: its picture and palette, its history, and the model beside them.
struct Canvas {
  explicit Canvas(HistoryBudget& budget) : history(budget) {}
  IndexedImage picture;
  PaletteTable palette = DefaultPalette;
  History history;
  std::vector<State> states;  // every state still reachable, oldest first
  std::size_t at = 0;         // the current one
  std::map<int, std::uint64_t> positionOf;
  std::map<std::uint64_t, int> stateAt;

  State Now(int id) const { return {WidthOf(picture), HeightOf(picture), picture.pixels, palette, history.Name(), id}; }
};

// A picture keeps its colour table and header through every step, resizes too.
constexpr std::uint8_t kTableMark = 77;  // in colour table entry 3
constexpr std::int32_t kResolution = 2835;

// Random edits, records, undos and redos on canvases sharing one budget,
// checked after every operation against the model.
void RunProperty(unsigned seed, std::size_t limit, bool dropsAllowed) {
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  const auto random = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  HistoryBudget budget(limit);
  std::vector<std::unique_ptr<Canvas>> canvases;
  int nextId = 0;
  for (int i = 0; i < 3; ++i) {
    auto c = std::make_unique<Canvas>(budget);
    if (i > 0) CreateImage(random(1, 150), random(1, 150), c->picture);  // the first starts empty
    c->picture.colourTable[3].red = kTableMark;
    c->picture.infoHeader.biXPelsPerMeter = kResolution;
    c->history.Reset(c->picture, "start");
    c->states.push_back(c->Now(nextId++));
    canvases.push_back(std::move(c));
  }
  const auto randomRect = [&](const Canvas& c) {
    return Rect{random(-10, WidthOf(c.picture)), random(-10, HeightOf(c.picture)), random(0, 90), random(0, 90)};
  };
  // Moves the model to what the canvas holds now, when that differs.
  const auto advance = [&](Canvas& c, const std::string& name) {
    State now = c.Now(nextId);
    now.name = name;
    if (now.SameAs(c.states[c.at])) return false;
    ++nextId;
    c.states.resize(c.at + 1);
    c.states.push_back(std::move(now));
    ++c.at;
    return true;
  };
  const auto record = [&](Canvas& c, const std::vector<PaletteChange>& palette, const std::string& name) {
    const bool changed = advance(c, name);
    EXPECT_EQ(c.history.Record(c.picture, palette, name), changed);
  };
  const auto follow = [&](Canvas& c, const HistoryMove& move, bool expected) {
    ASSERT_EQ(move.moved, expected);
    if (!expected) return;
    const State& before = c.states[c.at];
    for (const PaletteChange& change : move.palette) {
      EXPECT_EQ(change.before, c.palette[change.index]);
      c.palette[change.index] = change.after;
    }
    EXPECT_EQ(move.resized, before.width != WidthOf(c.picture) || before.height != HeightOf(c.picture));
    if (move.resized) {
      EXPECT_EQ(move.rect, Whole(c.picture));
    }
    if (!move.resized && before.width > 0) {
      for (int y = 0; y < before.height; ++y)
        for (int x = 0; x < before.width; ++x)
          if (before.pixels[static_cast<std::size_t>((before.height - 1 - y) * before.width + x)] !=
              c.picture.At(x, y)) {
            ASSERT_TRUE(move.rect.Contains({x, y})) << x << "," << y;
          }
    }
    if (move.renamed) {
      EXPECT_EQ(move.name, c.history.Name());
    }
  };

  for (int op = 0; op < 700; ++op) {
    SCOPED_TRACE("operation " + std::to_string(op));
    Canvas& c = *canvases[random(0, 2)];
    const int kind = random(0, 11);
    if (kind <= 1) {  // filled rectangles, one step
      for (int i = random(1, 3); i > 0; --i) {
        const Rect r = randomRect(c);
        Fill(c.picture, r, static_cast<std::uint8_t>(random(0, 3)));
        c.history.Touch(r);
      }
      record(c, {}, c.history.Name());
    } else if (kind <= 3) {  // scribbled pixels, recorded now or by an undo
      const Rect r = randomRect(c).Intersect(Whole(c.picture));
      for (int i = 0; i < 12 && !r.Empty(); ++i)
        c.picture.At(r.x + random(0, r.width - 1), r.y + random(0, r.height - 1)) =
            static_cast<std::uint8_t>(random(0, 255));
      c.history.Touch(r);
      if (kind == 2) {
        record(c, {}, c.history.Name());
      } else {  // Undo records what is pending first
        advance(c, c.history.Name());
        follow(c, c.history.Undo(c.picture), c.at > 0);
        if (c.at > 0) --c.at;
      }
    } else if (kind == 4) {  // the whole picture
      for (std::uint8_t& p : c.picture.pixels) p = static_cast<std::uint8_t>(p + random(0, 1));
      c.history.TouchAll();
      record(c, {}, c.history.Name());
    } else if (kind == 5) {  // another size, or none at all
      const auto table = c.picture.colourTable;
      const auto resolution = c.picture.infoHeader.biXPelsPerMeter;
      const int w = random(0, 12) == 0 ? 0 : random(1, 150), h = w ? random(1, 150) : 0;
      CreateImage(w, h, c.picture);
      c.picture.colourTable = table;
      c.picture.infoHeader.biXPelsPerMeter = resolution;
      for (std::uint8_t& p : c.picture.pixels) p = static_cast<std::uint8_t>(random(0, 2));
      record(c, {}, c.history.Name());
    } else if (kind == 6) {  // palette entries
      std::vector<PaletteChange> changes;
      for (int i = random(1, 3); i > 0; --i) {
        const auto index = static_cast<std::uint8_t>(random(kFirstFreeEntry, kLastFreeEntry));
        PaletteEntry entry = c.palette[index];
        entry.red = static_cast<std::uint8_t>(entry.red + random(1, 255));
        changes.push_back({index, c.palette[index], entry});
        c.palette[index] = entry;
      }
      record(c, changes, c.history.Name());
    } else if (kind == 7) {  // a new name
      record(c, {}, "name " + std::to_string(random(0, 3)));
    } else if (kind <= 9) {
      follow(c, c.history.Undo(c.picture), c.at > 0);
      if (c.at > 0) --c.at;
    } else if (kind == 10) {
      follow(c, c.history.Redo(c.picture), c.at + 1 < c.states.size());
      if (c.at + 1 < c.states.size()) ++c.at;
    } else if (random(0, 9) == 0) {
      c.history.Clear();
      c.states = {c.states[c.at]};
      c.at = 0;
    } else {  // marked, but nothing changed
      c.history.Touch(randomRect(c));
      EXPECT_FALSE(c.history.Record(c.picture));
    }
    if (::testing::Test::HasFatalFailure()) return;

    std::size_t bytes = 0, steps = 0;
    for (auto& canvas : canvases) {
      Canvas& k = *canvas;
      const std::size_t undo = k.history.UndoCount(), redo = k.history.RedoCount();
      const std::size_t modelRedo = k.states.size() - 1 - k.at;
      if (!dropsAllowed) {
        ASSERT_EQ(undo, k.at);
        ASSERT_EQ(redo, modelRedo);
      }
      // Dropped steps go from the ends: the oldest undo steps, the newest redo steps.
      ASSERT_LE(undo, k.at);
      ASSERT_LE(redo, modelRedo);
      k.states.erase(k.states.end() - static_cast<std::ptrdiff_t>(modelRedo - redo), k.states.end());
      k.states.erase(k.states.begin(), k.states.begin() + static_cast<std::ptrdiff_t>(k.at - undo));
      k.at = undo;
      const State& s = k.states[k.at];
      ASSERT_EQ(WidthOf(k.picture), s.width);
      ASSERT_EQ(HeightOf(k.picture), s.height);
      ASSERT_TRUE(k.picture.pixels == s.pixels);
      ASSERT_TRUE(k.palette == s.palette);
      ASSERT_EQ(k.history.Name(), s.name);
      ASSERT_EQ(k.picture.colourTable[3].red, kTableMark);
      ASSERT_EQ(k.picture.infoHeader.biXPelsPerMeter, kResolution);
      ASSERT_TRUE(k.history.BaseMatches(k.picture));
      // A position names one state: the same after undo and redo, new for a new step.
      const std::uint64_t position = k.history.Position();
      const auto [known, fresh] = k.positionOf.emplace(s.id, position);
      ASSERT_EQ(known->second, position);
      const auto [owner, unused] = k.stateAt.emplace(position, s.id);
      ASSERT_EQ(owner->second, s.id);
      bytes += k.history.Bytes();
      steps += undo + redo;
    }
    ASSERT_EQ(budget.Used(), bytes);
    // Over the limit only while the step just recorded is the one step left.
    if (budget.Used() > budget.Limit()) {
      ASSERT_EQ(steps, 1u);
    }
  }
}

TEST(HistoryProperty, MatchesAModelKeepingEveryStateWhole) {
  for (unsigned seed : {1u, 2u, 3u}) RunProperty(seed, HistoryBudget::kDefaultBytes, false);
}

TEST(HistoryProperty, MatchesTheModelWhenASmallBudgetDropsSteps) {
  for (unsigned seed : {4u, 5u, 6u, 7u}) RunProperty(seed, 30000, true);
}

// Every step below has the same size: the same rectangle, another colour.
TEST(HistoryBudgetTest, DropsTheOldestStepsOfAllHistoriesFirst) {
  HistoryBudget budget;
  History a(budget), b(budget);
  IndexedImage pa, pb;
  Start(a, pa, 100, 100);
  Start(b, pb, 100, 100);
  const auto stroke = [](History& h, IndexedImage& p, std::uint8_t colour) {
    Fill(p, {10, 10, 30, 5}, colour);
    h.Touch({10, 10, 30, 5});
    ASSERT_TRUE(h.Record(p));
  };
  stroke(a, pa, 1);
  const std::size_t step = a.Bytes();
  budget.SetLimit(3 * step + step / 2);
  // a1 b2 a3 b4 a5 b6 a7: the three newest stay.
  for (std::uint8_t colour = 2; colour <= 7; ++colour) stroke(colour % 2 ? a : b, colour % 2 ? pa : pb, colour);
  EXPECT_EQ(a.UndoCount(), 2u);
  EXPECT_EQ(b.UndoCount(), 1u);
  EXPECT_EQ(budget.Used(), 3 * step);
  // Undo stops at the oldest state left, and that state is whole.
  EXPECT_TRUE(a.Undo(pa).moved);
  EXPECT_TRUE(a.Undo(pa).moved);
  EXPECT_FALSE(a.Undo(pa).moved);
  EXPECT_EQ(pa.At(10, 10), 3);
  EXPECT_TRUE(a.BaseMatches(pa));
  // A lower limit drops from any history; the position still names the state.
  const std::uint64_t position = a.Position();
  budget.SetLimit(0);
  EXPECT_EQ(budget.Used(), 0u);
  EXPECT_EQ(a.RedoCount() + b.UndoCount(), 0u);
  EXPECT_EQ(a.Position(), position);
}

TEST(HistoryBudgetTest, AStepLargerThanTheBudgetStaysAloneUntilTheNext) {
  HistoryBudget budget(1000);
  History history(budget);
  IndexedImage picture;
  Start(history, picture, 100, 100);
  // Many colours: a one-colour fill would be stored as a few bytes a row.
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) picture.At(x, y) = static_cast<std::uint8_t>(1 + (x * 7 + y * 3) % 250);
  history.TouchAll();
  ASSERT_TRUE(history.Record(picture));
  EXPECT_GT(budget.Used(), budget.Limit());
  EXPECT_TRUE(history.Undo(picture).moved);
  EXPECT_EQ(picture.At(50, 50), 0);
  EXPECT_TRUE(history.Redo(picture).moved);
  EXPECT_EQ(picture.At(50, 50), 1 + (50 * 7 + 50 * 3) % 250);
  picture.At(1, 1) = 3;
  history.Touch({1, 1, 1, 1});
  ASSERT_TRUE(history.Record(picture));
  EXPECT_EQ(history.UndoCount(), 1u);
  EXPECT_LE(budget.Used(), budget.Limit());
}

TEST(HistoryMemory, AStepHoldsAboutTheChangedBytesTwice) {
  HistoryBudget budget;
  History history(budget);
  IndexedImage picture;
  Start(history, picture, 640, 400);
  for (const Rect r : {Rect{5, 7, 1, 1}, Rect{100, 50, 200, 20}, Rect{0, 390, 640, 10}}) {
    Fill(picture, r, 200);
    history.Touch(r);
    const std::size_t before = history.Bytes();
    ASSERT_TRUE(history.Record(picture));
    const std::size_t changed = static_cast<std::size_t>(r.width) * static_cast<std::size_t>(r.height);
    EXPECT_LE(history.Bytes() - before, 2 * changed + 256) << r.width << "x" << r.height;
  }
  // A pen stroke across a picture of many colours: a short run on every row.
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 640; ++x) picture.At(x, y) = static_cast<std::uint8_t>((x * 5 + y * 11) % 240);
  history.TouchAll();
  history.Record(picture);
  std::size_t changed = 0;
  for (int k = 0; k < 380; ++k)
    for (int y = k; y < k + 8; ++y)
      for (int x = k; x < k + 8; ++x) {
        changed += picture.At(x, y) != 249;
        picture.At(x, y) = 249;
      }
  history.Touch({0, 0, 400, 400});
  const std::size_t before = history.Bytes();
  ASSERT_TRUE(history.Record(picture));
  EXPECT_LE(history.Bytes() - before, 2 * changed + 256);
}

TEST(HistoryMemory, AThousandOnePixelStrokesOnALargePictureStaySmall) {
  HistoryBudget budget;
  History history(budget);
  IndexedImage picture;
  Start(history, picture, 4096, 4096);
  std::mt19937 rng(11);
  for (int i = 0; i < 1000; ++i) {
    const int x = static_cast<int>(rng() % 4096), y = static_cast<int>(rng() % 4096);
    picture.At(x, y) = static_cast<std::uint8_t>(picture.At(x, y) + 1);
    history.Touch({x, y, 1, 1});
    ASSERT_TRUE(history.Record(picture));
  }
  EXPECT_LT(history.Bytes(), std::size_t{2} << 20);
  EXPECT_EQ(budget.Used(), history.Bytes());
}

TEST(HistoryTest, PaletteChangesComeBackSwappedOnUndo) {
  PaletteTable before = DefaultPalette, after = DefaultPalette;
  after[5] = {1, 1, 1, 0};  // reserved: not a change a step carries
  after[12] = {9, 8, 7, 0};
  const std::vector<PaletteChange> changes = PaletteDifferences(before, after);
  ASSERT_EQ(changes, (std::vector<PaletteChange>{{12, before[12], after[12]}}));
  HistoryBudget budget;
  History history(budget);
  IndexedImage picture;
  Start(history, picture, 4, 4);
  ASSERT_TRUE(history.Record(picture, changes));
  EXPECT_EQ(history.Undo(picture).palette, (std::vector<PaletteChange>{{12, after[12], before[12]}}));
  EXPECT_EQ(history.Redo(picture).palette, changes);
}

}  // namespace
}  // namespace zudizar
