// The three fuzz targets' per-input runs and checks, each over a fresh disk in
// memory under the tests' fake platform. Termination and memory safety are
// the fuzzer's own (-timeout, ASan, UBSan).
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "disc/extract.h"
#include "disc/install.h"
#include "disc/reader.h"
#include "disc/verify.h"
#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "ships/protocol.h"
#include "ships/runner.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/fake_platform.h"
#include "tests/support/memory_disk.h"

namespace {

const WCHAR kInstallRoot[] = u"C:\\Fuzz\\Halvorn Glint";
const WCHAR kImagePath[] = u"C:\\images\\disc.iso";

// fuzz_disc_walk. The input is a disc image. Reads its root, walks it,
// resolves a few fixed paths, and walks the raw input as one directory's
// records. Invariants:
// - every name a visitor gets is terminated within 64 bytes and holds no ';'
//   (the version suffix is cut);
// - a walk over N bytes visits at most N / 34 records;
// - resolution agrees with the walk: "HV1" resolves to the first root record
//   named HV1 (any case), "hv1" and "HV1\" to the same entry;
// - a path below a file never resolves;
// - every handle opened is closed.

struct WalkCheck {
  uint32_t visits = 0;
  std::optional<DiscEntry> hv1;  // the first record named HV1 in any case
};

int Visit(const char* name, const DiscEntry& entry, void* context) {
  WalkCheck* check = static_cast<WalkCheck*>(context);
  size_t length = strnlen(name, kDiscNameSize);
  FUZZ_CHECK(length < kDiscNameSize, "name not terminated within %u bytes", kDiscNameSize);
  FUZZ_CHECK(std::memchr(name, ';', length) == nullptr, "version suffix left in \"%s\"", name);
  ++check->visits;
  // 'H' and 'h' differ only in the 0x20 bit, as do 'V' and 'v'.
  bool hv1 = (name[0] | 0x20) == 'h' && (name[1] | 0x20) == 'v' && std::strcmp(name + 2, "1") == 0;
  if (hv1 && !check->hv1) check->hv1 = entry;
  return 1;
}

// DiscEntry is three 32-bit fields, no padding.
bool SameEntry(const DiscEntry& a, const DiscEntry& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

void WalkImage(HANDLE image) {
  DiscEntry root, hv1, other;
  if (!ReadDiscRoot(image, &root)) return;
  FUZZ_CHECK(root.is_dir == 1, "root not marked a directory");
  WalkCheck check;
  bool walked = WalkDiscDirectory(image, root, Visit, &check);
  FUZZ_CHECK(check.visits <= root.size / kRecordMinLength, "%u visits in a %u-byte root",
             check.visits, root.size);

  bool resolved = ResolveDiscPath(image, root, u"HV1", &hv1);
  FUZZ_CHECK(resolved == (walked && check.hv1), "HV1 resolved %d, seen by the walk %d", resolved,
             walked && check.hv1);
  if (resolved) {
    FUZZ_CHECK(SameEntry(hv1, *check.hv1), "HV1 resolved to another record than the walk's");
    FUZZ_CHECK(ResolveDiscPath(image, root, u"hv1", &other) && SameEntry(other, hv1),
               "lower-case hv1 resolves differently");
    FUZZ_CHECK(ResolveDiscPath(image, root, u"HV1\\", &other) && SameEntry(other, hv1),
               "a trailing separator changes the result");
  }
  if (ResolveDiscPath(image, root, u"HV1\\GAMEDAT\\X.DAT", &hv1) && !hv1.is_dir) {
    FUZZ_CHECK(!ResolveDiscPath(image, root, u"HV1\\GAMEDAT\\X.DAT\\Y", &other),
               "a path below a file resolved");
  }
}

// fuzz_disc_install. The input is a disc image. Installs from it quietly,
// twice: against an empty manifest (any image with an HV1 folder passes) and
// against one row, GAMEDAT\X.DAT of 5 bytes, that a crafted image can
// satisfy. Invariants, per run:
// - every folder and file made is the data directory or lies strictly inside
//   it: data_dir + "\" and then components that are not empty, "." or "..",
//   and hold no '/', ':' or control character; no path is longer than 259;
// - every file holds, byte for byte, the image's bytes from some sector
//   boundary on (a record's extent; a failed copy leaves a prefix);
// - every handle is closed and no window is shown (quiet);
// - each logged line (one write) ends in its only CR LF; the last is
//   "<image>: not the Morvath Saga's disc 1", when nothing was made, or
//   "installed N files from <image> into <data dir>: done|FAILED", with N the
//   files created and "done" exactly when the call returned true; before a
//   "done" only skipped names are logged.

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
  FUZZ_CHECK(path.starts_with(data_dir + u"\\"), "outside the data directory: %s",
             Narrow(path).c_str());
  for (size_t start = data_dir.size() + 1, end; start <= path.size(); start = end + 1) {
    end = std::min(path.find(u'\\', start), path.size());
    std::u16string part = path.substr(start, end - start);
    FUZZ_CHECK(!part.empty() && part != u"." && part != u"..", "bad component in %s",
               Narrow(path).c_str());
    for (char16_t c : part) {
      FUZZ_CHECK(c >= 0x20 && c != 0x7F && c != u'/' && c != u':', "character %u in %s",
                 static_cast<unsigned>(c), Narrow(path).c_str());
    }
  }
}

// Whether `bytes` are the image's from some sector boundary on.
bool FromTheImage(const std::string& bytes) {
  const MemoryDisk& disk = Disk();
  for (size_t at = 0; at + bytes.size() <= disk.image_size; at += kSectorSize) {
    if (bytes.empty() || std::memcmp(disk.image + at, bytes.data(), bytes.size()) == 0) return true;
  }
  return false;
}

void CheckLog(bool ok, const std::u16string& data_dir) {
  const MemoryDisk& disk = Disk();
  const std::vector<std::string>& writes = disk.log_writes;
  FUZZ_CHECK(!writes.empty(), "nothing logged");
  for (const std::string& write : writes) {
    // A disc name logged as it is once broke and forged lines here.
    FUZZ_CHECK(write.ends_with("\r\n") && write.find_first_of("\r\n") == write.size() - 2,
               "not one CR LF line: %s", write.c_str());
  }
  std::string last = writes.back().substr(0, writes.back().size() - 2);
  if (last == Narrow(kImagePath) + ": not the Morvath Saga's disc 1") {
    FUZZ_CHECK(!ok && disk.folders.empty() && disk.files.empty(), "a refused image made %zu",
               disk.folders.size() + disk.files.size());
    return;
  }
  std::string installed = "installed " + std::to_string(disk.files_created) + " files from " +
                          Narrow(kImagePath) + " into " + Narrow(data_dir) + ": ";
  FUZZ_CHECK(last == installed + (ok ? "done" : "FAILED"), "returned %d, %d files made, logged: %s",
             ok, disk.files_created, last.c_str());
  for (size_t i = 0; ok && i + 1 < writes.size(); ++i) {
    FUZZ_CHECK(writes[i].starts_with("image: unsafe name "), "\"done\" after: %s",
               writes[i].c_str());
  }
}

void RunInstall(const uint8_t* data, size_t size, const DiscManifest& manifest) {
  ScopedFake fake(NewMemoryDisk(data, size));
  SetInstallRoot(kInstallRoot);
  const std::u16string data_dir = g_paths.data_dir;
  OpenSetupLog();
  bool ok = VerifyAndInstallImage(kImagePath, true, manifest);
  CloseSetupLog();

  FUZZ_CHECK(OpenHandleReport().empty(), "%s", OpenHandleReport().c_str());
  FUZZ_CHECK(Fake().Windows().empty(), "a window in a quiet install");
  for (const std::u16string& folder : Disk().folders) CheckPath(folder, data_dir);
  for (const auto& [path, bytes] : Disk().files) {
    CheckPath(path, data_dir);
    FUZZ_CHECK(FromTheImage(bytes), "%s holds %zu bytes found nowhere in the image",
               Narrow(path).c_str(), bytes.size());
  }
  CheckLog(ok, data_dir);
}

// fuzz_ship_protocol. The input is the ship-setup child's output, after one
// mode byte: bit 0 runs with "--ships-yes" (no status window), bit 1 makes
// every other pipe poll find nothing waiting, bits 2-7 are how many bytes
// each poll finds waiting (0: the pipe reports its end at once and everything
// is read after it). The real runner reads it through the memory disk's pipe.
// Invariants, against the lines the protocol's own assembler makes of the
// whole output at once (so they hold however the pipe hands it over):
// - the log holds one "ships: " line per line: the line up to its first NUL
//   when that is plain ASCII;
// - success exactly when some line is "DONE";
// - the reason is terminated within its 512 units and never written past
//   them (ASan), not empty on failure, and the last ERROR text when that is
//   plain ASCII;
// - with the window, one text per PROGRESS line after its title, none
//   without it; one process started, every handle closed.

std::vector<std::string> Lines(const uint8_t* data, size_t size) {
  std::vector<std::string> lines;
  LineAssembler assembler{};
  for (size_t i = 0; i < size; ++i) {
    if (FeedByte(&assembler, static_cast<char>(data[i]))) {
      lines.emplace_back(assembler.line, assembler.length);
      ClearLine(&assembler);
    }
  }
  return lines;
}

bool PlainAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c > 0 && c < 0x7F; });
}

}  // namespace

