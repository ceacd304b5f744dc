#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "disc/manifest.h"
#include "tests/support/disc_images.h"
#include "tests/support/iso_builder.h"
#include "tools/halvorn_disc/disc_tool.h"

namespace {

struct ToolRun {
  int code;
  std::string out;
};

std::string Drain(FILE* file) {
  std::string text;
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  std::fclose(file);
  return text;
}

ToolRun Verify(const fs::path& image) {
  FILE* out = std::tmpfile();
  int code = VerifyDiscImage(Wide(image).c_str(), out);
  return {code, Drain(out)};
}

size_t Lines(const std::string& text, const std::string& start) {
  size_t n = 0;
  for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
    if (text.compare(at, start.size(), start) == 0) ++n;
    if (text.find('\n', at) == std::string::npos) break;
  }
  return n;
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
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  int code = ListDiscImage(Wide(dir.path / "shared.iso").c_str(), out, err);
  std::string listed = Drain(out);
  std::string refused = Drain(err);
  EXPECT_EQ(code, 0) << refused;  // nothing lost: B's records are A's
  EXPECT_EQ(Lines(listed, "d\t"), 1u + 2 * 63);
  EXPECT_EQ(Lines(refused, "L/A/"), 62u);  // every B below the first level
  EXPECT_EQ(Lines(refused, "L/B: not followed: its extent was listed before"), 1u) << refused;
}

TEST(DiscToolTest, VerifyAcceptsTheFullImage) {
  ToolRun run = Verify(TestImage("full.iso"));
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, "124 of 124 files present with their sizes: the launcher accepts this image.\n");
}

// Every failing row is named, not only the first. Verification reads only
// directory records, so one tiny image can carry all 124 rows.
TEST(DiscToolTest, VerifyNamesEveryRowThatFails) {
  TempDir dir;
  IsoImage image = NewIsoImage();
  uint32_t data = AddIsoFile(image, "x");
  std::vector<std::string> gamedat, streams, top;
  for (const ManifestEntry& row : kDiscManifest) {
    std::string path = Utf8(row.path);
    size_t slash = path.find('\\');
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    uint32_t size = row.size;
    if (name == "FONT2.FNT") size += 1;                   // one byte off
    if (name == "MISSN03.MIS") continue;                  // missing
    bool dir_record = name == "INTRO.STR";                // a folder by that name
    std::string record = IsoRecord(name + (dir_record ? "" : ";1"), data, size, dir_record);
    (slash == std::string::npos ? top : path.rfind("GAMEDAT", 0) == 0 ? gamedat : streams)
        .push_back(record);
  }
  uint32_t root = ReserveIsoBlocks(image, 1);
  uint32_t hv1 = ReserveIsoBlocks(image, 1);
  uint32_t g = ReserveIsoBlocks(image, IsoDirectorySectors(gamedat));
  uint32_t s = ReserveIsoBlocks(image, 1);
  uint32_t g_size = PutIsoDirectory(image, g, hv1, gamedat);
  uint32_t s_size = PutIsoDirectory(image, s, hv1, streams);
  top.push_back(IsoRecord("GAMEDAT", g, g_size, true));
  top.push_back(IsoRecord("STREAMS", s, s_size, true));
  uint32_t hv1_size = PutIsoDirectory(image, hv1, root, top);
  SetIsoRoot(image, root, PutIsoDirectory(image, root, root, {IsoRecord("HV1", hv1, hv1_size, true)}));
  SaveIsoImage(image, dir.path / "near.iso");

  ToolRun run = Verify(dir.path / "near.iso");
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(Lines(run.out, "size\tGAMEDAT\\FONT2.FNT\t11503 bytes on the disc, 11502 expected\n"), 1u)
      << run.out;
  EXPECT_EQ(Lines(run.out, "missing\tGAMEDAT\\MISSN03.MIS\n"), 1u) << run.out;
  EXPECT_EQ(Lines(run.out, "folder\tSTREAMS\\INTRO.STR\t"), 1u) << run.out;
  EXPECT_EQ(Lines(run.out, "size\t") + Lines(run.out, "missing\t") + Lines(run.out, "folder\t"),
            3u)
      << run.out;
  EXPECT_NE(run.out.find("121 of 124 files present with their sizes: the launcher refuses this "
                         "image.\n"),
            std::string::npos)
      << run.out;
}

TEST(DiscToolTest, VerifySaysWhatTheWrongThingIs) {
  TempDir dir;
  // A raw image: 2352-byte sectors, each starting with the sync pattern.
  std::string sector(2352, '\0');
  sector.replace(1, 10, std::string(10, '\xff'));
  sector[15] = 1;  // MODE1
  std::string raw;
  for (int i = 0; i < 20; ++i) raw += sector;
  WriteFileBytes(dir.path / "disc1.bin", raw);
  ToolRun run = Verify(dir.path / "disc1.bin");
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("a raw CD image (2352-byte MODE1 sectors"), std::string::npos) << run.out;

  fs::create_directories(dir.path / "copied" / "HV1");
  run = Verify(dir.path / "copied");
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find(": a folder, not a disc image."), std::string::npos) << run.out;

  run = Verify(TestImage("level1.iso"));  // an image, but not disc 1
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(Lines(run.out, "missing\t"), 122u) << run.out;
  EXPECT_EQ(Lines(run.out, "size\tSTREAMS\\INTRO.STR\t70001 bytes on the disc"), 1u);
  EXPECT_EQ(Lines(run.out, "size\tHV1.EXE\t4321 bytes on the disc, 1437184 expected\n"), 1u);
  run = Verify(dir.path / "nothing.iso");
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find(": no such file."), std::string::npos) << run.out;
}

}  // namespace
