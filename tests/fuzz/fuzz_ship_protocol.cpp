// The input is the ship-setup child's output, after one mode byte: bit 0 runs
// with "--ships-yes" (no status window), bit 1 makes every other pipe poll find
// nothing waiting, bits 2-7 are how many bytes each poll makes available (0:
// the pipe reports its end at once and everything is read after it). The real
// runner reads it through the memory platform's pipe.
//
// Invariants, checked against lines split here by the protocol's own rule
// (LF ends a line, CR is dropped, a byte arriving at 511 bytes ends the line
// and is lost):
// - the log holds exactly one "ships: " line per line, widened byte by byte
//   up to its first NUL, so no line longer than 511 bytes is acted on;
// - success exactly when some line is "DONE";
// - the reason is terminated within 512 units, not empty on failure, and is
//   the last ERROR text when that is plain ASCII;
// - with the window, one text per PROGRESS line, each "<step>\n<A> of <B>"
//   within 399 units, the step within 255, A and B decimal 32-bit numbers
//   equal to strtoull's reading of the line (saturated) when it reads one;
// - no window without it; every handle closed, one process started.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "ships/protocol.h"
#include "ships/runner.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/fake_platform.h"
#include "tests/support/memory_disk.h"

namespace {

const WCHAR kInstallRoot[] = u"C:\\Fuzz\\Halvorn Glint";
const char kStopped[] = "the ship setup stopped part way (run it again: it carries on)";

std::vector<std::string> SplitLines(const uint8_t* data, size_t size) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < size; ++i) {
    char c = static_cast<char>(data[i]);
    if (line.size() >= kLineMax || c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  return lines;  // a last line without its end is lost
}

// A line as the log shows it: up to its first NUL, each byte one character.
std::string Logged(const std::string& line) {
  std::string out = "ships: ";
  for (char c : line) {
    uint8_t b = static_cast<uint8_t>(c);
    if (b == 0) break;
    if (b < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | b >> 6);
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

std::vector<std::string> LogLines(const std::string& log) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find("\r\n", start);
    FUZZ_CHECK(end != std::string::npos, "log ends without CR LF");
    lines.push_back(log.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

bool PlainAscii(const std::string& text) {
  for (char c : text) {
    if (c <= 0 || c >= 0x7F) return false;
  }
  return true;
}

std::u16string Widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

// strtoull's reading of a number, saturated at 32 bits; false when it reads
// none or would take a sign the protocol does not know.
bool ReadNumber(const char** at, uint32_t* value) {
  const char* p = *at;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  if (*p == '-') return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long v = std::strtoull(p, &end, 10);
  if (end == p) return false;
  *value = errno == ERANGE || v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
  *at = end;
  return true;
}

// Splits "<step>\n<A> of <B>" and checks its form.
void CheckProgressText(const std::u16string& text, const std::string& line,
                       const std::string& step) {
  FUZZ_CHECK(text.size() <= 399, "window text of %zu units", text.size());
  size_t newline = text.rfind(u'\n');
  FUZZ_CHECK(newline != std::u16string::npos, "no line break in the progress text");
  FUZZ_CHECK(newline <= 255, "step part of %zu units", newline);
  if (PlainAscii(step) && step.size() <= 255) {
    FUZZ_CHECK(text.compare(0, newline, Widen(step)) == 0, "step text not the last STEP's");
  }
  std::string numbers;
  for (size_t i = newline + 1; i < text.size(); ++i) {
    FUZZ_CHECK(text[i] < 0x80, "non-ASCII in the progress numbers");
    numbers += static_cast<char>(text[i]);
  }
  unsigned long long done = 0, total = 0;
  size_t of = numbers.find(" of ");
  FUZZ_CHECK(of != std::string::npos && of > 0 && of <= 10 && numbers.size() - of - 4 >= 1 &&
                 numbers.size() - of - 4 <= 10 &&
                 numbers.find_first_not_of("0123456789", 0) == of &&
                 numbers.find_first_not_of("0123456789", of + 4) == std::string::npos,
             "progress numbers malformed: %s", numbers.c_str());
  done = std::strtoull(numbers.c_str(), nullptr, 10);
  total = std::strtoull(numbers.c_str() + of + 4, nullptr, 10);
  FUZZ_CHECK(done <= 0xFFFFFFFFull && total <= 0xFFFFFFFFull, "numbers past 32 bits: %s",
             numbers.c_str());

  const char* at = line.c_str() + 9;  // NUL-terminated copy: strtoull stops at a NUL
  uint32_t want_done = 0, want_total = 0;
  if (ReadNumber(&at, &want_done)) ReadNumber(&at, &want_total);
  if (line.find('-') == std::string::npos) {
    FUZZ_CHECK(done == want_done && total == want_total, "showed %llu of %llu for \"%s\"", done,
               total, line.c_str());
  }
}

// Units of a wide text up to its terminator, looking at most `limit` units;
// `limit` + 1 when no terminator was found within them.
size_t BoundedWideLength(const WCHAR* text, size_t limit) {
  for (size_t n = 0; n <= limit; ++n) {
    if (text[n] == 0) return n;
  }
  return limit + 1;
}

void Check(const uint8_t* output, size_t size, bool ships_yes, bool ok, const WCHAR* reason) {
  MemoryDisk& mp = Disk();
  FUZZ_CHECK(OpenHandleReport().empty(), "%s", OpenHandleReport().c_str());
  FUZZ_CHECK(Fake().Processes().size() == 1, "%zu processes", Fake().Processes().size());
  std::vector<std::u16string> window_texts = Fake().WindowTexts();

  std::vector<std::string> lines = SplitLines(output, size);
  std::vector<std::string> logged = LogLines(mp.log);
  FUZZ_CHECK(logged.size() == lines.size(), "%zu lines logged for %zu lines", logged.size(),
             lines.size());
  bool done = false;
  std::string step = "Getting the 3D ships...";
  const std::string* last_error = nullptr;
  size_t progress = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    FUZZ_CHECK(logged[i] == Logged(line), "line %zu logged as \"%s\"", i, logged[i].c_str());
    if (line == "DONE") done = true;
    if (line.compare(0, 5, "STEP ") == 0) step = line.substr(5);
    if (line.compare(0, 6, "ERROR ") == 0) last_error = &line;
    if (line.compare(0, 9, "PROGRESS ") == 0 && !ships_yes) {
      ++progress;
      FUZZ_CHECK(progress < window_texts.size(), "PROGRESS line %zu not shown", i);
      CheckProgressText(window_texts[progress], line, step);
    }
  }
  FUZZ_CHECK(ok == done, "returned %d, DONE line %d", ok, done);
  if (ships_yes) {
    FUZZ_CHECK(window_texts.empty(), "a window with --ships-yes");
  } else {
    FUZZ_CHECK(window_texts.size() == progress + 1, "%zu window texts for %zu PROGRESS lines",
               window_texts.size(), progress);
  }

  size_t reason_length = BoundedWideLength(reason, kReasonSize - 1);
  FUZZ_CHECK(reason_length < kReasonSize, "reason not terminated within %zu units", kReasonSize);
  if (ok) return;
  FUZZ_CHECK(reason_length > 0, "failure without a reason");
  std::u16string got(reason, reason_length);
  if (last_error == nullptr) {
    FUZZ_CHECK(got == Widen(kStopped), "reason without an ERROR line");
  } else {
    std::string text = last_error->substr(6);
    if (text.empty()) {
      FUZZ_CHECK(got == Widen(kStopped), "empty ERROR text left a reason");
    } else if (PlainAscii(text) && text.size() < kReasonSize) {
      FUZZ_CHECK(got == Widen(text), "reason not the last ERROR text");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  ScopedFake fake(NewMemoryDisk());
  MemoryDisk& mp = Disk();
  bool ships_yes = (data[0] & 1) != 0;
  mp.pipe_idle_turns = (data[0] & 2) != 0;
  mp.pipe_chunk = data[0] >> 2;
  mp.child_output = data + 1;
  mp.child_output_size = size - 1;
  SetInstallRoot(kInstallRoot);
  mp.log_path = std::u16string(kInstallRoot) + u"\\setup.log";
  OpenSetupLog();
  FUZZ_CHECK(g_setup_log != INVALID_HANDLE_VALUE, "the log did not open");

  WCHAR reason[kReasonSize + 8];
  // Past the reason's end: a runner that writes there changes it.
  for (WCHAR& c : reason) c = u'#';
  bool ok = RunShipSetup(ships_yes, reason);
  CloseSetupLog();
  for (size_t i = kReasonSize; i < kReasonSize + 8; ++i) {
    FUZZ_CHECK(reason[i] == u'#', "reason written past its 512 units");
  }
  Check(data + 1, size - 1, ships_yes, ok, reason);
  return 0;
}
