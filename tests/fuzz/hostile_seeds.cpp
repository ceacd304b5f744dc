// Writes disc images no mastering program would, as fuzz seeds: directory
// loops, names that must not reach the disk, malformed records, extents and
// sizes past the image, trees too deep for the path limit, and a shared
// subtree that multiplies the work.
// Usage: fuzz_hostile_seeds OUT_DIR
//        fuzz_hostile_seeds OUT_DIR shared LEVELS FILES  (only shared-LEVELS-FILES.iso)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/iso_builder.h"

namespace {

std::filesystem::path g_out;

void Save(const IsoImage& image, const char* name) { SaveIsoImage(image, g_out / name); }

// root -> HV1 holding `records`; HV1's extent.
uint32_t WithFolder(IsoImage& image, const std::vector<std::string>& records) {
  uint32_t size = 0;
  return PutIsoRootWithFolder(image, records, &size);
}

void Loops() {
  // HV1 holds a folder that is HV1 again.
  IsoImage self = NewIsoImage();
  uint32_t root = ReserveIsoBlocks(self, 1);
  uint32_t hv1 = ReserveIsoBlocks(self, 1);
  uint32_t data = AddIsoFile(self, "data");
  PutIsoDirectory(self, hv1, root,
                  {IsoRecord("A.TXT;1", data, 4, false), IsoRecord("LOOP", hv1, 2048, true)});
  SetIsoRoot(self, root, PutIsoDirectory(self, root, root, {IsoRecord("HV1", hv1, 2048, true)}));
  Save(self, "loop-self.iso");

  // HV1\SUB holds a folder that is HV1, its parent; and one that is the root.
  IsoImage parent = NewIsoImage();
  root = ReserveIsoBlocks(parent, 1);
  hv1 = ReserveIsoBlocks(parent, 1);
  uint32_t sub = ReserveIsoBlocks(parent, 1);
  data = AddIsoFile(parent, "in sub");
  PutIsoDirectory(parent, sub, hv1,
                  {IsoRecord("B.TXT;1", data, 6, false), IsoRecord("UP", hv1, 2048, true),
                   IsoRecord("TOP", root, 2048, true)});
  PutIsoDirectory(parent, hv1, root, {IsoRecord("SUB", sub, 2048, true)});
  SetIsoRoot(parent, root, PutIsoDirectory(parent, root, root, {IsoRecord("HV1", hv1, 2048, true)}));
  Save(parent, "loop-parent.iso");
}

void UnsafeNames() {
  IsoImage image = NewIsoImage();
  uint32_t data = AddIsoFile(image, "HELLO");
  std::vector<std::string> records;
  for (const char* name : {"...", "..", ".", "A\\B", "C:", "A/B", "CON", "nul.txt", "COM1;1",
                           " . ", "TAB\tX", "Q?", "GOOD.TXT;1"}) {
    records.push_back(IsoRecord(name, data, 5, false));
  }
  records.push_back(IsoRecord(std::string("Z\x01Z"), data, 5, false));
  records.push_back(IsoRecord(std::string("\xE9T\xC9.TXT;1"), data, 5, false));
  records.push_back(IsoRecord("..", data, 2048, true));
  WithFolder(image, records);
  Save(image, "unsafe-names.iso");

  // A name with a line end in it, which the log of unsafe names takes in
  // as it is: the line it writes forges a final "done" line of its own.
  IsoImage forged = NewIsoImage();
  data = AddIsoFile(forged, "HELLO");
  WithFolder(forged, {IsoRecord("X\r\ninstalled 124 files from D: into E: done", data, 5, false),
                      IsoRecord("\n", data, 5, false)});
  Save(forged, "log-line-break.iso");
}

void MalformedRecords() {
  IsoImage image = NewIsoImage();
  uint32_t data = AddIsoFile(image, "HELLO");
  uint32_t root = ReserveIsoBlocks(image, 1);
  uint32_t hv1 = ReserveIsoBlocks(image, 2);
  std::string dir(2 * 2048, '\0');
  size_t at = 0;
  auto put = [&](const std::string& r) {
    dir.replace(at, r.size(), r);
    at += r.size();
  };
  put(IsoRecord(std::string(1, '\0'), hv1, 4096, true));
  put(IsoRecord(std::string(1, '\1'), root, 2048, true));
  put(IsoRecord("FILE.;1", data, 5, false));
  put(IsoRecord("FILE..;1", data, 5, false));
  put(IsoRecord(";1", data, 5, false));
  put(IsoRecord(std::string(63, 'L'), data, 5, false));
  put(IsoRecord(std::string(64, 'M'), data, 5, false));
  put(IsoRecord(std::string("N\0UL", 4), data, 5, false));
  // The rest of sector 0 is zero; sector 1 goes on, then breaks.
  at = 2048;
  put(IsoRecord("NEXT.DAT;1", data, 5, false));
  put(IsoRawRecord(40, 30, "RUNS.PAST", data, 5, false));  // identifier leaves the record
  put(IsoRawRecord(20, 1, "S", data, 5, false));           // shorter than 34
  PutIsoBytes(image, uint64_t{hv1} * 2048, dir);
  SetIsoRoot(image, root, PutIsoDirectory(image, root, root, {IsoRecord("HV1", hv1, 4096, true)}));
  Save(image, "malformed-records.iso");

  // A record that ends exactly at the directory's end, in a directory whose
  // size is not a whole sector.
  IsoImage tight = NewIsoImage();
  data = AddIsoFile(tight, "HELLO");
  root = ReserveIsoBlocks(tight, 1);
  hv1 = ReserveIsoBlocks(tight, 1);
  std::string last = IsoRecord("LAST.DAT;1", data, 5, false);
  PutIsoBytes(tight, uint64_t{hv1} * 2048, last);
  SetIsoRoot(tight, root,
             PutIsoDirectory(tight, root, root,
                             {IsoRecord("HV1", hv1, static_cast<uint32_t>(last.size()), true)}));
  Save(tight, "record-at-end.iso");
}

void OutOfImage() {
  IsoImage image = NewIsoImage();
  uint32_t data = AddIsoFile(image, std::string(3000, 'x'));
  std::vector<std::string> records = {
      IsoRecord("SHORT.DAT;1", data, 3000, false),
      IsoRecord("LONG.DAT;1", data, 0x7FFFFFFF, false),        // runs past the image
      IsoRecord("FAR.DAT;1", 0xFFFFFFF0u, 10, false),          // extent past the image
      IsoRecord("EMPTY.DAT;1", data, 0, false),
      IsoRecord("BIGDIR", data, 0x1000000, true),              // 16 MiB, not there
      IsoRecord("HUGEDIR", data, 0x1000001, true),             // over the limit
      IsoRecord("ZERODIR", data, 0, true),
  };
  WithFolder(image, records);
  Save(image, "out-of-image.iso");

  // HV1 is a file, and a descriptor that is not a primary one.
  IsoImage file = NewIsoImage();
  data = AddIsoFile(file, "HELLO");
  uint32_t root = ReserveIsoBlocks(file, 1);
  SetIsoRoot(file, root, PutIsoDirectory(file, root, root, {IsoRecord("HV1;1", data, 5, false)}));
  Save(file, "hv1-is-a-file.iso");
  file.bytes[16 * 2048] = 2;
  Save(file, "supplementary-descriptor.iso");
}

// Nested folders with long names, past the 259-character path limit, and the
// manifest's X.DAT in GAMEDAT.
void DeepTree() {
  IsoImage image = NewIsoImage();
  uint32_t x = AddIsoFile(image, "HELLO");
  const int kLevels = 24;
  std::vector<uint32_t> dirs;
  uint32_t root = ReserveIsoBlocks(image, 1);
  uint32_t hv1 = ReserveIsoBlocks(image, 1);
  uint32_t gamedat = ReserveIsoBlocks(image, 1);
  for (int i = 0; i < kLevels; ++i) dirs.push_back(ReserveIsoBlocks(image, 1));
  for (int i = 0; i < kLevels; ++i) {
    std::vector<std::string> records = {IsoRecord("LEAF.TXT;1", x, 5, false)};
    if (i + 1 < kLevels) {
      char name[16];
      std::snprintf(name, sizeof name, "DEEPLEVEL%03d", i + 1);
      records.push_back(IsoRecord(name, dirs[i + 1], 2048, true));
    }
    PutIsoDirectory(image, dirs[i], i == 0 ? hv1 : dirs[i - 1], records);
  }
  PutIsoDirectory(image, gamedat, hv1, {IsoRecord("X.DAT;1", x, 5, false)});
  PutIsoDirectory(image, hv1, root,
                  {IsoRecord("GAMEDAT", gamedat, 2048, true), IsoRecord("DEEPLEVEL000", dirs[0], 2048, true)});
  SetIsoRoot(image, root, PutIsoDirectory(image, root, root, {IsoRecord("HV1", hv1, 2048, true)}));
  Save(image, "deep-tree.iso");
}

// Each of `levels` folders names the next twice, so the last is reached
// 2^(levels-1) times by distinct paths; the last holds `files` files.
void SharedSubtree(int levels, int files, const char* name) {
  IsoImage image = NewIsoImage();
  uint32_t data = AddIsoFile(image, std::string(2048, 'd'));
  uint32_t root = ReserveIsoBlocks(image, 1);
  std::vector<uint32_t> dirs;
  for (int i = 0; i < levels; ++i) dirs.push_back(ReserveIsoBlocks(image, 1));
  for (int i = 0; i < levels; ++i) {
    std::vector<std::string> records;
    if (i + 1 < levels) {
      records.push_back(IsoRecord("A", dirs[i + 1], 2048, true));
      records.push_back(IsoRecord("B", dirs[i + 1], 2048, true));
    } else {
      for (int f = 0; f < files; ++f) {
        char file[16];
        std::snprintf(file, sizeof file, "F%02d;1", f);
        records.push_back(IsoRecord(file, data, 2048, false));
      }
    }
    PutIsoDirectory(image, dirs[i], i == 0 ? root : dirs[i - 1], records);
  }
  SetIsoRoot(image, root, PutIsoDirectory(image, root, root, {IsoRecord("HV1", dirs[0], 2048, true)}));
  Save(image, name);
}

}  // namespace

int main(int argc, char** argv) {
  bool shared = argc == 5 && std::string(argv[2]) == "shared";
  if (argc != 2 && !shared) {
    std::fprintf(stderr, "usage: %s OUT_DIR [shared LEVELS FILES]\n", argv[0]);
    return 2;
  }
  g_out = argv[1];
  std::filesystem::create_directories(g_out);
  if (shared) {
    std::string name = std::string("shared-") + argv[3] + "-" + argv[4] + ".iso";
    SharedSubtree(std::atoi(argv[3]), std::atoi(argv[4]), name.c_str());
    return 0;
  }
  Loops();
  UnsafeNames();
  MalformedRecords();
  OutOfImage();
  DeepTree();
  SharedSubtree(4, 3, "shared-subtree.iso");
  return 0;
}
