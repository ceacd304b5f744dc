#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "disc/install.h"
#include "disc/installed.h"
#include "launcher/paths.h"
#include "tests/support/disc_images.h"
#include "tests/support/iso_builder.h"
#include "tests/support/fake_platform.h"

namespace {

struct InstallTest : ::testing::Test {
  ScopedFake fake;  // first: it sees the log opened and closed
  InstallFolder folder;

  bool Install(const fs::path& image, const std::vector<ManifestEntry>& manifest,
               bool quiet = true) {
    return VerifyAndInstallImage(Wide(image).c_str(), quiet,
                                 {manifest.data(), static_cast<uint32_t>(manifest.size())});
  }
  std::string Installed(const fs::path& image, size_t files, const char* result) {
    return "installed " + std::to_string(files) + " files from " + Utf8(Wide(image)) + " into " +
           folder.data_text + ": " + result + "\r\n";
  }
  std::string Refused(const fs::path& image) {
    return Utf8(Wide(image)) + ": not the Morvath Saga's disc 1\r\n";
  }
};

// What imaging programs write: 8.3 names with ";1", names without version
// suffixes, Joliet and Rock Ridge on top; folders spanning several sectors,
// deep folders, an empty folder, files of 0 bytes, 1 MiB and 1 MiB + 1.
struct VariantTest : InstallTest, ::testing::WithParamInterface<const char*> {};

TEST_P(VariantTest, InstallsTheWholeFolderByteForByte) {
  fs::path image = TestImage(GetParam());
  ASSERT_TRUE(Install(image, kSmallManifest));
  EXPECT_EQ(TreeDifferences(SmallTree(), folder.data), "");
  EXPECT_EQ(folder.Log(), Installed(image, CountFiles(SmallTree()), "done"));
  EXPECT_TRUE(Fake().Windows().empty());
  EXPECT_EQ(OpenHandleReport(), "");
}

INSTANTIATE_TEST_SUITE_P(Xorriso, VariantTest,
                         ::testing::Values("level1.iso", "level2-nover.iso",
                                           "level3-joliet-rr.iso"),
                         [](const auto& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find_first_of("-."));
                         });

TEST_F(InstallTest, NamesMatchWithoutCaseAndTheStatusWindowShowsWhenAsked) {
  std::vector<ManifestEntry> manifest = {{u"gamedat\\f01.dat", 997}, {u"Hv1.Exe", 4321}};
  fs::path image = TestImage("level2-nover.iso");
  ASSERT_TRUE(Install(image, manifest, false));
  ASSERT_EQ(Fake().Windows().size(), 2u);
  EXPECT_EQ(Fake().Windows()[0].kind, FakeEvent::kWindowShown);
  EXPECT_EQ(Fake().Windows()[0].text, u"Installing Halvorn from your disc image...");
  EXPECT_EQ(Fake().Windows()[1].kind, FakeEvent::kWindowGone);
}

// An image refused by its rows: the row's line, the image's, nothing written.
// (Images refused for their shape are in the hostile catalogue.)
struct Refusal {
  const char* name;
  std::vector<ManifestEntry> manifest;  // checked against level1.iso
  const char* row_line;
};

const Refusal kRefusals[] = {
    {"SizeOneByteOff",
     {{u"HV1.EXE", 4321}, {u"GAMEDAT\\F05.DAT", 4986}, {u"GAMEDAT\\F06.DAT", 1}},
     "image: GAMEDAT\\F05.DAT missing or another size\r\n"},
    {"RowIsAFolder", {{u"MANY", 2048}}, "image: MANY missing or another size\r\n"},
    {"BelowAFile", {{u"HV1.EXE\\HV1.EXE", 4321}},
     "image: HV1.EXE\\HV1.EXE missing or another size\r\n"},
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

struct RefusalTest : InstallTest, ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, IsLoggedAndWritesNothing) {
  const Refusal& r = GetParam();
  fs::path image = TestImage("level1.iso");
  EXPECT_FALSE(Install(image, r.manifest));
  EXPECT_EQ(folder.Log(), std::string(r.row_line) + Refused(image));
  EXPECT_FALSE(Exists(folder.root / "data"));
  EXPECT_TRUE(Fake().Windows().empty());
  EXPECT_EQ(OpenHandleReport(), "");
}

INSTANTIATE_TEST_SUITE_P(Images, RefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InstallTest, AMissingImageCannotBeOpened) {
  fs::path image = folder.dir.path / "gone.iso";
  EXPECT_FALSE(Install(image, kSmallManifest));
  EXPECT_EQ(folder.Log(), "can't open " + Utf8(Wide(image)) + "\r\n");
}

