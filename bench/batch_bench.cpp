// Batch conversion of 1,000 MAG files (640 x 400, half of them 16 and half
// 256 colours) to PNG on all cores, against the one-file conversion timed in
// the same run: the reference is the one-file time x 1,000 / cores. The
// counter "x_ideal" is the batch's wall time as a multiple of it (goal: 1.2
// or less on two cores). The one-file time is taken before and after the batch
// and averaged, since other work on the machine shifts both; "cpu_x" is the
// processor time of the batch's workers as a multiple of 1,000 one-file
// conversions', which no other load changes: the batch's own overhead.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

#include "base/file_io.h"
#include "base/settings.h"
#include "core/indexed_image.h"
#include "formats/mag.h"
#include "palette/batch.h"
#include "palette/convert.h"

using namespace zudizar;
namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 1000;

void MakeCollage(IndexedImage& image, int colours, unsigned seed) {
  CreateImage(640, 400, image);
  std::mt19937 random(seed);
  auto pick = [&] { return static_cast<std::uint8_t>(random() % colours); };
  FillImage(image, pick());
  for (int r = 0; r < 40; ++r) {
    const int x = random() % 640, y = random() % 400;
    FillRect(image, x, y, 1 + random() % 200, 1 + random() % 130, pick());
  }
  for (int k = 0; k < 640 * 400 / 50; ++k) image.At(random() % 640, random() % 400) = pick();
  image.ownColours = true;  // the file keeps its 16 or 256 colours
  for (int i = 0; i < 256; ++i)
    image.colourTable[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(7 * i),
                            static_cast<std::uint8_t>(255 - i), 0};
}

double ChildrenCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double OwnCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_BatchMagToPng(benchmark::State& state) {
  const fs::path root = fs::temp_directory_path() / ("zudizar-batch-bench-" + std::to_string(::getpid()));
  fs::create_directories(root / "in");
  SetProgramFile((root / "zudizar").string());
  std::vector<std::string> inputs;
  for (int i = 0; i < kFiles; ++i) {
    IndexedImage image;
    MakeCollage(image, i % 2 ? 256 : 16, static_cast<unsigned>(i % 20));
    std::vector<std::uint8_t> bytes;
    EncodeMag(image, bytes);
    inputs.push_back((root / "in" / ("p" + std::to_string(i) + ".mag")).string());
    WriteFileSafely(inputs.back(), bytes);
  }
  const int cores = std::max(1u, std::thread::hardware_concurrency());
  for (auto _ : state) {
    // One file at a time, in this process: a sample of both kinds.
    constexpr int kSample = 40;
    double oneCpu = 0;
    const auto sampleOne = [&] {
      const auto start = std::chrono::steady_clock::now();
      const double cpu = OwnCpuSeconds();
      for (int i = 0; i < kSample; ++i) {
        std::string error;
        RunConvert(inputs[i], (root / "one.png").string(), error, nullptr, true);
      }
      oneCpu += (OwnCpuSeconds() - cpu) / kSample / 2;
      return Seconds(start) / kSample;
    };
    double one = sampleOne();

    BatchOptions options;
    options.exact = true;
    options.extension = ".PNG";
    options.outFolder = (root / "out").string();
    options.force = true;
    BatchPlan plan;
    std::string error;
    PlanBatch({(root / "in").string()}, options, plan, error);
    BatchResult result;
    const double childrenBefore = ChildrenCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    RunBatch(plan, options, result, nullptr, false);
    const double batch = Seconds(start);
    const double workersCpu = ChildrenCpuSeconds() - childrenBefore;
    one = (one + sampleOne()) / 2;
    const double ideal = one * kFiles / cores;
    state.counters["one_ms"] = one * 1000;
    state.counters["batch_s"] = batch;
    state.counters["ideal_s"] = ideal;
    state.counters["x_ideal"] = batch / ideal;
    state.counters["cpu_x"] = workersCpu / (oneCpu * kFiles);
    state.counters["converted"] = static_cast<double>(result.converted);
  }
  std::error_code ignored;
  fs::remove_all(root, ignored);
}
BENCHMARK(BM_BatchMagToPng)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
