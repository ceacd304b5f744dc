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
#include "tests/support/process.h"

namespace {

// `log` with "%D" replaced by the data directory, "%I" by `image` and "%W"
// by `wrong`, as the log writes them.
std::string Placed(std::string log, const fs::path& image, const fs::path& wrong = {}) {
  for (size_t at; (at = log.find('%')) != std::string::npos;)
    log.replace(at, 2, log[at + 1] == 'D' ? Utf8(g_paths.data_dir)
                                          : Utf8(Wide(log[at + 1] == 'I' ? image : wrong)));
  return log;
}

// Installs from an xorriso image (HV1 holding 178 files, of 0 bytes, 1 MiB
// and 1 MiB + 1 among them) into a data directory holding a read-only
// HV1.EXE longer than the disc's and a saved game: the exact log, the reads
// (the descriptor, each folder once per manifest row that passes through it,
// once to measure and once for the copy, 1 MiB of a file a read) and, when
// done, the whole tree byte for byte beside the saved game; nothing left open
// and, quiet, no status window.
TEST(InstallTest, WholeInstalls) {
  struct Row {
    int reads;
    std::string log;
    std::vector<ManifestEntry> manifest = {};
    bool deep = false;  // a data directory of 257 characters
  } table[] = {
      {202, "installed 178 files from %I into %D: done\r\n"},
      // The second row one byte off: the third is not looked up.
      {5,
       "image: GAMEDAT\\F05.DAT missing or another size\r\n%I: not the Morvath Saga's disc 1\r\n",
       {{u"HV1.EXE", 4321}, {u"GAMEDAT\\F05.DAT", 4986}, {u"GAMEDAT\\F06.DAT", 1}}},
      // A target path needing more than 259 characters is not written at a
      // cut path (which would name another file) but reported.
      {3, "can't write %D\\D\r\ninstalled 0 files from %I into %D: FAILED\r\n", {}, true},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.log);
    InstallFolder folder(false);
    ScopedFake fake;
    OpenSetupLog();
    if (row.deep)
      SetInstallRoot(Wide(folder.root / std::string(247 - Wide(folder.root).size(), 'd')).c_str());
    WriteFileBytes(folder.data / "HV1.EXE", std::string(5000, 'o'));
    fs::permissions(folder.data / "HV1.EXE", fs::perms::owner_read, fs::perm_options::replace);
    WriteFileBytes(folder.data / "MINE.SAV", "a saved game");
    fs::path image = TestImage("level1.iso");
    InstallReport report;
    const bool done = row.log.ends_with(": done\r\n");
    EXPECT_EQ(VerifyAndInstallImage(Wide(image).c_str(), true,
                                    {row.manifest.data(), uint32_t(row.manifest.size())},
                                    &report),
              done);
    EXPECT_EQ(folder.Log(), Placed(row.log, image));
    EXPECT_EQ(fake->Calls(Op::ReadFile), row.reads);
    if (done)
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
  ScopedFake fake;
  InstallFolder folder{false};  // setup opens the log itself
  fs::path wrong = TestImage("level1.iso"), right = TestImage("full.iso");
  const std::u16string data(g_paths.data_dir);
  // Box texts to their first line.
  const std::u16string explain =
      u"Halvorn Glint installs from your own copy of Halvorn: The Morvath Saga, as a disc image "
      u"(.iso) of disc 1.";
  const std::u16string refused =
      u"That image isn't Halvorn: The Morvath Saga, disc 1 (its HV1 folder isn't there, or its "
      u"files aren't the Morvath Saga's), or it couldn't be read. Nothing was installed.";
  const std::u16string pick = u"Your Halvorn: The Morvath Saga disc image (disc 1)",
                       window = u"Installing Halvorn from your disc image...";
  const std::u16string unreadable = u"Halvorn Glint couldn't read your disc image " + Wide(right) +
                                    u" (the drive couldn't read the data (a damaged disc or "
                                    u"disk?)), so the game data is only partly installed.";
  const std::u16string full = u"Halvorn Glint couldn't write " + data +
                              u"\\GAMEDAT\\MISSN27.MIS (the disk is full), so the game data is "
                              u"only partly installed.";
  // The copy asks for each file in whole 4 KiB clusters, and 1 MiB more.
  const std::u16string no_room = u"The disk holding " + data + u" is too full for the game data: "
                                 u"it needs 141 MB more (10 MB are free, 151 MB are needed).";
  const std::u16string stays = u"Halvorn Glint copied the game data but couldn't remove " + data +
                               u"\\setup-not-finished (access is denied), which marks an install "
                               u"that hasn't finished, so the data doesn't count as installed.";
  const std::u16string no_folder =
      u"Halvorn Glint can't write the game data into its folder (access is denied):";
  struct Start {
    Op fault;
    int nth;  // of that operation's calls in this start
    uint32_t error;
    uint64_t free_bytes;  // 0: the disk's own
    std::vector<std::optional<std::u16string>> picks;
    std::vector<int> answers;
    bool installed;
    std::vector<std::u16string> seen;  // box and window texts, "gone" for the window's end
    std::string log;
  } starts[] = {
      {Op::kCount, 0, 0, 10 << 20, {Wide(right)}, {IDOK, IDOK}, false,
       {explain, pick, window, u"gone", no_room},
       "setup: data in %D\r\npicked %I\r\nsetup: not enough space for %D: 10 MB free, 151 MB "
       "needed\r\ninstalled 0 files from %I into %D: FAILED\r\nsetup not done\r\n"},
      {Op::CreateDirectoryW, 1, ERROR_ACCESS_DENIED, 0, {Wide(right)}, {IDOK, IDOK}, false,
       {explain, pick, window, u"gone", no_folder},
       "setup: data in %D\r\npicked %I\r\nsetup: can't write in %D: access is denied\r\n"
       "installed 0 files from %I into %D: FAILED\r\nsetup not done\r\n"},
      {Op::ReadFile, 400, ERROR_CRC, 0, {Wide(wrong), std::nullopt, Wide(right)},
       {IDOK, IDOK, IDOK, IDOK, IDOK, IDCANCEL}, false,
       {explain, pick, refused, explain, pick, explain, pick, window, u"gone", unreadable, explain},
       "setup: data in %D\r\npicked %W\r\nimage: GAMEDAT\\CAMPAIGN.DAT missing or another "
       "size\r\n%W: not the Morvath Saga's disc 1\r\npicked %I\r\ncopy failed at "
       "%D\\GAMEDAT\\TEX16.TEX\r\nimage: reading failed: the drive couldn't read the data (a "
       "damaged disc or disk?)\r\ninstalled 115 files from %I into %D: FAILED\r\nsetup not done\r\n"},
      {Op::WriteFile, 40, ERROR_DISK_FULL, 0, {Wide(right)}, {IDOK, IDOK}, false,
       {explain, pick, window, u"gone", full},
       "setup: data in %D\r\nsetup: the last install did not finish\r\npicked %I\r\ncopy failed "
       "at %D\\GAMEDAT\\MISSN27.MIS\r\nsetup: writing failed: the disk is full\r\ninstalled 37 "
       "files from %I into %D: FAILED\r\nsetup not done\r\n"},
      {Op::DeleteFileW, 1, ERROR_ACCESS_DENIED, 0, {Wide(right)}, {IDOK, IDOK}, false,
       {explain, pick, window, u"gone", stays},
       "setup: data in %D\r\nsetup: the last install did not finish\r\npicked %I\r\ninstalled 125 "
       "files from %I into %D: done\r\nsetup: can't remove %D\\setup-not-finished: access is "
       "denied\r\nsetup not done\r\n"},
      {Op::kCount, 0, 0, 0, {Wide(right)}, {IDOK}, true, {explain, pick, window, u"gone"},
       "setup: data in %D\r\nsetup: the last install did not finish\r\npicked %I\r\ninstalled 125 "
       "files from %I into %D: done\r\nsetup done\r\n"},
  };
  for (const Start& start : starts) {
    SCOPED_TRACE(start.log);
    fake->events.clear();
    fake->fail_op = start.fault;
    fake->fail_op_nth = start.fault == Op::kCount ? 0 : fake->Calls(start.fault) + start.nth;
    fake->fault_error = start.error;
    fake->free_bytes = start.free_bytes ? std::optional(start.free_bytes) : std::nullopt;
    fake->dialog_answers.assign(start.picks.begin(), start.picks.end());
    fake->box_answers.assign(start.answers.begin(), start.answers.end());
    EXPECT_EQ(RunSetup(nullptr, kGameManifest), start.installed);
    std::vector<std::u16string> seen;
    for (const FakeEvent& e : fake->events) {
      if (e.kind == FakeEvent::kDialog) {
        // No owner, no initial folder, the file buffer emptied before each pick.
        EXPECT_EQ(std::tuple(e.ofn.lStructSize, e.ofn.nMaxFile, e.ofn.Flags, !e.ofn.hwndOwner,
                             !e.ofn.lpstrInitialDir, e.buffer_was_empty, e.caption),
                  std::tuple(152u, 260u, 0x1804u, true, true, true, u"Disc images (*.iso)|*.iso|"));
      }
      seen.push_back(e.kind == FakeEvent::kWindowGone ? u"gone"
                                                      : e.text.substr(0, e.text.find(u'\n')));
    }
    EXPECT_EQ(seen, start.seen);
    // The explanation asks; a failure after which it asks again warns; one
    // that ends setup is an error. No box has an owner.
    for (size_t i = 0; i < seen.size(); ++i) {
      const FakeEvent& e = fake->events[i];
      if (e.kind != FakeEvent::kBox) continue;
      bool asks_again = i + 1 < seen.size() && seen[i + 1] == explain;
      uint32_t icon = seen[i] == explain ? MB_ICONINFORMATION | MB_OKCANCEL
                      : asks_again       ? MB_ICONWARNING
                                         : MB_ICONERROR;
      EXPECT_EQ(std::tuple(e.type, e.caption, e.owner), std::tuple(icon, u"Halvorn Glint", false));
    }
    CloseSetupLog();
    EXPECT_EQ(ReadFileBytes(folder.root / "setup.log"), Placed(start.log, right, wrong));
    fs::remove(folder.root / "setup.log");
    EXPECT_EQ(IsDataInstalled(), start.installed);
  }
  EXPECT_EQ(TreeDifferences(TestImage("trees/full/HV1"), folder.data), "");
  EXPECT_EQ(OpenHandleReport(), "");
}

}  // namespace
