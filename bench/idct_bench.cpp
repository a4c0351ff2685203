// The decoder's inverse DCT on quantised blocks with the mix of a photo
// (mostly only the top-left 4 x 4 coefficients, some 6 x 6, few whole
// blocks): the 16-bit lanes, one block per call and two, against the 32-bit
// lanes in the same run. Each block is copied in before its transform, the
// same for every variant, since the transform works in place.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "formats/jpeg/jpeg_idct.h"
#include "formats/jpeg/jpeg_tables.h"

using namespace zudizar::jpeg;

namespace {

constexpr int kBlocks = 4096;

struct Blocks {
  std::vector<std::int16_t> coefficients;  // transposed, 64 per block
  std::vector<int> lastIndex;
};

// Dequantised coefficients (quantisation values carry a factor 16) that
// shrink with frequency, cut after a zig-zag index drawn with a photo's mix
// (kMix) or from one case alone.
enum Mix { kMix, kLowQuarter, kSixBySix, kWhole };
int gMix = kMix;
Blocks MakeBlocks(int mixKind) {
  Blocks b;
  std::mt19937 random(1);
  b.coefficients.assign(static_cast<std::size_t>(kBlocks) * 64, 0);
  for (int i = 0; i < kBlocks; ++i) {
    const int draw = static_cast<int>(random() % 100);
    const int mix = mixKind == kMix ? draw : mixKind == kLowQuarter ? 0 : mixKind == kSixBySix ? 80 : 99;
    const int last = mix < 70   ? 1 + static_cast<int>(random() % kLastLowQuarterIndex)
                     : mix < 92 ? kLastLowQuarterIndex + 1 + static_cast<int>(random() % 11)
                                : kLastSixBySixIndex + 1 + static_cast<int>(random() % 43);
    b.lastIndex.push_back(last);
    std::int16_t* block = b.coefficients.data() + 64 * i;
    for (int k = 0; k <= last; ++k) {
      const int natural = kZigZagToNatural[k];
      const int spread = k == 0 ? 1000 : 60 / (1 + k / 4);
      const int quant = 16 * (4 + k);
      const int level = static_cast<int>(random() % (2 * spread + 1)) - spread;
      // Stored column by column.
      block[8 * (natural % 8) + natural / 8] = static_cast<std::int16_t>(std::clamp(level * quant, -32768, 32767));
    }
  }
  return b;
}
const Blocks& TheBlocks() {
  static const Blocks blocks[] = {MakeBlocks(kMix), MakeBlocks(kLowQuarter), MakeBlocks(kSixBySix), MakeBlocks(kWhole)};
  return blocks[gMix];
}

std::int16_t* Copy(std::int16_t* to, int i) {
  std::memcpy(to, TheBlocks().coefficients.data() + 64 * i, 64 * sizeof(std::int16_t));
  return to;
}

void RunWide() {
  alignas(32) std::int16_t block[64];
  for (int i = 0; i < kBlocks; ++i) {
    InverseDctTransposedWide(Copy(block, i), TheBlocks().lastIndex[i]);
    benchmark::DoNotOptimize(block);
  }
}
void RunSingle() {
  alignas(32) std::int16_t block[64];
  for (int i = 0; i < kBlocks; ++i) {
    InverseDctTransposed(Copy(block, i), TheBlocks().lastIndex[i]);
    benchmark::DoNotOptimize(block);
  }
}
void RunPairs() {
  alignas(32) std::int16_t first[64], second[64];
  for (int i = 0; i < kBlocks; i += 2) {
    InverseDctTransposedPair(Copy(first, i), TheBlocks().lastIndex[i], Copy(second, i + 1),
                             TheBlocks().lastIndex[i + 1]);
    benchmark::DoNotOptimize(first);
    benchmark::DoNotOptimize(second);
  }
}

void BM_InverseDct32BitLanes(benchmark::State& state) {
  for (auto _ : state) RunWide();
  state.SetItemsProcessed(state.iterations() * kBlocks);
}
BENCHMARK(BM_InverseDct32BitLanes);
void BM_InverseDct16BitLanesOneBlock(benchmark::State& state) {
  for (auto _ : state) RunSingle();
  state.SetItemsProcessed(state.iterations() * kBlocks);
}
BENCHMARK(BM_InverseDct16BitLanesOneBlock);
void BM_InverseDct16BitLanesPairs(benchmark::State& state) {
  for (auto _ : state) RunPairs();
  state.SetItemsProcessed(state.iterations() * kBlocks);
}
BENCHMARK(BM_InverseDct16BitLanesPairs);

double CpuNow() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Interleaved rounds of processor time (a busy spell on the machine hits
// every variant), each round 50 passes over the blocks; medians of the
// per-round ratios against the 32-bit lanes.
void BM_InterleavedRatios(benchmark::State& state) {
  constexpr int kRounds = 21, kPasses = 50;
  void (*const runs[])() = {RunWide, RunSingle, RunPairs};
  static const char* const names[] = {"a photo's mix", "4 x 4 only", "6 x 6 only", "whole blocks only"};
  for (auto _ : state)
    for (gMix = kMix; gMix <= kWhole; ++gMix) {
      std::vector<double> seconds[3], single, pairs;
      for (auto run : runs) run();  // warm
      for (int round = 0; round < kRounds; ++round) {
        for (int v = 0; v < 3; ++v) {
          const double start = CpuNow();
          for (int p = 0; p < kPasses; ++p) runs[v]();
          seconds[v].push_back(CpuNow() - start);
        }
        single.push_back(seconds[1].back() / seconds[0].back());
        pairs.push_back(seconds[2].back() / seconds[0].back());
      }
      const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
      };
      const double perBlock = 1e9 / (static_cast<double>(kBlocks) * kPasses);
      std::printf("\nInverse DCT of %s, ns per block (median of %d interleaved rounds):\n", names[gMix], kRounds);
      std::printf("32-bit lanes                %6.2f\n", median(seconds[0]) * perBlock);
      std::printf("16-bit lanes, one block     %6.2f = %.2f x the 32-bit lanes\n", median(seconds[1]) * perBlock,
                  median(single));
      std::printf("16-bit lanes, pairs         %6.2f = %.2f x the 32-bit lanes\n", median(seconds[2]) * perBlock,
                  median(pairs));
    }
  gMix = kMix;
}
BENCHMARK(BM_InterleavedRatios)->Iterations(1);

}  // namespace
