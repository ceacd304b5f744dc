#include <gtest/gtest.h>

#include <string>

#include "disc/install.h"
#include "tests/support/disc_images.h"
#include "tests/support/fake_platform.h"
#include "tests/support/hostile_images.h"
#include "tests/support/memory_disk.h"
#include "tests/support/process.h"

// Found by argument-dependent lookup: a test's name, not its bytes, in messages.
void PrintTo(const HostileImage& h, std::ostream* os) { *os << h.name; }

namespace {

// Images no mastering program writes, made to step outside the data
// directory or to make the copy run without end: each installed from a file
// with its outcome, then through the fuzz targets' own checks over the disk
// in memory, as a fuzz run takes it for a seed (those check that every path
// made lies inside the data directory, and that a refused image makes none).
// The past fuzz findings (tests/fuzz/findings) are seeds of the fuzz runs; the
// one kept, a name forging log lines, is a case of UnsafeNames here.
struct HostileTest : ::testing::TestWithParam<HostileImage> {};

TEST_P(HostileTest, HasItsOutcome) {
  const HostileImage& h = GetParam();
  ScopedFake fake;
  InstallFolder folder;
  fs::path path = folder.dir.path / "crafted.iso";
  IsoImage image = h.make();
  WriteFileBytes(path, image.bytes);
  InstallReport report;
  EXPECT_EQ(VerifyAndInstallImage(Wide(path).c_str(), true, {nullptr, 0}, &report), h.accepted);
  // That a refused image writes nothing is the fuzz install's check below.
  std::string expected =
      h.log + (h.files == kRefused
                   ? "%I: not the Morvath Saga's disc 1\r\n"
                   : "installed " + std::to_string(h.files) + " files from %I into %D: " +
                         (h.accepted ? "done\r\n" : "FAILED\r\n"));
  for (size_t at; (at = expected.find('%')) != std::string::npos;)
    expected.replace(at, 2, expected[at + 1] == 'I' ? Utf8(Wide(path)) : folder.data_text);
  EXPECT_EQ(folder.Log(), expected);
  EXPECT_EQ(OpenHandleReport(), "");
  uint64_t peak = PeakMemoryBytes();
  EXPECT_GT(peak, 0u);
  EXPECT_LT(peak, uint64_t{384} << 20);

  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(image.bytes.data());
  FuzzDiscWalk(bytes, image.bytes.size());
  EXPECT_EQ(FuzzDiscInstall(bytes, image.bytes.size()), h.accepted);
}

INSTANTIATE_TEST_SUITE_P(Images, HostileTest, ::testing::ValuesIn(kHostileImages),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
