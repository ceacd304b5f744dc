#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "disc/manifest.h"
#include "tests/support/disc_images.h"
#include "tests/support/fake_platform.h"
#include "tests/support/iso_builder.h"
#include "tests/support/raw_image.h"
#include "tools/halvorn_disc/convert.h"
#include "tools/halvorn_disc/disc_tool.h"

namespace {

// What `run` writes to the stream it is given.
std::string Output(const std::function<void(FILE*)>& run) {
  FILE* out = std::tmpfile();
  run(out);
  std::string text;
  std::rewind(out);
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(out);
  return text;
}

// Lines of `text` starting with `start`.
size_t Lines(const std::string& text, const std::string& start) {
  size_t n = 0;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) n += (line + "\n").starts_with(start);
  return n;
}

fs::path Put(const fs::path& p, const std::string& bytes) {
  WriteFileBytes(p, bytes);
  return p;
}

// A count of sectors as a cue sheet writes it, "mm:ss:ff".
std::string Msf(uint64_t frames) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", unsigned(frames / 4500),
                unsigned(frames / 75 % 60), unsigned(frames % 75));
  return text;
}

// A form the tool converts, made from an ISO image: its sectors in `layout`
// after `pregap` sectors, in `file`; in an .nrg when `nrg` is 1 + (v2 ? 1 : 0)
// + (DAO ? 2 : 0); named by disc.cue when `cue` is given. A cue sheet may
// name t2.bin, an audio track; "@" in it stands for where track 1 ends, the
// second one 150 sectors later, with audio in the same file from there.
struct Form {
  const char* file;
  SectorLayout layout;
  uint32_t pregap = 0;
  const char* cue = nullptr;
  int nrg = 0;
};

const Form kForms[] = {
    {"disc.iso", kPlainLayout},
    {"disc.bin", kMode1Raw},
    {"disc.img", kMode2Raw},
    {"disc.mdf", kMode1Sub},
    {"disc", kMode2Sub},
    {"all tracks.bin", kMode1Raw, 0,
     "REM x\r\nFILE \"all tracks.bin\" BINARY\r\n  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n"
     "  TRACK 02 AUDIO\r\n    INDEX 00 @\r\n    INDEX 01 @\r\n"},
    {"t1.bin", kMode2Raw, 2,
     "FILE t1.bin BINARY\n TRACK 01 MODE2/2352\n  INDEX 00 00:00:00\n  INDEX 01 00:00:02\n"
     "FILE t2.bin BINARY\n TRACK 02 AUDIO\n  INDEX 01 00:00:00\n"},
    {"d.iso", kPlainLayout, 0, "FILE \"d.iso\" BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n"},
    {"disc.nrg", kMode1Raw, 150, nullptr, 4},  // v2 DAOX
    {"disc.nrg", kPlainLayout, 3, nullptr, 3},  // v1 DAOI
    {"disc.nrg", kMode2Raw, 1, nullptr, 2},  // v2 ETN2
    {"disc.nrg", kPlainLayout, 2, nullptr, 1},  // v1 ETNF
};

// Lays out `form` of `iso` in `dir`; gives the file to convert.
fs::path Make(const Form& form, const std::string& iso, const fs::path& dir) {
  std::string sectors = RawSectors(iso, form.layout, form.pregap);
  if (form.nrg != 0) {
    sectors = NrgImage(sectors, form.pregap * form.layout.size, form.layout.size, form.nrg % 2 == 0,
                       form.nrg > 2);
  }
  if (form.cue == nullptr) return Put(dir / form.file, sectors);
  std::string cue = form.cue;
  uint64_t end = iso.size() / kUserDataSize;
  if (cue.find('@') != std::string::npos) sectors += std::string(300 * kRawSectorSize, '\x5A');
  for (size_t at; (at = cue.find('@')) != std::string::npos; end += 150) cue.replace(at, 1, Msf(end));
  Put(dir / form.file, sectors);
  Put(dir / "t2.bin", std::string(20 * kRawSectorSize, '\x5A'));
  return Put(dir / "disc.cue", cue);
}

