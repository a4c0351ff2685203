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

// A pictures folder and a program folder beside it: the program folder's
// recovery/ keeps the old bytes of a file written in place.
struct Layout {
  TempFolder root;
  std::filesystem::path pictures = root.Path() / "pictures";
  std::filesystem::path recovery = root.Path() / "program" / "recovery";
  Layout() {
    std::filesystem::create_directories(pictures);
    std::filesystem::create_directories(root.Path() / "program");
    SetProgramFile((root.Path() / "program" / "zudizar").string());
  }
  std::string Picture(const std::string& name) const { return (pictures / std::filesystem::u8path(name)).string(); }
  // The kept copies in recovery/.
  std::set<std::string> Kept() const {
    std::set<std::string> kept;
    if (std::filesystem::exists(recovery))
      for (const auto& name : Names(recovery))
        if (name.rfind("kept-", 0) == 0) kept.insert(name);
    return kept;
  }
};

std::string Pattern(std::size_t size, char seed) {
  std::string text(size, '\0');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>(seed + static_cast<char>(i % 23));
  return text;
}

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// Fails one chosen call on the temporary (or on the folder), as a full disk, a
// failing device or a hostile folder would.
enum class Fault { None, ShortWrite, Write, Fsync, Close, Rename, FolderFsync, Access, CreateInFolder, PlantLink };

class FaultyFileSystem : public FileSystem {
 public:
  Fault fault = Fault::None;
  int error = 0;
  std::string victim;  // where a planted link points

