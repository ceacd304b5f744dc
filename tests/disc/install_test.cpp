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
#include "tests/support/iso_builder.h"
#include "tests/support/process.h"
#include "tests/support/release.h"

namespace {

// `text` with each "%I" replaced by the image's path and "%D" by the data
// directory's, as the log writes them.
std::string Placed(std::string text, const fs::path& image, const std::string& data) {
  for (size_t at; (at = text.find('%')) != std::string::npos;)
    text.replace(at, 2, text[at + 1] == 'I' ? Utf8(Wide(image)) : data);
  return text;
}

// Installs from an xorriso image (HV1 holding 178 files, of 0 bytes, 1 MiB
// and 1 MiB + 1 among them) into a data directory holding a read-only
// HV1.EXE longer than the disc's and a saved game: the exact log, the reads
// (the descriptor, each folder once per row found in it and once for the
// copy, 1 MiB of a file a read) and, when done, the whole tree byte for byte
// beside the saved game; nothing left open and, quiet, no status window.
TEST(InstallTest, WholeInstalls) {
  // Rows found in each form: empty, in a folder, in the top folder.
  const std::vector<ManifestEntry> found = {{u"GAMEDAT\\F05.DAT", 4985},
                                            {u"GAMEDAT\\EMPTY.DAT", 0},
                                            {u"STREAMS\\INTRO.STR", 70001},
                                            {u"HV1.EXE", 4321}};
  // The second row one byte off: the third is not looked up.
  const std::vector<ManifestEntry> off = {
      {u"HV1.EXE", 4321}, {u"GAMEDAT\\F05.DAT", 4986}, {u"GAMEDAT\\F06.DAT", 1}};
  struct Row {
    int reads;
    std::string log;
    std::vector<ManifestEntry> manifest = {};
    bool deep = false;  // a data directory of 257 characters
  } table[] = {
      {209, "installed 178 files from %I into %D: done\r\n", found},
      {5,
       "image: GAMEDAT\\F05.DAT missing or another size\r\n%I: not the Morvath Saga's disc 1\r\n",
       off},
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
    EXPECT_EQ(VerifyAndInstallImage(Wide(image).c_str(), true,
                                    {row.manifest.data(), uint32_t(row.manifest.size())},
                                    &report),
              row.log.ends_with(": done\r\n"));
    EXPECT_EQ(folder.Log(), Placed(row.log, image, Utf8(g_paths.data_dir)));
    EXPECT_EQ(fake->Calls(Op::ReadFile), row.reads);
    if (row.log.ends_with(": done\r\n"))
      EXPECT_EQ(TreeDifferences(TestImage("trees/small/HV1"), folder.data), "extra: MINE.SAV\n");
    EXPECT_TRUE(fake->Windows().empty());
    EXPECT_EQ(OpenHandleReport(), "");
  }
}

TEST(InstalledTest, TwentyFilesAtTheTopOfGamedat) {
  InstallFolder folder;
  fs::path gamedat = folder.data / "GAMEDAT";
  EXPECT_FALSE(IsDataInstalled());  // no data directory
  for (int i = 0; i < 19; ++i) WriteFileBytes(gamedat / ("F" + std::to_string(i)), "");
  WriteFileBytes(gamedat / "SUB2" / "INNER.DAT", "");
  EXPECT_FALSE(IsDataInstalled());  // folders and what they hold do not count
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
  const std::u16string explain =
      u"Halvorn Glint installs from your own copy of Halvorn: The Morvath Saga, as a disc image "
      u"(.iso) of disc 1.\n\nChoose the image file. (Have the CD? Make an .iso of disc 1 with a "
      u"disc-imaging program first.)";
  const std::u16string refused =
      u"That image isn't Halvorn: The Morvath Saga, disc 1 (its HV1 folder isn't there, or its "
      u"files aren't the Morvath Saga's), or it couldn't be read. Nothing was installed.";
  const std::u16string pick = u"Your Halvorn: The Morvath Saga disc image (disc 1)",
                       window = u"Installing Halvorn from your disc image...";
  fs::path wrong = TestImage("level1.iso"), right = TestImage("full.iso");
  const std::u16string unreadable = u"Halvorn Glint couldn't read your disc image " + Wide(right) +
                                    u" (the drive couldn't read the data (a damaged disc or "
                                    u"disk?)), so the game data is only partly installed.";
  const std::u16string full = u"Halvorn Glint couldn't write " +
                              std::u16string(g_paths.data_dir) +
                              u"\\GAMEDAT\\MISSN27.MIS (the disk is full), so the game data is "
                              u"only partly installed.";
  auto first_line = [](const std::u16string& text) { return text.substr(0, text.find(u'\n')); };
  // The room the copy asks: each file in whole 4 KiB clusters, and 1 MiB.
  uint64_t needed = 1 << 20;
  for (const auto& e : fs::recursive_directory_iterator(TestImage("trees/full/HV1")))
    needed += e.is_regular_file() ? (e.file_size() + 4095) / 4096 * 4096 : 0;
  const uint32_t needed_mb = static_cast<uint32_t>((needed + (1 << 20) - 1) >> 20);
  const std::u16string no_room = u"The disk holding " + std::u16string(g_paths.data_dir) +
                                 u" is too full for the game data: it needs " +
                                 Wide(std::to_string(needed_mb - 10)) + u" MB more (10 MB are "
                                 u"free, " + Wide(std::to_string(needed_mb)) + u" MB are needed).";
  const std::u16string stays = u"Halvorn Glint copied the game data but couldn't remove " +
                               std::u16string(g_paths.data_dir) +
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
    std::vector<std::u16string> seen;  // box and window texts (to the first line), in order
    std::string log;
  } starts[] = {
      {Op::kCount, 0, 0, 10 << 20, {Wide(right)}, {IDOK, IDOK}, false,
       {explain, pick, window, u"gone", no_room},
       "setup: data in %D\r\npicked %I\r\nsetup: not enough space for %D: 10 MB free, " +
           std::to_string(needed_mb) + " MB needed\r\ninstalled 0 files from %I into %D: "
           "FAILED\r\nsetup not done\r\n"},
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
      } else if (e.kind == FakeEvent::kBox) {
        bool ends_setup = e.text.starts_with(first_line(full)) || e.text.starts_with(no_room) ||
                          e.text.starts_with(no_folder) || e.text.starts_with(stays);
        uint32_t icon = e.text == explain ? MB_ICONINFORMATION | MB_OKCANCEL
                        : ends_setup      ? MB_ICONERROR
                                          : MB_ICONWARNING;
        EXPECT_EQ(std::tuple(e.type, e.caption, e.owner),
                  std::tuple(icon, std::u16string(u"Halvorn Glint"), false));
      }
      seen.push_back(e.kind == FakeEvent::kWindowGone ? u"gone" : first_line(e.text));
    }
    std::vector<std::u16string> expected_seen;
    for (const std::u16string& text : start.seen) expected_seen.push_back(first_line(text));
    EXPECT_EQ(seen, expected_seen);
    std::string log = start.log;
    for (size_t at; (at = log.find('%')) != std::string::npos;)
      log.replace(at, 2, log[at + 1] == 'D'   ? folder.data_text
                         : log[at + 1] == 'I' ? Utf8(Wide(right))
                                              : Utf8(Wide(wrong)));
    CloseSetupLog();
    EXPECT_EQ(ReadFileBytes(folder.root / "setup.log"), log);
    fs::remove(folder.root / "setup.log");
    EXPECT_EQ(IsDataInstalled(), start.installed);
  }
  EXPECT_EQ(TreeDifferences(TestImage("trees/full/HV1"), folder.data), "");
  EXPECT_EQ(OpenHandleReport(), "");
}

// The built program with the compiled-in manifest on a full-size image: it
// finds its folders from its own path, and names them with backslashes.
TEST(FullImageTest, InstallsFromTheCommandLineByteForByte) {
  TempDir dir;
  fs::path root = dir.path / "Halvorn Glint", image = TestImage("full.iso");
  MakeReleaseFolder(root, {.launcher = true, .data = false});
  std::u16string exe = Wide(root / HV_LAUNCHER_FILE);
  std::u16string command = u"\"" + exe + u"\" --setup-from \"" + Wide(image) + u"\" --no-play";
  EXPECT_EQ(RunProgramToEnd(exe, command, Wide(dir.path)), 0u);
  std::u16string data = Wide(root) + u"\\data\\HV1";
  for (char16_t& c : data) c = c == u'/' ? u'\\' : c;
  EXPECT_EQ(
      ReadFileBytes(root / "setup.log"),
      Placed("setup: data in %D\r\ninstalled 125 files from %I into %D: done\r\nsetup done\r\n",
             image, Utf8(data)));
}

}  // namespace
