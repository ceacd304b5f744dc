// The input is a disc image. Installs from it quietly, twice: against an empty
// manifest (any image with an HV1 folder passes) and against one row,
// GAMEDAT\X.DAT of 5 bytes, that a crafted image can satisfy. Each run starts
// on an empty fake disk holding only what the install makes.
//
// Invariants, per run:
// - every path created, written or given attributes is the data directory or
//   lies strictly inside it: data_dir + "\" and then components that are not
//   empty, "." or "..", and hold no '/', ':' or control character; no path is
//   longer than 259 characters;
// - every file written holds, byte for byte, the image's bytes from some
//   sector boundary on (a record's extent; a failed copy leaves a prefix);
// - at most 65536 folders are made (the data directory among them), each
//   directory walk makes at most one file per 34 bytes of image, so files and
//   bytes written stay bounded by the image size times the folder budget;
// - every handle is closed and no window is shown (quiet);
// - each logged line (one write) is one CR LF line of at most 1020
//   characters with no other CR or LF in it, and the last
//   is "<image>: not the Morvath Saga's disc 1" or "installed N files from
//   <image> into <data dir>: done|FAILED", with N the files created, "done"
//   exactly when the call returned true, and no failure line before a "done";
// - a refused image leaves the disk untouched.
// Set HV_FUZZ_TRACE to print each run's figures to stderr, and
// HV_FUZZ_UNLIMITED_DISK to give the fake disk no capacity limit (to measure
// how much an image makes the install write).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "disc/extract.h"
#include "disc/install.h"
#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/fake_platform.h"
#include "tests/support/memory_disk.h"

