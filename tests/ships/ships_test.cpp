#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "tests/support/process.h"
#include "ships/runner.h"
#include "ships/step.h"
#include "tests/support/files.h"
#include "tests/support/release.h"
#include "tests/support/fake_platform.h"

namespace {

const std::u16string kStandstill = u"the ship setup stopped part way (run it again: it carries on)";

struct ShipsTest : ::testing::Test {
  TempDir dir;
  fs::path root = dir.path / "Halvorn Glint";
  ScopedFake fake;

  void SetUp() override {
    ReleaseParts parts;
    parts.data = false;
    MakeReleaseFolder(root, parts);
    fs::create_directories(root / "bin" / "python");
    fs::copy_file(BuildDir() / "fixtures" / "python.exe", root / "bin" / "python" / "python.exe");
    SetInstallRoot(Wide(root).c_str());
    OpenSetupLog();
  }
  void Script(const std::string& text) { WriteFileBytes(root / "tools" / "install_ships.py", text); }
  std::string Log() {
    CloseSetupLog();
    g_setup_log = INVALID_HANDLE_VALUE;
    return ReadFileBytes(root / "setup.log");
  }
};

TEST_F(ShipsTest, ProgressIsShownAndDoneSucceeds) {
  Script("#!record\nSTEP Building hulls\nPROGRESS 3 10\nSTEP Painting\nPROGRESS 4294967296 -1\n"
         "DONE\r\n");
  WCHAR reason[kReasonSize];
  EXPECT_TRUE(RunShipSetup(false, reason));
  // A STEP line shows from the next PROGRESS line on.
  EXPECT_EQ(Fake().WindowTexts(), (std::vector<std::u16string>{u"Getting the 3D ships...",
                                                        u"Building hulls\n3 of 10",
                                                        u"Painting\n4294967295 of 4294967295"}));
  ASSERT_FALSE(Fake().Windows().empty());
  EXPECT_EQ(Fake().Windows().back().kind, FakeEvent::kWindowGone);
  EXPECT_EQ(Log(),
            "ships: STEP Building hulls\r\nships: PROGRESS 3 10\r\nships: STEP Painting\r\n"
            "ships: PROGRESS 4294967296 -1\r\nships: DONE\r\n");

  ASSERT_EQ(Fake().Processes().size(), 1u);
  const FakeEvent child = Fake().Processes()[0];
  std::u16string r = Wide(root);
  EXPECT_EQ(child.caption, r + u"\\bin\\python\\python.exe");
  EXPECT_EQ(child.text, u"\"" + r + u"\\bin\\python\\python.exe\" -I \"" + r +
                                    u"\\tools\\install_ships.py\" \"" + r + u"\"");
  EXPECT_EQ(child.folder, r);
  EXPECT_TRUE(child.owner);
  EXPECT_EQ(child.type, CREATE_NO_WINDOW);
  EXPECT_EQ(child.startup.dwFlags, STARTF_USESTDHANDLES);
  EXPECT_EQ(child.startup.hStdInput, nullptr);
  EXPECT_EQ(child.startup.hStdOutput, child.startup.hStdError);
  EXPECT_EQ(OpenHandleReport(), "");

  std::string record = ReadFileBytes(root / "python-record.txt");
  EXPECT_NE(record.find("arg=-I\n"), std::string::npos) << record;
  EXPECT_NE(record.find("install_ships.py\narg="), std::string::npos) << record;
}

TEST_F(ShipsTest, AStepTextTooLongForItsBufferKeepsItsStart) {
  Script("STEP " + std::string(400, 'a') + "\nPROGRESS 1 2\nDONE\n");
  WCHAR reason[kReasonSize];
  EXPECT_TRUE(RunShipSetup(false, reason));
  std::vector<std::u16string> texts = Fake().WindowTexts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[1], std::u16string(255, u'a') + u"\n1 of 2");
  EXPECT_EQ(Log(), "ships: STEP " + std::string(400, 'a') +
                       "\r\nships: PROGRESS 1 2\r\nships: DONE\r\n");
}

// What the child prints decides, whatever its exit code: only an exact DONE
// line succeeds; the last ERROR text, read as UTF-8, is the reason; each byte
// is logged as a character of its own; a line of 1200 bytes is cut at 511,
// its 512th byte lost; a last line without its LF is neither logged nor
// acted on; the output ends when the pipe does, so a grandchild holding it
// is waited for and what it prints counts.
struct RunRow {
  std::string script;
  bool done;
  std::u16string reason;  // when not done
  std::string log;
};

