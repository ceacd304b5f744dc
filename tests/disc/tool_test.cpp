#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "disc/manifest.h"
#include "tests/support/disc_images.h"
#include "tests/support/fake_platform.h"
#include "tests/support/iso_builder.h"
#include "tests/support/raw_image.h"
#include "tools/halvorn_disc/convert.h"
#include "tools/halvorn_disc/disc_tool.h"
#include "tools/halvorn_disc/rip.h"

namespace {

// `v` in `n` bytes, big-endian (as .nrg chunks hold it) unless told.
std::string Bytes(uint64_t v, int n, bool big = true) {
  std::string out;
  for (int i = 0; i < n; ++i) out += static_cast<char>(v >> (8 * (big ? n - 1 - i : i)));
  return out;
}

// An .nrg image of one track, RawSectors(iso, l, pregap), then its chunks and
// footer: NER5 and 64-bit offsets when `v2`, DAOX/DAOI when `dao`, else
// ETN2/ETNF; when `empty`, the track ends where it starts.
std::string NrgImage(const std::string& iso, const SectorLayout& l, uint32_t pregap, bool v2,
                     bool dao, bool empty = false) {
  std::string sectors = RawSectors(iso, l, pregap);
  uint64_t start = uint64_t{pregap} * l.size, end = empty ? start : sectors.size();
  int n = v2 ? 8 : 4;
  // DAO: size, catalogue number, kind, first and last track, then the track's
  // ISRC, sector size, mode, index 0, index 1 and end; TAO: the track's start,
  // length and mode.
  std::string body = dao ? std::string(34, '\0') + Bytes(l.size, 2) + std::string(4 + n, '\0') +
                               Bytes(start, n) + Bytes(end, n)
                         : Bytes(start, n) + Bytes(end - start, n) +
                               Bytes(l.size == 2048 ? 0 : 6, 4) + Bytes(0, 8);
  std::string id = dao ? (v2 ? "DAOX" : "DAOI") : (v2 ? "ETN2" : "ETNF");
  return sectors + id + Bytes(body.size(), 4) + body + "END!" + Bytes(0, 4) +
         (v2 ? "NER5" : "NERO") + Bytes(sectors.size(), n);
}

// `raw` (sectors of layout `l`) as an .ecm, a record a sector: a MODE1 one as
// a type 1 record (address and data), a MODE2 one as its sync and header kept
// (type 0, 16 bytes) and a type 2 record (subheader and data); then the end
// (the count 0xFFFFFFFF) and the checksum.
std::string EcmImage(const std::string& raw, const SectorLayout& l) {
  std::string out("ECM\0", 4);
  for (size_t at = 0; at < raw.size(); at += l.size) {
    if (l.mode == 1)
      out += '\x01' + raw.substr(at + 12, 3);
    else
      out += '\x3C' + raw.substr(at, 16) + '\x02' + raw.substr(at + 16, 4);
    out += raw.substr(at + l.data_offset, 2048);
  }
  uint32_t edc = ComputeEdc(reinterpret_cast<const uint8_t*>(raw.data()), raw.size());
  return out + "\xFC\xFF\xFF\xFF\x3F" + Bytes(edc, 4, false);
}

// What `run` writes to the stream it is given.
template <class Run>
std::string Output(Run run) {
  FILE* out = std::tmpfile();
  run(out);
  std::string text;
  std::rewind(out);
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(out);
  return text;
}

// `iso` with the volume size its descriptor declares set to `blocks`.
std::string Sized(std::string iso, uint32_t blocks) {
  for (int i = 0; i < 4; ++i) iso[16 * 2048 + 80 + i] = static_cast<char>(blocks >> (8 * i));
  return iso;
}

// Disc 1's rows as directory records alone, their data past the image's end
// (verify reads none), but CONFIG.DEF, in a sector of its own (block 18), with
// README.TXT after it: a rip reads 20 sectors, and an unreadable sector names
// one file. When `near`, three rows are wrong, each its own way: FONT2.FNT a
// byte longer, MISSN03.MIS missing, INTRO.STR a folder.
std::string Disc1Iso(bool near = false) {
  IsoImage iso = NewIsoImage();
  uint32_t config = AddIsoFile(iso, std::string(1291, 'c'));
  // Each folder of HV1 ("" for HV1 itself, else its name and a backslash).
  std::map<std::string, std::vector<std::string>> folders{
      {"", {IsoRecord("README.TXT;1", AddIsoFile(iso, "read me"), 7, false)}}};
  for (const ManifestEntry& row : kDiscManifest) {
    std::string path = Utf8(row.path);
    std::string name = path.substr(path.rfind('\\') + 1);  // npos + 1: the whole path
    if (near && name == "MISSN03.MIS") continue;
    folders[path.substr(0, path.size() - name.size())].push_back(
        IsoRecord(name + ";1", name == "CONFIG.DEF" ? config : 1000000,
                  row.size + (near && name == "FONT2.FNT"), near && name == "INTRO.STR"));
  }
  std::vector<std::string> hv1 = folders[""];
  for (const auto& [dir, records] : folders)
    if (!dir.empty()) hv1.push_back(AddIsoDirectory(iso, dir.substr(0, dir.size() - 1), records));
  PutIsoRootWithFolder(iso, hv1);
  return Sized(iso.bytes, IsoNextBlock(iso));
}

// Each input through verify, which fails, then through convert: both say
// `said`, verify `verify_said` too and, for an image to convert, the command
// converting it to an .iso beside it; convert leaves `out` ("": nothing) and
// no temporary file, exiting 0 when it writes an undamaged image.
TEST(ConvertTest, EachInputIsVerifiedAndConverted) {
  // The sectors' error-detection code is the disc's CRC (the images below
  // are made with it, so only a known value tells).
  EXPECT_EQ(ComputeEdc(reinterpret_cast<const uint8_t*>("123456789"), 9), 0x6EC2EDC4u);
  std::string iso = ReadFileBytes(TestImage("level1.iso"));
  // F05.DAT (4985 bytes, three blocks; each file holds its path, repeated),
  // its last block damaged.
  size_t f05 = iso.find("HV1/GAMEDAT/F05.DAT\n") / 2048 + 2;
  std::string damaged = iso;
  damaged[f05 * 2048 + 100] ^= 0x40;
  // A cue sheet may name an audio track after the data in the same file, or
  // in a file of its own. Times are "mm:ss:ff", 75 sectors a second (the
  // image is under a minute).
  auto msf = [](size_t f) { return "0:" + std::to_string(f / 75) + ":" + std::to_string(f % 75); };
  std::string audio_after =
      "\xEF\xBB\xBF" "REM x\r\nFILE \"all tracks.bin\" BINARY\r\n  TRACK 01 MODE1/2352\r\n"
      "    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n    INDEX 00 " +
      msf(iso.size() / 2048) + "\r\n    INDEX 01 " + msf(iso.size() / 2048 + 150) + "\r\n";
  // Cut short as a download that stopped: 97% of its sectors, then 1,000 bytes.
  std::string mode1 = RawSectors(iso, kMode1Raw), mode2 = RawSectors(iso, kMode2Raw);
  std::string cut = mode2.substr(0, mode2.size() / 2352 * 97 / 100 * 2352 + 1000);
  // Three folders on one 16 MiB extent (each row of the check reads two), in
  // a volume whose system area (free for any use) starts as a raw sector: an
  // ISO 9660 volume is looked for before raw sectors.
  IsoImage wide = NewIsoImage();
  uint32_t at = IsoNextBlock(wide);
  AddIsoFile(wide, IsoRecord("GAMEDAT", at, 1 << 24, true) +
                       IsoRecord("STREAMS", at, 1 << 24, true) + std::string((1 << 24) - 100, 0));
  SetIsoRoot(wide, AddIsoDirectory(wide, "", {IsoRecord("HV1", at, 1 << 24, true)}));
  wide.bytes.replace(0, 16, mode1, 0, 16);
  std::string zeros(40000, '\0');
  struct Case {
    std::string file;  // the input; "x/" a folder, absent when it has no bytes
    std::string bytes, said, out = "", verify_said = "", data = "";
    std::u8string data_file = u8"";  // beside it, holding `data`
  } cases[] = {
      // A byte-order mark, CR LF, a quoted name; a name in the ANSI code page
      // (not UTF-8) with 2352-byte sectors said for data read with subchannel.
      {"disc.cue", audio_after, "a .cue sheet for all tracks.bin (2352-byte MODE1 sectors)", iso,
       "", mode1 + std::string(300 * 2352, '\x5A'), u8"all tracks.bin"},
      {"disc.cue", "FILE t1.bin BINARY\nTRACK 01 MODE2/2352\nINDEX 00 00:00:00\nINDEX 01 00:00:02\n"
       "FILE t2.bin BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n", "for t1.bin (2352-byte MODE2",
       iso, "", RawSectors(iso, kMode2Raw, 2), u8"t1.bin"},
      {"disc.cue", "FILE \"\xDC" "ber.bin\" BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n",
       "with subchannel; the sheet says", iso, "", RawSectors(iso, kMode1Sub), u8"\u00DCber.bin"},
      {"wide.iso", wide.bytes, "", wide.bytes, "too much folder data to check the rest"},
      // Cut short: named, with what is missing, and not written; whole but
      // for a part of a sector after the volume: written.
      {"cut.bin", cut, "It is cut short: it ends 47 sectors (94 KB) before the end of the volume"},
      {"tail.bin", mode1 + std::string(1000, 'x'), "1000 bytes of a sector cut short, after", iso},
      // v2 DAOX, v1 DAOI, v1 ETNF
      {"1.nrg", NrgImage(iso, kMode1Raw, 150, true, true), "track of 2352-byte MODE1", iso},
      {"2.nrg", NrgImage(iso, kPlainLayout, 3, false, true), "track of 2048-byte", iso},
      {"3.nrg", NrgImage(iso, kPlainLayout, 2, false, false), "track of 2048-byte", iso},
      // An empty first track, wherever it starts (0 once meant "to the end").
      {"4.nrg", NrgImage(iso, kMode1Raw, 0, true, false, true), "its first track is empty"},
      {"5.nrg", NrgImage(iso, kMode1Raw, 0, true, true, true), "its first track is empty"},
      // .ecm of MODE1 and MODE2 sectors; one cut short fails to decode.
      {"1.ecm", EcmImage(mode1, kMode1Raw), "error-code-modeler form) of 2352-byte MODE1", iso},
      {"2.ecm", EcmImage(mode2, kMode2Raw), "of 2352-byte MODE2 sectors", iso},
      {"3.ecm", EcmImage(mode2, kMode2Raw).substr(0, 100000), "cannot be decoded: it ends"},
      // Forms only their own programs read are named, with what to do.
      {"x.chd", "MComprHD" + zeros, "x.chd\" -o \"", "", "x.cue\"\n  halvorn-disc convert \""},
      {"u.img", std::string(0x8001, '\0') + "BEA01" + zeros, "a UDF-only image"},
      {"x.isz", "IsZ!" + zeros, "UltraISO .isz image"},
      {"x.cdi", std::string(40000, 1) + std::string("\x06\0\0\x80\0\x10\0\0", 8), "DiscJuggler"},
      // Written all the same, the damaged sectors named with their files.
      {"disc", RawSectors(iso, kMode2Raw, 0, f05), "F05.DAT: 1 damaged sector\nThose", damaged},
      // What is not an image the launcher reads is named, with what to do.
      {"e.iso", std::string(80000, '\0'), "nothing but zero bytes"},
      {"a.bin", std::string(1, '\0') + std::string(10, '\xff') + zeros, "(mode byte 0)"},
      {"m.cue", "FILE m.bin BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n", "first track is audio"},
      // A name's control characters shown escaped.
      {"n.cue", "FILE a\x1B.bin BINARY\nTRACK 01 MODE1/2352\nINDEX 01 00:00:00\n", "a\\x1B.bin,"},
      // Raw sectors, but no volume in them.
      {"disc1.bin", RawSectors(std::string(20 * 2048, 0), kMode1Raw), "(2352-byte MODE1"},
      {"copied/", "", "", "", ": a folder, not a disc image."},
#if HV_POSIX_LAYER
      // What Windows could not open as a file is refused at once, not waited on.
      {"fifo.iso", "", "fifo.iso: can't be opened ", "", "opened for reading."},
#endif
      {"nothing.iso", "", "", "", "nothing.iso: no such file."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TempDir dir;
    if (c.file.ends_with('/')) fs::create_directories(dir.path / c.file / "HV1");
    if (c.file == "fifo.iso")
      std::system(("mkfifo '" + (dir.path / c.file).string() + "'").c_str());
    if (!c.bytes.empty()) WriteFileBytes(dir.path / c.file, c.bytes);
    if (!c.data.empty()) WriteFileBytes(dir.path / c.data_file, c.data);
    std::string folder = Utf8(Wide(dir.path / ""));
    std::string command = "convert \"" + folder + c.file + "\" \"" + folder +
                          fs::path(c.file).replace_extension(".iso").string() + "\"\n";
    std::string said[] = {c.said, c.verify_said,
                          c.out.empty() || c.file.ends_with(".iso") ? "" : command};
    std::u16string in = Wide(dir.path / c.file), out = Wide(dir.path / "o.iso");
    int code = 0;
    std::string verified = Output([&](FILE* f) { code = VerifyDiscImage(in.c_str(), f); });
    EXPECT_EQ(code, 1);
    for (const std::string& s : said) EXPECT_NE(verified.find(s), std::string::npos) << verified;
    std::string converted =
        Output([&](FILE* f) { code = ConvertCommand(in.c_str(), out.c_str(), f); });
    EXPECT_EQ(code, c.out.empty() || c.out == damaged ? 1 : 0) << converted;
    EXPECT_NE(converted.find(said[0]), std::string::npos) << converted;
    EXPECT_TRUE(ReadFileBytes(dir.path / "o.iso") == c.out);
    EXPECT_FALSE(Exists(dir.path / "o.iso.partial"));
  }
}

// The output never touches another file: its temporary file is a new one
// under a name not taken (here the input's own, then another file: the next
// one is used), and whichever platform call fails, the target is the whole
// image or absent, no temporary file stays (unless deleting it was what
// failed) and nothing is left open. An existing target is never replaced.
TEST(ConvertTest, NothingButTheOutputIsTouched) {
  TempDir dir;
  std::string iso = ReadFileBytes(TestImage("level1.iso"));
  WriteFileBytes(dir.path / "d.iso.partial", RawSectors(iso, kMode1Raw));
  WriteFileBytes(dir.path / "d.iso.partial2", "kept");
  auto files = [&dir] {
    std::map<std::string, std::string> held;
    for (const auto& e : fs::directory_iterator(dir.path))
      held[e.path().filename().string()] = ReadFileBytes(e.path());
    return held;
  };
  auto before = files();
  std::u16string in = Wide(dir.path / "d.iso.partial"), target = Wide(dir.path / "d.iso");
  FILE* sink = std::tmpfile();  // what the conversion says is not looked at here
  // The first run fails nothing, and counts the calls the others fail in turn.
  for (int nth = 0, calls = 0; nth <= calls; ++nth) {
    fs::remove(dir.path / "d.iso");
    fs::remove(dir.path / "d.iso.partial3");
    ScopedFake tp;
    tp->fail_nth = nth;
    ConvertResult result = ConvertImage(in.c_str(), target.c_str(), sink);
    if (nth == 0) calls = tp->total_calls;
    SCOPED_TRACE(PlatformOpName(tp->faulted_op));
    auto after = files();
    EXPECT_TRUE(after.count("d.iso") ? after["d.iso"] == iso : result == ConvertResult::kFailed);
    EXPECT_TRUE(nth > 0 || result == ConvertResult::kWritten);
    after.erase("d.iso");
    if (tp->faulted_op == Op::DeleteFileW) after.erase("d.iso.partial3");
    EXPECT_TRUE(after == before);
    EXPECT_EQ(OpenHandleReport(), "");
  }
  // An existing target is kept, even when it appears after it was looked for.
  fs::remove(dir.path / "d.iso.partial3");
  before["d.iso"] = "another file";
  WriteFileBytes(dir.path / "d.iso", before["d.iso"]);
  ScopedFake tp;
  EXPECT_EQ(ConvertImage(in.c_str(), target.c_str(), sink), ConvertResult::kFailed);
  tp->fail_op = Op::GetFileAttributesW;
  tp->fail_op_nth = tp->Calls(Op::GetFileAttributesW) + 1;
  EXPECT_EQ(ConvertImage(in.c_str(), target.c_str(), sink), ConvertResult::kFailed);
  EXPECT_EQ(tp->Calls(Op::MoveFileExW), 1);
  EXPECT_TRUE(files() == before);
  std::fclose(sink);
}

// Each way a rip from a drive (a file standing in for one) ends: the image
// whole after a read failed once, sectors never read inside a file and
// outside any, a drive not ready, a disc ending before its volume, the
// output's write failing, an output that exists ("mine"), another disc, a
// volume of no disc's size, no such drive. Only a whole image is kept or said
// installable; the folder holds nothing else afterwards; nothing is left open.
TEST(RipTest, EachWayARipEnds) {
  const std::string disc = Disc1Iso();
  const uint32_t blocks = static_cast<uint32_t>(disc.size() / 2048);
  std::string zeroed = disc;  // CONFIG.DEF's sector and block 3 unreadable
  zeroed.replace(18 * 2048, 2048, 2048, '\0').replace(3 * 2048, 2048, 2048, '\0');
  struct Case {
    std::string drive;  // the source's bytes; "" none
    std::map<int64_t, int> unreadable;
    Op fault;
    std::string said, out = "";
    uint32_t error = ERROR_CRC;  // what the failing call or read answers
  } cases[] = {
      {disc, {{5 * 2048, 1}}, Op::kCount, "Halvorn Glint can install from", disc},
      {disc, {{18 * 2048, -1}, {3 * 2048, -1}}, Op::kCount,
       "zeros):\nHV1\\GAMEDAT\\CONFIG.DEF: 1 damaged sector\n1 damaged sector in no file", zeroed},
      {disc, {}, Op::CreateFileW, "has no disc in it (or its tray is open).", "", ERROR_NOT_READY},
      {Sized(disc, blocks + 3), {}, Op::kCount, "ends at sector " + std::to_string(blocks) +
       ", before the end of its volume (" + std::to_string(blocks + 3) + " sectors)"},
      {disc, {}, Op::WriteFile, "can't write the image (the disk is full).", "", ERROR_DISK_FULL},
      {disc, {}, Op::kCount, "exists already", "mine"},
      {ReadFileBytes(TestImage("level1.iso")), {}, Op::kCount, "holds another disc, not disc 1"},
      {Sized(disc, 0), {}, Op::kCount, "its volume says it holds 0 sectors, which is no disc's."},
      {"", {}, Op::kCount, "drive.iso: no such drive."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said);
    TempDir dir;
    if (!c.drive.empty()) WriteFileBytes(dir.path / "drive.iso", c.drive);
    if (c.out == "mine") WriteFileBytes(dir.path / "disc1.iso", c.out);
    ScopedFake fake;
    fake->unreadable = c.unreadable;
    fake->fault_error = c.error;
    fake->fail_op = c.fault;
    fake->fail_op_nth = 1;
    std::u16string in = Wide(dir.path / "drive.iso"), out = Wide(dir.path / "disc1.iso");
    int code = -1;
    std::string said = Output([&](FILE* f) { code = RipCommand(in.c_str(), out.c_str(), f, f); });
    EXPECT_EQ(code, c.said.starts_with("Halvorn Glint can install") ? 0 : 1);
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    EXPECT_TRUE(ReadFileBytes(dir.path / "disc1.iso") == c.out);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()),
              !c.drive.empty() + !c.out.empty());
    EXPECT_EQ(OpenHandleReport(), "");
  }
}

