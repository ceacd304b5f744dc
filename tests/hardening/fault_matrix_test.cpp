// Whole first starts from a small image (HV1 holding GAMEDAT with 21 files
// and a subfolder, and HV1.EXE), in two scenarios: quiet (--setup-from,
// --ships-yes, the ships built), and the picker (a missing file picked
// first, then the image; the ships asked for and failing twice; the game).
// Each runs once clean to count its calls, then once for each call index
// with that call failing once, and again with every call from it on
// failing, and once for each read and each write cut short. After each run
// the outcome must be honest, and the next start, with no fault, must either
// find every file whole or run setup again by itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "disc/installed.h"
#include "launcher/run.h"
#include "tests/support/disc_images.h"
#include "tests/support/fake_platform.h"
#include "tests/support/iso_builder.h"
#include "tests/support/release.h"

namespace {

// What the image must hold: one file two folders down, one at the top.
const ManifestEntry kManifest[] = {{u"GAMEDAT\\SUB\\IN.DAT", 10}, {u"HV1.EXE", 10}};

// One slice of the matrix: the scenario (quiet or through the picker) and
// the kind of fault, the calls failing once, the longest, split in two
// halves of their indices (slices 0 and 1; then 2, 3, 4 are kinds 1, 2, 3).
// Slices are separate tests so that ctest runs them side by side.
using MatrixSlice = std::tuple<bool, int>;

struct FaultMatrixTest : ::testing::TestWithParam<MatrixSlice> {
  const bool quiet = std::get<0>(GetParam());
  TempDir dir;
  fs::path root = dir.path / "Halvorn Glint";
  fs::path source = dir.path / "source";  // what the image holds under HV1
  std::u16string image = Wide(dir.path / "small.iso");

  void SetUp() override {
    IsoImage iso = NewIsoImage();
    // A file both in the source tree and in the image; gives its record.
    auto file = [&](const std::string& path, const std::string& bytes) {
      WriteFileBytes(source / path, bytes);
      std::string name = fs::path(path).filename().string();
      return IsoRecord(name + ";1", AddIsoFile(iso, bytes), bytes.size(), false);
    };
    std::vector<std::string> gamedat;
    for (int i = 0; i < 21; ++i) {
      std::string name = "GAMEDAT/F" + std::to_string(i) + ".DAT";
      gamedat.push_back(file(name, std::string(i * 1500 + 3, static_cast<char>('a' + i))));
    }
    gamedat.push_back(AddIsoDirectory(iso, "SUB", {file("GAMEDAT/SUB/IN.DAT", "inner file")}));
    PutIsoRootWithFolder(iso, {AddIsoDirectory(iso, "GAMEDAT", gamedat),
                               file("HV1.EXE", "MZ program")});
    WriteFileBytes(dir.path / "small.iso", iso.bytes);

    MakeReleaseFolder(root, {.data = false, .python = true});
    WriteFileBytes(root / "tools" / "install_ships.py",
                   quiet ? "STEP Building\nPROGRESS 1 2\n#!write models/type00.hvm\nDONE\n"
                         : "STEP Building\nPROGRESS 1 2\nERROR no space left\n");
  }

  // The scenario's first start, or the next start: no switch, no game,
  // the image picked if setup runs.
  int Start(bool next = false) {
    SetInstallRoot(Wide(root).c_str());
    LauncherOptions options = DefaultOptions();
    options.has_setup_from = options.ships_yes = options.ships = quiet && !next;
    options.setup_from = quiet && !next ? image.c_str() : nullptr;
    options.play = !next;
    Fake().box_answers = {IDOK, IDOK, IDOK, IDYES};
    Fake().dialog_answers = {Wide(dir.path / "missing.iso"), image};
    if (next) Fake().dialog_answers.pop_front();
    return RunSequence(options, {kManifest, 2});
  }