const RunRow kRunRows[] = {
    {"DONE \ndone\nERROR first\nERROR second reason\n#!nolf DONE", false, u"second reason",
     "ships: DONE \r\nships: done\r\nships: ERROR first\r\nships: ERROR second reason\r\n"},
    {"#!raw 45524552204e6176c3a90a\n\n#!raw " + std::string(1200, '6') + "0a\n#!exit 3\n", false,
     kStandstill,
     "ships: ERER Nav\xc3\x83\xc2\xa9\r\nships: \r\nships: " + std::string(511, 'f') +
         "\r\nships: " + std::string(88, 'f') + "\r\n"},
    {"ERROR archive d\xc3\xa9j\xc3\xa0 vu\n#!exit 0\n", false, u"archive d\u00e9j\u00e0 vu",
     "ships: ERROR archive d\xc3\x83\xc2\xa9j\xc3\x83\xc2\xa0 vu\r\n"},
    {"DONE\n#!exit 9\n", true, u"", "ships: DONE\r\n"},
    {"#!exit 0\n", false, kStandstill, ""},
    {"STEP Unpacking\n#!holder 700 DONE\n#!exit 4\n", true, u"",
     "ships: STEP Unpacking\r\nships: DONE\r\n"},
};

TEST_F(ShipsTest, WhatTheChildPrintsDecides) {
  int row_number = 0;
  for (const RunRow& row : kRunRows) {
    SCOPED_TRACE(++row_number);
    CloseSetupLog();
    fs::remove(root / "setup.log");
    OpenSetupLog();
    Script(row.script);
    WCHAR reason[kReasonSize];
    EXPECT_EQ(RunShipSetup(true, reason), row.done);
    if (!row.done) EXPECT_EQ(std::u16string(reason), row.reason);
    EXPECT_EQ(Log(), row.log);
  }
  EXPECT_TRUE(Fake().Windows().empty());  // no window under --ships-yes
  EXPECT_EQ(OpenHandleReport(), "");
}

// A child that floods its output: every line is read, logged and dropped
// as it comes; nothing piles up. 10 MB natively; 216 KB under Wine, where
// each one-byte read is a round trip to the server (about 10 KB a second on
// a loaded 2-core machine).
TEST_F(ShipsTest, AFloodOfOutputIsReadToItsEnd) {
#ifdef _WIN32
  const int lines = 2000;
#else
  const int lines = 100000;
#endif
  const std::string text(99, 'f');
  Script("#!repeat " + std::to_string(lines) + " " + text + "\nDONE\n");
  WCHAR reason[kReasonSize];
  EXPECT_TRUE(RunShipSetup(true, reason));
  std::string log = Log();
  EXPECT_EQ(log.size(), static_cast<size_t>(lines) * (7 + 99 + 2) + 13);
  EXPECT_EQ(log.substr(log.size() - 13), "ships: DONE\r\n");
  EXPECT_EQ(OpenHandleReport(), "");
}

// The log is open while the child runs; the child gets the pipe only.
TEST_F(ShipsTest, TheChildCannotReachTheSetupLog) {
  LogLine(u"before");
#ifdef _WIN32
  // Inherited handles keep their values in the child.
  SetTestEnvironment("HV_PROBE_HANDLE",
                     std::to_string(reinterpret_cast<uintptr_t>(g_setup_log)).c_str());
#endif
  Script("#!probe\nDONE\n");
  WCHAR reason[kReasonSize];
  EXPECT_TRUE(RunShipSetup(true, reason));
  SetTestEnvironment("HV_PROBE_HANDLE", nullptr);
  // A write through an inherited log handle would land in the log as a line
  // of its own; one through the pipe is logged as "ships: inherited".
  std::string log = Log();
  EXPECT_EQ(log.find("\ninherited\r\n"), std::string::npos) << log;
  std::string record = ReadFileBytes(root / "python-record.txt");
  EXPECT_EQ(record.find("setup.log"), std::string::npos) << record;
#ifdef _WIN32
  EXPECT_NE(record.find("probe="), std::string::npos) << record;
#else
  EXPECT_NE(record.find("fd=pipe:"), std::string::npos) << record;  // the probe sees the pipe
#endif
}