// What Windows passes for a file dropped on the program: the image converted
// beside it, under a new name when that one is taken, then verified.
TEST(ConvertTest, ADroppedRawImageEndsInOneSentence) {
  TempDir dir;
  std::string folder = Utf8(Wide(dir.path / ""));
  std::u16string bin = Wide(dir.path / "disc1.bin");
  WriteFileBytes(dir.path / "disc1.bin", RawSectors(Disc1Iso(), kMode1Raw));
  std::string said = Output([&](FILE* out) { EXPECT_EQ(RunDroppedFile(bin.c_str(), out), 0); });
  EXPECT_TRUE(said.ends_with("accepts this image.\nHalvorn Glint can install from " + folder +
                             "disc1.iso.\n")) << said;
  // Every failing row is named, not only the first, and the count closes.
  WriteFileBytes(dir.path / "disc1.bin", RawSectors(Disc1Iso(true), kMode1Raw));
  said = Output([&](FILE* out) { EXPECT_EQ(RunDroppedFile(bin.c_str(), out), 1); });
  EXPECT_TRUE(said.ends_with(
      "FONT2.FNT\t11503 bytes on the disc, 11502 expected\nmissing\tGAMEDAT\\MISSN03.MIS\nfolder\t"
      "STREAMS\\INTRO.STR\tis a folder on the disc, a file is expected\n121 of 124 files present "
      "with their sizes: the launcher refuses this image.\nHalvorn Glint can't install from " +
      folder + "disc1 (2).iso: it is not a whole copy of disc 1 (see above).\n")) << said;
}

// A and B name the same folder: B is not followed, and nothing is lost.
TEST(DiscToolTest, ListFollowsASharedFolderOnce) {
  TempDir dir;
  IsoImage image = NewIsoImage();
  uint32_t shared = IsoNextBlock(image);
  AddIsoDirectory(image, "", {IsoRecord("F", 18, 2, false)});
  SetIsoRoot(image, AddIsoDirectory(image, "", {IsoRecord("A", shared, 2048, true),
                                                IsoRecord("B", shared, 2048, true)}));
  WriteFileBytes(dir.path / "shared.iso", image.bytes);
  int code = -1;
  std::string said = Output(
      [&](FILE* f) { code = ListDiscImage(Wide(dir.path / "shared.iso").c_str(), f, f); });
  EXPECT_EQ(code, 0) << said;
  EXPECT_EQ(said, "d\t" + std::to_string(shared) + "\t2048\tA\nf\t18\t2\tA/F\nd\t" +
                      std::to_string(shared) + "\t2048\tB\nB: not followed: its extent was "
                      "listed before (a loop or a shared folder)\n");
}

}  // namespace
