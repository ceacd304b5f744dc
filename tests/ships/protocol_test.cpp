#include <gtest/gtest.h>

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

TEST(LineActions, ProgressNumbersAreReadSafely) {
  ParsedLine p = Parse("PROGRESS 3 10");
  EXPECT_EQ(p.action, LineAction::kProgress);
  EXPECT_EQ(p.done, 3u);
  EXPECT_EQ(p.total, 10u);
  p = Parse("PROGRESS ");
  EXPECT_EQ(p.done, 0u);
  EXPECT_EQ(p.total, 0u);
  p = Parse("PROGRESS 7");
  EXPECT_EQ(p.done, 7u);
  EXPECT_EQ(p.total, 0u);
  p = Parse("PROGRESS 4294967295 99999999999999999999999");
  EXPECT_EQ(p.done, 4294967295u);
  EXPECT_EQ(p.total, 4294967295u);
  p = Parse("PROGRESS   12   34 tail");
  EXPECT_EQ(p.done, 12u);
  EXPECT_EQ(p.total, 34u);
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
