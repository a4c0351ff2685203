#include "formats/reduce.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#define ZUDIZAR_REDUCE_X86 1
#include <immintrin.h>
#endif

namespace zudizar {
namespace {

constexpr int kCellsPerAxis = 16;  // cells of 16 levels per channel
constexpr int kCellCount = kCellsPerAxis * kCellsPerAxis * kCellsPerAxis;
constexpr std::size_t kBlocks = std::size_t{1} << 18;  // of 4 x 4 x 4 colours
constexpr std::uint32_t kFirstMixedLine = 1 + 256;     // after the unused line and one per answer
constexpr std::size_t kAnswerCount = (kBlocks + kFirstMixedLine) * 64;

// Larger than any real per-axis distance; three of them still fit 16 bits.
constexpr std::uint16_t kNever = 0x3FFF;

// Eight 16-bit lanes; plain vector extensions, so any x86-64 (or other)
// target compiles them to its own vector instructions.
typedef std::int16_t Lanes __attribute__((vector_size(16)));

inline Lanes Broadcast(int v) {
  const auto s = static_cast<std::int16_t>(v);
  return Lanes{s, s, s, s, s, s, s, s};
}
inline Lanes Abs(Lanes v) {
  const Lanes sign = v >> 15;
  return (v ^ sign) - sign;
}

// Least and greatest distance along one axis from `v` to the range [lo, hi].
inline int AxisMin(int v, int lo, int hi) { return v < lo ? lo - v : (v > hi ? v - hi : 0); }
inline int AxisMax(int v, int lo, int hi) { return std::max(v - lo, hi - v); }

#ifdef ZUDIZAR_REDUCE_X86
bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

// Eight colours at a time: the line of each one's block comes from one
// gather, the answers from another. The answer gather loads four bytes at
// the colour's position with the blue step cleared (blue 0..3 of the same
// block row, all in the block's line), and the wanted byte is shifted down.
// Returns how many colours it mapped: it stops before a group with a block
// not worked out yet, which the caller maps one by one.
__attribute__((target("avx2"))) int NearestManyAvx2(const std::uint8_t* red, const std::uint8_t* green,
                                                    const std::uint8_t* blue, int count, const std::uint32_t* lines,
                                                    const std::uint8_t* answers, std::uint8_t* out) {
  const __m256i three = _mm256_set1_epi32(3);
  const __m256i byteMask = _mm256_set1_epi32(0xFF);
  // clang-format off
  const __m256i lowBytes = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                            0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  // clang-format on
  int done = 0;
  for (; done + 8 <= count; done += 8) {
    const __m256i r = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(red + done)));
    const __m256i g = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(green + done)));
    const __m256i b = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(blue + done)));
    const __m256i block = _mm256_or_si256(
        _mm256_or_si256(_mm256_slli_epi32(_mm256_srli_epi32(r, 2), 12), _mm256_slli_epi32(_mm256_srli_epi32(g, 2), 6)),
        _mm256_srli_epi32(b, 2));
    const __m256i line = _mm256_i32gather_epi32(reinterpret_cast<const int*>(lines), block, 4);
    if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(line, _mm256_setzero_si256())) != 0) break;
    const __m256i row =
        _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(line, 6), _mm256_slli_epi32(_mm256_and_si256(r, three), 4)),
                        _mm256_slli_epi32(_mm256_and_si256(g, three), 2));
    const __m256i four = _mm256_i32gather_epi32(reinterpret_cast<const int*>(answers), row, 1);
    const __m256i answer =
        _mm256_and_si256(_mm256_srlv_epi32(four, _mm256_slli_epi32(_mm256_and_si256(b, three), 3)), byteMask);
    const __m256i packed = _mm256_shuffle_epi8(answer, lowBytes);
    const std::uint32_t lo = static_cast<std::uint32_t>(_mm256_cvtsi256_si32(packed));
    const std::uint32_t hi = static_cast<std::uint32_t>(_mm256_extract_epi32(packed, 4));
    const std::uint64_t eight = lo | (std::uint64_t{hi} << 32);
    std::memcpy(out + done, &eight, 8);
  }
  return done;
}

