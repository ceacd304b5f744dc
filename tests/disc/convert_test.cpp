#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "tests/support/disc_images.h"
#include "tests/support/raw_image.h"
#include "tests/support/fake_platform.h"
#include "tools/halvorn_disc/convert.h"
#include "tools/halvorn_disc/disc_tool.h"

namespace {

std::string Drain(FILE* file) {
  std::string text;
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  std::fclose(file);
  return text;
}

template <typename F>
std::string Output(F run) {
  FILE* out = std::tmpfile();
  run(out);
  return Drain(out);
}

// A count of sectors as a cue sheet writes it, "mm:ss:ff".
std::string Msf(uint64_t frames) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", unsigned(frames / 4500),
                unsigned(frames / 75 % 60), unsigned(frames % 75));
  return text;
}

// The audio tracks of the cue cases: anything but data sectors.
std::string Audio(size_t sectors) { return std::string(sectors * kRawSectorSize, '\x5A'); }

uint64_t Blocks(const std::string& iso) { return iso.size() / kUserDataSize; }

using Maker = std::function<fs::path(const std::string& iso, const fs::path& dir)>;

fs::path Put(const fs::path& p, const std::string& bytes) {
  WriteFileBytes(p, bytes);
  return p;
}

struct Form {
  const char* name;
  Maker make;
};

const Form kForms[] = {
    {"plain", [](auto& iso, auto& d) { return Put(d / "disc.iso", iso); }},
    {"mode1 2352",
     [](auto& iso, auto& d) { return Put(d / "disc.bin", RawSectors(iso, kMode1Raw)); }},
    {"mode2 2352",
     [](auto& iso, auto& d) { return Put(d / "disc.img", RawSectors(iso, kMode2Raw)); }},
    {"mode1 2448",
     [](auto& iso, auto& d) { return Put(d / "disc.mdf", RawSectors(iso, kMode1Sub)); }},
    {"mode2 2448", [](auto& iso, auto& d) { return Put(d / "disc", RawSectors(iso, kMode2Sub)); }},
    {"cue, one file, audio after the gap",
     [](auto& iso, auto& d) {
       Put(d / "all tracks.bin", RawSectors(iso, kMode1Raw) + Audio(300));
       return Put(d / "disc.cue",
                  "REM x\r\nFILE \"all tracks.bin\" BINARY\r\n  TRACK 01 MODE1/2352\r\n"
                  "    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n    INDEX 00 " +
                      Msf(Blocks(iso)) + "\r\n    INDEX 01 " + Msf(Blocks(iso) + 150) + "\r\n");
     }},
    {"cue, a file a track",
     [](auto& iso, auto& d) {
       Put(d / "t1.bin", RawSectors(iso, kMode2Raw, 2));
       Put(d / "t2.bin", Audio(20));
       return Put(
           d / "disc.cue",
           "FILE t1.bin BINARY\n TRACK 01 MODE2/2352\n  INDEX 00 00:00:00\n"
           "  INDEX 01 00:00:02\nFILE t2.bin BINARY\n TRACK 02 AUDIO\n  INDEX 01 00:00:00\n");
     }},
    {"cue, 2048",
     [](auto& iso, auto& d) {
       Put(d / "d.iso", iso);
       return Put(d / "disc.cue",
                  "FILE \"d.iso\" BINARY\nTRACK 01 MODE1/2048\nINDEX 01 00:00:00\n");
     }},
    {"nrg v2 DAOX",
     [](auto& iso, auto& d) {
       return Put(d / "disc.nrg",
                  NrgImage(RawSectors(iso, kMode1Raw, 150), 150 * 2352, 2352, true, true));
     }},
    {"nrg v1 DAOI",
     [](auto& iso, auto& d) {
       return Put(d / "disc.nrg",
                  NrgImage(RawSectors(iso, kPlainLayout, 3), 3 * 2048, 2048, false, true));
     }},
    {"nrg v2 ETN2",
     [](auto& iso, auto& d) {
       return Put(d / "disc.nrg", NrgImage(RawSectors(iso, kMode2Raw, 1), 2352, 2352, true, false));
     }},
    {"nrg v1 ETNF",
     [](auto& iso, auto& d) {
       return Put(d / "disc.nrg",
                  NrgImage(RawSectors(iso, kPlainLayout, 2), 2 * 2048, 2048, false, false));
     }},
};

TEST(ConvertTest, EdcIsTheDiscCrc) {
  EXPECT_EQ(ComputeEdc(reinterpret_cast<const uint8_t*>("123456789"), 9), 0x6EC2EDC4u);
}

