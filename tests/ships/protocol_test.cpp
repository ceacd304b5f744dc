#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ships/protocol.h"

namespace {

std::vector<std::string> Lines(const std::string& bytes) {
  LineAssembler a{};
  std::vector<std::string> lines;
  for (char c : bytes) {
    if (FeedByte(&a, c)) {
      lines.emplace_back(a.line, a.length);
      ClearLine(&a);
    }
  }
  return lines;
}

TEST(LineAssembly, LinesEndAtLfAndCrIsDropped) {
  EXPECT_EQ(Lines("STEP a\nDONE\r\n\nlast without end"),
            (std::vector<std::string>{"STEP a", "DONE", ""}));
  EXPECT_EQ(Lines("DO\rNE\n"), (std::vector<std::string>{"DONE"}));
}

TEST(LineAssembly, AFullLineEndsAtTheNextByteWhichIsLost) {
  std::string at510(510, 'a'), at511(511, 'b'), at512(512, 'c');
  EXPECT_EQ(Lines(at510 + "\n"), (std::vector<std::string>{at510}));
  // 511 bytes fill the line; the LF that follows ends it (and is the byte lost).
  EXPECT_EQ(Lines(at511 + "\nnext\n"), (std::vector<std::string>{at511, "next"}));
  EXPECT_EQ(Lines(at512 + "\n"), (std::vector<std::string>{std::string(511, 'c'), ""}));
  std::string long_line = std::string(511, 'x') + "Y" + std::string(88, 'z') + "\n";
  EXPECT_EQ(Lines(long_line), (std::vector<std::string>{std::string(511, 'x'), std::string(88, 'z')}));
  // A CR arriving at a full line ends it too.
  EXPECT_EQ(Lines(at511 + "\r\n"), (std::vector<std::string>{at511, ""}));
}

TEST(LineAssembly, OutputSplitAnywhereGivesTheSameLines) {
  std::string stream = "STEP one\r\nPROGRESS 1 2\n" + std::string(600, 'q') + "\nDONE\n";
  std::vector<std::string> whole = Lines(stream);
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    LineAssembler a{};
    std::vector<std::string> lines;
    for (const std::string& part : {stream.substr(0, cut), stream.substr(cut)}) {
      for (char c : part) {
        if (FeedByte(&a, c)) {
          lines.emplace_back(a.line, a.length);
          ClearLine(&a);
        }
      }
    }
    ASSERT_EQ(lines, whole) << "cut at " << cut;
  }
}

// Parsed lines point into their text, so the texts outlive the test.
ParsedLine Parse(const std::string& line) {
  static std::vector<std::string>* kept = new std::vector<std::string>();
  kept->reserve(64);
  kept->push_back(line);
  return ParseLine(kept->back().data(), kept->back().size());
}

TEST(LineActions, OnlyExactFormsAct) {
  EXPECT_EQ(Parse("DONE").action, LineAction::kDone);
  EXPECT_EQ(Parse("DONE ").action, LineAction::kNone);
  EXPECT_EQ(Parse("done").action, LineAction::kNone);
  EXPECT_EQ(Parse("STEP").action, LineAction::kNone);
  EXPECT_EQ(Parse("ERROR").action, LineAction::kNone);
  ParsedLine step = Parse("STEP Building hulls");
  EXPECT_EQ(step.action, LineAction::kStep);
  EXPECT_EQ(std::string(step.text, step.text_length), "Building hulls");
  ParsedLine error = Parse("ERROR ");
  EXPECT_EQ(error.action, LineAction::kError);
  EXPECT_EQ(error.text_length, 0u);
}

// "PROGRESS" numbers as "%lu %lu" reads them where unsigned long has 32 bits:
// an optional sign, a minus negating modulo 2^32, a magnitude too large
// reading 4294967295 (then negated), a missing number reading 0 and ending
// the read. On the Windows build the C library's own sscanf checks the table.
struct NumbersRow {
  const char* text;
  uint32_t done, total;
};

const NumbersRow kNumberRows[] = {
    {"3 10", 3, 10},
    {"", 0, 0},
    {"7", 7, 0},
    {"   12   34 tail", 12, 34},
    {"-1 5", 4294967295u, 5},
    {"+7 -0", 7, 0},
    {"-4294967295 +4294967295", 1, 4294967295u},
    {"4294967296 99999999999999999999999", 4294967295u, 4294967295u},
    {"-99999999999 1", 1, 1},
    {"- 5 6", 0, 0},
    {"x 5", 0, 0},
    {"5 +x", 5, 0},
    {"12x 34", 12, 0},
};

TEST(LineActions, ProgressNumbersAreReadAsPercentLu) {
  for (const NumbersRow& row : kNumberRows) {
    ParsedLine p = Parse(std::string("PROGRESS ") + row.text);
    EXPECT_EQ(p.action, LineAction::kProgress);
    EXPECT_EQ(p.done, row.done) << row.text;
    EXPECT_EQ(p.total, row.total) << row.text;
#ifdef _WIN32
    static_assert(sizeof(unsigned long) == 4);
    unsigned long done = 0, total = 0;
    std::sscanf(row.text, "%lu %lu", &done, &total);
    EXPECT_EQ(done, row.done) << "sscanf: " << row.text;
    EXPECT_EQ(total, row.total) << "sscanf: " << row.text;
#endif
  }
}

TEST(LineActions, ProgressNumbersEndWithTheLine) {
  // The numbers end where the line ends, even when bytes follow in memory.
  std::string buffer = "PROGRESS 5 6789";
  ParsedLine cut = ParseLine(buffer.data(), 12);
  EXPECT_EQ(cut.done, 5u);
  EXPECT_EQ(cut.total, 6u);
  std::string with_nul("PROGRESS 1\0 2", 13);
  ParsedLine nul = Parse(with_nul);
  EXPECT_EQ(nul.done, 1u);
  EXPECT_EQ(nul.total, 0u);
}

}  // namespace
