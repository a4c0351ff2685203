// Runs every writer and reader with one allocation failing, each in turn, as
// a full address space would make it fail.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "base/file_io.h"
#include "formats/dispatch.h"
#include "support/test_support.h"

namespace {
// The number of allocations still to succeed before one fails; -1 when off.
std::atomic<long> allocationsLeft{-1};
}  // namespace

void* operator new(std::size_t size) {
  if (allocationsLeft.load() >= 0 && allocationsLeft.fetch_sub(1) == 0) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace zudizar {
namespace {

using testing::Slurp;

class OutOfMemoryTest : public testing::PaletteReset {};

TEST_F(OutOfMemoryTest, EveryWriterAndReaderFailsWithAMessageAndKeepsTheOldFile) {
  IndexedImage picture;
  ASSERT_EQ(CreateImage(32, 32, picture), 1);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) picture.At(x, y) = static_cast<std::uint8_t>((x / 4 + y / 8) % 12);
  for (const char* name : {"a.bmp", "a.mag", "a.jpg", "a.ico"}) {
    SCOPED_TRACE(name);
    testing::TempFolder folder;
    const std::string path = folder.File(name);
    const std::string reference = folder.File(std::string("reference") + name);
    ASSERT_TRUE(SavePictureFile(reference, picture));
    const std::string old = "the old file";
    ASSERT_TRUE(WriteFileSafely(path, std::vector<std::uint8_t>(old.begin(), old.end())));
    bool finished = false;
    long n = 0;
    for (; n < 100000 && !finished; ++n) {
      FileReport notices;
      allocationsLeft = n;
      const bool saved = SavePictureFile(path, picture, &notices);
      finished = allocationsLeft.exchange(-1) >= 0;  // nothing failed: every allocation point was tried
      // The old file byte for byte, or the complete new one (when only the
      // folder's sync after the rename failed).
      const std::string now = Slurp(path);
      EXPECT_TRUE(now == Slurp(reference) || (!saved && now == old)) << "allocation " << n;
      if (!saved) {
        ASSERT_FALSE(notices.Empty()) << "allocation " << n;
        EXPECT_NE(notices.messages.back().text.find(path), std::string::npos);
      }
      if (now != old) {
        ASSERT_TRUE(WriteFileSafely(path, std::vector<std::uint8_t>(old.begin(), old.end())));
      }
      // The file and the reference: no temporary is left.
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2) << "allocation " << n;
    }
    EXPECT_TRUE(finished);
    EXPECT_GT(n, 3) << "the allocations were not counted";

    // Reading the reference back: every failure is a result, never an escape.
    bool read = false;
    for (long n = 0; n < 100000 && !read; ++n) {
      IndexedImage image;
      allocationsLeft = n;
      const bool loaded = LoadPictureFile(reference, image);
      read = allocationsLeft.exchange(-1) >= 0;
      if (read) {
        EXPECT_TRUE(loaded);
      }
    }
    EXPECT_TRUE(read);
  }
}

}  // namespace
}  // namespace zudizar