TEST(ConvertTest, EveryFormConvertsToTheOriginalImage) {
  std::string iso = ReadFileBytes(TestImage("level1.iso"));
  for (const Form& form : kForms) {
    SCOPED_TRACE(form.name);
    TempDir dir;
    fs::path in = form.make(iso, dir.path);
    int code = -1;
    std::string said = Output([&](FILE* out) {
      code = ConvertCommand(Wide(in).c_str(), Wide(dir.path / "out.iso").c_str(), out);
    });
    EXPECT_EQ(code, 0) << said;
    EXPECT_TRUE(ReadFileBytes(dir.path / "out.iso") == iso) << said;
    EXPECT_FALSE(Exists(dir.path / "out.iso.partial"));
    if (form.name != std::string("plain")) {
      std::string verified = Output([&](FILE* out) { VerifyDiscImage(Wide(in).c_str(), out); });
      EXPECT_NE(verified.find("halvorn-disc convert \"" + Utf8(Wide(in)) + "\" \""),
                std::string::npos)
          << verified;
    }
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
  Put(dir.path / "d.bin", RawSectors(iso, kMode2Sub, 0, extent + 2));
  std::string verified = Output(
      [&](FILE* out) { EXPECT_EQ(VerifyDiscImage(Wide(dir.path / "d.bin").c_str(), out), 1); });
  int code = 0;
  std::string converted = Output([&](FILE* out) {
    code = ConvertCommand(Wide(dir.path / "d.bin").c_str(), Wide(dir.path / "d.iso").c_str(), out);
  });
  EXPECT_EQ(code, 1);
  for (const std::string& said : {verified, converted}) {
    EXPECT_NE(said.find("HV1\\GAMEDAT\\F05.DAT: 1 damaged sector\n"), std::string::npos) << said;
    EXPECT_EQ(said.find("in no file"), std::string::npos) << said;
    EXPECT_NE(said.find("Clean the disc and read it again"), std::string::npos);
  }
  EXPECT_EQ(ReadFileBytes(dir.path / "d.iso").size(), iso.size());  // written all the same
}

TEST(ConvertTest, WhatCannotBeConvertedIsNamed) {
  struct Case {
    const char* file;
    std::string bytes;
    const char* said;
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TempDir dir;
    Put(dir.path / c.file, c.bytes);
    std::string expected = c.said;
    for (size_t at; (at = expected.find('@')) != std::string::npos;)
      expected.replace(at, 1, Utf8(Wide(dir.path / "")));
    int code = 0;
    std::string said =
        Output([&](FILE* out) { code = VerifyDiscImage(Wide(dir.path / c.file).c_str(), out); });
    EXPECT_EQ(code, 1);
    EXPECT_NE(said.find(expected), std::string::npos) << said;
    said = Output([&](FILE* out) {
      code = ConvertCommand(Wide(dir.path / c.file).c_str(), Wide(dir.path / "o.iso").c_str(), out);
    });
    EXPECT_EQ(code, 1);
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
    EXPECT_EQ(ConvertImage(in.c_str(), target.c_str(), sink),
              ConvertResult::kFailed);  // exists
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
  std::string iso = ReadFileBytes(TestImage("full.iso"));
  fs::path bin = Put(dir.path / "disc1.bin", RawSectors(iso, kMode1Raw));
  std::string said =
      Output([&](FILE* out) { EXPECT_EQ(RunDroppedFile(Wide(bin).c_str(), out), 0); });
  std::string last = "Halvorn Glint can install from " + Utf8(Wide(dir.path / "disc1.iso")) + ".\n";
  EXPECT_EQ(said.substr(said.size() - std::min(said.size(), last.size())), last) << said;
  EXPECT_TRUE(ReadFileBytes(dir.path / "disc1.iso") == iso);
  Put(dir.path / "disc1.bin", RawSectors(ReadFileBytes(TestImage("level1.iso")), kMode1Raw));
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
  Put(dir.path / "a", "new");
  Put(dir.path / "b", "old");
  EXPECT_FALSE(MoveFileExW(Wide(dir.path / "a").c_str(), Wide(dir.path / "b").c_str(), 0));
  EXPECT_EQ(ReadFileBytes(dir.path / "b"), "old");
  EXPECT_TRUE(MoveFileExW(Wide(dir.path / "a").c_str(), Wide(dir.path / "b").c_str(),
                          MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(ReadFileBytes(dir.path / "b"), "new");
  EXPECT_FALSE(Exists(dir.path / "a"));
}

}  // namespace
