#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "launcher/paths.h"
#include "launcher/run.h"
#include "launcher/setup_log.h"
#include "tests/support/process.h"
#include "tests/support/disc_images.h"
#include "tests/support/iso_builder.h"
#include "tests/support/release.h"
#include "tests/support/fake_platform.h"

namespace {

// The first start, in process: setup from a small image (HV1 holding GAMEDAT
// with 21 files and a subfolder, and HV1.EXE), then the ship models built by
// the stand-in interpreter, then the game. Run once to count every platform
// call, then once for each call index with that call failing, and once for
// each read and each write cut short. After each run: the exit code is one
// the launcher gives, something says what failed, nothing is left open,
// nothing outside the data directory and the files the ship setup owns has
// changed, and a clean run with "--setup" repairs the install.
struct FaultMatrixTest : ::testing::Test {
  TempDir dir;
  fs::path root = dir.path / "Halvorn Glint";
  fs::path image = dir.path / "small.iso";
  fs::path source = dir.path / "source";  // what the image holds under HV1
  std::vector<ManifestEntry> manifest;
  std::vector<std::u16string> manifest_paths;

  void SetUp() override {
    IsoImage iso = NewIsoImage();
    std::vector<std::string> gamedat;
    manifest_paths.reserve(32);
    for (int i = 0; i < 21; ++i) {
      std::string name = "F" + std::to_string(i) + ".DAT";
      std::string bytes(static_cast<size_t>(i) * 1500 + 3, static_cast<char>('a' + i));
      WriteFileBytes(source / "GAMEDAT" / name, bytes);
      gamedat.push_back(IsoRecord(name + ";1", AddIsoFile(iso, bytes),
                                  static_cast<uint32_t>(bytes.size()), false));
      manifest_paths.push_back(u"GAMEDAT\\" + Wide(name));
    }
    std::string inner = "inner file";
    WriteFileBytes(source / "GAMEDAT" / "SUB" / "IN.DAT", inner);
    uint32_t hv1 = 0;
    uint32_t g = ReserveIsoBlocks(iso, IsoDirectorySectors(gamedat) + 0);
    uint32_t sub = ReserveIsoBlocks(iso, 1);
    uint32_t sub_size = PutIsoDirectory(iso, sub, g, {IsoRecord("IN.DAT;1", AddIsoFile(iso, inner), 10, false)});
    gamedat.push_back(IsoRecord("SUB", sub, sub_size, true));
    uint32_t g_size = PutIsoDirectory(iso, g, g, gamedat);
    std::string exe = "MZ program";
    WriteFileBytes(source / "HV1.EXE", exe);
    uint32_t hv1_size = 0;
    hv1 = PutIsoRootWithFolder(iso, {IsoRecord("GAMEDAT", g, g_size, true),
                                     IsoRecord("HV1.EXE;1", AddIsoFile(iso, exe), 10, false)},
                               &hv1_size);
    (void)hv1;
    SaveIsoImage(iso, image);
    for (size_t i = 0; i < manifest_paths.size(); ++i) {
      manifest.push_back({manifest_paths[i].c_str(), static_cast<uint32_t>(i * 1500 + 3)});
    }
    manifest.push_back({u"HV1.EXE", 10});

    ReleaseParts parts;
    parts.data = false;
    MakeReleaseFolder(root, parts);
    fs::create_directories(root / "bin" / "python");
    fs::copy_file(BuildDir() / "fixtures" / "python.exe", root / "bin" / "python" / "python.exe");
    WriteFileBytes(root / "tools" / "install_ships.py",
                   "STEP Building\nPROGRESS 1 2\n#!write models/type00.hvm\nDONE\n");
    WriteFileBytes(root / "cutscenes" / "INTRO.AVI", "a cutscene");
    SetInstallRoot(Wide(root).c_str());
    SetTestEnvironment("HV_STANDIN_RECORD", GameRecordPath(root).string().c_str());
  }
  void TearDown() override { SetTestEnvironment("HV_STANDIN_RECORD", nullptr); }

  // Everything the run may not touch: the release folder but the data
  // directory, the log, the ship setup's model file and the game's record.
  std::map<std::string, std::string> Outside() {
    std::map<std::string, std::string> files;
    for (auto it = fs::recursive_directory_iterator(dir.path);
         it != fs::recursive_directory_iterator(); ++it) {
      fs::path p = it->path();
      if (p == root / "data") {
        it.disable_recursion_pending();
        continue;
      }
      if (p == root / "setup.log" || p == root / "models" / "type00.hvm" ||
          p == GameRecordPath(root)) {
        continue;
      }
      files[fs::relative(p, dir.path).generic_string()] =
          it->is_regular_file() ? ReadFileBytes(p) : "<folder>";
    }
    return files;
  }

