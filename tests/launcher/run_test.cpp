#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "launcher/paths.h"
#include "launcher/run.h"
#include "launcher/setup_log.h"
#include "tests/support/process.h"
#include "tests/support/files.h"
#include "tests/support/release.h"
#include "tests/support/fake_platform.h"

namespace {

struct RunTest : ::testing::Test {
  TempDir dir;
  fs::path root = dir.path / "Halvorn Glint";
  ScopedFake fake;
  void Prepare(const ReleaseParts& parts) {
    MakeReleaseFolder(root, parts);
    SetInstallRoot(Wide(root).c_str());
    SetTestEnvironment("HV_STANDIN_RECORD", fs::path(GameRecordPath(root)).string().c_str());
  }
  void TearDown() override { SetTestEnvironment("HV_STANDIN_RECORD", nullptr); }
};

TEST_F(RunTest, StartsTheGameWithDx12InTheDataDirectory) {
  Prepare({});
  EXPECT_EQ(RunSequence(DefaultOptions(), kGameManifest), 0);
  ASSERT_EQ(Fake().Processes().size(), 1u);
  const FakeEvent game = Fake().Processes()[0];
  std::u16string program = Wide(root) + u"\\bin\\hv1-glint.exe";
  EXPECT_EQ(game.caption, program);
  EXPECT_EQ(game.text, u"\"" + program + u"\" --dx12");
  EXPECT_EQ(game.folder, Wide(root) + u"\\data\\HV1");
  EXPECT_FALSE(game.owner);
  EXPECT_EQ(game.type, 0u);
  EXPECT_EQ(game.startup.cb, sizeof(STARTUPINFOW));
  EXPECT_EQ(game.startup.dwFlags, 0u);
  EXPECT_TRUE(Fake().Boxes().empty());
  // The launcher does not wait: its handles are closed at once.
  EXPECT_EQ(OpenHandleReport(), "");
  // Nothing to log on this path, but the log exists.
  EXPECT_EQ(ReadFileBytes(root / "setup.log"), "");
}

TEST_F(RunTest, NoPlayStopsBeforeTheGame) {
  Prepare({});
  LauncherOptions options = DefaultOptions();
  options.play = false;
  EXPECT_EQ(RunSequence(options, kGameManifest), 0);
  EXPECT_TRUE(Fake().Processes().empty());
  EXPECT_TRUE(Exists(root / "setup.log"));
  EXPECT_EQ(OpenHandleReport(), "");
}

TEST_F(RunTest, AMissingGameProgramIsTheUsersToFix) {
  ReleaseParts parts;
  parts.game = false;
  Prepare(parts);
  EXPECT_EQ(RunSequence(DefaultOptions(), kGameManifest), 1);
  ASSERT_EQ(Fake().Boxes().size(), 1u);
  const FakeEvent box = Fake().Boxes()[0];
  EXPECT_EQ(box.caption, u"Halvorn Glint");
  EXPECT_EQ(box.type, MB_ICONERROR);
  EXPECT_FALSE(box.owner);
  EXPECT_EQ(box.text,
            u"Halvorn Glint couldn't start bin\\hv1-glint.exe.\n\nUnzip the whole folder first "
            u"(don't run it from inside the zip), and keep bin, data, models and cutscenes "
            u"together.");
  EXPECT_EQ(OpenHandleReport(), "");
}

TEST_F(RunTest, AnOwnPathThatCannotBeHadIsNotRunOn) {
  Fake().fail_op = Op::GetModuleFileNameW;
  Fake().fail_op_nth = 1;
  EXPECT_EQ(RunLauncher(u"--no-play"), 1);
  ASSERT_EQ(Fake().Boxes().size(), 1u);
  EXPECT_EQ(Fake().Boxes()[0].caption, u"Halvorn Glint");
  EXPECT_NE(Fake().Boxes()[0].text.find(u"can't find its own folder"), std::u16string::npos);
  EXPECT_TRUE(Fake().Processes().empty());
}

TEST_F(RunTest, InstallRootIsTheFolderOfTheProgram) {
  // From this test program's own path; the data directory hangs under it.
  ASSERT_TRUE(FillLauncherPaths());
  std::u16string root_now(g_paths.install_root);
  std::u16string expected = Wide(BuildDir() / "tests");
  for (char16_t& c : expected) c = c == u'/' ? u'\\' : c;
  EXPECT_EQ(root_now, expected);
  EXPECT_EQ(std::u16string(g_paths.data_dir), root_now + u"\\data\\HV1");
}

// The built program, as a person starts it.
struct LauncherProcessTest : RunTest {
  ProgramResult Run(const std::u16string& args) {
    std::u16string exe = Wide(LauncherIn(root));
    std::u16string command = u"\"" + exe + u"\"" + (args.empty() ? u"" : u" " + args);
    return RunProgramToEnd(exe.c_str(), command.c_str(), Wide(dir.path).c_str(), "", 60000);
  }
  ReleaseParts WithLauncher() {
    ReleaseParts parts;
    parts.launcher = true;
    return parts;
  }
};

TEST_F(LauncherProcessTest, StartsTheGameAndExits) {
  Prepare(WithLauncher());
  ProgramResult result = Run(u"");
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exit_code, 0u) << result.output;
  // The game runs on after the launcher ends: wait, boundedly, for its record.
  std::string record;
  for (int i = 0; i < 200 && record.find("arg=--dx12\n") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    record = ReadFileBytes(GameRecordPath(root));
  }
  EXPECT_NE(record.find("argc=2\narg=--dx12\n"), std::string::npos) << record;
  fs::path cwd = fs::path(record.substr(4, record.find('\n') - 4));
  EXPECT_TRUE(fs::equivalent(cwd, root / "data" / "HV1")) << record;
  EXPECT_EQ(ReadFileBytes(root / "setup.log"), "");
}

TEST_F(LauncherProcessTest, NoPlayLeavesAnEmptyLogAndNoGame) {
  Prepare(WithLauncher());
  ProgramResult result = Run(u"--no-play");
  ASSERT_TRUE(result.started);
  EXPECT_EQ(result.exit_code, 0u) << result.output;
  EXPECT_TRUE(Exists(root / "setup.log"));
  EXPECT_EQ(ReadFileBytes(root / "setup.log"), "");
  EXPECT_FALSE(Exists(GameRecordPath(root)));
}

}  // namespace