// The 64 answers of a block from its narrowed candidates, when the winner of
// every colour is at most 254 away (`bound`). Each candidate's distance and
// index go in one 16-bit key, distance << 8 | index, so the least key is the
// nearest entry with ties to the lowest index, and one unsigned minimum per
// lane does the whole comparison. A distance above 255 saturates the key (or
// stops at 255 << 8 | index): above every winner's key either way. One
// vector of 16 lanes per red step: lane 4 * green step + blue step.
__attribute__((target("avx2"))) void FillBlockAvx2(const PaletteEntry* table, const std::uint8_t* kept, int n, int r0,
                                                   int g0, int b0, std::uint8_t* out) {
  const __m256i greenStep = _mm256_setr_epi16(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3);
  const __m256i blueStep = _mm256_setr_epi16(0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3);
  const __m256i cap = _mm256_set1_epi16(255);
  __m256i best[4];
  for (auto& b : best) b = _mm256_set1_epi16(-1);
  for (int i = 0; i < n; ++i) {
    const PaletteEntry& e = table[kept[i]];
    const __m256i green = _mm256_abs_epi16(_mm256_add_epi16(greenStep, _mm256_set1_epi16(static_cast<short>(g0 - e.green))));
    const __m256i blue = _mm256_abs_epi16(_mm256_add_epi16(blueStep, _mm256_set1_epi16(static_cast<short>(b0 - e.blue))));
    const __m256i greenBlue = _mm256_or_si256(_mm256_slli_epi16(_mm256_min_epu16(_mm256_add_epi16(green, blue), cap), 8),
                                              _mm256_set1_epi16(kept[i]));
    for (int a = 0; a < 4; ++a) {
      const int red = std::min(std::abs(r0 + a - e.red), 255);
      const __m256i key = _mm256_adds_epu16(greenBlue, _mm256_set1_epi16(static_cast<short>(red << 8)));
      best[a] = _mm256_min_epu16(best[a], key);
    }
  }
  const __m256i low = _mm256_set1_epi16(0xFF);
  for (int h = 0; h < 2; ++h) {
    const __m256i packed = _mm256_packus_epi16(_mm256_and_si256(best[2 * h], low), _mm256_and_si256(best[2 * h + 1], low));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * h), _mm256_permute4x64_epi64(packed, 0xD8));
  }
}

// The cell's candidates narrowed to those that can win inside the block at
// (r0, g0, b0), sixteen at a time: into kept[], in index order; returns how
// many, and the least over candidates of their greatest distance to the
// block in `bound`. The colour planes are read in whole vectors, so they
// carry 16 bytes past their last candidate.
__attribute__((target("avx2"))) int NarrowAvx2(const std::uint8_t* index, const std::uint8_t* red,
                                               const std::uint8_t* green, const std::uint8_t* blue, int count, int r0,
                                               int g0, int b0, std::uint8_t* kept, int& bound) {
  const __m256i lanes = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m256i never = _mm256_set1_epi16(0x7FFF);
  const std::uint8_t* const planes[3] = {red, green, blue};
  const int los[3] = {r0, g0, b0};
  __m256i least[16];
  __m256i greatest = never;
  const int chunks = (count + 15) / 16;
  for (int c = 0; c < chunks; ++c) {
    __m256i sumLeast = _mm256_setzero_si256(), sumGreatest = _mm256_setzero_si256();
    for (int axis = 0; axis < 3; ++axis) {
      const __m256i v =
          _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(planes[axis] + 16 * c)));
      const __m256i lo = _mm256_set1_epi16(static_cast<short>(los[axis]));
      const __m256i hi = _mm256_set1_epi16(static_cast<short>(los[axis] + 3));
      // Below the range, above it, or inside (both zero).
      sumLeast = _mm256_add_epi16(sumLeast, _mm256_add_epi16(_mm256_subs_epu16(lo, v), _mm256_subs_epu16(v, hi)));
      sumGreatest =
          _mm256_add_epi16(sumGreatest, _mm256_max_epi16(_mm256_sub_epi16(v, lo), _mm256_sub_epi16(hi, v)));
    }
    // Lanes past the last candidate never set the bound.
    const __m256i inside = _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(count - 16 * c)), lanes);
    greatest = _mm256_min_epi16(greatest, _mm256_blendv_epi8(never, sumGreatest, inside));
    least[c] = sumLeast;
  }
  __m128i m = _mm_min_epi16(_mm256_castsi256_si128(greatest), _mm256_extracti128_si256(greatest, 1));
  m = _mm_min_epi16(m, _mm_shuffle_epi32(m, 0x4E));
  m = _mm_min_epi16(m, _mm_shuffle_epi32(m, 0xB1));
  m = _mm_min_epi16(m, _mm_shufflelo_epi16(m, 0xB1));
  bound = _mm_extract_epi16(m, 0);
  const __m256i boundLanes = _mm256_set1_epi16(static_cast<short>(bound));
  int n = 0;
  for (int c = 0; c < chunks; ++c) {
    // Two mask bits per lane; lanes past the last candidate are dropped.
    std::uint32_t keep = ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpgt_epi16(least[c], boundLanes)));
    const int valid = std::min(16, count - 16 * c);
    if (valid < 16) keep &= (std::uint32_t{1} << (2 * valid)) - 1;
    for (; keep; keep &= keep - 1, keep &= keep - 1) kept[n++] = index[16 * c + (__builtin_ctz(keep) >> 1)];
  }
  return n;
}
#endif

