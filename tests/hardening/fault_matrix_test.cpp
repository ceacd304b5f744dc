#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "launcher/run.h"
#include "launcher/setup_log.h"
#include "tests/support/disc_images.h"
#include "tests/support/fake_platform.h"
#include "tests/support/iso_builder.h"
#include "tests/support/process.h"
#include "tests/support/release.h"

namespace {

// The faults, by kind: a call failing once, every call from one on failing,
// a read or a write returning 1 byte.
const char* const kKinds[] = {"call fails once", "every call from", "short read", "short write"};

void Arm(FakePlatform& f, int kind, int n) {
  f.fail_nth = kind <= 1 ? n : 0;
  f.fail_persistent = kind == 1;
  f.short_read_nth = kind == 2 ? n : 0;
  f.short_write_nth = kind == 3 ? n : 0;
  f.short_bytes = 1;
}

// Whole first starts from a small image (HV1 holding GAMEDAT with 21 files
// and a subfolder, and HV1.EXE), in two scenarios: quiet (--setup-from,
// --ships-yes, the ships built), and the picker (a missing file picked
// first, then the image; the ships asked for and failing twice; the game).
// Each runs once clean to count its calls, then once for each call index
// with that call failing once, and again with every call from it on
// failing, and once for each read and each write cut short. After each run
// the outcome must be honest, and a clean run with --setup repairs it.
// One part of the matrix: a scenario and a kind of fault; the calls failing
// once, the longest, in two halves of their indices. Parts are separate
// tests so that ctest runs them side by side.
struct MatrixPart {
  bool quiet;
  int kind;
  int half;  // 0: every index; 1, 2: the first or the second half
};

struct FaultMatrixTest : ::testing::TestWithParam<MatrixPart> {
  TempDir dir;
  fs::path root = dir.path / "Halvorn Glint";
  fs::path image = dir.path / "small.iso";
  fs::path source = dir.path / "source";  // what the image holds under HV1
  std::vector<std::u16string> names;
  std::vector<ManifestEntry> manifest;
  int runs = 0;

  void SetUp() override {
    IsoImage iso = NewIsoImage();
    std::vector<std::string> gamedat;
    names.reserve(22);
    for (int i = 0; i < 21; ++i) {
      std::string name = "F" + std::to_string(i) + ".DAT";
      std::string bytes(static_cast<size_t>(i) * 1500 + 3, static_cast<char>('a' + i));
      WriteFileBytes(source / "GAMEDAT" / name, bytes);
      gamedat.push_back(IsoRecord(name + ";1", AddIsoFile(iso, bytes),
                                  static_cast<uint32_t>(bytes.size()), false));
      names.push_back(u"GAMEDAT\\" + Wide(name));
      manifest.push_back({names.back().c_str(), static_cast<uint32_t>(bytes.size())});
    }
    WriteFileBytes(source / "GAMEDAT" / "SUB" / "IN.DAT", "inner file");
    WriteFileBytes(source / "HV1.EXE", "MZ program");
    manifest.push_back({u"HV1.EXE", 10});
    uint32_t exe = AddIsoFile(iso, "MZ program");
    std::string in = IsoRecord("IN.DAT;1", AddIsoFile(iso, "inner file"), 10, false);
    gamedat.push_back(AddIsoDirectory(iso, "SUB", {in}));
    PutIsoRootWithFolder(iso, {AddIsoDirectory(iso, "GAMEDAT", gamedat),
                               IsoRecord("HV1.EXE;1", exe, 10, false)});
    SaveIsoImage(iso, image);

    MakeReleaseFolder(root, {false, true, false});
    fs::create_directories(root / "bin" / "python");
    fs::copy_file(BuildDir() / "fixtures" / "python.exe", root / "bin" / "python" / "python.exe");
    WriteFileBytes(root / "cutscenes" / "INTRO.AVI", "a cutscene");
    SetTestEnvironment("HV_STANDIN_RECORD", GameRecordPath(root).string().c_str());
  }
  void TearDown() override { SetTestEnvironment("HV_STANDIN_RECORD", nullptr); }

