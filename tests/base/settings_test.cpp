#include "base/settings.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>

#include "base/file_system.h"

#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::Slurp;

TEST(SettingsSectionName, KeepsTheLastLetterOfTheExtension) {
  EXPECT_EQ(SettingsSectionName("PASTE.EXE"), "PASTEE");
  EXPECT_EQ(SettingsSectionName("zudizar"), "zudizar");
  EXPECT_EQ(SettingsSectionName("A.B.C"), "AC");
  EXPECT_EQ(SettingsSectionName("X."), "X.");
  EXPECT_EQ(SettingsSectionName("X.Y"), "XY");
}

TEST(ProfileText, ReadsCaseInsensitivelyAndCutsLongValues) {
  const std::string text =
      "; comment\r\n[other]\r\nkey=wrong\r\n[ PASTEE ]\r\n  Key  =  value one  \r\nq=\"quoted\"\r\n";
  EXPECT_EQ(ProfileGetString(text, "pastee", "KEY"), "value one");
  EXPECT_EQ(ProfileGetString(text, "PASTEE", "q"), "quoted");
  EXPECT_EQ(ProfileGetString(text, "PASTEE", "missing"), "");
  EXPECT_EQ(ProfileGetString(text, "nosection", "key"), "");
  const std::string long_value(2000, 'v');
  const std::string withLong = "[s]\nk=" + long_value + "\n";
  EXPECT_EQ(ProfileGetString(withLong, "s", "k"), std::string(1023, 'v'));
  // Characters, not bytes, are counted: a Japanese path is not cut in the middle of one.
  std::string japanese;
  for (int i = 0; i < 1100; ++i) japanese += "表";
  const std::string cut = ProfileGetString("[s]\nk=" + japanese + "\n", "s", "k");
  EXPECT_EQ(cut.size(), 1023u * 3);
}

TEST(ProfileText, WritingKeepsEveryOtherLine) {
  const std::string text = "top line\n[a]\nx=1\n\n[zudizar]\nCutLeft=1\nother=keep\n\n[b]\ny=2\n";
  const std::string replaced = ProfileSetString(text, "ZUDIZAR", "cutleft", "99");
  EXPECT_EQ(replaced, "top line\n[a]\nx=1\n\n[zudizar]\ncutleft=99\nother=keep\n\n[b]\ny=2\n");
  const std::string added = ProfileSetString(text, "zudizar", "CutTop", "7");
  EXPECT_EQ(added, "top line\n[a]\nx=1\n\n[zudizar]\nCutLeft=1\nother=keep\nCutTop=7\n\n[b]\ny=2\n");
  const std::string newSection = ProfileSetString("[a]\nx=1", "zudizar", "k", "v");
  EXPECT_EQ(newSection, "[a]\nx=1\n[zudizar]\nk=v\n");
  EXPECT_EQ(ProfileSetString("", "s", "k", "v"), "[s]\nk=v\n");
  // Windows line ends stay Windows line ends.
  EXPECT_EQ(ProfileSetString("[s]\r\nk=1\r\n", "s", "j", "2"), "[s]\r\nk=1\r\nj=2\r\n");
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFile(folder.File("PASTE.EXE"));
    FixSettingsLocation();
  }
  testing::TempFolder folder;
};

TEST_F(SettingsFileTest, FirstWriteCreatesFileAndSection) {
  EXPECT_EQ(SettingsPath(), folder.File("TAVOINI.INI"));
  EXPECT_EQ(SettingsSection(), "PASTEE");
  EXPECT_EQ(ReadSetting("CutLeft"), "");
  EXPECT_EQ(ReadIntSetting("CutLeft", 240), 240);
  WriteSetting("CutLeft", "12");
  EXPECT_EQ(Slurp(SettingsPath()), "[PASTEE]\nCutLeft=12\n");
  EXPECT_EQ(ReadIntSetting("cutleft", 240), 12);
  WriteSetting("Fname", "/tmp/表.BMP");
  EXPECT_EQ(ReadSetting("FNAME"), "/tmp/表.BMP");
}

TEST_F(SettingsFileTest, NonNumericValuesKeepTheDesignValue) {
  WriteSetting("A", "abc");
  WriteSetting("B", "12x");
  WriteSetting("C", "-5");
  WriteSetting("D", "99999999999");
  EXPECT_EQ(ReadIntSetting("A", 7), 7);
  EXPECT_EQ(ReadIntSetting("B", 7), 7);
  EXPECT_EQ(ReadIntSetting("C", 7), -5);
  EXPECT_EQ(ReadIntSetting("D", 7), 7);
}

