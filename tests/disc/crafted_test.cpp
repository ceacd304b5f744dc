#include <gtest/gtest.h>

#include <string>

#include "disc/install.h"
#include "tests/support/disc_images.h"
#include "tests/support/fake_platform.h"
#include "tests/support/hostile_images.h"
#include "tests/support/process.h"

namespace {

// Images no mastering program writes, made to step outside the data
// directory or to make the copy run without end, each installed from a file:
// its log, what it copies or that it is refused with nothing written, and
// the memory it took. (The fuzz targets take the same images as seeds.) The
// past fuzz finding, a name forging log lines, is a case of UnsafeNames.
TEST(HostileTest, EachImageHasItsOutcome) {
  for (const HostileImage& h : kHostileImages) {
    SCOPED_TRACE(h.name);
    ScopedFake fake;
    InstallFolder folder;
    fs::path path = folder.dir.path / "crafted.iso";
    WriteFileBytes(path, h.make().bytes);
    InstallReport report;
    bool refused = h.files == kRefused;
    EXPECT_EQ(VerifyAndInstallImage(Wide(path).c_str(), true, {nullptr, 0}, &report), !refused);
    EXPECT_EQ(folder.Log(), Placed(h.log + (refused ? "%I: not the Morvath Saga's disc 1\r\n"
                                                    : "installed " + std::to_string(h.files) +
                                                          " files from %I into %D: done\r\n"),
                                   path));
    EXPECT_EQ(Exists(folder.root / "data"), !refused);
    EXPECT_EQ(OpenHandleReport(), "");
  }
  // OverlappingFolders would hold 1 GiB without the walk's bound.
  const uint64_t peak = PeakMemoryBytes();
  EXPECT_TRUE(peak > 0 && peak < uint64_t{384} << 20) << peak;
}

}  // namespace