  // Everything the run may not touch: the release folder but the data
  // directory, the log, the ship step's files and the game's record.
  std::map<std::string, std::string> Outside() {
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(dir.path);
         it != fs::recursive_directory_iterator(); ++it) {
      fs::path p = it->path();
      if (p == root / "data") it.disable_recursion_pending();
      if (p == root / "data" || p == root / "setup.log" || p == root / "models" / "type00.hvm" ||
          p == root / "models" / "ships-not-now" || p == GameRecordPath(root)) {
        continue;
      }
      files[fs::relative(p, dir.path).generic_string()] =
          it->is_regular_file() ? ReadFileBytes(p) : "<folder>";
    }
    return files;
  }

  int Start(bool quiet, bool force_setup = false, bool play = true) {
    SetInstallRoot(Wide(root).c_str());
    static std::u16string from;
    from = Wide(image);
    LauncherOptions options = DefaultOptions();
    options.has_setup_from = quiet;
    options.setup_from = quiet ? from.data() : nullptr;
    options.setup = force_setup;
    options.ships_yes = options.ships = quiet;
    options.play = play;
    Fake().box_answers = {IDOK, IDOK, IDOK, IDYES};
    Fake().dialog_answers = {Wide(dir.path / "missing.iso"), from};
    return RunSequence(options, {manifest.data(), static_cast<uint32_t>(manifest.size())});
  }

  // Lines of the log that are not whole: each must end in CR LF and start as
  // one of the launcher's lines does.
  int BrokenLines(const std::string& log) {
    const std::string starts[] = {
        "setup",      "picked ",         "can't ",  "image: ",
        "installed ", "copy failed at ", "ships: ", Utf8(Wide(image)) + ": "};
    int broken = 0;
    for (size_t at = 0, end; at < log.size(); at = end + 2) {
      end = log.find("\r\n", at);
      if (end == std::string::npos) return broken + 1;
      bool known = false;
      for (const std::string& s : starts) known = known || log.compare(at, s.size(), s) == 0;
      broken += known ? 0 : 1;
    }
    return broken;
  }

  void Reset() {
    std::error_code ec;
    for (const char* name :
         {"data", "setup.log", "models/type00.hvm", "models/ships-not-now", "game-record.txt"}) {
      fs::remove_all(root / name, ec);
    }
  }

  void Check(const char* scenario, int kind, bool quiet, int n) {
    Reset();
    std::map<std::string, std::string> before = Outside();
    int code;
    Op faulted;
    std::string boxes;
    {
      ScopedFake fake;
      Arm(Fake(), kind, n);
      code = Start(quiet);
      faulted = Fake().faulted_op;
      EXPECT_EQ(OpenHandleReport(), "") << scenario << ", " << kKinds[kind] << " " << n;
      for (const FakeEvent& b : Fake().Boxes()) boxes += Utf8(b.text) + "\n";
    }
    std::string log = ReadFileBytes(root / "setup.log");
    std::string context = std::string(scenario) + ", " + kKinds[kind] + " " + std::to_string(n) +
                          " (" + PlatformOpName(faulted) + "): exit " + std::to_string(code) +
                          "\nlog:\n" + log + "boxes:\n" + boxes;
    EXPECT_TRUE(code == 0 || code == 1) << context;
    // A failure is said: by setup's own line, or the box of a game that
    // can't start, or, with no log to write to, by the exit code alone. A
    // system refusing every call from some point on may refuse the saying too.
    bool said = log.find("setup not done\r\n") != std::string::npos || !boxes.empty() ||
                (faulted == Op::CreateFileW && log.empty());
    if (code == 1 && kind != 1) EXPECT_TRUE(said) << context;
    // Success, or a copy the log calls done, means every file is there whole:
    // a failed or short read or write never passes for success.
    if (code == 0 || log.find(": done\r\nsetup done\r\n") != std::string::npos) {
      EXPECT_EQ(TreeDifferences(source, root / "data" / "HV1"), "") << context;
    }
    if (log.find("ships: installed\r\n") != std::string::npos) {
      EXPECT_TRUE(Exists(root / "models" / "type00.hvm")) << context;
    }
    // Each line goes out in one write, never retried: a write cut short
    // leaves the start of that one line, run into the next.
    EXPECT_LE(BrokenLines(log), kind == 3 ? 1 : 0) << context;
    EXPECT_EQ(Outside(), before) << context;
    ++runs;

    // A clean run with --setup repairs whatever the fault left (the ships
    // and the game, checked above, are left out to keep it quick).
    ScopedFake fake;
    WriteFileBytes(root / "models" / "type00.hvm", "model\n");
    EXPECT_EQ(Start(true, true, false), 0) << "repair after " << context;
    EXPECT_EQ(TreeDifferences(source, root / "data" / "HV1"), "") << "repair after " << context;
  }
};

