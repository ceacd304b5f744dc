// The ship-setup child's output, turned into lines and actions. Pure: bytes
// in, records out, no system calls.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kLineMax = 511;  // bytes of one line, without its end

struct LineAssembler {
  char line[kLineMax + 1];
  size_t length;
};

// Handles one byte; true when it ended a line (then `line`/`length` hold it
// until the next call). A byte arriving at a full line ends it and is lost;
// otherwise LF ends a line, CR is dropped and any other byte is kept.
bool FeedByte(LineAssembler* assembler, char byte);
void ClearLine(LineAssembler* assembler);

enum class LineAction { kNone, kStep, kProgress, kDone, kError };

struct ParsedLine {
  LineAction action;
  const char* text;     // kStep, kError: the text after the keyword
  size_t text_length;
  uint32_t done;        // kProgress
  uint32_t total;
};

// What a line asks for. Lines are taken as their bytes, NUL bytes included.
ParsedLine ParseLine(const char* line, size_t length);

// Reads up to two numbers as "%lu %lu" reads them where unsigned long has 32
// bits (leading spaces skipped, an optional sign, "-1" reading 4294967295, a
// number too large reading 4294967295, a missing one 0 and ending the read),
// but within `length` bytes.
void ParseTwoNumbers(const char* text, size_t length, uint32_t* first, uint32_t* second);
