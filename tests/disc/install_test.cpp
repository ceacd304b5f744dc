#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "disc/install.h"
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

struct InstallTest : ::testing::Test {
  ScopedFake fake;  // first: it sees the log opened and closed
  InstallFolder folder;

  bool Install(const fs::path& image, const std::vector<ManifestEntry>& manifest) {
    return VerifyAndInstallImage(Wide(image).c_str(), true,
                                 {manifest.data(), static_cast<uint32_t>(manifest.size())});
  }
  std::string Installed(const fs::path& image, size_t files, const char* result) {
    return "installed " + std::to_string(files) + " files from " + Utf8(Wide(image)) + " into " +
           folder.data_text + ": " + result + "\r\n";
  }
};

// What imaging programs write: 8.3 names with ";1", names without version
// suffixes, Joliet and Rock Ridge on top; folders spanning several sectors,
// deep folders, an empty folder, files of 0 bytes, 1 MiB and 1 MiB + 1.
struct VariantTest : InstallTest, ::testing::WithParamInterface<const char*> {};

TEST_P(VariantTest, InstallsTheWholeFolderByteForByte) {
  fs::path image = TestImage(GetParam());
  // Rows found in each form: with and without ";1", empty, in the top folder.
  ASSERT_TRUE(Install(image, {{u"GAMEDAT\\F05.DAT", 4985}, {u"GAMEDAT\\EMPTY.DAT", 0},
                              {u"STREAMS\\INTRO.STR", 70001}, {u"HV1.EXE", 4321}}));
  EXPECT_EQ(TreeDifferences(SmallTree(), folder.data), "");
  EXPECT_EQ(folder.Log(), Installed(image, CountFiles(SmallTree()), "done"));
  EXPECT_TRUE(Fake().Windows().empty());  // quiet: no status window
  EXPECT_EQ(OpenHandleReport(), "");
}

INSTANTIATE_TEST_SUITE_P(Xorriso, VariantTest,
                         ::testing::Values("level1.iso", "level2-nover.iso",
                                           "level3-joliet-rr.iso"),
                         [](const auto& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find_first_of("-."));
                         });

// An image refused by its rows: the first failing row's line (the rows after
// it are not checked), the image's, nothing written. (Images refused for
// their shape are in the hostile catalogue.)
TEST_F(InstallTest, ARefusedRowIsLoggedAndWritesNothing) {
  struct Refusal {
    std::vector<ManifestEntry> manifest;  // checked against level1.iso
    const char* row;
  } refusals[] = {
      {{{u"HV1.EXE", 4321}, {u"GAMEDAT\\F05.DAT", 4986}, {u"GAMEDAT\\F06.DAT", 1}},
       "GAMEDAT\\F05.DAT"},  // one byte off
      {{{u"MANY", 2048}}, "MANY"},  // a folder
      {{{u"HV1.EXE\\HV1.EXE", 4321}}, "HV1.EXE\\HV1.EXE"},  // below a file
  };
  fs::path image = TestImage("level1.iso");
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.row);
    EXPECT_FALSE(Install(image, r.manifest));
    EXPECT_EQ(folder.Log(), "image: " + std::string(r.row) + " missing or another size\r\n" +
                                Utf8(Wide(image)) + ": not the Morvath Saga's disc 1\r\n");
    EXPECT_FALSE(Exists(folder.root / "data"));
    EXPECT_EQ(OpenHandleReport(), "");
    fs::remove(folder.root / "setup.log");
    OpenSetupLog();
  }
}

// HV1 holding A.DAT (5 bytes), B.DAT (3 MiB + 7) and C.DAT (0 bytes).
struct CopyTest : InstallTest {
  fs::path image = TestImage("copy.iso");
};

