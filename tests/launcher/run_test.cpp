// Whole runs of the launcher through the fake, and single runs of the ship
// setup, with the stand-in game and interpreter. Each whole-run row is a
// release folder, the switches, the user's answers, the ship-setup script and
// a fault; the run must end with the row's exit code, log, boxes, windows and
// processes (in order) and files.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "launcher/run.h"
#include "launcher/setup_log.h"
#include "ships/runner.h"
#include "tests/support/disc_images.h"
#include "tests/support/fake_platform.h"
#include "tests/support/process.h"
#include "tests/support/release.h"

namespace {

struct Fault {
  Op op = Op::kCount;
  int nth = 0;
  bool persistent = false;
};

struct Row {
  const char* name;
  const char* release;  // of: data game python script not-now model held (the log, by another)
  std::vector<std::u16string> args;
  std::vector<int> answers;
  std::string script;
  Fault fault;
  int exit;
  std::string log;      // what the run appends; $D is the data directory
  std::u16string seen;  // boxes by icon, dialogs, windows, [window texts], programs started
  const char* files;    // which of not-now, model, record are there after
  const char16_t* box_says = u"";  // in the last box
};

bool Has(const std::string& list, const std::string& word) {
  return (" " + list + " ").find(" " + word + " ") != std::string::npos;
}

std::u16string Seen() {
  static const std::u16string kIcons[] = {u"box", u"error", u"ask", u"warn", u"info"};
  std::u16string seen;
  for (const FakeEvent& e : Fake().events) {
    seen += seen.empty() ? u"" : u" ";
    switch (e.kind) {
      case FakeEvent::kBox: seen += kIcons[(e.type >> 4) & 7]; break;
      case FakeEvent::kDialog: seen += u"dialog"; break;
      case FakeEvent::kWindowShown: seen += u"show"; break;
      case FakeEvent::kWindowText: seen += u"[" + e.text + u"]"; break;
      case FakeEvent::kWindowGone: seen += u"gone"; break;
      case FakeEvent::kProcess: seen += e.caption.substr(e.caption.rfind(u'\\') + 1); break;
    }
  }
  return seen;
}

// Whether a stand-in program recorded `folder` as its current one.
bool RecordedIn(const std::string& record, const fs::path& folder) {
  size_t at = record.find("cwd=");
  std::error_code ec;
  return at != std::string::npos &&
         fs::equivalent(record.substr(at + 4, record.find('\n', at) - at - 4), folder, ec);
}

// The game runs on after the launcher: wait, boundedly, for its record.
void ExpectGameStarted(const fs::path& root) {
  std::string record;
  for (int i = 0; i < 200 && record.find("arg=--dx12\n") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    record = ReadFileBytes(GameRecordPath(root));
  }
  EXPECT_NE(record.find("argc=2\narg=--dx12\n"), std::string::npos) << record;
  EXPECT_TRUE(RecordedIn(record, root / "data" / "HV1")) << record;
}

fs::path MakeRelease(const fs::path& root, const std::string& release) {
  MakeReleaseFolder(root, {Has(release, "launcher"), Has(release, "game"), Has(release, "data")});
  if (Has(release, "python")) {
    fs::create_directories(root / "bin" / "python");
    fs::copy_file(BuildDir() / "fixtures" / "python.exe", root / "bin" / "python" / "python.exe");
  }
  if (Has(release, "not-now")) WriteFileBytes(root / "models" / "ships-not-now", "");
  if (Has(release, "model")) WriteFileBytes(root / "models" / "type00.hvm", "model\n");
  // The log is appended to, never replaced.
  WriteFileBytes(root / "setup.log", "earlier\r\n");
  SetInstallRoot(Wide(root).c_str());
  g_setup_log = INVALID_HANDLE_VALUE;
  return root;
}

void RunRow(const Row& row) {
  SCOPED_TRACE(row.name);
  TempDir dir;
  ScopedFake fake;
  fs::path root = MakeRelease(dir.path / "Halvorn Glint", row.release);
  WriteFileBytes(root / "tools" / "install_ships.py", row.script);
  if (!Has(row.release, "script")) fs::remove(root / "tools" / "install_ships.py");
  SetTestEnvironment("HV_STANDIN_RECORD", GameRecordPath(root).string().c_str());
  Fake().box_answers.assign(row.answers.begin(), row.answers.end());
  Fake().fail_op = row.fault.op;
  Fake().fail_op_nth = row.fault.nth;
  Fake().fail_persistent = row.fault.persistent;
  HANDLE held = INVALID_HANDLE_VALUE;
  if (Has(row.release, "held")) {
    OpenSetupLog();  // as another launcher
    std::swap(held, g_setup_log);
  }

  std::vector<std::u16string> words = row.args;  // setup_from points into them
  std::vector<WCHAR*> args;
  for (std::u16string& word : words) args.push_back(word.data());
  LauncherOptions options = DefaultOptions();
  ParseSwitches(args.data(), static_cast<int32_t>(args.size()), &options);
  EXPECT_EQ(RunSequence(options, kGameManifest), row.exit);

  if (held != INVALID_HANDLE_VALUE) {
    // Readers are let in while it is held.
    HANDLE reader = CreateFileW((Wide(root) + u"\\setup.log").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    CloseHandle(held);
  }
  std::string log = row.log;
  for (size_t at; (at = log.find("$D")) != std::string::npos;) {
    log.replace(at, 2, Utf8(g_paths.data_dir));
  }
  EXPECT_EQ(ReadFileBytes(root / "setup.log"), "earlier\r\n" + log);
  EXPECT_EQ(Seen(), row.seen);
  // The game starts as a program of its own (not suspended, not a debuggee
  // that ends with the launcher); the ship setup without a console window.
  for (const FakeEvent& p : Fake().Processes()) {
    EXPECT_EQ(p.type, p.caption.ends_with(u"hv1-glint.exe") ? 0u : uint32_t{CREATE_NO_WINDOW})
        << Utf8(p.caption);
  }
  if (!Fake().Boxes().empty()) {
    EXPECT_NE(Fake().Boxes().back().text.find(row.box_says), std::u16string::npos);
  }
  EXPECT_TRUE(Fake().box_answers.empty());
  EXPECT_EQ(OpenHandleReport(), "");
  std::string python = ReadFileBytes(root / "python-record.txt");
  std::string files = std::string(Exists(root / "models" / "ships-not-now") ? " not-now" : "") +
                      (Exists(root / "models" / "type00.hvm") ? " model" : "") +
                      (python.empty() ? "" : " record");
  EXPECT_EQ(files, row.files[0] ? std::string(" ") + row.files : "");
  if (!python.empty()) {
    // The child runs in the release folder. (Its arguments need no check
    // here: split wrongly, they end the stand-in with a usage message.)
    EXPECT_TRUE(RecordedIn(python, root)) << python;
  }
  if (row.exit == 0 && Has(Utf8(row.seen), "hv1-glint.exe")) {
    ExpectGameStarted(root);
  } else {
    EXPECT_FALSE(Exists(GameRecordPath(root)));
  }
  SetTestEnvironment("HV_STANDIN_RECORD", nullptr);
}

const std::string kBuild = "#!write models/type00.hvm\nDONE\n";
const std::string kStandstill = "the ship setup stopped part way (run it again: it carries on)";

const Row kRows[] = {
    {"the game starts; switches that are nearly ours change nothing", "data game script",
     {u"--SETUP", u"--setup=1", u"-setup", u"setup", u"--no-play ", u"--no"}, {}, kBuild, {}, 0, "",
     u"hv1-glint.exe", ""},
    {"--no-play stops before the game; --setup-from as the last word is ignored",
     "data game python", {u"--no-play", u"--setup-from"}, {}, "", {}, 0, "", u"", ""},
    {"a missing game program is the user's to fix", "data", {}, {}, "", {}, 1, "",
     u"hv1-glint.exe error", "", u"couldn't start bin\\hv1-glint.exe"},
    {"--setup runs setup over installed data; cancelling it fails the run", "data game",
     {u"--setup"}, {}, "", {}, 1, "setup: data in $D\r\nsetup not done\r\n", u"info", ""},
    {"--setup-from an empty path", "data game", {u"--setup-from", u""}, {}, "", {}, 1,
     "setup: data in $D\r\ncan't open \r\nsetup not done\r\n", u"", ""},
    {"the last --setup-from counts, nothing is asked; a log line is cut at 1020 characters",
     "data game", {u"--setup-from", u"a.iso", u"--setup-from", std::u16string(1500, u'x')}, {}, "",
     {}, 1,
     "setup: data in $D\r\ncan't open " + std::string(1009, 'x') + "\r\nsetup not done\r\n", u"",
     ""},
    {"a log another launcher holds gets nothing from this one", "data game python script held",
     {u"--ships-yes", u"--no-play"}, {}, kBuild, {}, 0, "", u"python.exe", "model"},
    {"declining the ships leaves the marker", "data game python script", {u"--no-play"}, {IDNO},
     kBuild, {}, 0, "ships: not now\r\n", u"ask", "not-now",
     u"(271 MB) from downloads.halvornglint.net and builds"},
    {"after a decline a plain start asks nothing", "data game python script not-now",
     {u"--no-play"}, {}, kBuild, {}, 0, "", u"", "not-now"},
    {"--ships asks again; yes builds, showing each step's progress",
     "data game python script not-now", {u"--ships", u"--no-play"}, {IDYES},
     "#!record\nSTEP Building hulls\nPROGRESS 3 10\nSTEP " + std::string(400, 'a') +
         "\nPROGRESS 1 2\nSTEP Painting\nPROGRESS 4294967296 -1\n" + kBuild,
     {}, 0,
     "ships: STEP Building hulls\r\nships: PROGRESS 3 10\r\nships: STEP " + std::string(400, 'a') +
         "\r\nships: PROGRESS 1 2\r\nships: STEP Painting\r\nships: PROGRESS 4294967296 -1\r\n"
         "ships: DONE\r\nships: installed\r\n",
     u"ask show python.exe [Building hulls\n3 of 10] [" + std::u16string(255, u'a') +
         u"\n1 of 2] [Painting\n4294967295 of 4294967295] gone",
     "model record"},
    {"built ships are not offered again", "data game python script model",
     {u"--ships", u"--no-play"}, {}, kBuild, {}, 0, "", u"", "model"},
    {"two failures are logged and one box tells the second one's reason",
     "data game python script", {}, {IDYES}, "#!first ERROR network down\n", {}, 0,
     "ships: ERROR network down\r\nships: failed: network down\r\nships: failed: " + kStandstill +
         "\r\n",
     u"ask show python.exe gone show python.exe gone warn hv1-glint.exe", "",
     u"couldn't be set up: the ship setup stopped part way"},
    {"--ships-yes asks nothing, shows nothing and offers again after a decline",
     "data game python script not-now", {u"--ships-yes", u"--no-play"}, {}, "ERROR offline\n",
     {}, 0,
     "ships: ERROR offline\r\nships: failed: offline\r\nships: ERROR offline\r\n"
     "ships: failed: offline\r\n",
     u"python.exe python.exe", ""},
    {"a pipe that cannot be made fails one try and the second builds", "data game python script",
     {u"--ships-yes", u"--no-play"}, {}, kBuild, {Op::CreatePipe, 1}, 0,
     "ships: failed: couldn't start the ship setup\r\nships: DONE\r\nships: installed\r\n",
     u"python.exe", "model"},
    {"an interpreter that never starts", "data game python script", {u"--ships-yes", u"--no-play"},
     {}, kBuild, {Op::CreateProcessW, 1, true}, 0,
     "ships: failed: couldn't start bin\\python\\python.exe\r\n"
     "ships: failed: couldn't start bin\\python\\python.exe\r\n",
     u"", ""},
};

TEST(RunTest, WholeRuns) {
  for (const Row& row : kRows) RunRow(row);
}

TEST(RunTest, AnOwnPathThatCannotBeHadIsNotRunOn) {
  ScopedFake fake;
  Fake().fail_op = Op::GetModuleFileNameW;
  Fake().fail_op_nth = 1;
  EXPECT_EQ(RunLauncher(u"--no-play"), 1);
  EXPECT_EQ(Seen(), u"error");
}

// The built program, as a person starts it: its own folder found from its
// path, the game started, nothing logged.
TEST(RunTest, TheProgramStartsTheGameAndExits) {
  TempDir dir;
  ScopedFake fake;  // puts back the paths MakeRelease sets
  fs::path root = MakeRelease(dir.path / "Halvorn Glint", "launcher data game");
  SetTestEnvironment("HV_STANDIN_RECORD", GameRecordPath(root).string().c_str());
  std::u16string exe = Wide(LauncherIn(root));
  ProgramResult result =
      RunProgramToEnd(exe.c_str(), (u"\"" + exe + u"\"").c_str(), dir.wide().c_str(), 60000);
  EXPECT_EQ(result.exit_code, 0u) << result.output;
  ExpectGameStarted(root);
  EXPECT_EQ(ReadFileBytes(root / "setup.log"), "earlier\r\n");
  SetTestEnvironment("HV_STANDIN_RECORD", nullptr);
}

// One run of the ship setup under --ships-yes. What the child prints decides,
// whatever its exit code: only an exact DONE line succeeds; the last ERROR
// text, read as UTF-8, is the reason; each byte is logged as a character of
// its own, CR dropped; a line of 1200 bytes is cut at 511, its 512th byte
// lost; a last line without its LF is neither logged nor acted on; the
// output ends when the pipe does, so a grandchild holding it is waited for
// and what it prints counts; a flood is read, logged and dropped line by
// line as it comes (216 KB, three times what a pipe holds, so a child left
// unread would block; more only costs time: under Wine each one-byte read
// is a round trip to the server, about 10 KB a second on a loaded 2-core
// machine). The log is open while the child runs, and the child gets the
// pipe only: a write through an inherited log handle would be a line of
// the log's own.
struct ShipRow {
  std::string script;
  bool done;
  std::string reason;  // UTF-8, when not done
  std::string log;
};

std::string Times(const std::string& text, int n) {
  std::string all;
  for (int i = 0; i < n; ++i) all += text;
  return all;
}

const ShipRow kShipRows[] = {
    {"DONE \ndone\nERROR first\nERROR second reason\n#!raw 444f4e45", false, "second reason",
     "ships: DONE \r\nships: done\r\nships: ERROR first\r\nships: ERROR second reason\r\n"},
    {"#!raw 45524552204e6176c3a90a\n\n#!raw " + std::string(1200, '6') + "0a\n#!exit 3\n", false,
     kStandstill,
     "ships: ERER Nav\xc3\x83\xc2\xa9\r\nships: \r\nships: " + std::string(511, 'f') +
         "\r\nships: " + std::string(88, 'f') + "\r\n"},
    {"ERROR d\xc3\xa9j\xc3\xa0 vu \xf0\x9f\x9a\x80\n#!exit 0\n", false,
     "d\xc3\xa9j\xc3\xa0 vu \xf0\x9f\x9a\x80",
     "ships: ERROR d\xc3\x83\xc2\xa9j\xc3\x83\xc2\xa0 vu \xc3\xb0\xc2\x9f\xc2\x9a\xc2\x80\r\n"},
    {"ERROR \n", false, kStandstill, "ships: ERROR \r\n"},
    {"DO\rNE\n#!exit 9\n", true, "", "ships: DONE\r\n"},
    {"#!exit 0\n", false, kStandstill, ""},
    {"STEP Unpacking\n#!holder 700 DONE\n#!exit 4\n", true, "",
     "ships: STEP Unpacking\r\nships: DONE\r\n"},
    {"#!record\nDONE\n", true, "", "ships: DONE\r\n"},
};

struct ShipsTest : ::testing::Test {
  TempDir dir;
  ScopedFake fake;
  fs::path root = MakeRelease(dir.path / "Halvorn Glint", "python");
  void Check(const ShipRow& row) {
    SCOPED_TRACE(row.script.substr(0, 40));
    WriteFileBytes(root / "tools" / "install_ships.py", row.script);
    fs::remove(root / "setup.log");
    OpenSetupLog();
#ifdef _WIN32
    // Inherited handles keep their values in the child.
    SetTestEnvironment("HV_PROBE_HANDLE",
                       std::to_string(reinterpret_cast<uintptr_t>(g_setup_log)).c_str());
#endif
    WCHAR reason[kReasonSize];
    EXPECT_EQ(RunShipSetup(true, reason), row.done);
    SetTestEnvironment("HV_PROBE_HANDLE", nullptr);
    CloseSetupLog();
    g_setup_log = INVALID_HANDLE_VALUE;
    if (!row.done) EXPECT_EQ(Utf8(reason), row.reason);
    EXPECT_EQ(ReadFileBytes(root / "setup.log"), row.log);
    EXPECT_EQ(OpenHandleReport(), "");
    EXPECT_TRUE(Fake().Windows().empty());  // none under --ships-yes
  }
};

TEST_F(ShipsTest, WhatTheChildPrintsDecides) {
  for (const ShipRow& row : kShipRows) Check(row);
  std::string record = ReadFileBytes(root / "python-record.txt");
  EXPECT_EQ(record.find("setup.log"), std::string::npos) << record;
#ifdef _WIN32
  EXPECT_NE(record.find("probe="), std::string::npos) << record;
#else
  EXPECT_NE(record.find("fd=pipe:"), std::string::npos) << record;  // the probe sees the pipe
#endif
}

// The flood, a test of its own: under Wine it takes longer than all the rows.
TEST_F(ShipsTest, AFloodOfOutputIsReadToItsEnd) {
  std::string line = std::string(99, 'f');
  Check({Times(line + "\n", 2000) + "DONE\n", true, "",
         Times("ships: " + line + "\r\n", 2000) + "ships: DONE\r\n"});
}

}  // namespace
