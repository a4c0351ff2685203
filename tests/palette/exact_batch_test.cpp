// Conversion with the picture's own colours, the batch over folders, and
// --info.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <set>

#include "base/file_io.h"
#include "formats/bmp_builder.h"
#include "formats/mag.h"
#include "formats/png.h"
#include "palette/batch.h"
#include "palette/convert.h"
#include "palette/exact.h"
#include "palette/info.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

namespace fs = std::filesystem;
using testing::BmpBuilder;

// A PNG file's colours, three bytes a pixel, top row first.
std::vector<std::uint8_t> PngColours(const std::string& path, int& width, int& height) {
  std::vector<std::uint8_t> bytes, rgb;
  EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
  PngPicture picture;
  std::string reason;
  EXPECT_TRUE(DecodePng(bytes, picture, reason)) << reason;
  width = picture.width;
  height = picture.height;
  for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
    if (picture.palettised) {
      const Rgba c = picture.table[picture.indices[i]];
      rgb.insert(rgb.end(), {c.red, c.green, c.blue});
    } else {
      rgb.insert(rgb.end(), {picture.rgba[4 * i], picture.rgba[4 * i + 1], picture.rgba[4 * i + 2]});
    }
  }
  return rgb;
}

// An 8-bit BMP of w x h whose every pixel has a colour of its own (up to 256).
std::vector<std::uint8_t> ManyColourBmp(int w, int h) {
  BmpBuilder b;
  b.width = w;
  b.height = h;
  b.table.clear();
  for (int i = 0; i < 256; ++i)
    b.table.push_back(
        {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i / 2)});
  std::vector<std::vector<std::uint8_t>> rows(h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) rows[y].push_back(static_cast<std::uint8_t>((y * w + x) % 256));
  b.pixels = testing::PadRows(rows);
  return b.Build();
}

class ExactTest : public testing::ProgramFolderTest {};

TEST_F(ExactTest, MagToPngEqualsTheReferencesPixelForPixel) {
  ZUDIZAR_REQUIRE_CORPUS("mag");
  const fs::path folder = testing::CorpusDir() / "mag";
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".mag") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const std::string out = folder_.File(entry.path().stem().string() + ".png");
    std::string error;
    ASSERT_EQ(RunConvert(entry.path().string(), out, error, nullptr, true), 0) << error;
    int w = 0, h = 0, rw = 0, rh = 0;
    const auto ours = PngColours(out, w, h);
    const auto reference =
        PngColours((folder / "ref" / (entry.path().stem().string() + ".deark.png")).string(), rw, rh);
    ASSERT_EQ(w, rw);
    ASSERT_EQ(h, rh);
    EXPECT_TRUE(ours == reference);
    ++compared;

    // MAG to MAG keeps 16 colours as 16, the table and the fields.
    const std::string mag = folder_.File("again.mag");
    ASSERT_EQ(RunConvert(entry.path().string(), mag, error, nullptr, true), 0) << error;
    std::vector<std::uint8_t> original, written;
    ASSERT_TRUE(ReadWholeFile(entry.path().string(), original));
    ASSERT_TRUE(ReadWholeFile(mag, written));
    IndexedImage a, b;
    MagDecodeOptions own;
    own.remapToShared = false;
    ASSERT_TRUE(DecodeMag(original, a, own));
    ASSERT_TRUE(DecodeMag(written, b, own));
    EXPECT_EQ(a.pixels, b.pixels);
    EXPECT_EQ(a.mag, b.mag);
    const int colours = entry.path().string().find("_16c_") != std::string::npos ? 16 : 256;
    for (int i = 0; i < colours; ++i) EXPECT_EQ(a.colourTable[i], b.colourTable[i]) << i;
    const std::size_t ha = std::find(original.begin() + 8, original.end(), 0) - original.begin();
    const std::size_t hb = std::find(written.begin() + 8, written.end(), 0) - written.begin();
    EXPECT_EQ(original[ha + 3], written[hb + 3]);  // screen mode: the same number of colours
  }
  EXPECT_GT(compared, 0);
}