// A small image of our own: HV1 holding A.DAT (5 bytes), B.DAT (3 MiB + 7)
// and C.DAT (0 bytes), in that order.
struct CopyTest : InstallTest {
  fs::path image = folder.dir.path / "copy.iso";
  std::string b = std::string(3 * 0x100000 + 7, 'b');
  void SetUp() override {
    IsoImage iso = NewIsoImage();
    uint32_t a = AddIsoFile(iso, "aaaaa");
    for (size_t i = 0; i < b.size(); i += 4093) b[i] = static_cast<char>(i / 4093);
    uint32_t bb = AddIsoFile(iso, b);
    uint32_t c = AddIsoFile(iso, "");
    uint32_t hv1_size = 0;
    PutIsoRootWithFolder(iso,
                         {IsoRecord("A.DAT;1", a, 5, false),
                          IsoRecord("B.DAT;1", bb, static_cast<uint32_t>(b.size()), false),
                          IsoRecord("C.DAT;1", c, 0, false)},
                         &hv1_size);
    SaveIsoImage(iso, image);
  }
};

TEST_F(CopyTest, ReplacesReadOnlyCopiesAndLeavesOtherFilesAlone) {
  WriteFileBytes(folder.data / "A.DAT", "old contents, longer than the new");
  fs::permissions(folder.data / "A.DAT", fs::perms::owner_read, fs::perm_options::replace);
  WriteFileBytes(folder.data / "MINE.SAV", "a saved game");
  ASSERT_TRUE(Install(image, {}));
  EXPECT_EQ(ReadFileBytes(folder.data / "A.DAT"), "aaaaa");
  EXPECT_EQ(ReadFileBytes(folder.data / "B.DAT"), b);
  EXPECT_TRUE(Exists(folder.data / "C.DAT"));
  EXPECT_EQ(ReadFileBytes(folder.data / "C.DAT"), "");
  EXPECT_EQ(ReadFileBytes(folder.data / "MINE.SAV"), "a saved game");
  EXPECT_EQ(folder.Log(), Installed(image, 3, "done"));
}

TEST_F(CopyTest, ReadsInChunksOfOneMebibyte) {
  ASSERT_TRUE(Install(image, {}));
  // The descriptor, the root to find HV1, HV1 for the copy, then A.DAT in one
  // chunk and B.DAT in four; C.DAT reads nothing.
  EXPECT_EQ(Fake().Calls(Op::ReadFile), 3 + 1 + 4);
}

TEST_F(CopyTest, AFileCutShortIsCountedAndStopsTheCopy) {
  Fake().short_read_nth = 5;  // B.DAT's first chunk
  Fake().short_bytes = 100;
  EXPECT_FALSE(Install(image, {}));
  EXPECT_EQ(folder.Log(), "copy failed at " + folder.data_text + "\\B.DAT\r\n" +
                              Installed(image, 2, "FAILED"));
  EXPECT_FALSE(Exists(folder.data / "C.DAT"));
  EXPECT_EQ(OpenHandleReport(), "");
}

TEST_F(CopyTest, AFileThatCannotBeCreatedIsNotCounted) {
  Fake().fail_op = Op::CreateFileW;
  Fake().fail_op_nth = 4;  // the log, the image, A.DAT, then B.DAT
  EXPECT_FALSE(Install(image, {}));
  EXPECT_EQ(folder.Log(), "can't write " + folder.data_text + "\\B.DAT\r\n" +
                              Installed(image, 1, "FAILED"));
  EXPECT_EQ(OpenHandleReport(), "");
}

TEST_F(CopyTest, AnUnreadableFolderCountsNothing) {
  Fake().fail_op = Op::ReadFile;
  Fake().fail_op_nth = 3;  // HV1, read for the copy
  EXPECT_FALSE(Install(image, {}));
  EXPECT_EQ(folder.Log(), Installed(image, 0, "FAILED"));
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
  uint32_t hv1_size = 0;
  PutIsoRootWithFolder(iso, {IsoRecord("CASE.DAT;1", upper, 5, false),
                             IsoRecord("case.dat", lower, 5, false)}, &hv1_size);
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

struct InstalledTest : ::testing::Test {
  InstallFolder folder;
  fs::path gamedat = folder.data / "GAMEDAT";
  void Files(int n) {
    for (int i = 0; i < n; ++i) WriteFileBytes(gamedat / ("F" + std::to_string(i)), "");
  }
};

TEST_F(InstalledTest, TwentyFilesAtTheTopOfGamedat) {
  EXPECT_FALSE(IsDataInstalled());  // no data directory
  Files(19);
  fs::create_directories(gamedat / "SUB1");
  WriteFileBytes(gamedat / "SUB2" / "INNER.DAT", "");
  EXPECT_FALSE(IsDataInstalled());  // folders and what they hold do not count
  Files(20);
  EXPECT_TRUE(IsDataInstalled());
  ScopedFake fake;  // a folder that cannot be listed is not installed
  fake->fail_op = Op::FindFirstFileW;
  fake->fail_op_nth = 1;
  EXPECT_FALSE(IsDataInstalled());
}

TEST_F(InstalledTest, AFileNamedGamedatIsNotInstalled) {
  WriteFileBytes(gamedat, "not a folder");
  EXPECT_FALSE(IsDataInstalled());
}

}  // namespace
