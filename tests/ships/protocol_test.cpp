#include "ships/protocol.h"

#include <gtest/gtest.h>

#include <string>

// How bytes become lines, and the plain lines of each kind, are held by the
// whole runs in tests/launcher/run_test.cpp.
namespace {

// What a line asks for. "PROGRESS" numbers are read as "%lu %lu" reads them
// where unsigned long has 32 bits: an optional sign, a minus negating modulo
// 2^32, a magnitude too large reading 4294967295 (then negated), a missing
// number reading 0 and ending the read. Numbers end with the line, NUL too.
struct ParseRow {
  std::string line;
  LineAction action;
  uint32_t done = 0, total = 0;
};

const ParseRow kParseRows[] = {
    {"STEP", LineAction::kNone},
    {"ERROR ", LineAction::kError},
    {"PROGRESS \t\v 12\f\r 34 tail", LineAction::kProgress, 12, 34},
    {"PROGRESS -99999999999 +99999999999999999999999", LineAction::kProgress, 1, ~0u},
    {"PROGRESS - 5 6", LineAction::kProgress, 0, 0},
    {std::string("PROGRESS 1\0 2", 13), LineAction::kProgress, 1, 0},
};

TEST(LineActions, EachLineAsksForItsAction) {
  for (const ParseRow& row : kParseRows) {
    ParsedLine p = ParseLine(row.line.data(), row.line.size());
    EXPECT_EQ(p.action, row.action) << row.line;
    EXPECT_EQ(p.done, row.done) << row.line;
    EXPECT_EQ(p.total, row.total) << row.line;
  }
  // The numbers end where the line does, whatever follows it in memory.
  EXPECT_EQ(ParseLine("PROGRESS 5 6789", 12).total, 6u);
}

}  // namespace
