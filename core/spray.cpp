#include "core/spray.h"

#include <algorithm>
#include <chrono>

#include "core/pens.h"

namespace zudizar {

namespace {
std::uint64_t NanosecondClock() {
  return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}
}  // namespace

SprayGenerator::SprayGenerator() : clock_(NanosecondClock) {}
SprayGenerator::SprayGenerator(Clock clock) : clock_(std::move(clock)) {}

int SprayGenerator::Draw() {
  // splitmix64: one add and three mixes; the top 12 bits are the draw.
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<int>(z >> 52);
}

void SprayGenerator::ReseedForStamp() {
  int draw = 0;
  for (int attempt = 0; attempt < 4096; ++attempt) {
    Seed(clock_());
    draw = Draw();
    if (draw != kept_) break;
  }
  kept_ = draw;
}

void StampSpray(IndexedImage& image, int x, int y, std::uint8_t colour, std::uint8_t penCode,
                SprayGenerator& generator) {
  if (!image.HasPixels()) return;
  const auto spans = PenSpans(penCode);
  if (spans.empty()) return;
  const int w = image.ImageWidth();
  const int h = image.ImageHeight();
  x = std::clamp(x, 0, w - 1);
  y = std::clamp(y, 0, h - 1);
  generator.ReseedForStamp();
  for (const PenSpan& span : spans) {
    const int row = y + span.dy;
    const bool inside = row >= 0 && row < h;
    std::uint8_t* line = inside ? image.Row(row) : nullptr;
    for (int c = x + span.left; c <= x + span.right; ++c) {
      const int draw = generator.Draw();
      if (draw <= kSprayThreshold && inside && c >= 0 && c < w) line[c] = colour;
    }
  }
}

}  // namespace zudizar
