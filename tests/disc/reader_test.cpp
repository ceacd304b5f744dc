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

// One directory (the root) holding records named as no mastering program
// would, opened as the code opens images. (The version cut, the one final
// dot dropped and the empty name show in the hostile images' log lines.)
TEST(ReaderTest, NamesLoseTheirVersionAndOneFinalDotAndLookupsIgnoreCase) {
  TempDir dir;
  IsoImage iso = NewIsoImage();
  SetIsoRoot(iso, AddIsoDirectory(iso, "",
                                  {IsoRecord("DATA.;1", 18, 2048, false),
                                   IsoRecord("DIR", 20, 3, true), IsoRecord("data", 20, 7, false),
                                   IsoRecord(std::string(63, 'L'), 20, 8, false),
                                   IsoRecord(std::string(64, 'S'), 20, 9, false)}));
  WriteFileBytes(dir.path / "r.iso", iso.bytes);
  HANDLE image = CreateFileW(Wide(dir.path / "r.iso").c_str(), GENERIC_READ, FILE_SHARE_READ,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  DiscEntry root{};
  ASSERT_TRUE(ReadDiscRoot(image, &root));
  std::vector<std::string> names;
  EXPECT_TRUE(WalkDiscDirectory(image, root, Collect, &names));
  EXPECT_EQ(names, (std::vector<std::string>{"DATA@2048", "DIR/@3", "data@7",
                                             std::string(63, 'L') + "@8"}));
  // The first match, whatever its case; the name on the disc has lost its
  // dot; nothing below a file (DATA's extent is the root's); an empty
  // component ends the path.
  const std::pair<const char16_t*, const char*> lookups[] = {
      {u"data", "2048"}, {u"Data.", ""}, {u"DATA\\DIR", ""}, {u"dir\\", "3/"}, {u"NONE", ""}};
  for (auto [path, found] : lookups) {
    DiscEntry out{};
    bool resolved = ResolveDiscPath(image, root, path, &out);
    EXPECT_EQ(resolved ? std::to_string(out.size) + (out.is_dir ? "/" : "") : "", found);
  }
  CloseHandle(image);
}

}  // namespace
