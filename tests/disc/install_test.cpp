#include "disc/install.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "disc/installed.h"
#include "disc/setup_driver.h"
#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "tests/support/disc_images.h"
#include "tests/support/fake_platform.h"
#include "tests/support/hostile_images.h"
#include "tests/support/process.h"

namespace {

// Installs level1.iso (";1" suffixes; HV1 holding 178 files, of 0 bytes, 1
// MiB and 1 MiB + 1 among them, an empty folder, folders six deep and one of
// several sectors) quietly into a data directory holding a read-only HV1.EXE
// longer than the disc's and a saved game: the exact log, the reads (the
// descriptor, each folder once to measure and once for the copy, 1 MiB of a
// file a read) and the whole tree byte for byte beside the saved game;
// nothing left open and no status window. Then into a data directory of 257
// characters: a target path needing more than 259 is not written at a cut
// path (which would name another file) but reported.
TEST(InstallTest, WholeInstalls) {
  for (bool deep : {false, true}) {
    ScopedFake fake;
    InstallFolder folder;
    if (deep)
      SetInstallRoot(Wide(folder.root / std::string(247 - Wide(folder.root).size(), 'd')).c_str());
    WriteFileBytes(folder.data / "HV1.EXE", std::string(5000, 'o'));
    fs::permissions(folder.data / "HV1.EXE", fs::perms::owner_read, fs::perm_options::replace);
    WriteFileBytes(folder.data / "MINE.SAV", "a saved game");
    fs::path image = TestImage("level1.iso");
    InstallReport report;
    EXPECT_EQ(VerifyAndInstallImage(Wide(image).c_str(), true, {nullptr, 0}, &report), !deep);
    EXPECT_EQ(folder.Log(), Placed(deep ? "can't write %D\\D\r\ninstalled 0 files from %I into "
                                          "%D: FAILED\r\n"
                                        : "installed 178 files from %I into %D: done\r\n",
                                   image));
    EXPECT_EQ(fake->Calls(Op::ReadFile), deep ? 3 : 202);
    if (!deep)
      EXPECT_EQ(TreeDifferences(TestImage("trees/small/HV1"), folder.data), "extra: MINE.SAV\n");
    EXPECT_TRUE(fake->Windows().empty());
    EXPECT_EQ(OpenHandleReport(), "");
  }
}

// Twenty files at the top of GAMEDAT count as installed; folders and what
// they hold do not, nor a folder that cannot be listed.
TEST(InstalledTest, TwentyFilesAtTheTopOfGamedat) {
  InstallFolder folder;
  fs::path gamedat = folder.data / "GAMEDAT";
  EXPECT_FALSE(IsDataInstalled());  // no data directory
  for (int i = 0; i < 19; ++i) WriteFileBytes(gamedat / ("F" + std::to_string(i)), "");
  WriteFileBytes(gamedat / "SUB2" / "INNER.DAT", "");
  EXPECT_FALSE(IsDataInstalled());
  WriteFileBytes(gamedat / "F19", "");
  EXPECT_TRUE(IsDataInstalled());
  ScopedFake fake;  // a folder that cannot be listed is not installed
  fake->fail_op = Op::FindFirstFileW;
  fake->fail_op_nth = 1;
  EXPECT_FALSE(IsDataInstalled());
}

// The picker through each way an install can end, over six starts. A disk
// with too little room, then a folder that can't be written: each told, with
// nothing copied, and setup ends (no image can mend them). Then a wrong image
// (warned, offered again), a cancelled dialog (offered again), the image
// unreadable part-way (warned, offered again), given up. Then the disk full
// part-way: told, setup ends. Both failures part-way leave more than 20
// GAMEDAT files, which must not count as installed; nor does a whole copy
// whose record of an install under way can't be removed. Then the image.
TEST(SetupTest, PickerTellsHowEachInstallEnded) {
  InstallFolder folder{false};  // setup opens the log itself
  const fs::path wrong = TestImage("level1.iso"), right = TestImage("full.iso");
  const std::u16string data(g_paths.data_dir);
  struct Start {
    Op fault;
    int nth;  // of that operation's calls in this start
    uint32_t error;
    std::optional<uint64_t> free_bytes;  // none: the disk's own
    // What was shown, in order: the explanation, which asks ('?'), the dialog
    // ('d'), the status window and its end ('w', 'g'), a box that warns
    // before asking again ('!') or ends setup with an error ('X'); and what
    // tells each warning and error apart.
    std::u16string shown;
    std::vector<std::u16string> said;
    std::string log;
    std::deque<std::optional<std::u16string>> picks = {Wide(TestImage("full.iso"))};
    std::deque<int> answers = {IDOK, IDOK};
  } starts[] = {
      // The copy asks for each file in whole 4 KiB clusters, and 1 MiB more.
      {Op::kCount, 0, 0, 10 << 20, u"?dwgX",
       {data + u" is too full for the game data: it needs 141 MB more (10 MB are free, 151 MB"},
       "setup: data in %D\r\npicked %I\r\nsetup: not enough space for %D: 10 MB free, 151 MB "
       "needed\r\ninstalled 0 files from %I into %D: FAILED\r\nsetup not done\r\n"},
      {Op::CreateDirectoryW, 1, ERROR_ACCESS_DENIED, {}, u"?dwgX",
       {u"into its folder (access is denied):\n\n" + data},
       "setup: data in %D\r\npicked %I\r\nsetup: can't write in %D: access is denied\r\n"
       "installed 0 files from %I into %D: FAILED\r\nsetup not done\r\n"},
      {Op::ReadFile, 400, ERROR_CRC, {}, u"?d!?d?dwg!?",
       {u"couldn't be read. Nothing was installed.",
        u"your disc image " + Wide(right) + u" (the drive couldn't read the data"},
       "setup: data in %D\r\npicked %W\r\nimage: GAMEDAT\\CAMPAIGN.DAT missing or another "
       "size\r\n%W: not the Morvath Saga's disc 1\r\npicked %I\r\ncopy failed at "
       "%D\\GAMEDAT\\TEX16.TEX\r\nimage: reading failed: the drive couldn't read the data (a "
       "damaged disc or disk?)\r\ninstalled 115 files from %I into %D: FAILED\r\n"
       "setup not done\r\n",
       {Wide(wrong), std::nullopt, Wide(right)},
       {IDOK, IDOK, IDOK, IDOK, IDOK, IDCANCEL}},
      {Op::WriteFile, 40, ERROR_DISK_FULL, {}, u"?dwgX",
       {u"couldn't write " + data + u"\\GAMEDAT\\MISSN27.MIS (the disk is full)"},
       "setup: data in %D\r\nsetup: the last install did not finish\r\npicked %I\r\ncopy failed "
       "at %D\\GAMEDAT\\MISSN27.MIS\r\nsetup: writing failed: the disk is full\r\ninstalled 37 "
       "files from %I into %D: FAILED\r\nsetup not done\r\n"},
      {Op::DeleteFileW, 1, ERROR_ACCESS_DENIED, {}, u"?dwgX",
       {u"couldn't remove " + data + u"\\setup-not-finished (access is denied)"},
       "setup: data in %D\r\nsetup: the last install did not finish\r\npicked %I\r\ninstalled 125 "
       "files from %I into %D: done\r\nsetup: can't remove %D\\setup-not-finished: access is "
       "denied\r\nsetup not done\r\n"},
      {Op::kCount, 0, 0, {}, u"?dwg", {},
       "setup: data in %D\r\nsetup: the last install did not finish\r\npicked %I\r\ninstalled 125 "
       "files from %I into %D: done\r\nsetup done\r\n"},
  };
  for (const Start& start : starts) {
    SCOPED_TRACE(start.log);
    ScopedFake fake;
    fake->fail_op = start.fault;
    fake->fail_op_nth = start.nth;
    fake->fault_error = start.error;
    fake->free_bytes = start.free_bytes;
    fake->dialog_answers = start.picks;
    fake->box_answers = start.answers;
    const bool installed = start.log.ends_with("setup done\r\n");
    EXPECT_EQ(RunSetup(nullptr, kGameManifest), installed);
    std::u16string shown, texts;
    for (const FakeEvent& e : fake->events) {
      // The file buffer emptied before each pick, the filter list ended where it should.
      if (e.kind == FakeEvent::kDialog)
        EXPECT_EQ(std::tuple(e.buffer_was_empty, e.caption),
                  std::tuple(true, u"Disc images (*.iso)|*.iso|"));
      char16_t kind = u"bdwmtgp"[e.kind];
      if (e.kind == FakeEvent::kBox) {
        EXPECT_EQ(std::tuple(e.caption, e.owner), std::tuple(u"Halvorn Glint", false));
        kind = e.type == (MB_ICONINFORMATION | MB_OKCANCEL) ? u'?'
               : e.type == MB_ICONWARNING                   ? u'!'
               : e.type == MB_ICONERROR                     ? u'X'
                                                            : kind;
      }
      shown += kind;
      texts += e.text + u"\n";
    }
    EXPECT_EQ(shown, start.shown);
    for (const std::u16string& words : start.said)
      EXPECT_NE(texts.find(words), std::u16string::npos) << Utf8(texts);
    CloseSetupLog();
    EXPECT_EQ(ReadFileBytes(folder.root / "setup.log"), Placed(start.log, right, wrong));
    fs::remove(folder.root / "setup.log");
    EXPECT_EQ(IsDataInstalled(), installed);
    EXPECT_EQ(OpenHandleReport(), "");
  }
  EXPECT_EQ(TreeDifferences(TestImage("trees/full/HV1"), folder.data), "");
}

// Images no mastering program writes, made to step outside the data
// directory or to make the copy run without end, each installed from a file:
// its log, what it copies or that it is refused with nothing written, and
// the memory it took. (The fuzz targets take the same images as seeds.) The
// past fuzz finding, a name forging log lines, is a case of UnsafeNames.
TEST(HostileTest, EachImageHasItsOutcome) {
  for (const HostileImage& h : kHostileImages) {
    SCOPED_TRACE(h.name);
    ScopedFake fake;
    InstallFolder folder;
    fs::path path = folder.dir.path / "crafted.iso";
    WriteFileBytes(path, h.make().bytes);
    InstallReport report;
    bool refused = h.files == kRefused;
    EXPECT_EQ(VerifyAndInstallImage(Wide(path).c_str(), true, {nullptr, 0}, &report), !refused);
    EXPECT_EQ(folder.Log(), Placed(h.log + (refused ? "%I: not the Morvath Saga's disc 1\r\n"
                                                    : "installed " + std::to_string(h.files) +
                                                          " files from %I into %D: done\r\n"),
                                   path));
    EXPECT_EQ(Exists(folder.root / "data"), !refused);
    EXPECT_EQ(OpenHandleReport(), "");
  }
  // OverlappingFolders would hold 1 GiB without the walk's bound.
  const uint64_t peak = PeakMemoryBytes();
  EXPECT_TRUE(peak > 0 && peak < uint64_t{384} << 20) << peak;
}

}  // namespace
