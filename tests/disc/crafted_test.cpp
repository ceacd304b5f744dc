#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "disc/install.h"
#include "tests/support/process.h"
#include "tests/support/disc_images.h"
#include "tests/support/hostile_images.h"
#include "tests/support/iso_builder.h"
#include "tests/support/fake_platform.h"

namespace {

// Images no mastering program writes, made to step outside the data
// directory or to make the copy run without end.
struct CraftedTest : ::testing::Test {
  ScopedFake fake;
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
    return VerifyAndInstallImage(Wide(image_path).c_str(), true, {nullptr, 0});
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

// Folders whose 16 MiB extents overlap sector by sector, each holding the
// next: each is an extent of its own, and each level would hold 16 MiB of the
// same bytes while it descends (1 GiB by the depth bound). The walk's bound on
// folder data refuses the fourth, with 48 MiB read.
TEST_F(CraftedTest, OverlappingFoldersKeepMemoryBounded) {
  IsoImage image = NewIsoImage();
  const uint32_t sectors = 8192 + 70;
  uint32_t first = ReserveIsoBlocks(image, sectors);
  for (uint32_t k = 0; k + 1 < sectors; ++k) {
    PutIsoBytes(image, uint64_t{first + k} * 2048, IsoRecord("D", first + k + 1, 0x1000000, true));
  }
  image = WithFolder(image, {IsoRecord("D", first, 0x1000000, true)});
  EXPECT_FALSE(Install(image));
  EXPECT_EQ(folder.Log(), Line("image: too much folder data at " + folder.data_text +
                               "\\D\\D\\D\\D") + Installed(0, "FAILED"));
  uint64_t peak = PeakMemoryBytes();
  EXPECT_GT(peak, 0u);
  EXPECT_LT(peak, uint64_t{384} << 20);
}

void PrintTo(const HostileImage& h, std::ostream* os) { *os << h.name; }

struct HostileTest : CraftedTest, ::testing::WithParamInterface<HostileImage> {};

TEST_P(HostileTest, HasItsOutcome) {
  const HostileImage& h = GetParam();
  IsoImage image = h.make();
  if (h.truncate) image.bytes.resize(image.bytes.size() - 4000);
  EXPECT_EQ(Install(image), h.accepted);
  std::string expected;
  for (std::string line : h.lines) {
    size_t at = line.find("%D");
    if (at != std::string::npos) line.replace(at, 2, folder.data_text);
    expected += Line(line);
  }
  if (h.refused) {
    EXPECT_EQ(folder.Log(), Utf8(Wide(image_path)) + ": not the Morvath Saga's disc 1\r\n");
    EXPECT_FALSE(Exists(folder.data));
  } else {
    EXPECT_EQ(folder.Log(), expected + Installed(h.files, h.accepted ? "done" : "FAILED"));
  }
}

INSTANTIATE_TEST_SUITE_P(Images, HostileTest, ::testing::ValuesIn(kHostileImages),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
