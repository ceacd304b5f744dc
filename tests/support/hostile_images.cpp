#include "tests/support/hostile_images.h"

#include <algorithm>
#include <utility>

namespace {

using Records = std::vector<std::string>;

constexpr uint32_t kData = 18;  // Base()'s file: the first block after the descriptors

std::string Dir(const std::string& id, uint32_t extent, uint32_t size = 2048) {
  return IsoRecord(id, extent, size, true);
}
std::string File(const std::string& id, uint32_t extent = kData, uint32_t size = 2) {
  return IsoRecord(id, extent, size, false);
}

// The descriptors and a file of two bytes.
IsoImage Base() {
  IsoImage image = NewIsoImage();
  AddIsoFile(image, "ok");
  return image;
}

// HV1 holding `records`, after what `image` holds already.
IsoImage Hv1(const Records& records, IsoImage image = Base()) {
  PutIsoRootWithFolder(image, records);
  return image;
}

// HV1 holding a chain of `depth` folders named D, each holding the next. The
// last holds F.DAT and, with `loop`, a folder UP leading back to HV1.
IsoImage Chain(size_t depth, bool loop) {
  IsoImage image = Base();
  // Laid out from the last folder up, a sector each, HV1 after them.
  Records records = {File("F.DAT")};
  if (loop) records.push_back(Dir("UP", IsoNextBlock(image) + depth));
  for (size_t i = 0; i < depth; ++i) records = {AddIsoDirectory(image, "D", records)};
  return Hv1(records, image);
}

// Identifiers that must never become a path component, each with the name
// the log shows (one final dot dropped; control bytes as '?'; bytes above
// ASCII widened, so as UTF-8): only dots and spaces, separators, a drive or
// stream colon, a wildcard, line breaks that would forge a log line, none,
// and devices as Windows matches them (what follows a dot and trailing
// spaces ignored, any case, superscript port numbers, the longest name).
const std::pair<std::string, std::string> kUnsafeNames[] = {
    {". .", ". "}, {"A\\B", "A\\B"}, {"A/B", "A/B"}, {"X:Y", "X:Y"}, {"Q?", "Q?"},
    {"X\r\nsetup done", "X??setup done"}, {"", ""}, {"con.txt", "con.txt"},
    {"COM1 .DAT", "COM1 .DAT"}, {"lpt\xb3.x", "lpt\xc2\xb3.x"}, {"CONOUT$", "CONOUT$"}};

// A folder named "..." (which would be ".."), every unsafe name as a file,
// and safe files: COMA.DAT being no port, two versions of one name and a
// name differing only in case (one file on Windows: the first record is the
// one copied, as the check finds it), a name above ASCII, the longest name
// (63 bytes; one of 64 is skipped unseen). And, for the fuzz seeds, GAMEDAT
// holding X.DAT of 5 bytes (the fuzz install target's one-row manifest) and
// an empty file.
IsoImage UnsafeNames() {
  IsoImage image = Base();
  Records records = {AddIsoDirectory(image, "...", {File("ESCAPED.DAT")}),
                     AddIsoDirectory(image, "GAMEDAT", {File("X.DAT", kData, 5), File("Z", 0, 0)})};
  for (const auto& [name, shown] : kUnsafeNames) records.push_back(File(name + ";1"));
  for (const char* safe : {"COMA.DAT;1", "CASE.DAT;1", "CASE.DAT;2", "case.dat", "CAF\xc9.DAT"})
    records.push_back(File(safe));
  for (size_t length : {63, 64}) records.push_back(File(std::string(length, 'L')));
  return Hv1(records, image);
}

std::string UnsafeNameLines() {
  std::string lines = "image: unsafe name ..\r\n";
  for (const auto& [name, shown] : kUnsafeNames) lines += "image: unsafe name " + shown + "\r\n";
  for (const char* again : {"CASE.DAT", "case.dat"})
    lines += "image: %D\\" + std::string(again) + " named again, the first record kept\r\n";
  return lines;
}

// Folders whose 16 MiB extents overlap sector by sector, each holding the
// next: each is an extent of its own, and each level would hold 16 MiB of the
// same bytes while it descends (1 GiB by the depth bound).
IsoImage OverlappingFolders() {
  IsoImage image = NewIsoImage();
  const uint32_t first = IsoNextBlock(image);
  // A sector each, each naming the next; the last one empty.
  for (uint32_t k = 1; k < 8192 + 70; ++k) AddIsoFile(image, Dir("D", first + k, 0x1000000));
  AddIsoFile(image, "");
  return Hv1({Dir("D", first, 0x1000000)}, image);
}

// Folders laid out by hand, each walked up to its first malformed record, and
// the walk going on with the next folder: a record of length 33; two records
// of 38 bytes in a folder of 75; an identifier running past its record (30
// bytes long in one of 46); a zero byte at a sector's start, which skips the
// rest of that sector (a record further in is never seen).
IsoImage MalformedFolders() {
  std::string zero = File("A.DAT") + std::string(2048 + 100 - 38, '\0') + File("B.DAT");
  zero.resize(2 * 2048);
  const std::pair<std::string, uint32_t> folders[] = {
      {File("A.DAT") + std::string(1, 33) + File("").substr(1, 32) + File("B.DAT"), 2048},
      {File("A.DAT") + File("B.DAT"), 75},
      {File("A.DAT") + File("LONGNAME.DAT").replace(32, 1, 1, 30) + File("B"), 2048},
      {zero + File("C.DAT"), 3 * 2048}};
  IsoImage image = Base();
  Records records;
  for (auto [bytes, size] : folders) {
    bytes.resize(std::max<size_t>(bytes.size(), size), '\0');  // the image holds the whole folder
    records.push_back(Dir("R" + std::to_string(records.size()), AddIsoFile(image, bytes), size));
  }
  return Hv1(records, image);
}

// No HV1 folder: HV2 first, so that a name matched by prefix shows, and a
// file named hv1.
IsoImage NoGameFolder() {
  IsoImage image = Base();
  SetIsoRoot(image, AddIsoDirectory(image, "", {Dir("HV2", kData), File("hv1;1")}));
  return image;
}

// An image the launcher would accept but for the descriptor's byte `at`.
IsoImage BadDescriptor(size_t at, char value) {
  IsoImage image = Hv1({});
  image.bytes[16 * 2048 + at] = value;
  return image;
}

}  // namespace

