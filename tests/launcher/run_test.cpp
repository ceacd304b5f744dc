// Whole runs of the launcher through the fake, with the stand-in game and
// interpreter. Each row is a release folder, the switches, the user's
// answers, the ship-setup script and a fault; the run must end with the
// row's exit code, log, boxes, windows and processes (in order) and files.
#include "launcher/run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "launcher/launcher_lock.h"
#include "launcher/setup_log.h"
#include "tests/support/disc_images.h"
#include "tests/support/fake_platform.h"
#include "tests/support/process.h"
#include "tests/support/release.h"

namespace {

struct Row {
  // Of: data game python not-now; held (the log, by another launcher), locked
  // (the launcher's lock, by another launcher of the folder).
  std::string release;
  std::vector<std::u16string> args;
  std::vector<int> answers;
  std::string script;  // the ship-setup script, when not empty
  int exit;
  std::string log;      // what the run appends; %D is the data directory
  std::u16string seen;  // boxes by icon, windows, [window texts], programs; "|", files there
  const char16_t* box_says = u"";  // in some box
  Op fault = Op::kCount;           // its first call fails
};

// Whether a stand-in program's record starts with `folder` as its current one.
bool RecordedIn(const std::string& record, const fs::path& folder) {
  std::error_code ec;
  return record.starts_with("cwd=") &&
         fs::equivalent(record.substr(4, record.find('\n') - 4), folder, ec);
}

std::string Times(const std::string& text, int n) {
  std::string all;
  while (n-- > 0) all += text;
  return all;
}

void RunRow(Row row) {
  TempDir dir;
  ScopedFake fake;
  fs::path root = dir.path / "Halvorn Glint";
  auto has = [&](const char* word) { return row.release.find(word) != std::string::npos; };
  MakeReleaseFolder(root, {has("game"), has("data"), has("python")});
  if (has("not-now")) WriteFileBytes(root / "models" / "ships-not-now", "");
  if (!row.script.empty()) WriteFileBytes(root / "tools" / "install_ships.py", row.script);
  // The log is appended to, never replaced.
  WriteFileBytes(root / "setup.log", "earlier\r\n");
  SetInstallRoot(Wide(root).c_str());
  SetTestEnvironment("HV_STANDIN_RECORD", (root / "game-record.txt").string().c_str());
  fake->box_answers.assign(row.answers.begin(), row.answers.end());
  fake->fail_op = row.fault;
  fake->fail_op_nth = 1;
  HANDLE lock = nullptr;
  if (has("locked")) EXPECT_EQ(TakeLauncherLock(&lock), LauncherLock::kHeld);
  HANDLE held = INVALID_HANDLE_VALUE;
  if (has("held")) {
    OpenSetupLog();  // as another launcher
    std::swap(held, g_setup_log);
  }

  std::vector<WCHAR*> args;  // setup_from points into the row's copy
  for (std::u16string& word : row.args) args.push_back(word.data());
  LauncherOptions options = DefaultOptions();
  ParseSwitches(args.data(), static_cast<int32_t>(args.size()), &options);
  // The launcher's own folder is looked for first, when the program starts.
  EXPECT_EQ(row.fault == Op::GetModuleFileNameW ? RunLauncher(u"--no-play")
                                                : RunSequence(options, kGameManifest),
            row.exit);

  if (lock != nullptr) CloseHandle(lock);
  if (held != INVALID_HANDLE_VALUE) {
    // Readers are let in while it is held.
    HANDLE reader =
        CreateFileW((Wide(root) + u"\\setup.log").c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    CloseHandle(held);
  }
  EXPECT_EQ(ReadFileBytes(root / "setup.log"), "earlier\r\n" + Placed(row.log, {}));
  static const std::u16string kIcons[] = {u"box", u"error", u"ask", u"warn", u"info"};
  std::u16string seen, boxes;
  for (const FakeEvent& e : fake->events) {
    // Any other event (a dialog: no row expects one) still leaves its space.
    if (e.kind == FakeEvent::kBox) seen += kIcons[(e.type >> 4) & 7];
    if (e.kind == FakeEvent::kBox) boxes += e.text;
    if (e.kind == FakeEvent::kWindowShown) seen += u"show";
    if (e.kind == FakeEvent::kWindowText) seen += u"[" + e.text + u"]";
    if (e.kind == FakeEvent::kWindowGone) seen += u"gone";
    if (e.kind == FakeEvent::kProcess) {
      seen += e.caption.substr(e.caption.rfind(u'\\') + 1);
      // The game starts as a program of its own (not suspended, not a
      // debuggee that ends with the launcher); the ship setup without a
      // console window.
      EXPECT_EQ(e.type, e.caption.ends_with(u"hv1-glint.exe") ? 0u : uint32_t{CREATE_NO_WINDOW});
    }
    seen += u" ";
  }
  seen += u"|";
  for (const char16_t* file : {u"models/ships-not-now", u"models/type00.hvm"}) {
    if (Exists(root / file)) seen += u" " + std::u16string(file);
  }
  EXPECT_EQ(seen, row.seen);
  EXPECT_NE(boxes.find(row.box_says), std::u16string::npos);
  EXPECT_EQ(OpenHandleReport(), "");
  // The ship setup runs in the release folder, as the model it writes
  // records. (Its arguments need no check here: split wrongly, the stand-in
  // takes itself for the game.)
  std::string python = ReadFileBytes(root / "models" / "type00.hvm");
  if (!python.empty()) EXPECT_TRUE(RecordedIn(python, root)) << python;
  // The game, with its one switch, in the data folder; it runs on after the
  // launcher: wait, boundedly, for its record.
  if (row.exit == 0 && row.seen.find(u"hv1-glint.exe") != std::u16string::npos) {
    std::string game;
    for (int i = 0; i < 200 && !game.ends_with("arg=--dx12\n"); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      game = ReadFileBytes(root / "game-record.txt");
    }
    EXPECT_TRUE(RecordedIn(game, root / "data" / "HV1") &&
                game.ends_with("\nargc=2\narg=--dx12\n")) << game;
  }
  SetTestEnvironment("HV_STANDIN_RECORD", nullptr);
}

// The child's output decides, whatever its exit code: only an exact DONE
// line succeeds (CR dropped); the last ERROR text, read as UTF-8 (of every
// length), is the reason; each byte is logged as a character of its own; a
// line of 600 bytes is cut at 511, its 512th byte lost (an ERROR line: its
// text, the longest a reason can be given, must fit); a last line without
// its LF is neither logged nor acted on.
const std::string kBuild = "#!write models/type00.hvm\nDO\rNE\n#!exit 9\n";
const std::string kOdd = "DONE \ndone\nERROR first\n\nERROR " + std::string(594, 'f') +
                         "\nERROR d\xc3\xa9j\xc3\xa0 vu \xe2\x82\xac\xf0\x9f\x9a\x80\nDONE";
const std::string kOddLog =
    "ships: DONE \r\nships: done\r\nships: ERROR first\r\nships: \r\nships: ERROR " +
    std::string(505, 'f') + "\r\nships: " + std::string(88, 'f') +
    "\r\nships: ERROR d\xc3\x83\xc2\xa9j\xc3\x83\xc2\xa0 vu "
    "\xc3\xa2\xc2\x82\xc2\xac\xc3\xb0\xc2\x9f"
    "\xc2\x9a\xc2\x80\r\nships: failed: d\xc3\xa9j\xc3\xa0 vu \xe2\x82\xac\xf0\x9f\x9a\x80\r\n";
const std::string kStandstill = "the ship setup stopped part way (run it again: it carries on)";
// 200 KB, three times what a Linux pipe holds: a child left unread would
// block. Under Wine each one-byte read is a round trip to the server (about
// 10 KB a second on a loaded 2-core machine): 20 KB there, five times a
// Windows pipe's default 4 KB; the reading loop is the same code.
const int kFloodLines = HV_POSIX_LAYER ? 2000 : 200;
const std::string kFlood = Times(std::string(99, 'f') + "\n", kFloodLines);
const std::string kFloodLog = Times("ships: " + std::string(99, 'f') + "\r\n", kFloodLines);
// Too long for the status window in UTF-16 units: the conversion takes
// nothing, and a retry takes whole characters from the first 255 bytes.
const std::string kLongStep = std::string(251, 'a') + Times("\xc3\xa9", 10);

// clang-format off
const Row kRows[] = {
    // The game starts; switches that are nearly ours change nothing; without
    // the interpreter no ships are offered.
    {"data game", {u"--SETUP", u"--setup=1", u"-setup", u"setup", u"--no-play ", u"--no"}, {},
     kBuild, 0, "", u"hv1-glint.exe |"},
    // A missing game program is the user's to fix.
    {"data", {}, {}, "", 1, "", u"hv1-glint.exe error |", u"couldn't start bin\\hv1-glint.exe"},
    // --setup runs setup over installed data; cancelling it fails the run.
    {"data game", {u"--setup"}, {}, "", 1, "setup: data in %D\r\nsetup not done\r\n", u"info |"},
    // The last --setup-from counts and takes the next word as its path, even
    // a switch.
    {"data game", {u"--setup-from", u"a.iso", u"--setup-from", u"--setup-from", u"x"}, {}, "", 1,
     "setup: data in %D\r\ncan't open --setup-from\r\nsetup not done\r\n", u"|"},
    // --setup-from asks nothing; a log line is cut at 1020 characters.
    {"data game", {u"--setup-from", std::u16string(1500, u'x')}, {}, "", 1,
     "setup: data in %D\r\ncan't open " + std::string(1009, 'x') + "\r\nsetup not done\r\n",
     u"|"},
    // A log another launcher holds gets nothing from this one.
    {"data game python held", {u"--ships-yes", u"--no-play"}, {}, kBuild, 0, "",
     u"python.exe | models/type00.hvm"},
    // Declining the ships leaves the marker.
    {"data game python", {u"--no-play"}, {IDNO}, kBuild, 0, "ships: not now\r\n",
     u"ask | models/ships-not-now", u"(271 MB) from downloads.halvornglint.net and builds"},
    // After a decline a plain start asks nothing; --no-play stops before the
    // game; --setup-from as the last word is ignored.
    {"data game python not-now", {u"--no-play", u"--setup-from"}, {}, kBuild, 0, "",
     u"| models/ships-not-now"},
    // --ships asks again; yes builds, showing each step's progress.
    {"data game python not-now", {u"--ships", u"--no-play"}, {IDYES},
     "STEP Building hulls\nPROGRESS 3 10\nSTEP " + kLongStep +
         "\nPROGRESS 1 2\nSTEP Painting\nPROGRESS 4294967296 -1\n" + kBuild, 0,
     "ships: STEP Building hulls\r\nships: PROGRESS 3 10\r\nships: STEP " +
         std::string(251, 'a') + Times("\xc3\x83\xc2\xa9", 10) +
         "\r\nships: PROGRESS 1 2\r\nships: STEP Painting\r\nships: PROGRESS 4294967296 -1\r\n"
         "ships: DONE\r\nships: installed\r\n",
     u"ask show python.exe [Building hulls\n3 of 10] [" + std::u16string(251, u'a') +
         u"\u00e9\u00e9\n1 of 2] [Painting\n4294967295 of 4294967295] gone | models/type00.hvm"},
    // Two failures (the pipe not made, then a setup ending without a word)
    // are logged and one box tells the second one's reason.
    {"data game python", {}, {IDYES}, "#!exit 3\n", 0,
     "ships: failed: couldn't start the ship setup\r\nships: failed: " + kStandstill + "\r\n",
     u"ask show gone show python.exe gone warn hv1-glint.exe |",
     u"couldn't be set up: the ship setup stopped part way", Op::CreatePipe},
    // --ships-yes asks nothing, shows nothing and offers again after a
    // decline; an interpreter that does not start fails one try; a flood of
    // output is read as it comes.
    {"data game python not-now", {u"--ships-yes", u"--no-play"}, {}, kFlood + kOdd, 0,
     "ships: failed: couldn't start bin\\python\\python.exe\r\n" + kFloodLog + kOddLog,
     u"python.exe |", u"", Op::CreateProcessW},
    // The output ends when the pipe does: a grandchild holding it is waited
    // for and what it prints counts.
    {"data game python", {u"--ships-yes", u"--no-play"}, {},
     "#!write models/type00.hvm\n#!holder 700 DONE\n#!exit 4\n", 0,
     "ships: DONE\r\nships: installed\r\n", u"python.exe | models/type00.hvm"},
    // One launcher at a time in a folder: a second says so (in the log when
    // unattended) and does nothing more.
    {"data game python locked", {}, {}, kBuild, 1, "", u"info |",
     u"Halvorn Glint is already running"},
    {"game locked", {u"--setup-from", u"x.iso"}, {}, "", 1,
     "setup: Halvorn Glint is already running in this folder; this start ends\r\n", u"|"},
    // A launcher that can't find its own folder does nothing.
    {"data game", {}, {}, "", 1, "", u"error |", u"can't find its own folder",
     Op::GetModuleFileNameW},
};
// clang-format on

TEST(RunTest, WholeRuns) {
  for (const Row& row : kRows) {
    SCOPED_TRACE("row " + std::to_string(&row - kRows));
    RunRow(row);
  }
}

}  // namespace
