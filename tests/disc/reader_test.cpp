#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "disc/reader.h"
#include "disc/verify.h"
#include "tests/support/files.h"
#include "tests/support/iso_builder.h"

namespace {

int Collect(const char* name, const DiscEntry& entry, void* context) {
  static_cast<std::vector<std::string>*>(context)->push_back(
      std::string(name) + (entry.is_dir ? "/" : "") + "@" + std::to_string(entry.size));
  return 1;
}

// Images of one directory (the root) holding the given records, opened as
// the code opens images.
struct ReaderTest : ::testing::Test {
  TempDir dir;
  HANDLE image = INVALID_HANDLE_VALUE;
  DiscEntry root{};
  // False when no root reads; `patch` sets one byte of the descriptor first.
  bool Open(const std::vector<std::string>& records, int patch = -1, char value = 0) {
    IsoImage iso = NewIsoImage();
    uint32_t extent = ReserveIsoBlocks(iso, IsoDirectorySectors(records));
    SetIsoRoot(iso, extent, PutIsoDirectory(iso, extent, extent, records));
    if (patch >= 0) iso.bytes[0x8000 + patch] = value;
    TearDown();  // the image written next must not be open
    SaveIsoImage(iso, dir.path / "r.iso");
    image = CreateFileW(Wide(dir.path / "r.iso").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                        OPEN_EXISTING, 0, nullptr);
    return image != INVALID_HANDLE_VALUE && ReadDiscRoot(image, &root);
  }
  void TearDown() override {
    if (image != INVALID_HANDLE_VALUE) CloseHandle(image);
    image = INVALID_HANDLE_VALUE;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    EXPECT_TRUE(WalkDiscDirectory(image, root, Collect, &names));
    return names;
  }
  std::string Resolve(const char16_t* path) {
    DiscEntry out{};
    if (!ResolveDiscPath(image, root, path, &out)) return "fails";
    return std::to_string(out.size) + (out.is_dir ? "/" : "");
  }
};

TEST_F(ReaderTest, NamesLoseTheirVersionAndOneFinalDot) {
  ASSERT_TRUE(Open({IsoRecord("README.TXT;1", 20, 1, false), IsoRecord("DATA.;1", 20, 2, false),
                    IsoRecord("DIR", 20, 3, true), IsoRecord("FILE..;1", 20, 4, false),
                    IsoRecord(";1", 20, 5, false), IsoRecord("A", 20, 6, false),
                    IsoRecord(std::string(63, 'L'), 20, 7, false),
                    IsoRecord(std::string(64, 'S'), 20, 8, false)}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"README.TXT@1", "DATA@2", "DIR/@3", "FILE.@4",
                                               "@5", "A@6", std::string(63, 'L') + "@7"}));
}

TEST_F(ReaderTest, LookupsIgnoreCaseTakeTheFirstMatchAndStopAtFiles) {
  ASSERT_TRUE(Open({IsoRecord("FILE.;1", 20, 1, false), IsoRecord("file", 20, 2, false),
                    IsoRecord("SUB", 16, 2048, true)}));
  EXPECT_EQ(Resolve(u"file"), "1");
  EXPECT_EQ(Resolve(u"File."), "fails");  // the name on the disc has lost its dot
  EXPECT_EQ(Resolve(u"FILE\\X"), "fails");  // nothing below a file
  EXPECT_EQ(Resolve(u"sub\\"), "2048/");    // an empty component ends the path
  EXPECT_EQ(Resolve(u"NONE"), "fails");
}

TEST_F(ReaderTest, TheDescriptorMustBeAPrimaryOne) {
  EXPECT_TRUE(Open({}));
  EXPECT_FALSE(Open({}, 0, '\2'));  // a supplementary descriptor
  EXPECT_FALSE(Open({}, 3, 'X'));   // not "CD001"
}

}  // namespace
