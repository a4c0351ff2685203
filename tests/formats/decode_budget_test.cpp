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
      IndexedImage image;
      FileReport report;
      if (!MapOpenedPicture(opened, image, &report)) return 0;
      const bool noted = !report.Empty() && report.messages.back().kind == MessageKind::Warning;
      return noted ? 2 : 1;
    });
    ASSERT_TRUE(r.finished);
    EXPECT_NE(r.result, 1) << "a file this short cannot hold the picture";
    EXPECT_LT(r.peakKb, kMaxPeakKb);
  }
}

}  // namespace
}  // namespace zudizar