TEST_F(CopyTest, ReplacesReadOnlyCopiesInChunksAndLeavesOtherFilesAlone) {
  WriteFileBytes(folder.data / "A.DAT", "old contents, longer than the new");
  fs::permissions(folder.data / "A.DAT", fs::perms::owner_read, fs::perm_options::replace);
  WriteFileBytes(folder.data / "MINE.SAV", "a saved game");
  ASSERT_TRUE(Install(image, {}));
  EXPECT_EQ(TreeDifferences(TestImage("trees/copy/HV1"), folder.data), "extra: MINE.SAV\n");
  EXPECT_EQ(ReadFileBytes(folder.data / "MINE.SAV"), "a saved game");
  EXPECT_EQ(folder.Log(), Installed(image, 3, "done"));
  // The descriptor, the root to find HV1, HV1 for the copy, then A.DAT in one
  // 1 MiB chunk and B.DAT in four; C.DAT reads nothing.
  EXPECT_EQ(Fake().Calls(Op::ReadFile), 3 + 1 + 4);
}

// A failure part-way stops the copy; a file counts once created, even when
// cut short.
TEST_F(CopyTest, AFailureStopsTheCopy) {
  struct Case {
    Op op;        // fails at its nth call (kCount: a read comes up short)
    int nth;
    std::string line;  // before the last one
    size_t files;
  } cases[] = {
      {Op::kCount, 5, "copy failed at " + folder.data_text + "\\B.DAT\r\n", 2},  // B's 1st chunk
      {Op::CreateFileW, 4, "can't write " + folder.data_text + "\\B.DAT\r\n", 1},  // log, image, A
      {Op::ReadFile, 3, "", 0},  // HV1, read for the copy
  };
  folder.Log();  // each case opens it under its own fake, which counts that
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nth);
    ScopedFake fault;
    fault->short_read_nth = c.op == Op::kCount ? c.nth : 0;
    fault->short_bytes = 100;
    fault->fail_op = c.op;
    fault->fail_op_nth = c.nth;
    OpenSetupLog();
    EXPECT_FALSE(Install(image, {}));
    EXPECT_EQ(folder.Log(), c.line + Installed(image, c.files, "FAILED"));
    EXPECT_FALSE(Exists(folder.data / "C.DAT"));
    EXPECT_EQ(OpenHandleReport(), "");
    fs::remove_all(folder.root / "data");
    fs::remove(folder.root / "setup.log");
  }
}

// A target path needs more than 259 characters: it is not written at a cut
// path (which would name another file) but reported and the copy fails.
TEST_F(CopyTest, ATargetPathTooLongIsNotCut) {
  size_t room = 259 - Wide(folder.root).size() - 12;
  fs::path deep = folder.root / std::string(room, 'd');
  SetInstallRoot(Wide(deep).c_str());
  std::u16string data = g_paths.data_dir;
  ASSERT_EQ(data.size(), 257u);
  EXPECT_FALSE(Install(image, {}));
  std::u16string cut = (data + u"\\A.DAT").substr(0, 259);
  EXPECT_EQ(folder.Log(), "can't write " + Utf8(cut) + "\r\ninstalled 0 files from " +
                              Utf8(Wide(image)) + " into " + Utf8(data) + ": FAILED\r\n");
  // Nothing was written (Windows does not even make a folder that long).
  EXPECT_EQ(Exists(deep) ? CountFiles(deep) : 0u, 0u);
}

// Names differing only in case: on Windows one file, the later copy
// replacing the earlier; on a case-sensitive file system each keeps its own.
TEST_F(InstallTest, NamesDifferingInCaseFollowTheFileSystem) {
  IsoImage iso = NewIsoImage();
  uint32_t upper = AddIsoFile(iso, "upper");
  uint32_t lower = AddIsoFile(iso, "lower");
  PutIsoRootWithFolder(iso, {IsoRecord("CASE.DAT;1", upper, 5, false),
                             IsoRecord("case.dat", lower, 5, false)});
  SaveIsoImage(iso, folder.dir.path / "case.iso");
  ASSERT_TRUE(Install(folder.dir.path / "case.iso", {}));
#ifdef _WIN32
  EXPECT_EQ(CountFiles(folder.data), 1u);
  EXPECT_EQ(ReadFileBytes(folder.data / "CASE.DAT"), "lower");
#else
  EXPECT_EQ(CountFiles(folder.data), 2u);
  EXPECT_EQ(ReadFileBytes(folder.data / "CASE.DAT"), "upper");
  EXPECT_EQ(ReadFileBytes(folder.data / "case.dat"), "lower");
#endif
  EXPECT_EQ(folder.Log(), Installed(folder.dir.path / "case.iso", 2, "done"));
}

