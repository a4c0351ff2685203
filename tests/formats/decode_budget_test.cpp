// Files of a few hundred bytes whose headers claim the largest picture: each
// is refused, or opened as what its data holds, quickly and without memory
// beyond one picture's indices. Each runs in a child process, so that its
// peak memory is its own and a hang becomes a failure.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "formats/dispatch.h"
#include "formats/file_report.h"
#include "formats/jpeg/jpeg_markers.h"
#include "formats/jpeg_test_support.h"
#include "formats/opened_picture.h"
#include "formats/tiny_headers.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

// A 16384 x 16384 picture's indices, the most a decode may cost.
constexpr long kMaxPeakKb = 300 * 1024;
constexpr unsigned kWatchdogSeconds = 60;

struct ChildResult {
  bool finished = false;
  int result = -1;  // 0 refused, 1 opened whole, 2 opened with a note
  long peakKb = 0;
};

ChildResult InChild(const std::function<int()>& work) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(kWatchdogSeconds);
    close(pipeEnds[0]);
    const int result = work();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long message[2] = {result, usage.ru_maxrss};
    if (write(pipeEnds[1], message, sizeof message) != sizeof message) _exit(2);
    _exit(0);
  }
  close(pipeEnds[1]);
  long message[2] = {};
  const bool got = read(pipeEnds[0], message, sizeof message) == sizeof message;
  close(pipeEnds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  ChildResult out;
  out.finished = got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  out.result = static_cast<int>(message[0]);
  out.peakKb = message[1];
  return out;
}

struct TinyCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
  PictureFormat format;
};

TEST(DecodeBudgetTest, TinyFilesClaimingTheLargestPictureCostLittle) {
  const TinyCase cases[] = {
      {"png rgba16", testing::TinyPngHeader(6, 16), PictureFormat::Png},
      {"png grey8", testing::TinyPngHeader(0, 8), PictureFormat::Png},
      {"png palette", testing::TinyPngHeader(3, 8), PictureFormat::Png},
      {"jpeg progressive cmyk", testing::TinyJpeg(0xC2, 16384, 16384, 4, 1, 64), PictureFormat::Jpeg},
      {"jpeg progressive ycbcr", testing::TinyJpeg(0xC2, 16384, 16384, 3, 1, 64), PictureFormat::Jpeg},
      {"jpeg progressive grey", testing::TinyJpeg(0xC2, 16384, 16384, 1, 1, 64), PictureFormat::Jpeg},
      {"jpeg baseline grey", testing::TinyJpeg(0xC0, 16384, 16384, 1, 1, 64), PictureFormat::Jpeg},
      {"jpeg baseline 4:2:0", testing::TinyJpeg(0xC0, 16384, 16384, 3, 2, 64), PictureFormat::Jpeg},
  };
  for (const TinyCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_LT(c.bytes.size(), 300u);
    const ChildResult r = InChild([&] {
      OpenedPicture opened;
      opened.name = c.name;
      opened.format = c.format;
      opened.readable = true;
      opened.bytes = c.bytes;
      if (c.format == PictureFormat::Jpeg) opened.bytes.resize(opened.bytes.size() + jpeg::kTailBytes, 0);
      IndexedImage image;
      FileReport report;
      if (!MapOpenedPicture(opened, image, &report)) return 0;
      const bool noted = !report.Empty() && report.messages.back().kind == MessageKind::Note;
      return noted ? 2 : 1;
    });
    ASSERT_TRUE(r.finished);
    EXPECT_NE(r.result, 1) << "a file this short cannot hold the picture";
    EXPECT_LT(r.peakKb, kMaxPeakKb);
  }
}

TEST(DecodeBudgetTest, JpegsTooShortOrTooLargeForTheirFrameAreNamedAsSuch) {
  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
    bool opens;
    int height;        // of the picture opened
    const char* text;  // in the message
  } cases[] = {
      // The own decoder: a frame beyond the limits is refused naming its size ...
      {"baseline 20000 wide", testing::TinyJpeg(0xC0, 20000, 16, 1, 1, 64), false, 0, "(20000 x 16)"},
      // ... and a scan too short for its frame keeps the rows it can hold.
      {"baseline cut", testing::TinyJpeg(0xC0, 16384, 16384, 1, 1, 64), true, 8, kDataEndedText},
      {"baseline whole", testing::TinyJpeg(0xC0, 64, 64, 1, 1, 64), true, 64, ""},
      // The library: too short to hold the frame, or beyond the budget.
      {"progressive cut", testing::TinyJpeg(0xC2, 4096, 4096, 1, 1, 64), false, 0, "(4096 x 4096)"},
  };
  testing::TempFolder folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.File("tiny.jpg");
    testing::WriteBytes(path, c.bytes);
    IndexedImage image;
    FileReport report;
    ASSERT_EQ(LoadPictureFile(path, image, &report), c.opens);
    if (c.opens) {
      EXPECT_EQ(image.ImageHeight(), c.height);
    }
    const std::string all = report.Empty() ? "" : report.messages.back().text;
    EXPECT_NE(all.find(c.text), std::string::npos) << all;
    if (*c.text == 0) {
      EXPECT_TRUE(report.Empty());
    }
  }
}

}  // namespace
}  // namespace zudizar