TEST_F(ExactTest, AllTheColoursOfAnIndexedPictureSurviveWhereTheSharedPaletteCannotHoldThem) {
  // Square, at a size an icon takes.
  const std::string in = Write("many.bmp", ManyColourBmp(32, 32));
  for (const char* name : {"a.png", "a.bmp", "a.mag", "a.ico"}) {
    SCOPED_TRACE(name);
    const std::string out = folder_.File(name);
    std::string error;
    ASSERT_EQ(RunConvert(in, out, error, nullptr, true), 0) << error;
    OpenedPicture opened, original;
    ReadPictureForOpen(out, opened);
    ReadPictureForOpen(in, original);
    IndexedImage written, source;
    ExactSource info;
    ASSERT_TRUE(OpenExact(opened, written, error, nullptr, &info)) << error;
    ASSERT_TRUE(OpenExact(original, source, error));
    EXPECT_EQ(info.colours, 256u);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x)
        ASSERT_EQ(written.colourTable[written.At(x, y)], source.colourTable[source.At(x, y)]) << x << "," << y;
  }
  // The shared-palette conversion keeps fewer: that is what --exact is for.
  std::string error;
  ASSERT_EQ(RunConvert(in, folder_.File("shared.png"), error), 0) << error;
  OpenedPicture opened;
  ReadPictureForOpen(folder_.File("shared.png"), opened);
  IndexedImage shared;
  ExactSource info;
  ASSERT_TRUE(OpenExact(opened, shared, error, nullptr, &info));
  EXPECT_LT(info.colours, 256u);
}

TEST_F(ExactTest, TrueColourPicturesGetColoursOfTheirOwn) {
  // 24-bit, 300 distinct colours: 256 chosen; every pixel within reach.
  BmpBuilder photo;
  photo.width = 30;
  photo.height = 10;
  photo.bitCount = 24;
  std::vector<std::vector<std::uint8_t>> rows(10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 30; ++x)
      rows[y].insert(rows[y].end(), {static_cast<std::uint8_t>(8 * x), static_cast<std::uint8_t>(25 * y), 200});
  photo.pixels = testing::PadRows(rows);
  const std::string in = Write("photo.bmp", photo.Build());
  OpenedPicture opened;
  ReadPictureForOpen(in, opened);
  IndexedImage image;
  std::string error;
  ExactSource info;
  ASSERT_TRUE(OpenExact(opened, image, error, nullptr, &info)) << error;
  EXPECT_FALSE(info.indexed);
  EXPECT_EQ(info.colours, 300u);
  int far = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 30; ++x) {
      const ColourTableEntry& c = image.colourTable[image.At(x, 9 - y)];
      far += std::abs(c.blue - 8 * x) + std::abs(c.green - 25 * y) + std::abs(c.red - 200) > 24;
    }
  EXPECT_EQ(far, 0);
}

class BatchTest : public testing::ProgramFolderTest {
 protected:
  // `count` many-coloured 128 x 128 BMPs in in/, planned for exact PNGs in out/.
  void PlanPictures(int count, int workers, BatchOptions& options, BatchPlan& plan) {
    fs::create_directories(folder_.Path() / "in");
    const std::vector<std::uint8_t> bmp = ManyColourBmp(128, 128);
    for (int i = 0; i < count; ++i) Write("in/p" + std::to_string(100 + i) + ".bmp", bmp);
    options.extension = ".PNG";
    options.exact = true;
    options.outFolder = folder_.File("out");
    options.workers = workers;
    std::string error;
    ASSERT_TRUE(PlanBatch({folder_.File("in")}, options, plan, error)) << error;
  }
};