// One index in `Share()` of each kind is run, picked by a fixed hash rather
// than a step so that no call that recurs with a period (one file's create,
// write and close) is always skipped; neighbouring indices fail nearly the
// same runs. Under Wine each run starts processes and costs about 0.4 s.
// HV_MATRIX_SHARE=1 runs every index.
int Share() {
  const char* value = std::getenv("HV_MATRIX_SHARE");
  if (value != nullptr && std::atoi(value) > 0) return std::atoi(value);
#ifdef _WIN32
  return 8;
#else
  return 2;
#endif
}

bool Picked(int kind, int n, int share) {
  uint32_t h = static_cast<uint32_t>(n) * 2654435761u ^ static_cast<uint32_t>(kind) * 40503u;
  return (h >> 16) % static_cast<uint32_t>(share) == 0;
}

TEST_P(FaultMatrixTest, EveryCallFailingOrCutShort) {
  const MatrixPart part = GetParam();
  const bool quiet = part.quiet;
  const char* scenario = quiet ? "quiet first start" : "picker, ships failing twice";
  WriteFileBytes(root / "tools" / "install_ships.py",
                 quiet ? "STEP Building\nPROGRESS 1 2\n#!write models/type00.hvm\nDONE\n"
                       : "STEP Building\nPROGRESS 1 2\nERROR no space left\n");
  int counts[4];
  Reset();
  {
    ScopedFake fake;
    ASSERT_EQ(Start(quiet), 0) << scenario << "\n" << ReadFileBytes(root / "setup.log");
    EXPECT_EQ(Fake().unscripted_boxes + Fake().unscripted_dialogs, 0) << scenario;
    counts[0] = counts[1] = Fake().total_calls;
    counts[2] = Fake().Calls(Op::ReadFile);
    counts[3] = Fake().Calls(Op::WriteFile);
  }
  ASSERT_EQ(TreeDifferences(source, root / "data" / "HV1"), "");
  // The pipe is polled as the child's output arrives, so counts vary a
  // little from run to run; past the end the last runs fail nothing.
  // Failing every call from n on differs little between neighbours.
  const int kind = part.kind, share = kind == 1 ? 4 * Share() : Share();
  const int middle = counts[kind] / 2;
  for (int n = part.half == 2 ? middle + 1 : 1; n <= (part.half == 1 ? middle : counts[kind]); ++n) {
    if (Picked(kind, n, share)) Check(scenario, kind, quiet, n);
  }
  std::printf("fault matrix, %s: %d calls, %d reads, %d writes\n", scenario, counts[0], counts[2],
              counts[3]);
  RecordProperty("runs", runs);
}

const MatrixPart kParts[] = {
    {true, 0, 1},  {true, 0, 2},  {true, 1, 0},  {true, 2, 0},  {true, 3, 0},
    {false, 0, 1}, {false, 0, 2}, {false, 1, 0}, {false, 2, 0}, {false, 3, 0},
};

std::string PartName(const ::testing::TestParamInfo<MatrixPart>& info) {
  static const char* const kNames[] = {"CallOnce", "CallsFrom", "ShortRead", "ShortWrite"};
  return std::string(info.param.quiet ? "Quiet" : "Picker") + kNames[info.param.kind] +
         (info.param.half ? std::to_string(info.param.half) : "");
}

INSTANTIATE_TEST_SUITE_P(Parts, FaultMatrixTest, ::testing::ValuesIn(kParts), PartName);

}  // namespace