  // One run with fault `kind` at call `n` (0: none), its outcome checked;
  // gives the calls of that kind it made. Kinds: 0 a call failing once, 1
  // every call from one on failing, 2 a read or 3 a write returning 1 byte.
  int Check(int kind, int n) {
    // What a run makes. Under Wine the game started by the last run may
    // still hold its folder.
    std::error_code still_held;
    for (const char* name : {"data", "setup.log", "models/type00.hvm", "models/ships-not-now"}) {
      fs::remove_all(root / name, still_held);
    }
    ScopedFake fake;
    fake->fail_nth = kind <= 1 ? n : 0;
    fake->fail_persistent = kind == 1;
    fake->short_read_nth = kind == 2 ? n : 0;
    fake->short_write_nth = kind == 3 ? n : 0;
    const int code = Start();
    const std::string log = ReadFileBytes(root / "setup.log");
    SCOPED_TRACE("kind " + std::to_string(kind) + ", call " + std::to_string(n) + " (" +
                 PlatformOpName(fake->faulted_op) + "): exit " + std::to_string(code) +
                 ", log:\n" + log);
    EXPECT_EQ(OpenHandleReport(), "");
    EXPECT_TRUE(code == 0 || (code == 1 && n != 0));
    // A clean run through the picker takes every scripted answer.
    if (n == 0 && !quiet) EXPECT_TRUE(fake->box_answers.empty() && fake->dialog_answers.empty());
    // A failure is said: by setup's own line, or the box of a game that
    // can't start, or, with no log to write to, by the exit code alone. A
    // system refusing every call from some point on may refuse the saying too.
    bool said = log.find("setup not done\r\n") != std::string::npos ||
                !fake->Of({FakeEvent::kBox}).empty() ||
                (fake->faulted_op == Op::CreateFileW && log.empty());
    if (code == 1 && kind != 1) EXPECT_TRUE(said);
    // Success, or a copy the log calls done, means every file is there whole:
    // a failed or short read or write never passes for success.
    if (code == 0 || log.find(": done\r\nsetup done\r\n") != std::string::npos) {
      EXPECT_EQ(TreeDifferences(source, root / "data" / "HV1"), "");
    }
    // The log holds whole lines whatever the writes did: a line is whole
    // when it ends in CR LF and starts as one of the launcher's lines does.
    const std::string known[] = {"setup",           "picked ", "can't ",           "image: ",
                                 "copy failed at ", "ships: ", Utf8(image) + ": ", "installed "};
    for (size_t at = 0, end; at < log.size(); at = end + 2) {
      end = std::min(log.find("\r\n", at), log.size());
      auto starts = [&](const std::string& s) { return log.compare(at, s.size(), s) == 0; };
      EXPECT_TRUE(end < log.size() && std::ranges::any_of(known, starts)) << "line at " << at;
    }
    const int count =
        kind <= 1 ? fake->total_calls : fake->Calls(kind == 2 ? Op::ReadFile : Op::WriteFile);

    // The next start (the ships, checked above, left out to keep it quick):
    // data it counts as installed is whole; otherwise it runs setup by
    // itself, which installs it whole.
    ScopedFake next;
    WriteFileBytes(root / "models" / "type00.hvm", "model\n");
    SetInstallRoot(Wide(root).c_str());
    const bool counted = IsDataInstalled();
    EXPECT_EQ(Start(true), 0) << "next start";
    EXPECT_EQ(next->Of({FakeEvent::kBox}).size(), counted ? 0u : 1u) << "next start";
    EXPECT_EQ(TreeDifferences(source, root / "data" / "HV1"), "") << "next start";
    return count;
  }
};

// One index in a share of each kind is run, picked by a fixed hash rather
// than a step so that no call that recurs with a period (one file's create,
// write and close) is always skipped; neighbouring indices fail nearly the
// same runs. Natively a half tests the logic. Under the sanitizers, where a
// run costs ten times as much, a quarter drawn apart from that half shows
// the memory under the same faults (and takes both together past the half);
// under Wine, where each run starts processes, a thirty-second shows the
// Windows layer. kShare = 1 runs every index.
constexpr int kShare = !HV_POSIX_LAYER ? 32 : HV_SANITIZED ? 4 : 2;
constexpr uint32_t kDraw = HV_SANITIZED ? 0x9E37u : 0;

TEST_P(FaultMatrixTest, EveryCallFailingOrCutShort) {
  const int slice = std::get<1>(GetParam()), kind = std::max(slice - 1, 0);
  const int half = slice <= 1 ? slice + 1 : 0;  // 0: every index
  const int count = Check(kind, 0);
  // The pipe is polled as the child's output arrives, so counts vary a
  // little from run to run; past the end the last runs fail nothing.
  // Failing every call from n on differs little between neighbours.
  const uint32_t share = kShare * (kind == 1 ? 4 : 1);
  for (int n = half == 2 ? count / 2 + 1 : 1; n <= (half == 1 ? count / 2 : count); ++n) {
    uint32_t h = static_cast<uint32_t>(n) * 2654435761u ^ static_cast<uint32_t>(kind) * 40503u ^
                 kDraw << 16;
    if ((h >> 16) % share == 0) Check(kind, n);
  }
}

// Tests 0-4 go through the picker, 5-9 are quiet.
INSTANTIATE_TEST_SUITE_P(Matrix, FaultMatrixTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Range(0, 5)));

}  // namespace