TEST_F(BatchTest, PlansKeepTheLayoutAndNeverCollide) {
  const std::vector<std::uint8_t> bmp = ManyColourBmp(8, 2);
  fs::create_directories(folder_.Path() / "in" / "deep");
  fs::create_directories(folder_.Path() / "out");
  Write("in/a.bmp", bmp);
  Write("in/a.mag", {});  // empty: no signature, not a picture
  Write("in/b.bmp", bmp);
  Write("in/b.BMP", bmp);
  Write("in/c.png", bmp);  // a BMP under another name is still a picture
  Write("in/deep/a.bmp", bmp);
  Write("in/notes.txt", {'h', 'i'});
  Write("out/b.png", bmp);  // exists already
  BatchOptions options;
  options.extension = ".PNG";
  options.outFolder = folder_.File("out");
  BatchPlan plan;
  std::string error;
  ASSERT_TRUE(PlanBatch({folder_.File("in"), folder_.File("in/notes.txt")}, options, plan, error)) << error;
  std::vector<std::string> outs;
  for (const BatchJob& job : plan.jobs) outs.push_back(fs::path(job.out).lexically_relative(folder_.Path()).string());
  std::sort(outs.begin(), outs.end());
  // a.bmp → a.png; b.BMP takes b.png's place in the plan, b.bmp then
  // b.bmp.png; c.png cannot be its own output.
  EXPECT_EQ(outs, (std::vector<std::string>{"out/a.png", "out/b.bmp.png", "out/c.png", "out/deep/a.png"}));
  ASSERT_EQ(plan.skipped.size(), 2u);
  EXPECT_NE(plan.skipped[0].reason.find("not a picture"), std::string::npos);
  EXPECT_NE(plan.skipped[1].reason.find("exists"), std::string::npos);

  // Beside the inputs, an output that is an input takes the input's extension too.
  options.outFolder.clear();
  options.force = true;
  ASSERT_TRUE(PlanBatch({folder_.File("in/c.png")}, options, plan, error));
  ASSERT_EQ(plan.jobs.size(), 1u);
  EXPECT_EQ(fs::path(plan.jobs[0].out).filename(), "c.png.png");

  options.extension = ".GIF";
  EXPECT_FALSE(PlanBatch({folder_.File("in")}, options, plan, error));
  EXPECT_NE(error.find("GIF"), std::string::npos);
}

TEST_F(BatchTest, BrokenFilesFailWithTheirReasonsAndTheRestConvert) {
  const std::vector<std::uint8_t> bmp = ManyColourBmp(16, 4);
  fs::create_directories(folder_.Path() / "in");
  // Non-UTF-8 names are converted and named as they are.
  const std::string odd = "in/\xE9t\xE9.bmp";
  for (int i = 0; i < 9; ++i) Write("in/p" + std::to_string(i) + ".bmp", bmp);
  Write(odd, bmp);
  Write("in/broken.mag", {'M', 'A', 'K', 'I', '0', '2', ' ', ' ', 'x'});
  BatchOptions options;
  options.extension = ".MAG";
  options.exact = true;
  options.outFolder = folder_.File("out");
  options.workers = 3;
  BatchPlan plan;
  std::string error;
  ASSERT_TRUE(PlanBatch({folder_.File("in")}, options, plan, error));
  ASSERT_EQ(plan.jobs.size(), 11u);
  BatchResult result;
  std::FILE* progress = std::tmpfile();
  RunBatch(plan, options, result, progress, false);
  EXPECT_EQ(result.converted, 10u);
  ASSERT_EQ(result.failed.size(), 1u);
  EXPECT_NE(result.failed[0].path.find("broken.mag"), std::string::npos);
  EXPECT_FALSE(result.failed[0].reason.empty());
  EXPECT_FALSE(result.interrupted);
  EXPECT_TRUE(fs::exists(folder_.Path() / "out" / "\xE9t\xE9.mag"));
  EXPECT_FALSE(fs::exists(folder_.Path() / "out" / "broken.mag"));
  // One progress line per file, in the promised form.
  std::rewind(progress);
  char line[512];
  int lines = 0;
  while (std::fgets(line, sizeof line, progress)) {
    ++lines;
    EXPECT_NE(std::string(line).find("/11 files, "), std::string::npos) << line;
    EXPECT_NE(std::string(line).find(" MB/s, "), std::string::npos) << line;
    EXPECT_NE(std::string(line).find(" left"), std::string::npos) << line;
  }
  std::fclose(progress);
  EXPECT_EQ(lines, 11);

  // Asked to stop before it starts, a batch starts nothing and says so.
  BatchStopRequested = 1;
  options.force = true;
  ASSERT_TRUE(PlanBatch({folder_.File("in")}, options, plan, error));
  BatchResult stopped;
  RunBatch(plan, options, stopped, nullptr, false);
  BatchStopRequested = 0;
  EXPECT_TRUE(stopped.interrupted);
  EXPECT_EQ(stopped.converted, 0u);
  EXPECT_EQ(stopped.skipped.size(), 11u);
}

