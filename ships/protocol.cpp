#include "ships/protocol.h"

#include <cstring>

bool FeedByte(LineAssembler* a, char byte) {
  if (a->length >= kLineMax) return true;
  if (byte == '\n') return true;
  if (byte != '\r') a->line[a->length++] = byte;
  return false;
}

void ClearLine(LineAssembler* a) { a->length = 0; }

namespace {

bool StartsWith(const char* line, size_t length, const char* prefix) {
  size_t n = std::strlen(prefix);
  return length >= n && std::memcmp(line, prefix, n) == 0;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// One number from `*at`, as "%lu" reads it where unsigned long has 32 bits:
// spaces skipped, then an optional sign and at least one digit. The digits
// read saturate at 4294967295, and a minus then negates modulo 2^32, so
// "-1" reads 4294967295 (and "-99999999999" 1). False when no digit is there.
bool ParseNumber(const char* text, size_t length, size_t* at, uint32_t* value) {
  while (*at < length && IsSpace(text[*at])) ++(*at);
  bool negative = false;
  if (*at < length && (text[*at] == '+' || text[*at] == '-')) negative = text[(*at)++] == '-';
  if (*at >= length || text[*at] < '0' || text[*at] > '9') return false;
  uint64_t v = 0;
  while (*at < length && text[*at] >= '0' && text[*at] <= '9') {
    v = v * 10 + static_cast<uint64_t>(text[*at] - '0');
    if (v > 0xFFFFFFFFull) v = 0x100000000ull;  // saturate, keep consuming digits
    ++(*at);
  }
  uint32_t magnitude = v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
  *value = negative ? 0u - magnitude : magnitude;
  return true;
}

}  // namespace

void ParseTwoNumbers(const char* text, size_t length, uint32_t* first, uint32_t* second) {
  *first = 0;
  *second = 0;
  size_t at = 0;
  if (ParseNumber(text, length, &at, first)) ParseNumber(text, length, &at, second);
}

ParsedLine ParseLine(const char* line, size_t length) {
  ParsedLine parsed{LineAction::kNone, nullptr, 0, 0, 0};
  if (StartsWith(line, length, "STEP ")) {
    parsed.action = LineAction::kStep;
    parsed.text = line + 5;
    parsed.text_length = length - 5;
  } else if (StartsWith(line, length, "PROGRESS ")) {
    parsed.action = LineAction::kProgress;
    ParseTwoNumbers(line + 9, length - 9, &parsed.done, &parsed.total);
  } else if (length == 4 && std::memcmp(line, "DONE", 4) == 0) {
    parsed.action = LineAction::kDone;
  } else if (StartsWith(line, length, "ERROR ")) {
    parsed.action = LineAction::kError;
    parsed.text = line + 6;
    parsed.text_length = length - 6;
  }
  return parsed;
}
