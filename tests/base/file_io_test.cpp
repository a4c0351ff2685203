#include "base/file_io.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <random>
#include <set>

#include "base/file_system.h"
#include "base/settings.h"
#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::Slurp;
using testing::TempFolder;

const std::vector<std::uint8_t> kOld = {'o', 'l', 'd', ' ', 'b', 'y', 't', 'e', 's'};
const std::vector<std::uint8_t> kNew(70000, 'N');
const std::string kNewText(kNew.begin(), kNew.end());
const std::string kOldText(kOld.begin(), kOld.end());

std::set<std::string> Names(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// Compares a file with the expected text without printing kilobytes.
::testing::AssertionResult Holds(const std::string& path, const std::string& expected) {
  const std::string actual = Slurp(path);
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << path << " holds " << actual.size() << " bytes starting "
                                       << actual.substr(0, 12) << ", not " << expected.size() << " starting "
                                       << expected.substr(0, 12);
}

void Put(const std::string& path, const std::string& text) {
  FileFailure failure;
  ASSERT_TRUE(
      WriteFileSafely(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), failure))
      << failure.Reason();
}

// Fails one chosen call on the temporary (or on the folder), as a full disk, a
// failing device or a hostile folder would.
enum class Fault { None, ShortWrite, Write, Fsync, Close, Rename, FolderFsync, Access, CreateInFolder, PlantLink };

class FaultyFileSystem : public FileSystem {
 public:
  Fault fault = Fault::None;
  int error = 0;
  std::string victim;  // where a planted link points

  int Open(const char* path, int flags, mode_t mode) override {
    const bool temporary = (flags & O_EXCL) != 0;
    if (temporary && fault == Fault::CreateInFolder) return Refuse();
    if (temporary && fault == Fault::PlantLink && !planted_) {
      planted_ = true;
      EXPECT_EQ(::symlink(victim.c_str(), path), 0);
    }
    const int fd = FileSystem::Open(path, flags, mode);
    if (temporary) temporaryFd_ = fd;
    if (flags & O_DIRECTORY) folderFd_ = fd;
    return fd;
  }
  ssize_t Write(int fd, const void* data, std::size_t count) override {
    if (fd == temporaryFd_ && fault == Fault::Write) return Refuse();
    if (fd == temporaryFd_ && fault == Fault::ShortWrite) count = (count + 2) / 3;
    return FileSystem::Write(fd, data, count);
  }
  int Fsync(int fd) override {
    if ((fd == temporaryFd_ && fault == Fault::Fsync) || (fd == folderFd_ && fault == Fault::FolderFsync))
      return Refuse();
    return FileSystem::Fsync(fd);
  }
  int Close(int fd) override {
    const int result = FileSystem::Close(fd);
    if (fd == temporaryFd_ && fault == Fault::Close) return Refuse();
    return result;
  }
  int Rename(const char* from, const char* to) override {
    return fault == Fault::Rename ? Refuse() : FileSystem::Rename(from, to);
  }
  int Access(const char* path, int mode) override {
    return fault == Fault::Access ? Refuse() : FileSystem::Access(path, mode);
  }

 private:
  int Refuse() {
    errno = error;
    return -1;
  }
  int temporaryFd_ = -2, folderFd_ = -2;
  bool planted_ = false;
};

struct FaultCase {
  const char* what;
  Fault fault;
  int error;
  bool saved;     // the call reports success
  bool complete;  // the new bytes are in the file afterwards
};

