#include "tests/support/hostile_images.h"

#include <algorithm>

namespace {

using Records = std::vector<std::string>;

constexpr uint32_t kData = 18;  // WithData's file: the first block after the descriptors

std::string Dir(const std::string& id, uint32_t extent, uint32_t size = 2048) {
  return IsoRecord(id, extent, size, true);
}
std::string File(const std::string& id, uint32_t extent, uint32_t size = 2) {
  return IsoRecord(id, extent, size, false);
}

IsoImage WithData(const std::string& data = "ok") {
  IsoImage image = NewIsoImage();
  AddIsoFile(image, data);
  return image;
}

// HV1 holding `records`; extra folders are laid out by the caller first.
IsoImage WithFolder(IsoImage image, const Records& records) {
  PutIsoRootWithFolder(image, records);
  return image;
}

IsoImage Hv1(const Records& records) { return WithFolder(WithData(), records); }

// The root holding `records`, with no HV1 folder made for them.
IsoImage WithRoot(IsoImage image, const Records& records) {
  uint32_t root = ReserveIsoBlocks(image, 1);
  SetIsoRoot(image, root, PutIsoDirectory(image, root, root, records));
  return image;
}

// HV1 holding a folder laid out by hand: `bytes` at its start.
IsoImage WithRawFolder(const std::string& bytes, uint32_t size = 2048) {
  IsoImage image = WithData();
  uint32_t raw = ReserveIsoBlocks(image, (size + 2047) / 2048);
  PutIsoBytes(image, uint64_t{raw} * 2048, bytes);
  return WithFolder(image, {Dir("RAW", raw, size)});
}

// HV1 holding a chain of folders named `names`, each holding the next. The
// last holds `files`, then a folder named `loop` (unless null) leading back
// to the chain's folder `to` (0 is HV1, 1 the first named).
IsoImage Chain(const Records& names, const char* loop = nullptr, size_t to = 0,
               Records files = {}) {
  IsoImage image = WithData();
  std::vector<uint32_t> extents;
  for (size_t i = 0; i <= names.size(); ++i) extents.push_back(ReserveIsoBlocks(image, 1));
  if (loop != nullptr) files.push_back(Dir(loop, extents[to]));
  for (size_t i = names.size(); i > 0; --i) {
    PutIsoDirectory(image, extents[i], extents[i - 1], files);
    files = {Dir(names[i - 1], extents[i])};
  }
  PutIsoDirectory(image, extents[0], extents[0], files);
  return WithRoot(image, {Dir("HV1", extents[0])});
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
  IsoImage image = WithData();
  uint32_t inner = ReserveIsoBlocks(image, 1);
  PutIsoDirectory(image, inner, inner, {File("ESCAPED.DAT", kData)});
  Records records;
  for (auto [id, shown] : kUnsafeNames) records.push_back(File(std::string(id) + ";1", kData));
  records.insert(records.end(),
                 {Dir("...", inner), File("GOOD.DAT;1", kData), File("COMA.DAT;1", kData)});
  return WithFolder(image, records);
}

Records UnsafeNameLines() {
  Records lines;
  for (auto [id, shown] : kUnsafeNames) lines.push_back(std::string("image: unsafe name ") + shown);
  lines.push_back("image: unsafe name ..");
  return lines;
}

// Folders whose 16 MiB extents overlap sector by sector, each holding the
// next: each is an extent of its own, and each level would hold 16 MiB of the
// same bytes while it descends (1 GiB by the depth bound).
IsoImage OverlappingFolders() {
  IsoImage image = NewIsoImage();
  const uint32_t sectors = 8192 + 70;
  uint32_t first = ReserveIsoBlocks(image, sectors);
  for (uint32_t k = 0; k + 1 < sectors; ++k) {
    PutIsoBytes(image, uint64_t{first + k} * 2048, Dir("D", first + k + 1, 0x1000000));
  }
  return WithFolder(image, {Dir("D", first, 0x1000000)});
}

IsoImage TerminatorFirst() {
  IsoImage image = WithFolder(NewIsoImage(), {});
  auto primary = image.bytes.begin() + 16 * 2048;
  std::swap_ranges(primary, primary + 2048, primary + 2048);
  return image;
}

IsoImage FolderReachedTwice() {
  IsoImage image = WithData();
  uint32_t shared = ReserveIsoBlocks(image, 1);
  PutIsoDirectory(image, shared, shared, {File("F.DAT", kData)});
  return WithFolder(image, {Dir("ONE", shared), Dir("TWO", shared)});
}

// A.DAT then zeros; then nothing at the second sector's start but a record
// further in (never seen); then C.DAT.
IsoImage ZeroAtASectorStart() {
  std::string bytes = File("A.DAT", kData);
  bytes.resize(2048 + 100);
  bytes += File("B.DAT", kData);
  bytes.resize(2 * 2048);
  return WithRawFolder(bytes + File("C.DAT", kData), 3 * 2048);
}

IsoImage TruncatedInItsFolders() {
  IsoImage image = WithFolder(WithData(std::string(5000, 't')), {File("CUT.DAT", kData, 5000)});
  image.bytes.resize(image.bytes.size() - 4000);
  return image;
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
    // Refused outright: no primary descriptor first (a file too short for
    // one), no HV1 folder, an image cut inside its folders.
    {"ShortFile", [] { return IsoImage{std::string(0x8000 + 2047, 'x')}; }, false, kRefused},
    {"TerminatorFirst", TerminatorFirst, false, kRefused},
    {"NoGameFolder", [] { return WithRoot(WithData(), {Dir("HV2", kData)}); }, false, kRefused},
    {"GameFolderIsAFile", [] { return WithRoot(WithData(), {File("HV1;1", kData)}); }, false,
     kRefused},
    {"TruncatedInItsFolders", TruncatedInItsFolders, false, kRefused},
    // Loops onto a folder itself, its parent or an ancestor fail the copy.
    {"LoopThreeLevelsUp", [] { return Chain({"A", "B", "C"}, "UP", 1, {File("F.DAT", kData)}); },
     false, 1, {"image: directory loop at %D\\A\\B\\C\\UP"}},
    {"FolderPointingAtItself", [] { return Chain({"SUB"}, "AGAIN", 1); }, false, 0,
     {"image: directory loop at %D\\SUB\\AGAIN"}},
    {"FolderPointingAtItsParent", [] { return Chain({"SUB"}, "UP", 0); }, false, 0,
     {"image: directory loop at %D\\SUB\\UP"}},
    // Shared folders would multiply the work at every level: copied once.
    {"FolderReachedTwice", FolderReachedTwice, false, 1, {"image: directory loop at %D\\TWO"}},
    {"NestedPastTheBound", [] { return Chain(Records(70, "D")); }, false, 0,
     {"image: too deep at %D" + Repeated("\\D", 65)}},
    // The walk's bound on folder data refuses the fourth, with 48 MiB read.
    {"OverlappingFolders", OverlappingFolders, false, 0,
     {"image: too much folder data at %D\\D\\D\\D\\D"}},
    // An identifier running past its record ends its folder's walk.
    {"IdentifierPastItsRecord",
     [] {
       return Hv1({File("FIRST.DAT", kData), IsoRawRecord(40, 30, "LONGNAME.DAT", kData, 2, false),
                   File("AFTER.DAT", kData)});
     },
     true, 1},
    {"FileExtentPastTheEnd", [] { return Hv1({File("FAR.DAT", 900000, 10)}); }, false, 1,
     {"copy failed at %D\\FAR.DAT"}},
    // Also an image cut inside a file: the read comes up short.
    {"FileSizePastTheEnd", [] { return Hv1({File("LONG.DAT", kData, 3u << 20)}); }, false, 1,
     {"copy failed at %D\\LONG.DAT"}},
    // Nothing is copied below a folder that cannot be read whole.
    {"FolderExtentPastTheEnd", [] { return Hv1({Dir("GONE", 900000)}); }, false, 0},
    {"FolderAtTheLastExtent", [] { return Hv1({Dir("LAST", 0xFFFFFFFF)}); }, false, 0},
    {"FolderOfSizeZero", [] { return Hv1({Dir("NOTHING", kData, 0)}); }, false, 0},
    {"FolderOf16MiBIsRead", [] { return WithRawFolder(File("IN", kData), 0x1000000); }, true, 1},
    {"FolderOf16MiBPlusOneIsRefused",
     [] { return WithRawFolder(File("IN", kData), 0x1000001); }, false, 0},
    // A record of length 33, or running past its folder, ends the folder's
    // walk; a zero byte at a sector's start skips the rest of that sector.
    {"RecordOfLength33EndsTheFolder",
     [] {
       return WithRawFolder(File("A.DAT", kData) + IsoRawRecord(33, 0, "", kData, 2, false) +
                            File("B.DAT", kData));
     },
     true, 1},
    {"RecordRunningPastTheFolderEndsIt",
     [] {
       std::string bytes = File("A.DAT", kData) + File("B.DAT", kData);
       return WithRawFolder(bytes, static_cast<uint32_t>(bytes.size() - 1));
     },
     true, 1},
    {"ZeroAtASectorStartSkipsTheSector", ZeroAtASectorStart, true, 2},
    {"NamesAboveAsciiAreCopied", [] { return Hv1({File("CAF\xc9.DAT", kData)}); }, true, 1},
    {"FileInTheDescriptorArea", [] { return Hv1({File("PVD.DAT", 16, 2048)}); }, true, 1},
};
