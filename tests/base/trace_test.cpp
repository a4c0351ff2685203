#include "base/trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/test_support.h"

namespace zudizar {
namespace {

using testing::Slurp;

TEST(Trace, StartRecreatesTheLogAndRecordsAppendLines) {
  testing::TempFolder folder;
  const std::string log = folder.File("TAVOTRC.LOG");
  {
    std::ofstream old(log);
    old << "old content";
  }
  StartTrace(folder.File("zudizar"));
  EXPECT_TRUE(TraceWanted());
  EXPECT_EQ(TraceLogPath(), log);
  EXPECT_EQ(Slurp(log), "TRACE ON\n");
  TraceRecord(12, "SOF ﾏｰｶｰ");
  TraceRecord(3, std::string("a\0b", 3));
  std::string expected = "TRACE ON\n12 SOF ﾏｰｶｰ\n3 a";
  expected += '\0';
  expected += "b\n";
  EXPECT_EQ(Slurp(log), expected);
  EXPECT_EQ(TraceRecordCount(), 2);
}

TEST(Trace, DeletedLogSilencesRecordsButTheyStillCount) {
  testing::TempFolder folder;
  StartTrace(folder.File("zudizar"));
  std::filesystem::remove(TraceLogPath());
  TraceRecord(1, "x");
  EXPECT_FALSE(std::filesystem::exists(TraceLogPath()));
  EXPECT_EQ(TraceRecordCount(), 1);
}

TEST(Trace, The300001stRecordIsNotWritten) {
  testing::TempFolder folder;
  StartTrace(folder.File("zudizar"));
  // Count up to the cap without the file, then put the file back.
  std::filesystem::remove(TraceLogPath());
  for (int i = 0; i < kTraceRecordLimit - 1; ++i) TraceRecord(i, "");
  {
    std::ofstream recreated(TraceLogPath());
    recreated << "TRACE ON\n";
  }
  EXPECT_TRUE(TraceWanted());
  TraceRecord(300000, "last");
  EXPECT_FALSE(TraceWanted());
  TraceRecord(300001, "over");
  EXPECT_EQ(TraceRecordCount(), kTraceRecordLimit);
  EXPECT_EQ(Slurp(TraceLogPath()), "TRACE ON\n300000 last\n");
}

}  // namespace
}  // namespace zudizar