TEST(InstalledTest, TwentyFilesAtTheTopOfGamedat) {
  InstallFolder folder;
  fs::path gamedat = folder.data / "GAMEDAT";
  EXPECT_FALSE(IsDataInstalled());  // no data directory
  WriteFileBytes(gamedat, "not a folder");
  EXPECT_FALSE(IsDataInstalled());
  fs::remove(gamedat);
  for (int i = 0; i < 19; ++i) WriteFileBytes(gamedat / ("F" + std::to_string(i)), "");
  fs::create_directories(gamedat / "SUB1");
  WriteFileBytes(gamedat / "SUB2" / "INNER.DAT", "");
  EXPECT_FALSE(IsDataInstalled());  // folders and what they hold do not count
  WriteFileBytes(gamedat / "F19", "");
  EXPECT_TRUE(IsDataInstalled());
  ScopedFake fake;  // a folder that cannot be listed is not installed
  fake->fail_op = Op::FindFirstFileW;
  fake->fail_op_nth = 1;
  EXPECT_FALSE(IsDataInstalled());
}

const std::u16string kExplain =
    u"Halvorn Glint installs from your own copy of Halvorn: The Morvath Saga, as a disc image "
    u"(.iso) of disc 1.\n\nChoose the image file. (Have the CD? Make an .iso of disc 1 with a "
    u"disc-imaging program first.)";
const std::u16string kRefused =
    u"That image isn't Halvorn: The Morvath Saga, disc 1 (its HV1 folder isn't there, or its "
    u"files aren't the Morvath Saga's), or it couldn't be read. Nothing was installed.";

struct SetupTest : ::testing::Test {
  ScopedFake fake;
  InstallFolder folder{false};  // setup opens the log itself
  std::string SetupLine() { return "setup: data in " + folder.data_text + "\r\n"; }
};

// The whole picker flow: the explanation, the dialog, a wrong file and its
// warning, a cancelled dialog (back to the explanation), a copy failing
// part-way (refused like a wrong image: "Nothing was installed." although
// some files were), then the right file.
TEST_F(SetupTest, PickerOffersTheChoiceUntilAnImageInstalls) {
  std::u16string wrong = Wide(TestImage("level1.iso"));
  std::u16string right = Wide(TestImage("full.iso"));
  Fake().fail_op = Op::CreateFileW;
  Fake().fail_op_nth = 3 + 20;  // the log, two images, then the 20th file
  Fake().box_answers = {IDOK, IDOK, IDOK, IDOK, IDOK, IDOK};
  Fake().dialog_answers = {wrong, std::nullopt, right, right};
  EXPECT_TRUE(RunSetup(nullptr, kGameManifest));
  EXPECT_EQ(Fake().unscripted_boxes, 0);
  EXPECT_EQ(Fake().unscripted_dialogs, 0);

  ASSERT_EQ(Fake().Boxes().size(), 6u);
  for (int i : {0, 2, 3, 5}) {
    EXPECT_EQ(Fake().Boxes()[i].text, kExplain);
    EXPECT_EQ(Fake().Boxes()[i].type, MB_ICONINFORMATION | MB_OKCANCEL);
  }
  for (int i : {1, 4}) {
    EXPECT_EQ(Fake().Boxes()[i].text, kRefused);
    EXPECT_EQ(Fake().Boxes()[i].type, MB_ICONWARNING);
  }
  for (const FakeEvent& box : Fake().Boxes()) {
    EXPECT_EQ(box.caption, u"Halvorn Glint");
    EXPECT_FALSE(box.owner);
  }

  ASSERT_EQ(Fake().Dialogs().size(), 4u);
  for (const FakeEvent& d : Fake().Dialogs()) {
    EXPECT_EQ(d.ofn.lStructSize, 152u);
    EXPECT_EQ(d.ofn.hwndOwner, nullptr);
    EXPECT_EQ(d.ofn.lpstrInitialDir, nullptr);
    EXPECT_EQ(d.ofn.nMaxFile, 260u);
    EXPECT_EQ(d.ofn.Flags, 0x1804u);
    EXPECT_EQ(d.caption, u"Disc images (*.iso)|*.iso|");
    EXPECT_EQ(d.text, u"Your Halvorn: The Morvath Saga disc image (disc 1)");
    EXPECT_TRUE(d.buffer_was_empty);  // emptied again after a pick
  }

  EXPECT_EQ(folder.Log(), SetupLine() + "picked " + Utf8(wrong) +
                              "\r\nimage: GAMEDAT\\CAMPAIGN.DAT missing or another size\r\n" +
                              Utf8(wrong) + ": not the Morvath Saga's disc 1\r\npicked " +
                              Utf8(right) + "\r\ncan't write " + folder.data_text +
                              "\\GAMEDAT\\MISSN10.MIS\r\ninstalled 19 files from " + Utf8(right) +
                              " into " + folder.data_text + ": FAILED\r\npicked " + Utf8(right) +
                              "\r\ninstalled 125 files from " + Utf8(right) + " into " +
                              folder.data_text + ": done\r\nsetup done\r\n");
  EXPECT_TRUE(IsDataInstalled());
  // Not quiet: the status window came and went during each copy.
  ASSERT_EQ(Fake().Windows().size(), 4u);
  for (int i : {0, 2}) {
    EXPECT_EQ(Fake().Windows()[i].text, u"Installing Halvorn from your disc image...");
    EXPECT_EQ(Fake().Windows()[i + 1].kind, FakeEvent::kWindowGone);
  }
  EXPECT_EQ(OpenHandleReport(), "");
}