void FuzzDiscWalk(const uint8_t* data, size_t size) {
  ScopedFake fake(NewMemoryDisk(data, size));
  HANDLE image = CreateFileW(kImagePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  WalkImage(image);
  CloseHandle(image);
  if (size <= kMaxDirectorySize) {
    WalkCheck check;
    WalkDiscRecords(data, static_cast<uint32_t>(size), Visit, &check);
    FUZZ_CHECK(check.visits <= size / kRecordMinLength, "%u visits in %zu bytes", check.visits,
               size);
  }
  FUZZ_CHECK(OpenHandleReport().empty(), "%s", OpenHandleReport().c_str());
}

void FuzzDiscInstall(const uint8_t* data, size_t size) {
  RunInstall(data, size, {nullptr, 0});
  RunInstall(data, size, {kOneRow, 1});
}

void FuzzShipProtocol(const uint8_t* data, size_t size) {
  if (size == 0) return;
  ScopedFake fake(NewMemoryDisk());
  MemoryDisk& disk = Disk();
  bool ships_yes = (data[0] & 1) != 0;
  disk.pipe_idle_turns = (data[0] & 2) != 0;
  disk.pipe_chunk = data[0] >> 2;
  disk.child_output = data + 1;
  disk.child_output_size = size - 1;
  SetInstallRoot(kInstallRoot);
  OpenSetupLog();
  WCHAR reason[kReasonSize];  // exactly: ASan reports a write past it
  bool ok = RunShipSetup(ships_yes, reason);
  CloseSetupLog();
  FUZZ_CHECK(OpenHandleReport().empty(), "%s", OpenHandleReport().c_str());
  FUZZ_CHECK(Fake().Processes().size() == 1, "%zu processes", Fake().Processes().size());

  std::vector<std::string> lines = Lines(data + 1, size - 1);
  FUZZ_CHECK(disk.log_writes.size() == lines.size(), "%zu lines logged for %zu lines",
             disk.log_writes.size(), lines.size());
  bool done = false;
  size_t progress = 0;
  std::string error;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const std::string& logged = disk.log_writes[i];
    std::string shown = line.substr(0, line.find('\0'));  // as "%S" takes it
    FUZZ_CHECK(logged.starts_with("ships: ") &&
                   (!PlainAscii(shown) || logged == "ships: " + shown + "\r\n"),
               "line %zu logged as %s", i, logged.c_str());
    done = done || line == "DONE";
    progress += line.starts_with("PROGRESS ");
    if (line.starts_with("ERROR ")) error = line.substr(6);
  }
  FUZZ_CHECK(ok == done, "returned %d, DONE line %d", ok, done);
  size_t texts = Fake().Of({FakeEvent::kWindowShown, FakeEvent::kWindowText}).size();
  FUZZ_CHECK(texts == (ships_yes ? 0 : progress + 1), "%zu window texts for %zu PROGRESS lines",
             texts, progress);

  size_t length = std::u16string_view(reason, kReasonSize).find(u'\0');
  FUZZ_CHECK(length != std::u16string_view::npos, "reason not terminated within its 512 units");
  FUZZ_CHECK(ok || length > 0, "failure without a reason");
  if (!ok && !error.empty() && PlainAscii(error)) {
    FUZZ_CHECK(reason == std::u16string(error.begin(), error.end()),
               "reason not the last ERROR text");
  }
}