  int Open(const char* path, int flags, mode_t mode) override {
    const bool temporary = CreatesTemporary(flags);
    const bool creating = temporary || (flags & O_CREAT);
    if (creating && fault == Fault::CreateInFolder && InFolder(path)) return Refuse();
    if (temporary && fault == Fault::PlantLink && (flags & O_EXCL)) Plant(path);
    const int fd = FileSystem::Open(path, flags, mode);
    if (temporary) temporaryFd_ = fd;
    if ((flags & O_DIRECTORY) && !temporary) folderFd_ = fd;
    return fd;
  }
  int Linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) override {
    if (fault == Fault::PlantLink) Plant(to);
    return FileSystem::Linkat(fromFolder, from, toFolder, to, flags);
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
  std::string folder;  // the target's folder, for CreateInFolder

 private:
  bool InFolder(const std::filesystem::path& path) const { return path == folder || path.parent_path() == folder; }
  void Plant(const char* path) {
    if (planted_) return;
    planted_ = true;
    EXPECT_EQ(::symlink(victim.c_str(), path), 0);
  }
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
    std::filesystem::create_directory(folder.Path() / "program");
    SetProgramFile(folder.File("program/zudizar"));
    const std::string target = folder.File("絵.bmp");
    const std::string victim = folder.File("victim");
    Put(target, kOldText);
    Put(victim, "precious");
    const auto before = Names(folder.Path());
    FaultyFileSystem faulty;
    faulty.fault = c.fault;
    faulty.error = c.error;
    faulty.victim = victim;
    faulty.folder = folder.Path().string();
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
  Layout layout;
  const std::string readOnly = layout.Picture("ro.bmp");
  Put(readOnly, kOldText);
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  EXPECT_FALSE(WriteFileSafely(readOnly, kNew));
  EXPECT_EQ(LastFileFailure().error, EACCES);
  EXPECT_EQ(LastFileFailure().path, readOnly);
  EXPECT_TRUE(Holds(readOnly, kOldText));

  const std::string inLocked = layout.Picture("w.bmp");
  const std::string writeOnly = layout.Picture("wo.bmp");
  Put(inLocked, kOldText);
  Put(writeOnly, kOldText);
  ASSERT_EQ(::chmod(writeOnly.c_str(), 0200), 0);
  ASSERT_EQ(::chmod(layout.pictures.c_str(), 0555), 0);
  EXPECT_TRUE(WriteFileSafely(inLocked, kNew)) << LastFileFailure().Reason();
  EXPECT_FALSE(WriteFileSafely(layout.Picture("new.bmp"), kNew));
  // Written in place, a file whose old bytes cannot be read cannot be kept.
  EXPECT_FALSE(WriteFileSafely(writeOnly, kNew));
  EXPECT_NE(LastFileFailure().Reason().find("cannot be read"), std::string::npos) << LastFileFailure().Reason();
  ::chmod(layout.pictures.c_str(), 0755);
  ::chmod(writeOnly.c_str(), 0600);
  EXPECT_TRUE(Holds(inLocked, kNewText));
  EXPECT_TRUE(Holds(writeOnly, kOldText));
  EXPECT_EQ(Names(layout.pictures), (std::set<std::string>{"ro.bmp", "w.bmp", "wo.bmp"}));
  EXPECT_TRUE(layout.Kept().empty());
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

// Fails one call on the file written in place (once, as a passing fault
// would), and refuses new files where the folder is to look unwritable.
enum class InPlaceFault {
  None,
  NoFallocate,         // a file system without reservations
  NoFallocateAndFull,  // ... whose free space is too small
  NoFallocateFillsUp,  // ... that fills up part-way
  FallocateFull,       // the reservation finds the disk full
  WriteBreaks,         // a write fails part-way
  DeviceDies,          // every write after the first part fails
  Fsync,               // the sync fails
  Ftruncate,           // the length cannot be set
  NoCopyAnywhere,      // no file can be made to keep the old bytes
};

class InPlaceFileSystem : public FileSystem {
 public:
  InPlaceFault fault = InPlaceFault::None;
  int error = 0;
  std::string target;
  std::filesystem::path lockedFolder;  // nothing may be created here

  int Open(const char* path, int flags, mode_t mode) override {
    const bool creating = CreatesTemporary(flags) || (flags & O_CREAT);
    const std::filesystem::path name(path);
    if (creating && (fault == InPlaceFault::NoCopyAnywhere || name == lockedFolder ||
                     (!lockedFolder.empty() && name.parent_path() == lockedFolder))) {
      errno = EACCES;
      return -1;
    }
    const int fd = FileSystem::Open(path, flags, mode);
    if (path == target && !creating && (flags & O_ACCMODE) != O_RDONLY) targetFd_ = fd;
    return fd;
  }
  ssize_t Write(int fd, const void* data, std::size_t count) override {
    const bool breaks = fault == InPlaceFault::WriteBreaks || fault == InPlaceFault::NoFallocateFillsUp ||
                        fault == InPlaceFault::DeviceDies;
    if (fd == targetFd_ && breaks && ++writes_ > 1 && (fault == InPlaceFault::DeviceDies || Once())) return Refuse();
    if (fd == targetFd_ && breaks && writes_ == 1) count = std::min<std::size_t>(count, 5000);
    return FileSystem::Write(fd, data, count);
  }
  int Fallocate(int fd, int mode, off_t offset, off_t length) override {
    if (fd == targetFd_ && (fault == InPlaceFault::NoFallocate || fault == InPlaceFault::NoFallocateAndFull ||
                            fault == InPlaceFault::NoFallocateFillsUp)) {
      errno = EOPNOTSUPP;
      return -1;
    }
    if (fd == targetFd_ && fault == InPlaceFault::FallocateFull && Once()) return Refuse();
    return FileSystem::Fallocate(fd, mode, offset, length);
  }
  int Fstatvfs(int fd, struct statvfs* info) override {
    const int result = FileSystem::Fstatvfs(fd, info);
    if (fd == targetFd_ && fault == InPlaceFault::NoFallocateAndFull) info->f_bavail = info->f_bfree = 0;
    return result;
  }
  int Fsync(int fd) override {
    return fd == targetFd_ && fault == InPlaceFault::Fsync && Once() ? Refuse() : FileSystem::Fsync(fd);
  }
  int Ftruncate(int fd, off_t length) override {
    return fd == targetFd_ && fault == InPlaceFault::Ftruncate && Once() ? Refuse() : FileSystem::Ftruncate(fd, length);
  }

 private:
  bool Once() { return !failed_ && (failed_ = true); }
  int Refuse() {
    errno = error;
    return -1;
  }
  int targetFd_ = -2;
  int writes_ = 0;
  bool failed_ = false;
};

TEST(WriteFileSafely, EveryFaultOfAnInPlaceSaveKeepsTheOldBytesExactly) {
  struct Case {
    const char* what;
    InPlaceFault fault;
    int error;
    bool saved;           // when the new bytes are longer than the old
    bool savedShrinking;  // when they are shorter
  };
  const Case cases[] = {
      {"no reservations: written", InPlaceFault::NoFallocate, 0, true, true},
      {"no reservations, too little free space", InPlaceFault::NoFallocateAndFull, ENOSPC, false, true},
      {"no reservations, the disk fills part-way", InPlaceFault::NoFallocateFillsUp, ENOSPC, false, false},
      {"the reservation finds the disk full", InPlaceFault::FallocateFull, ENOSPC, false, false},
      {"device error part-way", InPlaceFault::WriteBreaks, EIO, false, false},
      {"device error on fsync", InPlaceFault::Fsync, EIO, false, false},
      {"the length cannot be set", InPlaceFault::Ftruncate, EIO, false, false},
      {"no copy of the old bytes can be kept", InPlaceFault::NoCopyAnywhere, EACCES, false, false},
  };
  const std::string small = Pattern(9000, 'a'), large = Pattern(100000, 'A');
  for (const Case& c : cases) {
    for (const bool linked : {true, false}) {
      for (const bool growing : {true, false}) {
        SCOPED_TRACE(std::string(c.what) + (linked ? ", hard-linked" : ", in a folder the user may not write") +
                     (growing ? ", growing" : ", shrinking"));
        Layout layout;
        const std::string target = layout.Picture("絵.bmp"), second = layout.Picture("second.bmp");
        const std::string& oldText = growing ? small : large;
        const std::string& newText = growing ? large : small;
        Put(target, oldText);
        if (linked) {
          ASSERT_EQ(::link(target.c_str(), second.c_str()), 0);
        }
        const auto before = Names(layout.pictures);
        InPlaceFileSystem faulty;
        faulty.fault = c.fault;
        faulty.error = c.error;
        faulty.target = target;
        if (!linked) faulty.lockedFolder = layout.pictures;
        bool saved;
        {
          ScopedFileSystem use(faulty);
          saved = WriteFileSafely(target, Bytes(newText));
        }
        const bool expected = growing ? c.saved : c.savedShrinking;
        EXPECT_EQ(saved, expected) << LastFileFailure().Reason();
        EXPECT_TRUE(Holds(target, expected ? newText : oldText));
        if (linked) {
          EXPECT_EQ(std::filesystem::hard_link_count(target), 2u);
          EXPECT_TRUE(Holds(second, expected ? newText : oldText));
        }
        if (!expected) {
          EXPECT_EQ(LastFileFailure().error, c.error) << LastFileFailure().Reason();
          EXPECT_FALSE(LastFileFailure().Reason().empty());
        }
        EXPECT_EQ(Names(layout.pictures), before);
        EXPECT_TRUE(layout.Kept().empty());
      }
    }
  }
}

TEST(WriteFileSafely, OldBytesThatCannotBePutBackWaitInTheKeptCopyForTheNextStartOrSave) {
  enum Next { Start, Save, StartAfterTheFileWentAway };
  for (const Next next : {Start, Save, StartAfterTheFileWentAway}) {
    SCOPED_TRACE(next);
    Layout layout;
    const std::string target = layout.Picture("a.bmp"), second = layout.Picture("b.bmp");
    Put(target, kOldText);
    ASSERT_EQ(::link(target.c_str(), second.c_str()), 0);
    InPlaceFileSystem dying;
    dying.fault = InPlaceFault::DeviceDies;
    dying.error = EIO;
    dying.target = target;
    {
      ScopedFileSystem use(dying);
      EXPECT_FALSE(WriteFileSafely(target, kNew));
    }
    const auto kept = layout.Kept();
    ASSERT_EQ(kept.size(), 1u);
    // The message says where the old bytes are.
    EXPECT_NE(LastFileFailure().Reason().find((layout.recovery / *kept.begin()).string()), std::string::npos)
        << LastFileFailure().Reason();
    if (next == Start) {
      EXPECT_EQ(RestoreKeptCopies(), 1);
    } else if (next == Save) {
      // A save that fails before writing still puts the old bytes back first.
      InPlaceFileSystem full;
      full.fault = InPlaceFault::NoFallocateAndFull;
      full.error = ENOSPC;
      full.target = target;
      ScopedFileSystem use(full);
      EXPECT_FALSE(WriteFileSafely(target, kNew));
    } else {
      // Nothing goes into whatever file takes the name: the copy is set aside.
      ASSERT_EQ(::unlink(target.c_str()), 0);
      Put(target, "another");
      EXPECT_EQ(RestoreKeptCopies(), 0);
      EXPECT_TRUE(Holds(target, "another"));
      auto names = Names(layout.recovery);
      ASSERT_EQ(names.size(), 1u);
      // The old bytes alone, under the file's own name, for any program.
      const std::string orphan = *names.begin();
      EXPECT_EQ(orphan.rfind("orphan-", 0), 0u);
      EXPECT_EQ(orphan.substr(orphan.size() - 6), "-a.bmp");
      EXPECT_TRUE(Holds((layout.recovery / orphan).string(), kOldText));
      EXPECT_EQ(OrphanedKeptCopies(), std::vector<std::string>{orphan});
      EXPECT_TRUE(layout.Kept().empty());
      continue;
    }
    EXPECT_TRUE(Holds(target, kOldText));
    EXPECT_TRUE(Holds(second, kOldText));
    EXPECT_TRUE(layout.Kept().empty());
  }
}

// Stops the process by a signal at one step of writing the temporary or the
// file itself.
class SignalledFileSystem : public FileSystem {
 public:
  int signal = SIGTERM;
  bool atSync = false;  // at the sync after the bytes are written, else part-way through them
  std::string target;
  int Open(const char* path, int flags, mode_t mode) override {
    const int fd = FileSystem::Open(path, flags, mode);
    if (CreatesTemporary(flags) || (path == target && (flags & O_ACCMODE) != O_RDONLY && !(flags & O_CREAT)))
      victim_ = fd;
    return fd;
  }
  ssize_t Write(int fd, const void* data, std::size_t count) override {
    if (fd != victim_ || atSync) return FileSystem::Write(fd, data, count);
    FileSystem::Write(fd, data, count / 2);
    ::raise(signal);
    return -1;
  }
  int Fsync(int fd) override {
    if (fd == victim_ && atSync) ::raise(signal);
    return FileSystem::Fsync(fd);
  }

 private:
  int victim_ = -2;
};

TEST(WriteFileSafely, ASignalDuringASaveLeavesTheOldFileAndNoTemporary) {
  // Forked without a new start, so the child saves into this test's folder.
  GTEST_FLAG_SET(death_test_style, "fast");
  struct Case {
    const char* what;
    int signal;
    bool atSync;
    bool linked;
  };
  const Case cases[] = {
      {"SIGTERM while the temporary is written", SIGTERM, false, false},
      {"SIGINT while the file is written in place", SIGINT, false, true},
      {"SIGINT after the bytes are written in place, before they are synced", SIGINT, true, true},
      {"SIGHUP while the file is written in place", SIGHUP, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Layout layout;
    const std::string target = layout.Picture("a.bmp"), second = layout.Picture("b.bmp");
    Put(target, Pattern(120000, 'o'));
    if (c.linked) {
      ASSERT_EQ(::link(target.c_str(), second.c_str()), 0);
    }
    const auto before = Names(layout.pictures);
    EXPECT_EXIT(
        {
          RemoveTemporaryOnSignals();
          SignalledFileSystem signalled;
          signalled.signal = c.signal;
          signalled.atSync = c.atSync;
          signalled.target = target;
          ScopedFileSystem use(signalled);
          WriteFileSafely(target, kNew);
        },
        ::testing::KilledBySignal(c.signal), "");
    EXPECT_EQ(Names(layout.pictures), before);
    EXPECT_TRUE(Holds(target, Pattern(120000, 'o')));
    if (c.linked) {
      EXPECT_TRUE(Holds(second, Pattern(120000, 'o')));
    }
    EXPECT_TRUE(layout.Kept().empty());
  }
}

// A slow device that loses nothing a kill leaves behind: writes go in small
// pieces, and syncs (which only matter when the power fails) are skipped, so
// that most of a save's time is spent changing files. Optionally it keeps no
// reservations (ext2 with indirect blocks, NFSv3, many FUSE mounts).
class SlowWrites : public FileSystem {
 public:
  bool reserves = true;
  ssize_t Write(int fd, const void* data, std::size_t count) override {
    return FileSystem::Write(fd, data, std::min<std::size_t>(count, 4096));
  }
  int Fsync(int) override { return 0; }
  int Fallocate(int fd, int mode, off_t offset, off_t length) override {
    if (reserves) return FileSystem::Fallocate(fd, mode, offset, length);
    errno = EOPNOTSUPP;
    return -1;
  }
};

TEST(WriteFileSafely, AKillAtAnyMomentOfAnInPlaceSaveLeavesTheOldOrTheNewBytes) {
  Layout layout;
  const std::string target = layout.Picture("絵.bmp"), second = layout.Picture("link.bmp");
  const std::string a = Pattern(200 * 1024, 'a'), b = Pattern(70 * 1024, 'B');
  Put(target, a);
  ASSERT_EQ(::link(target.c_str(), second.c_str()), 0);
  std::mt19937 random(20240607);
  int mixed = 0;  // kills that left neither, for the recovery to mend
  for (int trial = 0; trial < 100; ++trial) {
    // Both kinds of file system meet both kinds of recovery.
    const bool reserves = (trial / 2) % 2 == 0;
    SCOPED_TRACE(std::to_string(trial) + (reserves ? "" : ", no reservations"));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SlowWrites slow;
      slow.reserves = reserves;
      ScopedFileSystem use(slow);
      for (int n = 0; n < 100000; ++n) WriteFileSafely(target, Bytes(n % 2 ? a : b));
      ::_exit(0);
    }
    ::usleep(std::uniform_int_distribution<useconds_t>(300, 5000)(random));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string left = Slurp(target);
    mixed += left != a && left != b;
    if (trial % 2) {
      RestoreKeptCopies();  // the next start
    } else {
      // The next save, failing before it writes, restores first.
      InPlaceFileSystem failing;
      failing.fault = InPlaceFault::FallocateFull;
      failing.error = ENOSPC;
      failing.target = target;
      ScopedFileSystem use(failing);
      EXPECT_FALSE(WriteFileSafely(target, Bytes(b)));
    }
    const std::string held = Slurp(target);
    EXPECT_TRUE(held == a || held == b) << held.size() << " bytes";
    EXPECT_EQ(Slurp(second), held);
    EXPECT_EQ(Names(layout.pictures), (std::set<std::string>{"link.bmp", "絵.bmp"}));
    EXPECT_TRUE(layout.Kept().empty());
  }
  RecordProperty("kills that left neither before the recovery", mixed);
}

// Kills the process in the middle of writing the temporary; optionally a file
// system without unnamed temporaries.
class KillingFileSystem : public FileSystem {
 public:
  bool unnamed = true;
  int Open(const char* path, int flags, mode_t mode) override {
    if (!unnamed && (flags & O_TMPFILE) == O_TMPFILE) {
      errno = EOPNOTSUPP;
      return -1;
    }
    const int fd = FileSystem::Open(path, flags, mode);
    if (CreatesTemporary(flags)) temporaryFd_ = fd;
    return fd;
  }
  ssize_t Write(int fd, const void* data, std::size_t count) override {
    if (fd == temporaryFd_) {
      FileSystem::Write(fd, data, count / 2);
      ::raise(SIGKILL);
    }
    return FileSystem::Write(fd, data, count);
  }

 private:
  int temporaryFd_ = -2;
};

// A file put down without a save, so that the save after it is this
// process's first look through the folder.
void PutPlainly(const std::string& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(file);
  ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), file), text.size());
  ASSERT_EQ(std::fclose(file), 0);
}