TEST_F(SettingsFileTest, UnwritableFileRaisesTheDefinedMessage) {
  std::filesystem::create_directories(SettingsPath());  // a folder where the file should be
  try {
    WriteSetting("CutLeft", "1");
    FAIL() << "no error raised";
  } catch (const SettingsWriteError& error) {
    EXPECT_EQ(std::string(error.what()), SettingsPath() + " に書き込めません");
  }
}

TEST(ProfileText, SkipsAndKeepsAByteOrderMark) {
  const std::string text = "\xEF\xBB\xBF[s]\nINITBMP=a.bmp\n";
  EXPECT_EQ(ProfileGetString(text, "s", "INITBMP"), "a.bmp");
  EXPECT_EQ(ProfileSetString(text, "s", "k", "v"), "\xEF\xBB\xBF[s]\nINITBMP=a.bmp\nk=v\n");
}

// Fails reading or opening the settings file.
class UnreadableFileSystem : public FileSystem {
 public:
  int openError = 0, readError = 0;
  int Open(const char* path, int flags, mode_t mode) override {
    if (openError && !(flags & O_EXCL)) {
      errno = openError;
      return -1;
    }
    return FileSystem::Open(path, flags, mode);
  }
  ssize_t Read(int fd, void* data, std::size_t count) override {
    if (readError) {
      errno = readError;
      return -1;
    }
    return FileSystem::Read(fd, data, count);
  }
};

TEST_F(SettingsFileTest, NothingReplacesAFileThatCannotBeReadOrAValueWithALineBreak) {
  const std::string original = "[PASTEE]\nINITBMP=start.bmp\nCutLeft=5\n";
  { std::ofstream(SettingsPath(), std::ios::binary) << original; }
  const std::string message = SettingsPath() + " に書き込めません";
  const auto refused = [&](const std::string& key, const std::string& value) {
    try {
      WriteSetting(key, value);
    } catch (const SettingsWriteError& error) {
      return std::string(error.what()) == message;
    }
    return false;
  };
  for (const auto& [openError, readError] : {std::pair{EACCES, 0}, std::pair{0, EIO}}) {
    UnreadableFileSystem unreadable;
    unreadable.openError = openError;
    unreadable.readError = readError;
    ScopedFileSystem use(unreadable);
    EXPECT_TRUE(refused("CutTop", "1")) << openError << " " << readError;
  }
  EXPECT_TRUE(refused("Fname", "/tmp/a\n[PASTEE]\nINITBMP=evil.bmp"));
  EXPECT_TRUE(refused("Fname", "/tmp/a\rb"));
  EXPECT_EQ(Slurp(SettingsPath()), original);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
  if (::geteuid() != 0) {  // root reads any file
    ::chmod(SettingsPath().c_str(), 0200);
    EXPECT_TRUE(refused("CutTop", "1"));
    ::chmod(SettingsPath().c_str(), 0600);
    EXPECT_EQ(Slurp(SettingsPath()), original);
  }
}

TEST_F(SettingsFileTest, TwoRunningCopiesKeepEachOthersKeys) {
  WriteSetting("INITBMP", "start.bmp");
  constexpr int kKeys = 40;
  pid_t children[2];
  for (int copy = 0; copy < 2; ++copy) {
    children[copy] = ::fork();
    ASSERT_GE(children[copy], 0);
    if (children[copy] == 0) {
      int status = 0;
      for (int k = 0; k < kKeys; ++k) {
        try {
          WriteSetting("Copy" + std::to_string(copy) + "Key" + std::to_string(k), std::to_string(k));
        } catch (const SettingsWriteError&) {
          status = 1;
        }
      }
      ::_exit(status);
    }
  }
  for (const pid_t child : children) {
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  FixSettingsLocation();  // the next start sees the other copies' keys
  for (int copy = 0; copy < 2; ++copy)
    for (int k = 0; k < kKeys; ++k)
      EXPECT_EQ(ReadSetting("Copy" + std::to_string(copy) + "Key" + std::to_string(k)), std::to_string(k));
  EXPECT_EQ(ReadSetting("INITBMP"), "start.bmp");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}

// Ends the test program when what it watches does not finish in time, so
// that a read that hangs fails the run instead of blocking it.
class Watchdog {
 public:
  explicit Watchdog(std::string what) : what_(std::move(what)), thread_([this] { Watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    finished_.notify_one();
    thread_.join();
  }

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!finished_.wait_for(lock, std::chrono::seconds(60), [this] { return done_; })) {
      std::fprintf(stderr, "%s did not finish within a minute\n", what_.c_str());
      std::_Exit(1);
    }
  }
  std::string what_;
  std::mutex mutex_;
  std::condition_variable finished_;
  bool done_ = false;
  std::thread thread_;
};

