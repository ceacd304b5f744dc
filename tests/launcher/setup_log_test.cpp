#include <gtest/gtest.h>

#include <string>

#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "tests/support/files.h"
#include "tests/support/fake_platform.h"

namespace {

struct SetupLogTest : ::testing::Test {
  TempDir root;
  ScopedFake fake;
  void SetUp() override { SetInstallRoot(root.wide().c_str()); }
  std::string LogBytes() { return ReadFileBytes(root.path / "setup.log"); }
};

TEST_F(SetupLogTest, LinesAreAppendedAcrossRunsInUtf8WithCrLf) {
  WriteFileBytes(root.path / "setup.log", "earlier\r\n");
  OpenSetupLog();
  ASSERT_NE(g_setup_log, INVALID_HANDLE_VALUE);
  LogLine(u"setup: data in %s", u"C:\\H\u00e9l\u00e8ne\\data\\HV1");
  LogLine(u"installed %d files from %s into %s: %s", 124, u"a.iso", u"d", u"done");
  LogLine(u"ships: %S", "");
  CloseSetupLog();
  OpenSetupLog();
  LogLine(u"ships: %S", "STEP x");
  CloseSetupLog();
  EXPECT_EQ(LogBytes(),
            "earlier\r\n"
            "setup: data in C:\\H\xc3\xa9l\xc3\xa8ne\\data\\HV1\r\n"
            "installed 124 files from a.iso into d: done\r\n"
            "ships: \r\n"
            "ships: STEP x\r\n");
  EXPECT_EQ(OpenHandleReport(), "");
}

TEST_F(SetupLogTest, OpeningCreatesAnEmptyFileAndLongLinesAreCut) {
  OpenSetupLog();
  CloseSetupLog();
  ASSERT_TRUE(Exists(root.path / "setup.log"));
  EXPECT_EQ(LogBytes(), "");

  std::u16string long_text(1500, u'x');
  long_text[1019] = u'y';
  OpenSetupLog();
  LogLine(u"%s", long_text.c_str());
  CloseSetupLog();
  EXPECT_EQ(LogBytes(), std::string(1019, 'x') + "y\r\n");
}

TEST_F(SetupLogTest, ASecondWriterIsRefusedWhileTheLogIsHeld) {
  OpenSetupLog();
  HANDLE first = g_setup_log;
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  OpenSetupLog();  // as a second launcher would
  EXPECT_EQ(g_setup_log, INVALID_HANDLE_VALUE);
  LogLine(u"from the second");  // silently off
  g_setup_log = first;
  LogLine(u"from the first");
  CloseSetupLog();
  EXPECT_EQ(LogBytes(), "from the first\r\n");
}

TEST_F(SetupLogTest, WithoutALogEveryCallDoesNothing) {
  int before = Fake().total_calls;
  LogLine(u"nothing %d", 1);
  CloseSetupLog();
  EXPECT_EQ(Fake().total_calls, before);
  // A failed open leaves logging off rather than failing the run.
  Fake().fail_op = Op::CreateFileW;
  Fake().fail_op_nth = 1;
  OpenSetupLog();
  EXPECT_EQ(g_setup_log, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Exists(root.path / "setup.log"));
}

}  // namespace