TEST(WriteFileSafely, AKillLeavesNoTemporaryOrOneTheNextSaveRemovesOnceADayOld) {
  // Forked without a new start, so the child saves into this test's folder.
  GTEST_FLAG_SET(death_test_style, "fast");
  for (const bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "unnamed temporaries" : "named temporaries");
    TempFolder folder;
    const std::string target = folder.File("a.bmp");
    PutPlainly(target, kOldText);
    EXPECT_EXIT(
        {
          KillingFileSystem killing;
          killing.unnamed = unnamed;
          ScopedFileSystem use(killing);
          WriteFileSafely(target, kNew);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    EXPECT_TRUE(Holds(target, kOldText));
    auto left = Names(folder.Path());
    left.erase("a.bmp");
    if (unnamed) {
      EXPECT_TRUE(left.empty());
      continue;
    }
    ASSERT_EQ(left.size(), 1u);
    const std::string stale = *left.begin();
    EXPECT_EQ(stale.size(), 10u);
    // Only the program's own name pattern, and only a day old, is taken.
    for (const char* name : {".zdzfresh1", ".zdzold", "old.zdz"}) PutPlainly(folder.File(name), "x");
    const timespec dayAndAHalfAgo[2] = {{::time(nullptr) - 36 * 3600, 0}, {::time(nullptr) - 36 * 3600, 0}};
    for (const std::string& name : {stale, std::string(".zdzold"), std::string("old.zdz")})
      ASSERT_EQ(::utimensat(AT_FDCWD, folder.File(name).c_str(), dayAndAHalfAgo, 0), 0);
    Put(folder.File("other.bmp"), kOldText);
    EXPECT_EQ(Names(folder.Path()), (std::set<std::string>{".zdzfresh1", ".zdzold", "a.bmp", "old.zdz", "other.bmp"}));
  }
}

TEST(WriteFileSafely, AWritePastTheFileSizeLimitFailsWithItsReasonAndKeepsTheOldFile) {
  for (const bool linked : {false, true}) {
    SCOPED_TRACE(linked ? "written in place" : "replaced");
    Layout layout;
    const std::string target = layout.Picture("a.bmp");
    Put(target, kOldText);
    if (linked) {
      ASSERT_EQ(::link(target.c_str(), layout.Picture("b.bmp").c_str()), 0);
    }
    const auto before = Names(layout.pictures);
    int report[2] = {-1, -1};
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      IgnoreFileSizeSignal();
      const rlimit limit{4096, 4096};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      FileFailure failure;
      const int result[2] = {WriteFileSafely(target, kNew, failure) ? 1 : 0, failure.error};
      ::_exit(::write(channel[1], result, sizeof result) == sizeof result ? 0 : 3);
    }
    ::close(channel[1]);
    EXPECT_EQ(::read(channel[0], report, sizeof report), static_cast<ssize_t>(sizeof report));
    ::close(channel[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(report[0], 0);
    EXPECT_EQ(report[1], EFBIG);
    EXPECT_TRUE(Holds(target, kOldText));
    EXPECT_EQ(Names(layout.pictures), before);
    EXPECT_TRUE(layout.Kept().empty());
  }
}

// The ACL: the owner reads and writes, user 12345, the group and the mask read.
std::string AccessControlList() {
  std::string acl;
  const auto add32 = [&](std::uint32_t v) { acl.append(reinterpret_cast<const char*>(&v), 4); };
  const auto entry = [&](std::uint16_t tag, std::uint16_t permissions, std::uint32_t id) {
    acl.append(reinterpret_cast<const char*>(&tag), 2);
    acl.append(reinterpret_cast<const char*>(&permissions), 2);
    add32(id);
  };
  add32(2);
  entry(0x01, 6, ~0u);
  entry(0x02, 4, 12345);
  entry(0x04, 4, ~0u);
  entry(0x10, 4, ~0u);
  entry(0x20, 0, ~0u);
  return acl;
}

std::string Attribute(const std::string& path, const char* name) {
  std::string value(4096, '\0');
  const ssize_t n = ::getxattr(path.c_str(), name, value.data(), value.size());
  value.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
  return value;
}

// Refuses to give the temporary the old owner, or an attribute.
class NoCarryingOver : public FileSystem {
 public:
  bool owner = false;
  int Fchown(int fd, uid_t uid, gid_t gid) override {
    if (!owner) return FileSystem::Fchown(fd, uid, gid);
    errno = EPERM;
    return -1;
  }
  int Fsetxattr(int fd, const char* name, const void* value, std::size_t size, int flags) override {
    if (owner) return FileSystem::Fsetxattr(fd, name, value, size, flags);
    errno = EPERM;
    return -1;
  }
};

TEST(WriteFileSafely, KeepsTheAclAndExtendedAttributesOrWritesInPlace) {
  const std::string acl = AccessControlList();
  for (const int refused : {0, 1, 2}) {
    SCOPED_TRACE(refused == 0 ? "carried over" : refused == 1 ? "the owner refused" : "an attribute refused");
    Layout layout;
    const std::string target = layout.Picture("a.bmp");
    Put(target, kOldText);
    if (::setxattr(target.c_str(), "user.test", "value", 5, 0) != 0)
      GTEST_SKIP() << "the file system refuses user attributes";
    if (::setxattr(target.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) != 0)
      GTEST_SKIP() << "the file system refuses ACLs";
    struct stat before {};
    ASSERT_EQ(::stat(target.c_str(), &before), 0);
    NoCarryingOver refusing;
    refusing.owner = refused == 1;
    {
      std::optional<ScopedFileSystem> use;
      if (refused) use.emplace(refusing);
      ASSERT_TRUE(WriteFileSafely(target, kNew)) << LastFileFailure().Reason();
    }
    struct stat after {};
    ASSERT_EQ(::stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino == before.st_ino, refused != 0);  // replaced only when everything was carried over
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_TRUE(Holds(target, kNewText));
    EXPECT_EQ(Attribute(target, "user.test"), "value");
    EXPECT_EQ(Attribute(target, "system.posix_acl_access"), acl);
    EXPECT_TRUE(layout.Kept().empty());
  }
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