TEST_F(ShipsTest, LauncherMadeReasons) {
  Script("DONE\n");
  WCHAR reason[kReasonSize];
  Fake().fail_op = Op::CreatePipe;
  Fake().fail_op_nth = 1;
  EXPECT_FALSE(RunShipSetup(false, reason));
  EXPECT_EQ(std::u16string(reason), u"couldn't start the ship setup");
  fs::remove(root / "bin" / "python" / "python.exe");
  EXPECT_FALSE(RunShipSetup(false, reason));
  EXPECT_EQ(std::u16string(reason), u"couldn't start bin\\python\\python.exe");
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(OpenHandleReport(), "");
  EXPECT_EQ(Fake().Windows().back().kind, FakeEvent::kWindowGone);
}

TEST_F(ShipsTest, DeclineWritesTheMarkerAndPlainStartsThenStayQuiet) {
  Script("#!write models/type00.hvm\nDONE\n");
  Fake().box_answers = {IDNO};
  RunShipsStep(false, false);
  ASSERT_EQ(Fake().Boxes().size(), 1u);
  EXPECT_EQ(Fake().Boxes()[0].type, MB_ICONQUESTION | MB_YESNO);
  EXPECT_NE(Fake().Boxes()[0].text.find(u"(271 MB) from downloads.halvornglint.net and builds"),
            std::u16string::npos);
  EXPECT_TRUE(Exists(root / "models" / "ships-not-now"));
  RunShipsStep(false, false);  // declined before: no question
  EXPECT_EQ(Fake().Boxes().size(), 1u);
  Fake().box_answers = {IDYES};
  RunShipsStep(true, false);  // --ships asks again
  EXPECT_EQ(Fake().Boxes().size(), 2u);
  EXPECT_FALSE(Exists(root / "models" / "ships-not-now"));
  EXPECT_TRUE(Exists(root / "models" / "type00.hvm"));
  RunShipsStep(true, false);  // built: nothing asked or logged
  EXPECT_EQ(Fake().Boxes().size(), 2u);
  EXPECT_EQ(Log(), "ships: not now\r\nships: DONE\r\nships: installed\r\n");
  EXPECT_EQ(Fake().unscripted_boxes, 0);
}

TEST_F(ShipsTest, TwoFailuresLogTwiceAndShowOneBox) {
  Script("#!first ERROR network down\nERROR no space left\n");
  Fake().box_answers = {IDYES};
  RunShipsStep(false, false);
  ASSERT_EQ(Fake().Boxes().size(), 2u);
  EXPECT_EQ(Fake().Boxes()[1].type, MB_ICONWARNING);
  EXPECT_EQ(Fake().Boxes()[1].text,
            u"The 3D ships couldn't be set up: no space left.\n\nThe game plays with its "
            u"original art; \"Play Halvorn Glint.exe --ships\" tries again.");
  EXPECT_EQ(Fake().Processes().size(), 2u);
  EXPECT_FALSE(Exists(root / "models" / "ships-not-now"));
  EXPECT_EQ(Log(), "ships: ERROR network down\r\nships: ERROR no space left\r\n"
                   "ships: failed: no space left\r\n"
                   "ships: ERROR no space left\r\nships: failed: no space left\r\n");
}

TEST_F(ShipsTest, ShipsYesBuildsSilentlyAndRemovesTheMarker) {
  Script("ERROR offline\n");
  WriteFileBytes(root / "models" / "ships-not-now", "");
  RunShipsStep(true, true);
  EXPECT_TRUE(Fake().Boxes().empty());
  EXPECT_TRUE(Fake().Windows().empty());
  EXPECT_EQ(Fake().Processes().size(), 2u);
  EXPECT_FALSE(Exists(root / "models" / "ships-not-now"));
}

TEST_F(ShipsTest, WithoutInterpreterOrScriptTheStepIsOff) {
  RunShipsStep(true, false);  // no script
  fs::remove(root / "bin" / "python" / "python.exe");
  Script("DONE\n");
  RunShipsStep(true, false);  // no interpreter
  EXPECT_TRUE(Fake().Boxes().empty());
  EXPECT_TRUE(Fake().Processes().empty());
  EXPECT_EQ(Log(), "");
}

}  // namespace