const std::vector<HostileImage> kHostileImages = {
    // Unsafe names are skipped and logged; the rest is copied.
    {"UnsafeNames", UnsafeNames, 6, UnsafeNameLines()},
    // Refused outright: no primary descriptor first (a file too short for
    // one, a supplementary one, not "CD001"), no HV1 folder (HV2 first, so
    // that a name matched by prefix shows; a file named hv1), a root folder
    // running 64 KiB past the image's end (as in an image cut short).
    {"ShortFile", [] { return IsoImage{std::string(0x8000 + 2047, 'x')}; }, kRefused},
    {"SupplementaryDescriptor", [] { return BadDescriptor(0, 2); }, kRefused},
    {"NotCd001", [] { return BadDescriptor(3, 'X'); }, kRefused},
    {"NoGameFolderButAFileNamedSo", NoGameFolder, kRefused},
    // (The root record's size, little-endian first, at 156 + 10.)
    {"RootPastTheEnd", [] { return BadDescriptor(156 + 10 + 2, 1); }, kRefused},
    // A tree that cannot be copied whole is refused before anything is
    // written: a loop onto an ancestor (here HV1 itself; a folder reached
    // twice is the same case), which would multiply the work at every level;
    // a tree too deep.
    {"LoopToTheTop", [] { return Chain(3, true); }, kRefused,
     "image: directory loop at %D\\D\\D\\D\\UP\r\n"},
    {"NestedPastTheBound", [] { return Chain(70, false); }, kRefused, [] {
       std::string line = "image: too deep at %D";
       for (int i = 0; i < 65; ++i) line += "\\D";
       return line + "\r\n";
     }()},
    // The walk's bound on folder data refuses the fourth, with 48 MiB read.
    {"OverlappingFolders", OverlappingFolders, kRefused,
     "image: too much folder data at %D\\D\\D\\D\\D\r\n"},
    // A file whose data runs past the image's end, as in an image cut short.
    {"FileSizePastTheEnd", [] { return Hv1({File("LONG.DAT", kData, 3u << 20)}); }, kRefused,
     "image: the data of %D\\LONG.DAT lies past the image's end\r\n"},
    // Folders that cannot be read whole: past the image's end (at the last
    // extent there is), of size 0, of more than 16 MiB (one of 16 MiB is
    // read: the tool's tests have one).
    {"FolderAtTheLastExtent", [] { return Hv1({Dir("LAST", 0xFFFFFFFF)}); }, kRefused,
     "image: can't read the folder for %D\\LAST\r\n"},
    {"FolderOfSizeZero", [] { return Hv1({Dir("NOTHING", kData, 0)}); }, kRefused,
     "image: can't read the folder for %D\\NOTHING\r\n"},
    {"FolderOf16MiBPlusOne", [] { return Hv1({Dir("BIG", kData, 0x1000001)}); }, kRefused,
     "image: can't read the folder for %D\\BIG\r\n"},
    {"MalformedFolders", MalformedFolders, 5},
};