// The 64 answers of the block at (r0, g0, b0) from its narrowed candidates,
// 8 per vector: colour k = 16a + 4b + c of the block is lane k % 8 of vector
// k / 8 (a = red, b = green, c = blue step).
void FillAnswers(const PaletteEntry* table, const std::uint8_t* kept, int n, int r0, int g0, int b0,
                 std::uint8_t* out) {
  Lanes best[8], index[8];
  for (int v = 0; v < 8; ++v) {
    best[v] = Broadcast(0x7FFF);
    index[v] = Broadcast(0);
  }
  const Lanes greenStep[2] = {{0, 0, 0, 0, 1, 1, 1, 1}, {2, 2, 2, 2, 3, 3, 3, 3}};
  const Lanes blueStep = {0, 1, 2, 3, 0, 1, 2, 3};
  for (int i = 0; i < n; ++i) {
    const PaletteEntry& e = table[kept[i]];
    const Lanes candidate = Broadcast(kept[i]);
    Lanes greenBlue[2];
    for (int h = 0; h < 2; ++h)
      greenBlue[h] = Abs(greenStep[h] + Broadcast(g0 - e.green)) + Abs(blueStep + Broadcast(b0 - e.blue));
    for (int a = 0; a < 4; ++a) {
      const Lanes red = Broadcast(std::abs(r0 + a - e.red));
      for (int h = 0; h < 2; ++h) {
        const int v = 2 * a + h;
        const Lanes d = greenBlue[h] + red;
        const Lanes nearer = d < best[v];  // strictly: earlier indices keep ties
        best[v] = (nearer & d) | (~nearer & best[v]);
        index[v] = (nearer & candidate) | (~nearer & index[v]);
      }
    }
  }
  for (int k = 0; k < 64; ++k) out[k] = static_cast<std::uint8_t>(index[k >> 3][k & 7]);
}

}  // namespace

int NearestColourByScan(const PaletteTable& table, std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  int best = 0;
  int minimum = 768;
  for (int i = 0; i < 256; ++i) {
    const PaletteEntry& e = table[i];
    if (e.blue == blue && e.green == green && e.red == red) return i;
    const int d = std::abs(red - e.red) + std::abs(green - e.green) + std::abs(blue - e.blue);
    if (d < minimum) {
      minimum = d;
      best = i;
    }
  }
  return best;
}

NearestColourMap::NearestColourMap(const PaletteTable& table)
    : cellStart_(kCellCount + 1),
      // The answers left uninitialised: only lines of blocks worked out are
      // ever read.
      storage_(MakeLargeBuffer(kBlocks * sizeof(std::uint32_t) + kAnswerCount)) {
  lines_ = reinterpret_cast<std::uint32_t*>(storage_.get());
  answers_ = storage_.get() + kBlocks * sizeof(std::uint32_t);
  Rebuild(table);
}

