#include "disc/reader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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
    SetIsoRoot(iso, AddIsoDirectory(iso, "", records));
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
};

TEST_F(ReaderTest, NamesLoseTheirVersionAndOneFinalDotAndLookupsIgnoreCase) {
  ASSERT_TRUE(Open({IsoRecord("README.TXT;1", 20, 1, false), IsoRecord("DATA.;1", 18, 2048, false),
                    IsoRecord("DIR", 20, 3, true), IsoRecord("FILE..;1", 20, 4, false),
                    IsoRecord(";1", 20, 5, false), IsoRecord("A", 20, 6, false),
                    IsoRecord("data", 20, 7, false), IsoRecord(std::string(63, 'L'), 20, 8, false),
                    IsoRecord(std::string(64, 'S'), 20, 9, false)}));
  std::vector<std::string> names;
  EXPECT_TRUE(WalkDiscDirectory(image, root, Collect, &names));
  EXPECT_EQ(names, (std::vector<std::string>{"README.TXT@1", "DATA@2048", "DIR/@3", "FILE.@4", "@5",
                                             "A@6", "data@7", std::string(63, 'L') + "@8"}));
  // The first match, whatever its case; the name on the disc has lost its
  // dot; nothing below a file (DATA's extent is the root's); an empty
  // component ends the path.
  const std::pair<const char16_t*, const char*> lookups[] = {
      {u"data", "2048"}, {u"Data.", ""}, {u"DATA\\A", ""}, {u"dir\\", "3/"}, {u"NONE", ""}};
  for (auto [path, found] : lookups) {
    DiscEntry out{};
    bool resolved = ResolveDiscPath(image, root, path, &out);
    EXPECT_EQ(resolved ? std::to_string(out.size) + (out.is_dir ? "/" : "") : "", found);
  }
}

TEST_F(ReaderTest, TheDescriptorMustBeAPrimaryOne) {
  EXPECT_TRUE(Open({}));
  EXPECT_FALSE(Open({}, 0, '\2'));  // a supplementary descriptor
  EXPECT_FALSE(Open({}, 3, 'X'));   // not "CD001"
}

}  // namespace
