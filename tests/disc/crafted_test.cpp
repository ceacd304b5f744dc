#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "disc/install.h"
#include "tests/support/process.h"
#include "tests/support/disc_images.h"
#include "tests/support/iso_builder.h"
#include "tests/support/fake_platform.h"

namespace {

// HV1 holding `records`; extra folders are laid out by the caller first.
IsoImage WithFolder(IsoImage image, const std::vector<std::string>& records) {
  uint32_t size = 0;
  PutIsoRootWithFolder(image, records, &size);
  return image;
}

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
      {"con.txt", "con.txt"}, {"COM1", "COM1"}, {"Q?", "Q?"}, {"", ""},
      // Devices as Windows matches them: trailing spaces and what follows a
      // dot ignored, superscript port numbers (logged widened, so as UTF-8).
      {"NUL .TXT", "NUL .TXT"}, {"COM1 .DAT", "COM1 .DAT"}, {"AUX  ", "AUX  "},
      {"COM\xb9", "COM\xc2\xb9"}, {"lpt\xb3.x", "lpt\xc2\xb3.x"}, {"CONOUT$", "CONOUT$"}};
  for (auto [id, name] : names) records.push_back(IsoRecord(std::string(id) + ";1", data, 4, false));
  records.push_back(IsoRecord("...", inner, inner_size, true));  // a folder that would be ".."
  records.push_back(IsoRecord("GOOD.DAT;1", data, 4, false));
  records.push_back(IsoRecord("COMA.DAT;1", data, 4, false));  // no port: a file
  uint32_t hv1_size = 0;
  PutIsoRootWithFolder(image, records, &hv1_size);
  EXPECT_TRUE(Install(image));
  std::string expected;
  for (auto [id, name] : names) expected += Line(std::string("image: unsafe name ") + name);
  expected += Line("image: unsafe name ..");
  EXPECT_EQ(folder.Log(), expected + Installed(2, "done"));
  EXPECT_EQ(CountFiles(folder.data), 2u);
  EXPECT_EQ(ReadFileBytes(folder.data / "GOOD.DAT"), "evil");
  EXPECT_EQ(ReadFileBytes(folder.data / "COMA.DAT"), "evil");
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

// More hostile shapes, each with its outcome: the result, and the lines
// logged before the final one ("%D" stands for the data directory).
struct Hostile {
  const char* name;
  IsoImage (*make)();
  bool accepted;
  size_t files;
  std::vector<std::string> lines;
  bool truncate = false;  // cut 4000 bytes off the image's end
  bool refused = false;   // refused outright: the image's line alone
};

void PrintTo(const Hostile& h, std::ostream* os) { *os << h.name; }

// HV1 holding a folder SUB whose records are `inner` (after self and parent).
IsoImage WithSub(std::vector<std::string> (*inner)(uint32_t hv1, uint32_t sub, IsoImage& image)) {
  IsoImage image = NewIsoImage();
  uint32_t root = ReserveIsoBlocks(image, 1);
  uint32_t hv1 = ReserveIsoBlocks(image, 1);
  uint32_t sub = ReserveIsoBlocks(image, 1);
  uint32_t sub_size = PutIsoDirectory(image, sub, hv1, inner(hv1, sub, image));
  uint32_t hv1_size = PutIsoDirectory(image, hv1, root, {IsoRecord("SUB", sub, sub_size, true)});
  SetIsoRoot(image, root, PutIsoDirectory(image, root, root, {IsoRecord("HV1", hv1, hv1_size, true)}));
  return image;
}

// A folder whose one sector is laid out by hand: `bytes` at its start.
IsoImage WithRawFolder(const std::string& bytes, uint32_t size = 2048) {
  IsoImage image = NewIsoImage();
  uint32_t raw = ReserveIsoBlocks(image, (size + 2047) / 2048);
  PutIsoBytes(image, uint64_t{raw} * 2048, bytes);
  return WithFolder(image, {IsoRecord("RAW", raw, size, true)});
}

std::string Rec(const char* id, uint32_t extent, uint32_t size) {
  return IsoRecord(id, extent, size, false);
}