// A progress stream that runs `onLine` at every line the batch reports.
struct ProgressHook {
  std::function<void(int)> onLine;
  int lines = 0;
  static ssize_t Write(void* self, const char* data, std::size_t size) {
    auto* hook = static_cast<ProgressHook*>(self);
    for (std::size_t i = 0; i < size; ++i)
      if (data[i] == '\n') hook->onLine(++hook->lines);
    return static_cast<ssize_t>(size);
  }
  std::FILE* Open() {
    cookie_io_functions_t io{};
    io.write = &ProgressHook::Write;
    return fopencookie(this, "w", io);
  }
};

// The processes this test process has started.
std::vector<pid_t> Children() {
  std::vector<pid_t> children;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::FILE* stat = std::fopen((entry.path() / "stat").c_str(), "r");
    if (!stat) continue;
    char line[512] = {};
    const std::size_t n = std::fread(line, 1, sizeof line - 1, stat);
    std::fclose(stat);
    // pid (name) state ppid ...: the name may hold spaces, so read after its ')'.
    const std::string text(line, n);
    const auto close = text.rfind(')');
    int ppid = 0;
    if (close != std::string::npos && std::sscanf(text.c_str() + close + 1, " %*c %d", &ppid) == 1 &&
        ppid == ::getpid())
      children.push_back(static_cast<pid_t>(std::stoi(name)));
  }
  return children;
}

// The outputs under `folder`, by file name; every one must be a whole
// picture of `side` x `side` (a temporary or a cut-off file would show here).
std::set<std::string> WholeOutputs(const fs::path& folder, int side) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
    int w = 0, h = 0;
    EXPECT_EQ(PngColours(entry.path().string(), w, h).size(), static_cast<std::size_t>(side) * side * 3)
        << entry.path();
  }
  return names;
}

TEST_F(BatchTest, StoppedPartWayTheFilesInFlightAreFinishedAndNoneAreStarted) {
  BatchOptions options;
  BatchPlan plan;
  ASSERT_NO_FATAL_FAILURE(PlanPictures(60, 2, options, plan));
  // Ctrl+C as the third file is reported.
  ProgressHook hook;
  hook.onLine = [](int line) {
    if (line == 3) BatchStopRequested = 1;
  };
  std::FILE* progress = hook.Open();
  BatchResult result;
  RunBatch(plan, options, result, progress, false);
  std::fclose(progress);
  BatchStopRequested = 0;
  EXPECT_TRUE(result.interrupted);
  // Every file a worker took was finished; the others were never started.
  EXPECT_TRUE(result.failed.empty());
  EXPECT_GE(result.converted, 3u);
  EXPECT_LT(result.converted, 60u);
  EXPECT_EQ(result.converted + result.skipped.size(), 60u);
  std::set<std::string> notStarted;
  for (const BatchItem& item : result.skipped) {
    EXPECT_EQ(item.reason, "not started (interrupted)");
    notStarted.insert(fs::path(item.path).stem().string() + ".png");
  }
  std::set<std::string> expected;
  for (const BatchJob& job : plan.jobs)
    if (!notStarted.count(fs::path(job.out).filename().string()))
      expected.insert(fs::path(job.out).filename().string());
  EXPECT_EQ(WholeOutputs(folder_.Path() / "out", 128), expected);
}