TEST(WriteFileSafely, EveryFaultKeepsTheOldFileOrCompletesTheNewOneAndLeavesNoTemporary) {
  const FaultCase cases[] = {
      {"partial writes", Fault::ShortWrite, 0, true, true},
      {"full disk", Fault::Write, ENOSPC, false, false},
      {"device error on write", Fault::Write, EIO, false, false},
      {"device error on fsync", Fault::Fsync, EIO, false, false},
      {"device error on close", Fault::Close, EIO, false, false},
      {"rename refused", Fault::Rename, EXDEV, false, false},
      {"rename refused by a sticky folder: written in place", Fault::Rename, EPERM, true, true},
      {"device error on the folder's fsync", Fault::FolderFsync, EIO, false, true},
      {"read-only target", Fault::Access, EACCES, false, false},
      {"read-only file system", Fault::Access, EROFS, false, false},
      {"folder the user may not write", Fault::CreateInFolder, EACCES, true, true},
      {"a link planted at the temporary's name", Fault::PlantLink, 0, true, true},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string target = folder.File("絵.bmp");
    const std::string victim = folder.File("victim");
    Put(target, kOldText);
    Put(victim, "precious");
    const auto before = Names(folder.Path());
    FaultyFileSystem faulty;
    faulty.fault = c.fault;
    faulty.error = c.error;
    faulty.victim = victim;
    bool saved;
    {
      ScopedFileSystem use(faulty);
      saved = WriteFileSafely(target, kNew);
    }
    EXPECT_EQ(saved, c.saved) << LastFileFailure().Reason();
    EXPECT_TRUE(Holds(target, c.complete ? kNewText : kOldText));
    if (!c.saved) {
      EXPECT_EQ(LastFileFailure().error, c.error);
      EXPECT_FALSE(LastFileFailure().Reason().empty());
    }
    EXPECT_TRUE(Holds(victim, "precious"));
    auto after = Names(folder.Path());
    if (c.fault == Fault::PlantLink)
      after.erase(std::find_if(after.begin(), after.end(), [&](const std::string& n) { return !before.count(n); }));
    EXPECT_EQ(after, before);
  }
}

TEST(WriteFileSafely, KeepsTheModeOwnerAndGroupOfTheFileItReplaces) {
  TempFolder folder;
  const std::string target = folder.File("a.bmp");
  Put(target, kOldText);
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(target.c_str(), 12345, 23456), 0);
  }
  struct stat before {};
  ASSERT_EQ(::stat(target.c_str(), &before), 0);
  ASSERT_TRUE(WriteFileSafely(target, kNew)) << LastFileFailure().Reason();
  struct stat after {};
  ASSERT_EQ(::stat(target.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_TRUE(Holds(target, kNewText));
  // A new file gets the usual mode for new files.
  const std::string fresh = folder.File("new.bmp");
  ASSERT_TRUE(WriteFileSafely(fresh, kNew));
  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat made {};
  ASSERT_EQ(::stat(fresh.c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 0777, 0666u & ~mask);
}

TEST(WriteFileSafely, RefusesAFileTheUserMayNotWriteAndWritesOneWhoseFolderIsReadOnly) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file; the file-system seam covers this case";
  TempFolder folder;
  const std::string readOnly = folder.File("ro.bmp");
  Put(readOnly, kOldText);
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  EXPECT_FALSE(WriteFileSafely(readOnly, kNew));
  EXPECT_EQ(LastFileFailure().error, EACCES);
  EXPECT_EQ(LastFileFailure().path, readOnly);
  EXPECT_TRUE(Holds(readOnly, kOldText));

  const std::string inLocked = folder.File("w.bmp");
  Put(inLocked, kOldText);
  ASSERT_EQ(::chmod(folder.Path().c_str(), 0555), 0);
  EXPECT_TRUE(WriteFileSafely(inLocked, kNew)) << LastFileFailure().Reason();
  EXPECT_FALSE(WriteFileSafely(folder.File("new.bmp"), kNew));
  ::chmod(folder.Path().c_str(), 0755);
  EXPECT_TRUE(Holds(inLocked, kNewText));
  EXPECT_EQ(Names(folder.Path()), (std::set<std::string>{"ro.bmp", "w.bmp"}));
}

TEST(WriteFileSafely, SavesThroughSymbolicLinksAndKeepsHardLinks) {
  TempFolder folder;
  std::filesystem::create_directory(folder.Path() / "real");
  const std::string real = folder.File("real/picture.bmp");
  Put(real, kOldText);
  // A relative link to a relative link, and a link whose file does not exist yet.
  ASSERT_EQ(::symlink("real/picture.bmp", folder.File("one").c_str()), 0);
  ASSERT_EQ(::symlink("one", folder.File("two").c_str()), 0);
  ASSERT_EQ(::symlink((folder.Path() / "real/later.bmp").c_str(), folder.File("dangling").c_str()), 0);
  ASSERT_TRUE(WriteFileSafely(folder.File("two"), kNew));
  ASSERT_TRUE(WriteFileSafely(folder.File("dangling"), kOld));
  EXPECT_TRUE(std::filesystem::is_symlink(folder.File("two")));
  EXPECT_TRUE(std::filesystem::is_symlink(folder.File("one")));
  EXPECT_TRUE(std::filesystem::is_symlink(folder.File("dangling")));
  EXPECT_TRUE(Holds(real, kNewText));
  EXPECT_EQ(Slurp(folder.File("real/later.bmp")), kOldText);
  // The temporaries went into the real file's folder and are gone.
  EXPECT_EQ(Names(folder.Path() / "real"), (std::set<std::string>{"later.bmp", "picture.bmp"}));

  const std::string second = folder.File("second name.bmp");
  ASSERT_EQ(::link(real.c_str(), second.c_str()), 0);
  ASSERT_TRUE(WriteFileSafely(real, kOld));
  EXPECT_TRUE(Holds(second, kOldText));
  EXPECT_EQ(std::filesystem::hard_link_count(real), 2u);
  // A shorter save in place leaves no tail of the longer old bytes.
  ASSERT_TRUE(WriteFileSafely(second, std::vector<std::uint8_t>{'x'}));
  EXPECT_TRUE(Holds(real, "x"));
}

TEST(WriteFileSafely, SavesUnderTheLongestNameTheFolderAllows) {
  TempFolder folder;
  std::string name;
  for (int i = 0; i < 84; ++i) name += "表";  // 252 bytes
  name += ".bm";
  ASSERT_EQ(name.size(), 255u);
  const std::string target = folder.File(name);
  Put(target, kOldText);
  ASSERT_TRUE(WriteFileSafely(target, kNew)) << LastFileFailure().Reason();
  EXPECT_TRUE(Holds(target, kNewText));
  EXPECT_EQ(Names(folder.Path()).size(), 1u);
}

// Stops the process by a signal in the middle of writing the temporary.
class SignalledFileSystem : public FileSystem {
 public:
  ssize_t Write(int fd, const void* data, std::size_t count) override {
    FileSystem::Write(fd, data, count / 2);
    ::raise(SIGTERM);
    return -1;
  }
};

TEST(WriteFileSafely, AnInterruptedSaveLeavesNoTemporary) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TempFolder folder;
  const std::string target = folder.File("a.bmp");
  Put(target, kOldText);
  EXPECT_EXIT(
      {
        RemoveTemporaryOnSignals();
        SignalledFileSystem signalled;
        ScopedFileSystem use(signalled);
        WriteFileSafely(target, kNew);
      },
      ::testing::KilledBySignal(SIGTERM), "");
  EXPECT_EQ(Names(folder.Path()), std::set<std::string>{"a.bmp"});
  EXPECT_TRUE(Holds(target, kOldText));
}

