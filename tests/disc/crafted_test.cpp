#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "disc/verify.h"
#include "tests/support/disc_images.h"
#include "tests/support/iso_builder.h"
#include "tests/support/test_platform.h"

namespace {

// Images no mastering program writes, made to step outside the data
// directory or to make the copy run without end.
struct CraftedTest : ::testing::Test {
  ScopedTestPlatform platform;
  InstallFolder folder;
  fs::path image_path = folder.dir.path / "crafted.iso";
  // Everything in the test's folder outside the data directory, before.
  std::vector<std::string> outside_before;

  std::vector<std::string> Outside() {
    std::vector<std::string> entries;
    for (auto it = fs::recursive_directory_iterator(folder.dir.path);
         it != fs::recursive_directory_iterator(); ++it) {
      if (it->path() == folder.data) {
        it.disable_recursion_pending();
        continue;
      }
      // The data directory's own parent is made with it.
      if (it->path() == folder.root / "setup.log" || it->path() == image_path ||
          it->path() == folder.data.parent_path()) {
        continue;
      }
      entries.push_back(fs::relative(it->path(), folder.dir.path).generic_string());
    }
    return entries;
  }
  bool Install(const IsoImage& image) {
    SaveIsoImage(image, image_path);
    outside_before = Outside();
    return VerifyAndInstallImage(Wide(image_path).c_str(), true, nullptr, 0);
  }
  std::string Line(const std::string& text) { return text + "\r\n"; }
  std::string Installed(size_t files, const char* result) {
    return "installed " + std::to_string(files) + " files from " + Utf8(Wide(image_path)) +
           " into " + folder.data_text + ": " + result + "\r\n";
  }
  void TearDown() override {
    EXPECT_EQ(Outside(), outside_before);
    EXPECT_EQ(OpenHandleReport(), "");
  }
};

TEST_F(CraftedTest, UnsafeNamesAreSkippedAndTheRestIsCopied) {
  IsoImage image = NewIsoImage();
  uint32_t data = AddIsoFile(image, "evil");
  uint32_t inner = ReserveIsoBlocks(image, 1);
  uint32_t inner_size = PutIsoDirectory(image, inner, inner, {IsoRecord("ESCAPED.DAT", data, 4, false)});
  std::vector<std::string> records;
  // Each identifier and the name it normalises to (one final dot dropped).
  const std::pair<const char*, const char*> names[] = {
      {"...", ".."}, {"..", "."}, {". .", ". "}, {"A\\B", "A\\B"}, {"A/B", "A/B"},
      {"C:", "C:"}, {"X:Y", "X:Y"}, {"TAB\tNAME", "TAB?NAME"},
      {"X\r\nsetup done", "X??setup done"}, {"NUL", "NUL"},
      {"con.txt", "con.txt"}, {"COM1", "COM1"}, {"Q?", "Q?"}, {"", ""}};
  for (auto [id, name] : names) records.push_back(IsoRecord(std::string(id) + ";1", data, 4, false));
  records.push_back(IsoRecord("...", inner, inner_size, true));  // a folder that would be ".."
  records.push_back(IsoRecord("GOOD.DAT;1", data, 4, false));
  uint32_t hv1_size = 0;
  PutIsoRootWithFolder(image, records, &hv1_size);
  EXPECT_TRUE(Install(image));
  std::string expected;
  for (auto [id, name] : names) expected += Line(std::string("image: unsafe name ") + name);
  expected += Line("image: unsafe name ..");
  EXPECT_EQ(folder.Log(), expected + Installed(1, "done"));
  EXPECT_EQ(CountFiles(folder.data), 1u);
  EXPECT_EQ(ReadFileBytes(folder.data / "GOOD.DAT"), "evil");
}

// Records leading back to a folder being copied: to itself, or three levels
// up; and one nesting deeper than the copy follows.
TEST_F(CraftedTest, ALoopFailsTheCopyInsteadOfRunningForever) {
  IsoImage image = NewIsoImage();
  uint32_t file = AddIsoFile(image, "x");
  uint32_t a = ReserveIsoBlocks(image, 1);
  uint32_t b = ReserveIsoBlocks(image, 1);
  uint32_t c = ReserveIsoBlocks(image, 1);
  PutIsoDirectory(image, c, b, {IsoRecord("F.DAT", file, 1, false), IsoRecord("UP", a, 2048, true)});
  PutIsoDirectory(image, b, a, {IsoRecord("C", c, 2048, true)});
  PutIsoDirectory(image, a, a, {IsoRecord("B", b, 2048, true)});
  uint32_t hv1_size = 0;
  PutIsoRootWithFolder(image, {IsoRecord("A", a, 2048, true)}, &hv1_size);
  EXPECT_FALSE(Install(image));
  EXPECT_EQ(folder.Log(), Line("image: directory loop at " + folder.data_text + "\\A\\B\\C\\UP") +
                              Installed(1, "FAILED"));
}

// Two records leading to one folder: copied once, the second refused, as
// sharing would multiply the work at every level below.
TEST_F(CraftedTest, AFolderReachedTwiceIsCopiedOnce) {
  IsoImage image = NewIsoImage();
  uint32_t file = AddIsoFile(image, "x");
  uint32_t shared = ReserveIsoBlocks(image, 1);
  uint32_t size = PutIsoDirectory(image, shared, shared, {IsoRecord("F.DAT", file, 1, false)});
  uint32_t hv1_size = 0;
  PutIsoRootWithFolder(image, {IsoRecord("ONE", shared, size, true), IsoRecord("TWO", shared, size, true)},
                       &hv1_size);
  EXPECT_FALSE(Install(image));
  EXPECT_EQ(folder.Log(), Line("image: directory loop at " + folder.data_text + "\\TWO") +
                              Installed(1, "FAILED"));
  EXPECT_TRUE(Exists(folder.data / "ONE" / "F.DAT"));
}

TEST_F(CraftedTest, NestingIsBounded) {
  IsoImage image = NewIsoImage();
  // 70 folders, each holding the next; names of one letter keep the path short.
  std::vector<uint32_t> extents;
  for (int i = 0; i < 70; ++i) extents.push_back(ReserveIsoBlocks(image, 1));
  for (int i = 0; i < 70; ++i) {
    std::vector<std::string> records;
    if (i + 1 < 70) records.push_back(IsoRecord("D", extents[i + 1], 2048, true));
    PutIsoDirectory(image, extents[i], i == 0 ? extents[0] : extents[i - 1], records);
  }
  uint32_t hv1_size = 0;
  PutIsoRootWithFolder(image, {IsoRecord("D", extents[0], 2048, true)}, &hv1_size);
  EXPECT_FALSE(Install(image));
  std::string path = folder.data_text;
  for (int i = 0; i < 65; ++i) path += "\\D";
  EXPECT_EQ(folder.Log(), Line("image: too deep at " + path) + Installed(0, "FAILED"));
}

// An identifier running past its record ends that folder's walk: the records
// before it are copied, none after it.
TEST_F(CraftedTest, AnIdentifierPastItsRecordEndsTheFolder) {
  IsoImage image = NewIsoImage();
  uint32_t data = AddIsoFile(image, "ok");
  uint32_t hv1_size = 0;
  PutIsoRootWithFolder(image, {IsoRecord("FIRST.DAT", data, 2, false),
                               IsoRawRecord(40, 30, "LONGNAME.DAT", data, 2, false),
                               IsoRecord("AFTER.DAT", data, 2, false)},
                       &hv1_size);
  EXPECT_TRUE(Install(image));
  EXPECT_EQ(folder.Log(), Installed(1, "done"));
  EXPECT_TRUE(Exists(folder.data / "FIRST.DAT"));
  EXPECT_FALSE(Exists(folder.data / "AFTER.DAT"));
}

}  // namespace
