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
      {198, "installed 178 files from %I into %D: done\r\n", found},
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
    EXPECT_EQ(VerifyAndInstallImage(Wide(image).c_str(), true,
                                    {row.manifest.data(), uint32_t(row.manifest.size())}),
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

// The whole picker flow: the explanation, the dialog, a wrong file and its
// warning, a cancelled dialog (back to the explanation), a copy failing
// part-way (refused like a wrong image: "Nothing was installed." although
// some files were), then the right file.
TEST(SetupTest, PickerOffersTheChoiceUntilAnImageInstalls) {
  ScopedFake fake;
  InstallFolder folder{false};  // setup opens the log itself
  const std::u16string explain =
      u"Halvorn Glint installs from your own copy of Halvorn: The Morvath Saga, as a disc image "
      u"(.iso) of disc 1.\n\nChoose the image file. (Have the CD? Make an .iso of disc 1 with a "
      u"disc-imaging program first.)";
  const std::u16string refused =
      u"That image isn't Halvorn: The Morvath Saga, disc 1 (its HV1 folder isn't there, or its "
      u"files aren't the Morvath Saga's), or it couldn't be read. Nothing was installed.";
  fs::path wrong = TestImage("level1.iso"), right = TestImage("full.iso");
  fake->fail_op = Op::CreateFileW;
  fake->fail_op_nth = 3 + 20;  // the log, two images, then the 20th file
  fake->box_answers = {IDOK, IDOK, IDOK, IDOK, IDOK, IDOK};
  fake->dialog_answers = {Wide(wrong), std::nullopt, Wide(right), Wide(right)};
  EXPECT_TRUE(RunSetup(nullptr, kGameManifest));
  // Boxes, dialogs and, not quiet, the status window during each copy.
  std::vector<std::u16string> seen;
  for (const FakeEvent& e : fake->events) {
    if (e.kind == FakeEvent::kDialog) {
      // No owner, no initial folder, the file buffer emptied again after a pick.
      EXPECT_EQ(std::tuple(e.ofn.lStructSize, e.ofn.nMaxFile, e.ofn.Flags, !e.ofn.hwndOwner,
                           !e.ofn.lpstrInitialDir, e.buffer_was_empty, e.caption),
                std::tuple(152u, 260u, 0x1804u, true, true, true, u"Disc images (*.iso)|*.iso|"));
    } else if (e.kind == FakeEvent::kBox) {
      EXPECT_EQ(e.type, e.text == explain ? MB_ICONINFORMATION | MB_OKCANCEL : MB_ICONWARNING);
      EXPECT_EQ(e.caption, u"Halvorn Glint");
      EXPECT_FALSE(e.owner);
    }
    seen.push_back(e.kind == FakeEvent::kWindowGone ? u"gone" : e.text);
  }
  const std::u16string pick = u"Your Halvorn: The Morvath Saga disc image (disc 1)",
                       window = u"Installing Halvorn from your disc image...";
  EXPECT_EQ(seen, (std::vector<std::u16string>{explain, pick, refused, explain, pick, explain, pick,
                                               window, u"gone", refused, explain, pick, window,
                                               u"gone"}));
  EXPECT_EQ(folder.Log(),
            Placed("setup: data in %D\r\npicked %I\r\nimage: GAMEDAT\\CAMPAIGN.DAT missing or "
                   "another size\r\n%I: not the Morvath Saga's disc 1\r\n",
                   wrong, folder.data_text) +
                Placed("picked %I\r\ncan't write %D\\GAMEDAT\\MISSN10.MIS\r\ninstalled 19 files "
                       "from %I into %D: FAILED\r\npicked %I\r\ninstalled 125 files from %I "
                       "into %D: done\r\nsetup done\r\n",
                       right, folder.data_text));
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