void NearestColourMap::Rebuild(const PaletteTable& table) {
  table_ = table;
  std::memset(lines_, 0, kBlocks * sizeof(std::uint32_t));
  for (int i = 0; i < 256; ++i) std::memset(answers_ + (static_cast<std::size_t>(1 + i) << 6), i, 64);
  usedLines_ = kFirstMixedLine;

  // A later entry of a colour already in the table can never win a tie, so
  // only the first of each colour is a candidate.
  std::uint8_t unique[256];
  int uniqueCount = 0;
  for (int i = 0; i < 256; ++i) {
    bool seen = false;
    for (int j = 0; j < i && !seen; ++j)
      seen = table[j].red == table[i].red && table[j].green == table[i].green && table[j].blue == table[i].blue;
    if (!seen) unique[uniqueCount++] = static_cast<std::uint8_t>(i);
  }

  // Per-axis least and greatest distances of every candidate to every cell
  // range; unused positions can never be a candidate nor the bound.
  alignas(32) std::uint16_t axisMin[3][kCellsPerAxis][256];
  alignas(32) std::uint16_t axisMax[3][kCellsPerAxis][256];
  for (int c = 0; c < kCellsPerAxis; ++c) {
    const int lo = c * 16, hi = lo + 15;
    for (int u = 0; u < 256; ++u) {
      for (int axis = 0; axis < 3; ++axis) {
        if (u >= uniqueCount) {
          axisMin[axis][c][u] = kNever;
          axisMax[axis][c][u] = kNever;
          continue;
        }
        const PaletteEntry& e = table[unique[u]];
        const int v = axis == 0 ? e.red : axis == 1 ? e.green : e.blue;
        axisMin[axis][c][u] = static_cast<std::uint16_t>(AxisMin(v, lo, hi));
        axisMax[axis][c][u] = static_cast<std::uint16_t>(AxisMax(v, lo, hi));
      }
    }
  }

  candidates_.clear();
  candidates_.reserve(kCellCount * 16);
  alignas(32) std::uint16_t minRG[256], maxRG[256], minSum[256], maxSum[256];
  std::uint8_t kept[256];
  for (int r = 0; r < kCellsPerAxis; ++r) {
    for (int g = 0; g < kCellsPerAxis; ++g) {
      for (int u = 0; u < 256; ++u) {
        minRG[u] = static_cast<std::uint16_t>(axisMin[0][r][u] + axisMin[1][g][u]);
        maxRG[u] = static_cast<std::uint16_t>(axisMax[0][r][u] + axisMax[1][g][u]);
      }
      for (int b = 0; b < kCellsPerAxis; ++b) {
        const int cell = (r << 8) | (g << 4) | b;
        std::uint16_t bound = 0xFFFF;
        for (int u = 0; u < 256; ++u) {
          minSum[u] = static_cast<std::uint16_t>(minRG[u] + axisMin[2][b][u]);
          maxSum[u] = static_cast<std::uint16_t>(maxRG[u] + axisMax[2][b][u]);
        }
        for (int u = 0; u < 256; ++u) bound = std::min(bound, maxSum[u]);
        int count = 0;
        for (int u = 0; u < uniqueCount; ++u) {
          kept[count] = unique[u];
          count += minSum[u] <= bound;
        }
        cellStart_[cell] = static_cast<std::uint32_t>(candidates_.size());
        candidates_.insert(candidates_.end(), kept, kept + count);
      }
    }
  }
  cellStart_[kCellCount] = static_cast<std::uint32_t>(candidates_.size());
  // The candidates' colours as planes beside them, for the narrowing in
  // vector lanes, which reads whole vectors past a cell's last candidate.
  const std::size_t padded = candidates_.size() + 16;
  candidateRed_.resize(padded);
  candidateGreen_.resize(padded);
  candidateBlue_.resize(padded);
  for (std::size_t k = 0; k < candidates_.size(); ++k) {
    const PaletteEntry& e = table[candidates_[k]];
    candidateRed_[k] = e.red;
    candidateGreen_[k] = e.green;
    candidateBlue_[k] = e.blue;
  }
  candidates_.resize(padded, 0);
}