TEST(WriteFileSafely, ATargetThatIsNoFileIsRefusedSayingWhatItIs) {
  TempFolder folder;
  ASSERT_EQ(::mkfifo(folder.File("pipe").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/null", folder.File("device").c_str()), 0);
  std::filesystem::create_directory(folder.Path() / "folder");
  const std::pair<const char*, const char*> cases[] = {
      {"pipe", "named pipe"}, {"device", "device"}, {"folder", "folder"}};
  for (const auto& [name, what] : cases) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(WriteFileSafely(folder.File(name), kNew));
    EXPECT_NE(LastFileFailure().Reason().find(what), std::string::npos) << LastFileFailure().Reason();
  }
  EXPECT_EQ(Names(folder.Path()), (std::set<std::string>{"device", "folder", "pipe"}));
  EXPECT_TRUE(std::filesystem::is_fifo(folder.File("pipe")));
}

TEST(FileReader, ReadsTheFileInStepsThroughOneHandleAndRefusesWhatIsNoFile) {
  TempFolder folder;
  const std::string path = folder.File("表ソ.bin");
  std::vector<std::uint8_t> content(3000);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i * 7 + 1);
  ASSERT_TRUE(WriteFileSafely(path, content));
  // Any split into steps gives the file's bytes in order, and nothing past its end.
  for (const std::uint64_t first : {0u, 1u, 8u, 2999u, 3000u, 5000u}) {
    SCOPED_TRACE(first);
    FileReader file(path);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Size(), 3000u);
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(file.ReadMore(bytes, first));
    ASSERT_TRUE(file.ReadMore(bytes, 4000));
    EXPECT_EQ(bytes, content);
  }
  for (const std::string& name : {folder.Path().string(), folder.File("none")}) {
    FileReader file(name);
    EXPECT_FALSE(file.IsOpen());
    std::vector<std::uint8_t> bytes = {1, 2};
    EXPECT_FALSE(file.ReadMore(bytes, 10));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 2}));
  }
}

}  // namespace
}  // namespace zudizar