const Hostile kHostile[] = {
    {"FolderPointingAtItself",
     [] {
       return WithSub([](uint32_t, uint32_t sub, IsoImage&) {
         return std::vector<std::string>{IsoRecord("AGAIN", sub, 2048, true)};
       });
     },
     false, 0, {"image: directory loop at %D\\SUB\\AGAIN"}},
    {"FolderPointingAtItsParent",
     [] {
       return WithSub([](uint32_t hv1, uint32_t, IsoImage&) {
         return std::vector<std::string>{IsoRecord("UP", hv1, 2048, true)};
       });
     },
     false, 0, {"image: directory loop at %D\\SUB\\UP"}},
    {"FileExtentPastTheEnd",
     [] { return WithFolder(NewIsoImage(), {Rec("FAR.DAT", 900000, 10)}); },
     false, 1, {"copy failed at %D\\FAR.DAT"}},
    {"FileSizePastTheEnd",
     [] {
       IsoImage image = NewIsoImage();
       uint32_t data = AddIsoFile(image, std::string(100, 'd'));
       return WithFolder(image, {Rec("LONG.DAT", data, 3u << 20)});
     },
     false, 1, {"copy failed at %D\\LONG.DAT"}},
    {"FolderExtentPastTheEnd",
     [] { return WithFolder(NewIsoImage(), {IsoRecord("GONE", 900000, 2048, true)}); },
     false, 0, {}},
    {"FolderAtTheLastExtent",
     [] { return WithFolder(NewIsoImage(), {IsoRecord("LAST", 0xFFFFFFFF, 2048, true)}); },
     false, 0, {}},
    {"FolderOfSizeZero",
     [] {
       IsoImage image = NewIsoImage();
       uint32_t empty = ReserveIsoBlocks(image, 1);
       return WithFolder(image, {IsoRecord("NOTHING", empty, 0, true)});
     },
     false, 0, {}},
    {"FolderOf16MiBIsRead",
     [] {
       IsoImage image = NewIsoImage();
       uint32_t data = AddIsoFile(image, "big");
       uint32_t big = ReserveIsoBlocks(image, 8192);
       PutIsoBytes(image, uint64_t{big} * 2048, Rec("IN.DAT", data, 3));
       return WithFolder(image, {IsoRecord("BIG", big, 0x1000000, true)});
     },
     true, 1, {}},
    {"FolderOf16MiBPlusOneIsRefused",
     [] {
       IsoImage image = NewIsoImage();
       uint32_t data = AddIsoFile(image, "big");
       uint32_t big = ReserveIsoBlocks(image, 8193);
       PutIsoBytes(image, uint64_t{big} * 2048, Rec("IN.DAT", data, 3));
       return WithFolder(image, {IsoRecord("BIG", big, 0x1000001, true)});
     },
     false, 0, {}},
    {"RecordOfLength33EndsTheFolder",
     [] {
       IsoImage image = NewIsoImage();
       uint32_t data = AddIsoFile(image, "ok");
       return WithRawFolder(Rec("A.DAT", data, 2) + IsoRawRecord(33, 0, "", data, 2, false) +
                            Rec("B.DAT", data, 2));
     },
     true, 1, {}},
    {"RecordRunningPastTheFolderEndsIt",
     [] {
       IsoImage image = NewIsoImage();
       uint32_t data = AddIsoFile(image, "ok");
       std::string bytes = Rec("A.DAT", data, 2);
       bytes += Rec("B.DAT", data, 2);
       return WithRawFolder(bytes, static_cast<uint32_t>(bytes.size() - 1));
     },
     true, 1, {}},
    {"ZeroAtASectorStartSkipsTheSector",
     [] {
       IsoImage image = NewIsoImage();
       uint32_t data = AddIsoFile(image, "ok");
       std::string bytes(4096, '\0');
       bytes.replace(0, 0, Rec("A.DAT", data, 2));
       bytes.resize(4096);
       // The first sector: A.DAT then zeros; the second: nothing at its start
       // but a record further in (never seen); the third: C.DAT.
       std::string second = std::string(100, '\0') + Rec("B.DAT", data, 2);
       bytes.replace(2048, second.size(), second);
       bytes += Rec("C.DAT", data, 2);
       return WithRawFolder(bytes, 3 * 2048);
     },
     true, 2, {}},
    {"NamesAboveAsciiAreCopied",
     [] {
       IsoImage image = NewIsoImage();
       uint32_t data = AddIsoFile(image, "ok");
       return WithFolder(image, {Rec("CAF\xc9.DAT", data, 2)});
     },
     true, 1, {}},
    {"FileInTheDescriptorArea",
     [] { return WithFolder(NewIsoImage(), {Rec("PVD.DAT", 16, 2048)}); },
     true, 1, {}},
    {"TruncatedInAFile",
     [] {
       IsoImage image = NewIsoImage();
       uint32_t root = ReserveIsoBlocks(image, 1);
       uint32_t hv1 = ReserveIsoBlocks(image, 1);
       uint32_t data = AddIsoFile(image, std::string(5000, 't'));
       uint32_t hv1_size = PutIsoDirectory(image, hv1, root, {Rec("CUT.DAT", data, 5000)});
       SetIsoRoot(image, root,
                  PutIsoDirectory(image, root, root, {IsoRecord("HV1", hv1, hv1_size, true)}));
       return image;
     },
     false, 1, {"copy failed at %D\\CUT.DAT"}, true},
    {"TruncatedInItsFolders",
     [] {
       IsoImage image = NewIsoImage();
       uint32_t data = AddIsoFile(image, std::string(5000, 't'));
       return WithFolder(image, {Rec("CUT.DAT", data, 5000)});
     },
     false, 0, {}, true, true},
};

struct HostileTest : CraftedTest, ::testing::WithParamInterface<Hostile> {};

TEST_P(HostileTest, HasItsOutcome) {
  const Hostile& h = GetParam();
  IsoImage image = h.make();
  if (h.truncate) image.bytes.resize(image.bytes.size() - 4000);
  EXPECT_EQ(Install(image), h.accepted);
  std::string expected;
  for (std::string line : h.lines) {
    line.replace(line.find("%D"), 2, folder.data_text);
    expected += Line(line);
  }
  if (h.refused) {
    EXPECT_EQ(folder.Log(), Utf8(Wide(image_path)) + ": not the Morvath Saga's disc 1\r\n");
    EXPECT_FALSE(Exists(folder.data));
  } else {
    EXPECT_EQ(folder.Log(), expected + Installed(h.files, h.accepted ? "done" : "FAILED"));
  }
}

INSTANTIATE_TEST_SUITE_P(Images, HostileTest, ::testing::ValuesIn(kHostile),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