bool RefusedWithTheMessage(const std::string& key, const std::string& value) {
  try {
    WriteSetting(key, value);
  } catch (const SettingsWriteError& error) {
    return std::string(error.what()) == SettingsPath() + " に書き込めません";
  }
  return false;
}

TEST_F(SettingsFileTest, ASettingsFileThatIsNoPlainFileOrTooLargeGivesTheDefaultsAndTheMessage) {
  const std::string bigText = "[PASTEE]\nCutLeft=5\n" + std::string(20 << 20, ';') + "\n";
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"a named pipe", [] { ASSERT_EQ(::mkfifo(SettingsPath().c_str(), 0600), 0); }},
      {"a link to /dev/zero", [] { ASSERT_EQ(::symlink("/dev/zero", SettingsPath().c_str()), 0); }},
      {"a 20 MiB file", [&] { std::ofstream(SettingsPath(), std::ios::binary) << bigText; }},
  };
  for (const auto& [what, make] : cases) {
    SCOPED_TRACE(what);
    std::filesystem::remove(SettingsPath());
    make();
    struct stat before {};
    ASSERT_EQ(::lstat(SettingsPath().c_str(), &before), 0);
    FixSettingsLocation();
    Watchdog watchdog(what);
    EXPECT_EQ(ReadIntSetting("CutLeft", 240), 240);
    EXPECT_TRUE(RefusedWithTheMessage("CutLeft", "1"));
    struct stat after {};
    ASSERT_EQ(::lstat(SettingsPath().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_size, before.st_size);
  }
  // What the program writes, it reads back: a value that would make the file
  // larger than a read takes is refused.
  std::filesystem::remove(SettingsPath());
  WriteSetting("CutLeft", "5");
  EXPECT_TRUE(RefusedWithTheMessage("Big", std::string(16 << 20, 'x')));
  EXPECT_EQ(Slurp(SettingsPath()), "[PASTEE]\nCutLeft=5\n");
}

// Counts the openings of one file.
class CountingFileSystem : public FileSystem {
 public:
  std::string path;
  int opens = 0;
  int Open(const char* name, int flags, mode_t mode) override {
    opens += name == path;
    return FileSystem::Open(name, flags, mode);
  }
};

TEST_F(SettingsFileTest, AStartReadsTheFileOnceAndThenSeesItsOwnWrites) {
  std::string text = "[PASTEE]\n";
  for (int k = 0; k < 40; ++k) text += "Key" + std::to_string(k) + "=" + std::to_string(k) + "\n";
  text += "[Edit]\nUndoMemoryMB=64\n";
  { std::ofstream(SettingsPath(), std::ios::binary) << text; }
  FixSettingsLocation();
  CountingFileSystem counting;
  counting.path = SettingsPath();
  ScopedFileSystem use(counting);
  for (int k = 0; k < 40; ++k) EXPECT_EQ(ReadIntSetting("Key" + std::to_string(k), -1), k);
  EXPECT_EQ(ReadIntSettingIn("Edit", "UndoMemoryMB", 0), 64);
  EXPECT_EQ(ReadSetting("Missing"), "");
  EXPECT_EQ(counting.opens, 1);
  WriteSetting("Key3", "33");
  const int afterWrite = counting.opens;
  EXPECT_EQ(ReadIntSetting("Key3", -1), 33);
  EXPECT_EQ(ReadIntSetting("Key4", -1), 4);
  EXPECT_EQ(counting.opens, afterWrite);
  // Another copy's write is seen at the next start.
  { std::ofstream(SettingsPath(), std::ios::binary) << "[PASTEE]\nKey3=44\n"; }
  FixSettingsLocation();
  EXPECT_EQ(ReadIntSetting("Key3", -1), 44);
}

TEST_F(SettingsFileTest, EveryValueComesBackAsItWasWritten) {
  const std::string values[] = {"sp.bmp  ", "  lead.bmp", " both ", "\ttab",   "\"quoted\"", "'single'", "\"",
                                "\"\"",     "say \"hi\"", "\"open", "close\"", " \"x\" ",    "",         "表ソ.BMP"};
  for (const std::string& value : values) {
    SCOPED_TRACE("[" + value + "]");
    EXPECT_EQ(ProfileGetString(ProfileSetString("", "s", "k", value), "s", "k"), value);
    WriteSetting("Fname", value);
    FixSettingsLocation();  // read from the file, not from what was written
    EXPECT_EQ(ReadSetting("Fname"), value);
  }
  // Values without blanks at their ends or quotes are written as older versions wrote them.
  WriteSetting("Fname", "/tmp/a b.bmp");
  EXPECT_EQ(Slurp(SettingsPath()), "[PASTEE]\nFname=/tmp/a b.bmp\n");
}

}  // namespace
}  // namespace zudizar