  int FirstStart(bool force_setup, bool play = true) {
    LauncherOptions options = DefaultOptions();
    static std::u16string from;
    from = Wide(image);
    options.setup_from = from.data();
    options.has_setup_from = true;
    options.setup = force_setup;
    options.ships_yes = true;
    options.play = play;
    return RunSequence(options, {manifest.data(), static_cast<uint32_t>(manifest.size())});
  }

  void Reset() {
    std::error_code ec;
    fs::remove_all(root / "data", ec);
    fs::remove(root / "setup.log", ec);
    fs::remove(root / "models" / "type00.hvm", ec);
    fs::remove(GameRecordPath(root), ec);
  }

  // One run with the fault set up by `arm`, and everything checked after it.
  void Check(const std::string& what, void (*arm)(FakePlatform&, int), int n) {
    Reset();
    std::map<std::string, std::string> before = Outside();
    int code;
    Op faulted;
    std::string boxes;
    {
      ScopedFake fake;
      arm(Fake(), n);
      code = FirstStart(false);
      faulted = Fake().faulted_op;
      EXPECT_EQ(OpenHandleReport(), "") << what << " " << n << " (" << PlatformOpName(faulted) << ")";
      for (const FakeEvent& b : Fake().Boxes()) boxes += Utf8(b.text) + "\n";
    }
    std::string log = ReadFileBytes(root / "setup.log");
    std::string context = what + " " + std::to_string(n) + " (" +
                          (faulted == Op::kCount ? std::string("none") : PlatformOpName(faulted)) +
                          "): exit " + std::to_string(code) + "\nlog:\n" + log + "boxes:\n" + boxes;
    EXPECT_TRUE(code == 0 || code == 1) << context;
    if (code == 1) {
      // Said somewhere: setup's own line, or the box of a game that can't start,
      // or, with no log to write to, the log's own failure.
      bool said = log.find("setup not done\r\n") != std::string::npos || !boxes.empty() ||
                  (faulted == Op::CreateFileW && log.empty());
      EXPECT_TRUE(said) << context;
    }
    // Once setup is done, the rest never turns the run into a failure but
    // for the game itself not starting, which a box says.
    if (log.find("setup done\r\n") != std::string::npos && code != 0) {
      EXPECT_FALSE(boxes.empty()) << context;
    }
    // A copy the log calls done put every file there whole: a read or a
    // write cut short never passes for success.
    if (log.find(": done\r\nsetup done\r\n") != std::string::npos) {
      EXPECT_EQ(TreeDifferences(source, root / "data" / "HV1"), "") << context;
    }
    EXPECT_EQ(Outside(), before) << context;
    ++runs;

    // A clean run with --setup repairs whatever the fault left (the ships
    // and the game, checked above, are left out to keep it quick).
    {
      ScopedFake fake;
      WriteFileBytes(root / "models" / "type00.hvm", "model\n");
      EXPECT_EQ(FirstStart(true, false), 0) << "repair after " << context;
    }
    EXPECT_EQ(TreeDifferences(source, root / "data" / "HV1"), "") << "repair after " << context;
  }
  int runs = 0;
};

// Every index on Linux. Under Wine each run starts two processes and costs
// about 0.4 s, so the Windows build takes every third index unless
// HV_MATRIX_STRIDE says otherwise (1 runs them all: about four minutes).
int Stride() {
  const char* value = std::getenv("HV_MATRIX_STRIDE");
  if (value != nullptr && std::atoi(value) > 0) return std::atoi(value);
#ifdef _WIN32
  return 3;
#else
  return 1;
#endif
}

TEST_F(FaultMatrixTest, EveryCallFailingOrCutShort) {
  const int stride = Stride();
  int total = 0;
  int reads = 0;
  int writes = 0;
  {
    ScopedFake fake;
    ASSERT_EQ(FirstStart(false), 0) << ReadFileBytes(root / "setup.log");
    total = Fake().total_calls;
    reads = Fake().Calls(Op::ReadFile);
    writes = Fake().Calls(Op::WriteFile);
  }
  ASSERT_EQ(TreeDifferences(source, root / "data" / "HV1"), "");
  // The pipe is polled as the child's output arrives, so counts vary a
  // little from run to run; past the end the last runs fail nothing.
  for (int n = 1; n <= total; n += stride) {
    Check("call", [](FakePlatform& s, int i) { s.fail_nth = i; }, n);
  }
  for (int n = 1; n <= reads; n += stride) {
    Check("short read", [](FakePlatform& s, int i) {
      s.short_read_nth = i;
      s.short_bytes = 1;
    }, n);
  }
  for (int n = 1; n <= writes; n += stride) {
    Check("short write", [](FakePlatform& s, int i) {
      s.short_write_nth = i;
      s.short_bytes = 1;
    }, n);
  }
  std::printf("fault matrix: %d platform calls, %d reads, %d writes in a first start; "
              "%d faulted runs (every %sindex), each followed by a repair run\n",
              total, reads, writes, runs, stride == 1 ? "" : (std::to_string(stride) + "th ").c_str());
  RecordProperty("calls", total);
  RecordProperty("runs", runs);
}

}  // namespace