std::uint32_t NearestColourMap::FillBlock(std::uint32_t block) const {
  const int r0 = static_cast<int>(block >> 12) * 4;
  const int g0 = static_cast<int>((block >> 6) & 63) * 4;
  const int b0 = static_cast<int>(block & 63) * 4;
  const int cell = ((r0 >> 4) << 8) | ((g0 >> 4) << 4) | (b0 >> 4);
  const std::uint32_t first = cellStart_[cell];
  const int count = static_cast<int>(cellStart_[cell + 1] - first);
  // Worked out into the next free line, which the block keeps only when its
  // answers differ.
  std::uint8_t* out = answers_ + (static_cast<std::size_t>(usedLines_) << 6);

  // Narrow the cell's candidates to those that can win inside this block.
  std::uint8_t kept[256];
  kept[0] = 0;  // every cell has at least one candidate; this only quiets the compiler
  int n = 0;
  int bound = 1 << 30;
#ifdef ZUDIZAR_REDUCE_X86
  if (HasAvx2()) {
    n = NarrowAvx2(candidates_.data() + first, candidateRed_.data() + first, candidateGreen_.data() + first,
                   candidateBlue_.data() + first, count, r0, g0, b0, kept, bound);
    if (n == 1) return Keep(block, nullptr, kept[0]);
    if (bound <= 254)
      FillBlockAvx2(table_.data(), kept, n, r0, g0, b0, out);
    else
      FillAnswers(table_.data(), kept, n, r0, g0, b0, out);
    return Keep(block, out, 0);
  }
#endif
  int least[256];
  for (int i = 0; i < count; ++i) {
    const PaletteEntry& e = table_[candidates_[first + i]];
    least[i] = AxisMin(e.red, r0, r0 + 3) + AxisMin(e.green, g0, g0 + 3) + AxisMin(e.blue, b0, b0 + 3);
    bound = std::min(bound, AxisMax(e.red, r0, r0 + 3) + AxisMax(e.green, g0, g0 + 3) + AxisMax(e.blue, b0, b0 + 3));
  }
  for (int i = 0; i < count; ++i)
    if (least[i] <= bound) kept[n++] = candidates_[first + i];
  if (n == 1) return Keep(block, nullptr, kept[0]);
  FillAnswers(table_.data(), kept, n, r0, g0, b0, out);
  return Keep(block, out, 0);
}

std::uint32_t NearestColourMap::Keep(std::uint32_t block, const std::uint8_t* answers, std::uint8_t only) const {
  std::uint32_t line;
  if (answers == nullptr)
    line = 1 + only;
  else if (std::memcmp(answers, answers + 1, 63) == 0)
    line = 1 + answers[0];
  else
    line = usedLines_++;
  lines_[block] = line;
  return line;
}

void NearestColourMap::NearestMany(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                                   int count, std::uint8_t* out) const {
  int i = 0;
#ifdef ZUDIZAR_REDUCE_X86
  if (HasAvx2()) {
    while (i < count) {
      i += NearestManyAvx2(red + i, green + i, blue + i, count - i, lines_, answers_, out + i);
      // A group with an unfilled block (or the last few colours) one by one.
      const int end = std::min(count, i + 8);
      for (; i < end; ++i) out[i] = static_cast<std::uint8_t>(Nearest(red[i], green[i], blue[i]));
    }
    return;
  }
#endif
  for (; i < count; ++i) out[i] = static_cast<std::uint8_t>(Nearest(red[i], green[i], blue[i]));
}

const NearestColourMap& CurrentNearestColourMap() {
  static std::unique_ptr<NearestColourMap> map;
  // Every write to the current table bumps the count, so comparing it is
  // enough to know the map still answers for that table.
  static std::uint64_t builtFor = 0;
  const std::uint64_t changes = CurrentPaletteChangeCount();
  if (!map) {
    map = std::make_unique<NearestColourMap>(SharedPalette.current);
  } else if (builtFor != changes) {
    map->Rebuild(SharedPalette.current);
  }
  builtFor = changes;
  return *map;
}

int NearestSharedColour(ColourTableEntry& colour) {
  const NearestColourMap& map = CurrentNearestColourMap();
  const int best = map.Nearest(colour.red, colour.green, colour.blue);
  const PaletteEntry& e = map.Table()[best];
  if (e.red != colour.red || e.green != colour.green || e.blue != colour.blue) colour = {e.blue, e.green, e.red, 0};
  return best;
}

void RemapToSharedPalette(IndexedImage& image) {
  std::uint8_t translation[256];
  for (int i = 0; i < 256; ++i) {
    ColourTableEntry c = image.colourTable[i];
    translation[i] = static_cast<std::uint8_t>(NearestSharedColour(c));
    const PaletteEntry& e = SharedPalette.current[i];
    image.colourTable[i] = {e.blue, e.green, e.red, 0};
  }
  if (!image.HasPixels()) return;
  for (auto& p : image.pixels) p = translation[p];
}

}  // namespace zudizar