TEST_F(BatchTest, AWorkerThatIsKilledCostsOnlyItsFileAndAnotherTakesItsPlace) {
  BatchOptions options;
  BatchPlan plan;
  // One worker, so that without a new worker nothing more would convert.
  ASSERT_NO_FATAL_FAILURE(PlanPictures(12, 1, options, plan));
  ProgressHook hook;
  int killed = 0;
  hook.onLine = [&](int line) {
    if (line != 2) return;
    for (const pid_t child : Children()) killed += ::kill(child, SIGKILL) == 0;
  };
  std::FILE* progress = hook.Open();
  BatchResult result;
  RunBatch(plan, options, result, progress, false);
  std::fclose(progress);
  ASSERT_EQ(killed, 1);
  EXPECT_FALSE(result.interrupted);
  EXPECT_TRUE(result.skipped.empty());
  // The file it was on (if it had taken one) failed, saying how; every other converted.
  ASSERT_LE(result.failed.size(), 1u);
  EXPECT_EQ(result.converted + result.failed.size(), 12u);
  EXPECT_GE(result.converted, 11u);
  for (const BatchItem& item : result.failed)
    EXPECT_NE(item.reason.find("stopped unexpectedly (signal 9)"), std::string::npos) << item.reason;
  // A worker killed between writing its output and saying so leaves that
  // output whole, though the file is counted as failed.
  const std::size_t outputs = WholeOutputs(folder_.Path() / "out", 128).size();
  EXPECT_GE(outputs, result.converted);
  EXPECT_LE(outputs, 12u);
  EXPECT_TRUE(Children().empty());
}

// Workers start the shared palette once; every file still converts to the
// bytes a conversion of it alone gives, start-up palette picture included.
TEST_F(BatchTest, OnTheSharedPaletteEveryFileConvertsAsItWouldAlone) {
  fs::create_directories(folder_.Path() / "in");
  Write("TAVOCINI.BMP", ManyColourBmp(16, 16));
  for (int k = 0; k < 6; ++k) {
    BmpBuilder b;
    b.width = 24;
    b.height = 6;
    b.table.clear();
    for (int i = 0; i < 256; ++i)
      b.table.push_back({static_cast<std::uint8_t>(i * (k + 2)), static_cast<std::uint8_t>(40 * k + i / 3),
                         static_cast<std::uint8_t>(255 - i * k)});
    std::vector<std::vector<std::uint8_t>> rows(6);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 24; ++x) rows[y].push_back(static_cast<std::uint8_t>((x * 11 + y * 7 + k * 29) % 256));
    b.pixels = testing::PadRows(rows);
    Write("in/p" + std::to_string(k) + ".bmp", b.Build());
  }
  BatchOptions options;
  options.extension = ".MAG";
  options.outFolder = folder_.File("out");
  options.workers = 2;
  BatchPlan plan;
  std::string error;
  ASSERT_TRUE(PlanBatch({folder_.File("in")}, options, plan, error));
  BatchResult result;
  RunBatch(plan, options, result, nullptr, false);
  ASSERT_EQ(result.converted, 6u);
  for (const BatchJob& job : plan.jobs) {
    SCOPED_TRACE(job.in);
    const std::string alone = folder_.File("alone.mag");
    ASSERT_EQ(RunConvert(job.in, alone, error), 0) << error;
    std::vector<std::uint8_t> a, b;
    ASSERT_TRUE(ReadWholeFile(alone, a));
    ASSERT_TRUE(ReadWholeFile(job.out, b));
    EXPECT_TRUE(a == b);
  }
}

TEST_F(BatchTest, InfoNamesTheFieldsInUtf8) {
  IndexedImage image;
  ASSERT_EQ(CreateImage(8, 2, image), 1);
  image.mag.present = true;
  image.mag.machine = "PC98";
  image.mag.user = "\x83\x5C\x95\x5C";  // ソ表
  image.mag.comment = "ok\xA0";
  image.mag.machineCode = 3;
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(EncodeMag(image, bytes));
  const std::string path = Write("i.mag", bytes);
  std::FILE* out = std::tmpfile();
  EXPECT_EQ(RunInfo({path, folder_.File("missing.mag")}, out), 1);
  std::rewind(out);
  std::string text(4096, '\0');
  text.resize(std::fread(text.data(), 1, text.size(), out));
  std::fclose(out);
  EXPECT_NE(text.find("MAG, 8 x 2, 1 colours"), std::string::npos) << text;
  EXPECT_NE(text.find("machine: PC98 (code 3"), std::string::npos) << text;
  EXPECT_NE(text.find("user: ソ表"), std::string::npos) << text;
  EXPECT_NE(text.find("comment: ok\\xA0"), std::string::npos) << text;
  EXPECT_NE(text.find("missing.mag: no such file"), std::string::npos) << text;
}

}  // namespace
}  // namespace zudizar