// The game's rows as directory records alone: verify reads no file data, so
// a few KB stand for a whole disc. When `near`, three rows are wrong, each its
// own way: FONT2.FNT a byte longer, MISSN03.MIS missing, INTRO.STR a folder.
std::string ManifestIso(bool near) {
  IsoImage iso = NewIsoImage();
  std::map<std::string, std::vector<std::string>> folders;  // "" is HV1
  for (const ManifestEntry& row : kDiscManifest) {
    std::string path = Utf8(row.path);
    size_t cut = path.rfind('\\');
    std::string name = path.substr(cut + 1);  // npos + 1: the whole path
    if (near && name == "MISSN03.MIS") continue;
    folders[cut == std::string::npos ? "" : path.substr(0, cut)].push_back(IsoRecord(
        name + ";1", 0, row.size + (near && name == "FONT2.FNT"), near && name == "INTRO.STR"));
  }
  std::vector<std::string> hv1 = folders[""];
  for (const auto& [name, records] : folders) {
    if (name.empty()) continue;
    uint32_t extent = ReserveIsoBlocks(iso, IsoDirectorySectors(records));
    hv1.push_back(IsoRecord(name, extent, PutIsoDirectory(iso, extent, extent, records), true));
  }
  PutIsoRootWithFolder(iso, hv1);
  return iso.bytes;
}

TEST(ConvertTest, EdcIsTheDiscCrc) {
  EXPECT_EQ(ComputeEdc(reinterpret_cast<const uint8_t*>("123456789"), 9), 0x6EC2EDC4u);
}

// Each form converts to the image it was made from, and verify names the
// command that does it.
TEST(ConvertTest, EveryFormConvertsToTheOriginalImage) {
  std::string iso = ReadFileBytes(TestImage("level1.iso"));
  for (const Form& form : kForms) {
    SCOPED_TRACE(std::string(form.file) + " " + std::to_string(form.nrg));
    TempDir dir;
    fs::path in = Make(form, iso, dir.path);
    int code = -1;
    std::string said = Output([&](FILE* out) {
      code = ConvertCommand(Wide(in).c_str(), Wide(dir.path / "out.iso").c_str(), out);
    });
    EXPECT_EQ(code, 0) << said;
    EXPECT_TRUE(ReadFileBytes(dir.path / "out.iso") == iso) << said;
    EXPECT_FALSE(Exists(dir.path / "out.iso.partial"));
    if (std::string(form.file) == "disc.iso") continue;  // an image the launcher reads
    said = Output([&](FILE* out) { VerifyDiscImage(Wide(in).c_str(), out); });
    EXPECT_NE(said.find("halvorn-disc convert \"" + Utf8(Wide(in)) + "\" \""), std::string::npos)
        << said;
  }
}

TEST(ConvertTest, DamagedSectorsAreNamedWithTheirFiles) {
  TempDir dir;
  std::string iso = ReadFileBytes(TestImage("level1.iso"));
  // F05.DAT (4985 bytes, three blocks) as the listing gives it.
  std::string listing =
      Output([&](FILE* out) { ListDiscImage(Wide(TestImage("level1.iso")).c_str(), out, out); });
  size_t at = listing.find("/F05.DAT");
  ASSERT_NE(at, std::string::npos);
  int64_t extent = std::stoll(listing.substr(listing.rfind("f\t", at) + 2));
  std::u16string bin = Wide(Put(dir.path / "d.bin", RawSectors(iso, kMode2Sub, 0, extent + 2)));
  int codes[2] = {};
  std::string said[2] = {
      Output([&](FILE* out) { codes[0] = VerifyDiscImage(bin.c_str(), out); }),
      Output([&](FILE* out) {
        codes[1] = ConvertCommand(bin.c_str(), Wide(dir.path / "d.iso").c_str(), out);
      })};
  for (int i : {0, 1}) {
    EXPECT_EQ(codes[i], 1);
    EXPECT_NE(said[i].find("HV1\\GAMEDAT\\F05.DAT: 1 damaged sector\n"), std::string::npos) << said[i];
    EXPECT_EQ(said[i].find("in no file"), std::string::npos) << said[i];
    EXPECT_NE(said[i].find("Clean the disc and read it again"), std::string::npos);
  }
  EXPECT_EQ(ReadFileBytes(dir.path / "d.iso").size(), iso.size());  // written all the same
}