namespace {

const WCHAR kInstallRoot[] = u"C:\\Fuzz\\Halvorn Glint";
const WCHAR kImagePath[] = u"C:\\images\\disc.iso";
const ManifestEntry kOneRow[] = {{u"GAMEDAT\\X.DAT", 5}};

// The fixed paths here are ASCII; anything else shows as '?'.
std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

void CheckPath(const std::u16string& path, const std::u16string& data_dir) {
  FUZZ_CHECK(path.size() <= kTargetPathLimit, "path of %zu characters", path.size());
  if (path == data_dir) return;
  std::u16string prefix = data_dir + u"\\";
  FUZZ_CHECK(path.compare(0, prefix.size(), prefix) == 0, "outside the data directory: %s",
             Narrow(path).c_str());
  size_t start = prefix.size();
  for (;;) {
    size_t end = path.find(u'\\', start);
    std::u16string part = path.substr(start, end == std::u16string::npos ? end : end - start);
    FUZZ_CHECK(!part.empty() && part != u"." && part != u"..", "bad component in %s",
               Narrow(path).c_str());
    for (char16_t c : part) {
      FUZZ_CHECK(c >= 0x20 && c != 0x7F && c != u'/' && c != u':', "character %u in %s",
                 static_cast<unsigned>(c), Narrow(path).c_str());
    }
    if (end == std::u16string::npos) break;
    start = end + 1;
  }
}

// Printable form of a log line for a message.
std::string Escaped(const std::string& line) {
  std::string out;
  for (char c : line) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

bool StartsWith(const std::string& s, const char* prefix);

// The lines logged, one per write; none may hold a line end of its own (a
// disc name logged as unsafe once could).
std::vector<std::string> LogLines(const std::vector<std::string>& writes) {
  std::vector<std::string> lines;
  for (const std::string& write : writes) {
    FUZZ_CHECK(write.size() >= 2 && write.compare(write.size() - 2, 2, "\r\n") == 0,
               "log line without CR LF: %s", Escaped(write).c_str());
    std::string line = write.substr(0, write.size() - 2);
    FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos,
               "line end inside a log line: %s", Escaped(line).c_str());
    int32_t units = SystemPlatform().MultiByteToWideChar(CP_UTF8, 0, line.data(),
                                                         static_cast<int32_t>(line.size()),
                                                         nullptr, 0);
    FUZZ_CHECK(units <= 1020, "log line of %d characters", units);
    lines.push_back(line);
  }
  return lines;
}

bool StartsWith(const std::string& s, const char* prefix) {
  return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// "installed N files from <image> into <data>: " and what follows; N in `files`.
bool ParseInstalledLine(const std::string& line, const std::string& data_dir, long* files,
                        std::string* ending) {
  if (!StartsWith(line, "installed ")) return false;
  size_t at = 10;
  size_t digits = at;
  while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
  if (digits == at || digits - at > 10) return false;
  *files = std::strtol(line.substr(at, digits - at).c_str(), nullptr, 10);
  std::string middle = " files from " + Narrow(kImagePath) + " into " + data_dir + ": ";
  if (line.compare(digits, middle.size(), middle) != 0) return false;
  *ending = line.substr(digits + middle.size());
  return true;
}

void CheckLog(bool ok, const std::u16string& data_dir) {
  MemoryDisk& mp = Disk();
  std::vector<std::string> lines = LogLines(mp.log_writes);
  FUZZ_CHECK(!lines.empty(), "nothing logged");
  const std::string& last = lines.back();
  long files = -1;
  std::string ending;
  bool refused = last == Narrow(kImagePath) + ": not the Morvath Saga's disc 1";
  bool installed = ParseInstalledLine(last, Narrow(data_dir), &files, &ending) &&
                   (ending == "done" || ending == "FAILED");
  FUZZ_CHECK(refused || installed, "last log line: %s", last.c_str());
  FUZZ_CHECK(ok == (installed && ending == "done"), "returned %d, logged: %s", ok, last.c_str());
  if (refused) {
    FUZZ_CHECK(mp.touched_paths.empty(), "a refused image touched %s",
               Narrow(mp.touched_paths[0]).c_str());
    return;
  }
  FUZZ_CHECK(files == mp.files_created, "logged %ld files, %d created", files, mp.files_created);
  if (!ok) return;
  for (const std::string& line : lines) {
    FUZZ_CHECK(!StartsWith(line, "can't write") && !StartsWith(line, "copy failed") &&
                   !StartsWith(line, "image: directory loop") &&
                   !StartsWith(line, "image: too deep") &&
                   !StartsWith(line, "image: too many folders") &&
                   !StartsWith(line, "image: too much folder data"),
               "\"done\" after: %s", line.c_str());
  }
}

void RunInstall(const uint8_t* data, size_t size, const ManifestEntry* manifest, uint32_t count) {
  ScopedFake fake(NewMemoryDisk());
  MemoryDisk& mp = Disk();
  mp.image = data;
  mp.image_size = size;
  mp.image_path = kImagePath;
  if (std::getenv("HV_FUZZ_UNLIMITED_DISK") != nullptr) {
    mp.entry_capacity = SIZE_MAX;
    mp.byte_capacity = UINT64_MAX;
  }
  SetInstallRoot(kInstallRoot);
  mp.log_path = std::u16string(kInstallRoot) + u"\\setup.log";
  const std::u16string data_dir = g_paths.data_dir;

  OpenSetupLog();
  FUZZ_CHECK(g_setup_log != INVALID_HANDLE_VALUE, "the log did not open");
  bool ok = VerifyAndInstallImage(kImagePath, true, {manifest, count});
  CloseSetupLog();

  if (std::getenv("HV_FUZZ_TRACE") != nullptr) {
    std::fprintf(stderr,
                 "rows %u: ok %d, folders made %d, files %d, bytes %llu, disk-full refusals %d\n",
                 count, ok, mp.directory_creates, mp.files_created,
                 static_cast<unsigned long long>(mp.bytes_written), mp.full_refusals);
  }

  FUZZ_CHECK(OpenHandleReport().empty(), "%s", OpenHandleReport().c_str());
  FUZZ_CHECK(Fake().WindowTexts().empty(), "a window in a quiet install");
  for (const std::u16string& path : mp.touched_paths) CheckPath(path, data_dir);
  for (const MemoryFileWrite& write : mp.writes) {
    FUZZ_CHECK(!write.image_sectors.empty(), "%s holds %llu bytes found nowhere in the image",
               Narrow(write.path).c_str(), static_cast<unsigned long long>(write.size));
  }
  uint64_t walks = static_cast<uint64_t>(mp.directory_creates);
  FUZZ_CHECK(walks <= uint64_t{kMaxTreeFolders}, "%llu folders made",
             static_cast<unsigned long long>(walks));
  FUZZ_CHECK(static_cast<uint64_t>(mp.files_created) <= walks * (size / kRecordMinLength),
             "%d files from %llu directory walks of a %zu-byte image", mp.files_created,
             static_cast<unsigned long long>(walks), size);
  FUZZ_CHECK(mp.bytes_written <= static_cast<uint64_t>(mp.files_created) * size,
             "%llu bytes written", static_cast<unsigned long long>(mp.bytes_written));
  CheckLog(ok, data_dir);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RunInstall(data, size, nullptr, 0);
  RunInstall(data, size, kOneRow, 1);
  return 0;
}
