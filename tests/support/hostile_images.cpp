#include "tests/support/hostile_images.h"

IsoImage WithFolder(IsoImage image, const std::vector<std::string>& records) {
  uint32_t size = 0;
  PutIsoRootWithFolder(image, records, &size);
  return image;
}

namespace {

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

// A chain of `levels` folders named D, each holding the next.
IsoImage Nested(int levels) {
  IsoImage image = NewIsoImage();
  std::vector<uint32_t> extents;
  for (int i = 0; i < levels; ++i) extents.push_back(ReserveIsoBlocks(image, 1));
  for (int i = 0; i < levels; ++i) {
    std::vector<std::string> records;
    if (i + 1 < levels) records.push_back(IsoRecord("D", extents[i + 1], 2048, true));
    PutIsoDirectory(image, extents[i], i == 0 ? extents[0] : extents[i - 1], records);
  }
  return WithFolder(image, {IsoRecord("D", extents[0], 2048, true)});
}

// Identifiers that must never become a path component, each with the name
// the log shows (one final dot dropped; control bytes as '?'; bytes above
// ASCII widened, so as UTF-8).
const std::pair<const char*, const char*> kUnsafeNames[] = {
    {"...", ".."}, {"..", "."}, {". .", ". "}, {"A\\B", "A\\B"}, {"A/B", "A/B"},
    {"C:", "C:"}, {"X:Y", "X:Y"}, {"TAB\tNAME", "TAB?NAME"},
    {"X\r\nsetup done", "X??setup done"}, {"NUL", "NUL"}, {"con.txt", "con.txt"},
    {"COM1", "COM1"}, {"Q?", "Q?"}, {"", ""},
    // Devices as Windows matches them: trailing spaces and what follows a
    // dot ignored, superscript port numbers.
    {"NUL .TXT", "NUL .TXT"}, {"COM1 .DAT", "COM1 .DAT"}, {"AUX  ", "AUX  "},
    {"COM\xb9", "COM\xc2\xb9"}, {"lpt\xb3.x", "lpt\xc2\xb3.x"}, {"CONOUT$", "CONOUT$"}};

// Every unsafe name as a file, a folder named "..." (which would be ".."),
// and two safe files, COMA.DAT being no port.
IsoImage UnsafeNames() {
  IsoImage image = NewIsoImage();
  uint32_t data = AddIsoFile(image, "evil");
  uint32_t inner = ReserveIsoBlocks(image, 1);
  uint32_t inner_size = PutIsoDirectory(image, inner, inner, {Rec("ESCAPED.DAT", data, 4)});
  std::vector<std::string> records;
  for (auto [id, name] : kUnsafeNames) records.push_back(Rec((std::string(id) + ";1").c_str(), data, 4));
  records.push_back(IsoRecord("...", inner, inner_size, true));
  records.push_back(Rec("GOOD.DAT;1", data, 4));
  records.push_back(Rec("COMA.DAT;1", data, 4));
  return WithFolder(image, records);
}

std::vector<std::string> UnsafeNameLines() {
  std::vector<std::string> lines;
  for (auto [id, name] : kUnsafeNames) lines.push_back(std::string("image: unsafe name ") + name);
  lines.push_back("image: unsafe name ..");
  return lines;
}

std::string Repeated(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

}  // namespace

const std::vector<HostileImage> kHostileImages = {
    // Unsafe names are skipped and logged; the rest is copied.
    {"UnsafeNames", UnsafeNames, true, 2, UnsafeNameLines()},
    // Refused outright: no primary descriptor first, no HV1 folder.
    {"ShortFile",
     [] {
       IsoImage image;
       image.bytes.assign(0x8000 + 2047, 'x');  // the descriptor sector does not fit
       return image;
     },
     false, 0, {}, false, true},
    {"TerminatorFirst",
     [] {
       IsoImage image = WithFolder(NewIsoImage(), {});
       std::string primary = image.bytes.substr(0x8000, 2048);
       image.bytes.replace(0x8000, 2048, image.bytes.substr(0x8800, 2048));
       image.bytes.replace(0x8800, 2048, primary);
       return image;
     },
     false, 0, {}, false, true},
    {"NoGameFolder",
     [] {
       IsoImage image = NewIsoImage();
       uint32_t root = ReserveIsoBlocks(image, 1);
       uint32_t other = ReserveIsoBlocks(image, 1);
       uint32_t size = PutIsoDirectory(image, other, root, {});
       SetIsoRoot(image, root,
                  PutIsoDirectory(image, root, root, {IsoRecord("HV2", other, size, true)}));
       return image;
     },
     false, 0, {}, false, true},
    {"GameFolderIsAFile",
     [] {
       IsoImage image = NewIsoImage();
       uint32_t data = AddIsoFile(image, "HV1");
       uint32_t root = ReserveIsoBlocks(image, 1);
       SetIsoRoot(image, root, PutIsoDirectory(image, root, root, {Rec("HV1;1", data, 3)}));
       return image;
     },
     false, 0, {}, false, true},
    {"LoopThreeLevelsUp",
     [] {
       IsoImage image = NewIsoImage();
       uint32_t file = AddIsoFile(image, "x");
       uint32_t a = ReserveIsoBlocks(image, 1);
       uint32_t b = ReserveIsoBlocks(image, 1);
       uint32_t c = ReserveIsoBlocks(image, 1);
       PutIsoDirectory(image, c, b, {Rec("F.DAT", file, 1), IsoRecord("UP", a, 2048, true)});
       PutIsoDirectory(image, b, a, {IsoRecord("C", c, 2048, true)});
       PutIsoDirectory(image, a, a, {IsoRecord("B", b, 2048, true)});
       return WithFolder(image, {IsoRecord("A", a, 2048, true)});
     },
     false, 1, {"image: directory loop at %D\\A\\B\\C\\UP"}},
    // Shared folders would multiply the work at every level: copied once.
    {"FolderReachedTwice",
     [] {
       IsoImage image = NewIsoImage();
       uint32_t file = AddIsoFile(image, "x");
       uint32_t shared = ReserveIsoBlocks(image, 1);
       uint32_t size = PutIsoDirectory(image, shared, shared, {Rec("F.DAT", file, 1)});
       return WithFolder(image, {IsoRecord("ONE", shared, size, true),
                                 IsoRecord("TWO", shared, size, true)});
     },
     false, 1, {"image: directory loop at %D\\TWO"}},
    {"NestedPastTheBound", [] { return Nested(70); }, false, 0,
     {"image: too deep at %D" + Repeated("\\D", 65)}},
    // An identifier running past its record ends its folder's walk.
    {"IdentifierPastItsRecord",
     [] {
       IsoImage image = NewIsoImage();
       uint32_t data = AddIsoFile(image, "ok");
       return WithFolder(image, {Rec("FIRST.DAT", data, 2),
                                 IsoRawRecord(40, 30, "LONGNAME.DAT", data, 2, false),
                                 Rec("AFTER.DAT", data, 2)});
     },
     true, 1, {}},

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