// What is not an image the launcher reads: verify says what it is (and what
// to do) and fails, and convert writes nothing.
TEST(ConvertTest, WhatCannotBeReadIsNamed) {
  struct Case {
    const char* file;  // a folder when it ends in '/', absent when it has no bytes
    std::string bytes;
    const char* said;  // '@' stands for the case's folder
  } cases[] = {
      {"x.chd", "MComprHD" + std::string(120, '\0'),
       "chdman extractcd -i \"@x.chd\" -o \"@x.cue\""},
      {"u.img",
       std::string(0x8001, '\0') + "BEA01" + std::string(2042, '\0') + "\x02NSR02" +
           std::string(40000, '\0'),
       "UDF-only"},
      {"z.iso", "PK\x03\x04" + std::string(40000, '\0'), "ZIP archive"},
      {"e.iso", std::string(80000, '\0'), "nothing but zero bytes"},
      {"a.bin", std::string(1, '\0') + std::string(10, '\xff') + std::string(40000, '\0'),
       "not a data sector (mode byte 0)"},
      {"m.cue", "FILE m.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", "first track is audio"},
      {"n.cue", "FILE missing.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n",
       "missing.bin, which cannot be opened"},
      {"disc1.bin", RawSectors(std::string(20 * 2048, '\0'), kMode1Raw),  // but no volume
       "a raw CD image (2352-byte MODE1 sectors"},
      {"copied/", "", ": a folder, not a disc image."},
      {"nothing.iso", "", ": no such file."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TempDir dir;
    fs::path in = dir.path / c.file;
    if (in.filename().empty()) fs::create_directories(in / "HV1");
    if (!c.bytes.empty()) Put(in, c.bytes);
    std::string expected = c.said;
    for (size_t at; (at = expected.find('@')) != std::string::npos;)
      expected.replace(at, 1, Utf8(Wide(dir.path / "")));
    int code = 0;
    std::string said = Output([&](FILE* out) { code = VerifyDiscImage(Wide(in).c_str(), out); });
    EXPECT_EQ(code, 1);
    EXPECT_NE(said.find(expected), std::string::npos) << said;
    said = Output([&](FILE* out) {
      code = ConvertCommand(Wide(in).c_str(), Wide(dir.path / "o.iso").c_str(), out);
    });
    EXPECT_EQ(code, 1) << said;
    EXPECT_FALSE(Exists(dir.path / "o.iso"));
  }
}

// Whichever platform call fails, the target is the whole image or absent,
// no temporary file stays (unless deleting it was what failed) and nothing
// is left open; an existing target is never replaced.
TEST(ConvertTest, AFailedCallLeavesNoHalfImage) {
  TempDir dir;
  std::string iso = ReadFileBytes(TestImage("level1.iso"));
  std::u16string in = Wide(Put(dir.path / "d.bin", RawSectors(iso, kMode1Raw)));
  std::u16string target = Wide(dir.path / "d.iso");
  int calls = 0;
  FILE* sink = std::tmpfile();  // what the conversion says is not looked at here
  {
    ScopedFake tp;
    EXPECT_EQ(ConvertImage(in.c_str(), target.c_str(), sink), ConvertResult::kWritten);
    calls = tp->total_calls;
    EXPECT_EQ(ConvertImage(in.c_str(), target.c_str(), sink), ConvertResult::kFailed);  // exists
    EXPECT_TRUE(ReadFileBytes(dir.path / "d.iso") == iso);
  }
  for (int nth = 1; nth <= calls; ++nth) {
    fs::remove(dir.path / "d.iso");
    fs::remove(dir.path / "d.iso.partial");
    ScopedFake tp;
    tp->fail_nth = nth;
    ConvertResult result = ConvertImage(in.c_str(), target.c_str(), sink);
    SCOPED_TRACE(PlatformOpName(tp->faulted_op));
    if (Exists(dir.path / "d.iso")) {
      EXPECT_TRUE(ReadFileBytes(dir.path / "d.iso") == iso);
    } else {
      EXPECT_EQ(result, ConvertResult::kFailed);
    }
    EXPECT_TRUE(!Exists(dir.path / "d.iso.partial") || tp->faulted_op == Op::DeleteFileW);
    EXPECT_EQ(OpenHandleReport(), "");
  }
  std::fclose(sink);
}

// What Windows passes for a file dropped on the program: the image converted
// beside it, under a new name when that one is taken, then verified.
TEST(ConvertTest, ADroppedRawImageEndsInOneSentence) {
  TempDir dir;
  std::string iso = ManifestIso(false);
  fs::path bin = Put(dir.path / "disc1.bin", RawSectors(iso, kMode1Raw));
  std::string said = Output([&](FILE* out) { EXPECT_EQ(RunDroppedFile(Wide(bin).c_str(), out), 0); });
  std::string last = "Halvorn Glint can install from " + Utf8(Wide(dir.path / "disc1.iso")) + ".\n";
  EXPECT_EQ(said.substr(said.size() - std::min(said.size(), last.size())), last) << said;
  EXPECT_TRUE(ReadFileBytes(dir.path / "disc1.iso") == iso);
  Put(bin, RawSectors(ReadFileBytes(TestImage("level1.iso")), kMode1Raw));
  said = Output([&](FILE* out) { EXPECT_EQ(RunDroppedFile(Wide(bin).c_str(), out), 1); });
  EXPECT_TRUE(Exists(dir.path / "disc1 (2).iso"));
  EXPECT_NE(said.find("Halvorn Glint can't install from " + Utf8(Wide(dir.path / "disc1 (2).iso")) +
                      ": "),
            std::string::npos)
      << said;
}

// The rename that ends a conversion never replaces a file unless asked to.
TEST(ConvertTest, MoveKeepsAnExistingTarget) {
  TempDir dir;
  std::u16string a = Wide(Put(dir.path / "a", "new")), b = Wide(Put(dir.path / "b", "old"));
  EXPECT_FALSE(MoveFileExW(a.c_str(), b.c_str(), 0));
  EXPECT_EQ(ReadFileBytes(dir.path / "b"), "old");
  EXPECT_TRUE(MoveFileExW(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(ReadFileBytes(dir.path / "b"), "new");
  EXPECT_FALSE(Exists(dir.path / "a"));
}

// 64 levels, each folder naming the next one twice: followed once, the list
// stays linear (2 records a level) where following both would list 2^64.
TEST(DiscToolTest, ListFollowsASharedFolderOnce) {
  TempDir dir;
  IsoImage image = NewIsoImage();
  std::vector<uint32_t> levels;
  for (int i = 0; i < 64; ++i) levels.push_back(ReserveIsoBlocks(image, 1));
  for (int i = 0; i < 64; ++i) {
    std::vector<std::string> records;
    if (i + 1 < 64) {
      records = {IsoRecord("A", levels[i + 1], 2048, true), IsoRecord("B", levels[i + 1], 2048, true)};
    }
    PutIsoDirectory(image, levels[i], i == 0 ? levels[0] : levels[i - 1], records);
  }
  uint32_t root = ReserveIsoBlocks(image, 1);
  SetIsoRoot(image, root, PutIsoDirectory(image, root, root, {IsoRecord("L", levels[0], 2048, true)}));
  SaveIsoImage(image, dir.path / "shared.iso");
  int code = -1;
  std::string refused;
  std::string listed = Output([&](FILE* out) {
    refused = Output([&](FILE* err) { code = ListDiscImage(Wide(dir.path / "shared.iso").c_str(), out, err); });
  });
  EXPECT_EQ(code, 0) << refused;  // nothing lost: B's records are A's
  EXPECT_EQ(Lines(listed, "d\t"), 1u + 2 * 63);
  EXPECT_EQ(Lines(refused, "L/A/"), 62u);  // every B below the first level
  EXPECT_EQ(Lines(refused, "L/B: not followed: its extent was listed before"), 1u) << refused;
}

// Every failing row is named, not only the first, and the count closes.
TEST(DiscToolTest, VerifyNamesEveryRowThatFails) {
  TempDir dir;
  struct Case {
    fs::path image;
    int code;
    std::vector<std::pair<std::string, size_t>> lines;  // start -> how many
  } cases[] = {
      {TestImage("full.iso"), 0,
       {{"124 of 124 files present with their sizes: the launcher accepts this image.\n", 1}}},
      {Put(dir.path / "near.iso", ManifestIso(true)), 1,
       {{"size\tGAMEDAT\\FONT2.FNT\t11503 bytes on the disc, 11502 expected\n", 1},
        {"missing\tGAMEDAT\\MISSN03.MIS\n", 1}, {"folder\tSTREAMS\\INTRO.STR\t", 1},
        {"size\t", 1}, {"missing\t", 1}, {"folder\t", 1},
        {"121 of 124 files present with their sizes: the launcher refuses this image.\n", 1}}},
      {TestImage("level1.iso"), 1,  // an image, but not disc 1
       {{"missing\t", 122}, {"size\tSTREAMS\\INTRO.STR\t70001 bytes on the disc", 1},
        {"size\tHV1.EXE\t4321 bytes on the disc, 1437184 expected\n", 1}}},
  };
  for (const Case& c : cases) {
    int code = -1;
    std::string said = Output([&](FILE* out) { code = VerifyDiscImage(Wide(c.image).c_str(), out); });
    EXPECT_EQ(code, c.code) << said;
    if (c.code == 0) EXPECT_EQ(said, c.lines[0].first);  // and nothing else
    for (const auto& [start, n] : c.lines) EXPECT_EQ(Lines(said, start), n) << start << said;
  }
}

}  // namespace
