#include <gtest/gtest.h>

#include <string>

#include "disc/installed.h"
#include "disc/setup_driver.h"
#include "launcher/setup_log.h"
#include "tests/support/process.h"
#include "tests/support/disc_images.h"
#include "tests/support/release.h"
#include "tests/support/fake_platform.h"

namespace {

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
  // A failed setup has closed the log already.
  std::string LogAfterFailure() {
    g_setup_log = INVALID_HANDLE_VALUE;
    return folder.Log();
  }
};

// The whole picker flow: the explanation, the dialog, a wrong file and its
// warning, a cancelled dialog (back to the explanation), then the right file.
TEST_F(SetupTest, PickerOffersTheChoiceUntilAnImageInstalls) {
  std::u16string wrong = Wide(TestImage("level1.iso"));
  std::u16string right = Wide(TestImage("full.iso"));
  Fake().box_answers = {IDOK, IDOK, IDOK, IDOK};
  Fake().dialog_answers = {wrong, std::nullopt, right};
  EXPECT_TRUE(RunSetup(nullptr, kGameManifest));
  EXPECT_EQ(Fake().unscripted_boxes, 0);
  EXPECT_EQ(Fake().unscripted_dialogs, 0);

  ASSERT_EQ(Fake().Boxes().size(), 4u);
  for (int i : {0, 2, 3}) {
    EXPECT_EQ(Fake().Boxes()[i].text, kExplain);
    EXPECT_EQ(Fake().Boxes()[i].type, MB_ICONINFORMATION | MB_OKCANCEL);
  }
  EXPECT_EQ(Fake().Boxes()[1].text, kRefused);
  EXPECT_EQ(Fake().Boxes()[1].type, MB_ICONWARNING);
  for (const FakeEvent& box : Fake().Boxes()) {
    EXPECT_EQ(box.caption, u"Halvorn Glint");
    EXPECT_FALSE(box.owner);
  }

  ASSERT_EQ(Fake().Dialogs().size(), 3u);
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
                              Utf8(right) + "\r\ninstalled 125 files from " + Utf8(right) +
                              " into " + folder.data_text + ": done\r\nsetup done\r\n");
  EXPECT_TRUE(IsDataInstalled());
  // Not quiet: the status window came and went during the copy.
  ASSERT_FALSE(Fake().Windows().empty());
  EXPECT_EQ(Fake().Windows().front().text, u"Installing Halvorn from your disc image...");
  EXPECT_EQ(Fake().Windows().back().kind, FakeEvent::kWindowGone);
}

TEST_F(SetupTest, CancellingTheExplanationEndsSetup) {
  Fake().box_answers = {IDCANCEL};
  EXPECT_FALSE(RunSetup(nullptr, kGameManifest));
  EXPECT_TRUE(Fake().Dialogs().empty());
  EXPECT_EQ(LogAfterFailure(), SetupLine() + "setup not done\r\n");
  EXPECT_FALSE(Exists(folder.root / "data"));
  EXPECT_EQ(OpenHandleReport(), "");  // the log was closed
}

TEST_F(SetupTest, SetupFromAMissingFileAsksNothing) {
  std::u16string missing = Wide(folder.dir.path / "nowhere.iso");
  EXPECT_FALSE(RunSetup(missing.c_str(), kGameManifest));
  EXPECT_TRUE(Fake().Boxes().empty());
  EXPECT_EQ(LogAfterFailure(),
            SetupLine() + "can't open " + Utf8(missing) + "\r\nsetup not done\r\n");
}

// A copy that fails part-way is refused like a wrong image ("Nothing was
// installed." although some files were), and the choice is offered again.
TEST_F(SetupTest, ACopyFailingPartWayWarnsAndOffersTheChoiceAgain) {
  Fake().fail_op = Op::CreateFileW;
  Fake().fail_op_nth = 2 + 20;  // the log, the image, then the 20th file
  Fake().box_answers = {IDOK, IDOK, IDCANCEL};
  Fake().dialog_answers = {Wide(TestImage("full.iso"))};
  EXPECT_FALSE(RunSetup(nullptr, kGameManifest));
  ASSERT_EQ(Fake().Boxes().size(), 3u);
  EXPECT_EQ(Fake().Boxes()[1].text, kRefused);
  EXPECT_EQ(Fake().Boxes()[2].text, kExplain);
  std::string log = LogAfterFailure();
  EXPECT_NE(log.find("\r\ninstalled 19 files from "), std::string::npos) << log;
  EXPECT_NE(log.find(": FAILED\r\nsetup not done\r\n"), std::string::npos) << log;
  EXPECT_EQ(OpenHandleReport(), "");
}

// The built program with the compiled-in manifest on a full-size image.
TEST(FullImageTest, InstallsFromTheCommandLineByteForByte) {
  TempDir dir;
  fs::path root = dir.path / "Halvorn Glint";
  ReleaseParts parts;
  parts.launcher = true;
  parts.data = false;
  MakeReleaseFolder(root, parts);
  std::u16string exe = Wide(LauncherIn(root));
  std::u16string image = Wide(TestImage("full.iso"));
  std::u16string command = u"\"" + exe + u"\" --setup-from \"" + image + u"\" --no-play";
  ProgramResult result =
      RunProgramToEnd(exe.c_str(), command.c_str(), Wide(dir.path).c_str(), "", 240000);
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exit_code, 0u) << result.output;
  EXPECT_EQ(TreeDifferences(FullTree(), root / "data" / "HV1"), "");
  // The program names its folders from its own path, with backslashes.
  std::u16string data = Wide(root) + u"\\data\\HV1";
  for (char16_t& c : data) c = c == u'/' ? u'\\' : c;
  EXPECT_EQ(ReadFileBytes(root / "setup.log"),
            "setup: data in " + Utf8(data) + "\r\ninstalled 125 files from " + Utf8(image) +
                " into " + Utf8(data) + ": done\r\nsetup done\r\n");
}

}  // namespace