// Giving up at the explanation, or a setup from a file that is not there,
// ends setup undone, the log closed.
TEST_F(SetupTest, CancellingOrAMissingFileEndsSetup) {
  Fake().box_answers = {IDCANCEL};
  EXPECT_FALSE(RunSetup(nullptr, kGameManifest));
  EXPECT_TRUE(Fake().Dialogs().empty());
  std::u16string missing = Wide(folder.dir.path / "nowhere.iso");
  EXPECT_FALSE(RunSetup(missing.c_str(), kGameManifest));
  EXPECT_EQ(Fake().Boxes().size(), 1u);  // the explanation only: nothing asked for the file
  // Forgotten, not closed here: a log the failed setup left open shows below.
  g_setup_log = INVALID_HANDLE_VALUE;
  EXPECT_EQ(folder.Log(), SetupLine() + "setup not done\r\n" + SetupLine() + "can't open " +
                              Utf8(missing) + "\r\nsetup not done\r\n");
  EXPECT_FALSE(Exists(folder.root / "data"));
  EXPECT_EQ(OpenHandleReport(), "");
}

// The built program with the compiled-in manifest on a full-size image.
TEST(FullImageTest, InstallsFromTheCommandLineByteForByte) {
  TempDir dir;
  fs::path root = dir.path / "Halvorn Glint";
  MakeReleaseFolder(root, {.launcher = true, .data = false});
  std::u16string exe = Wide(LauncherIn(root));
  std::u16string image = Wide(TestImage("full.iso"));
  std::u16string command = u"\"" + exe + u"\" --setup-from \"" + image + u"\" --no-play";
  ProgramResult result =
      RunProgramToEnd(exe.c_str(), command.c_str(), Wide(dir.path).c_str(), 240000);
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exit_code, 0u);
  EXPECT_EQ(TreeDifferences(FullTree(), root / "data" / "HV1"), "");
  // The program names its folders from its own path, with backslashes.
  std::u16string data = Wide(root) + u"\\data\\HV1";
  for (char16_t& c : data) c = c == u'/' ? u'\\' : c;
  EXPECT_EQ(ReadFileBytes(root / "setup.log"),
            "setup: data in " + Utf8(data) + "\r\ninstalled 125 files from " + Utf8(image) +
                " into " + Utf8(data) + ": done\r\nsetup done\r\n");
}

}  // namespace
