// The two fuzz targets' per-input runs and checks, each over a fresh disk in
// memory under the tests' fake platform. Termination and memory safety are
// the fuzzer's own (-timeout, ASan, UBSan). A broken invariant prints itself
// and aborts, which libFuzzer reports as a crash and saves the input for.
// (The test program builds this file too, to keep it compiling on both
// builds; the hostile images it would replay are installed there on a real
// disk, with their exact logs.)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "disc/install.h"
#include "disc/reader.h"
#include "disc/verify.h"
#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "tests/support/fake_platform.h"

#define FUZZ_CHECK(condition) \
  ((condition) ? void() : (std::fprintf(stderr, "broken: %s\n", #condition), std::abort()))

// Named, not anonymous: the test program compiles this file together with
// others.
namespace hv_fuzz {

// The disk in memory: every file opened for reading is the input; a file
// opened for appending is the setup log, kept a write (one line) apiece; the
// folders and files the install makes are kept whole by path as given,
// whether or not their parent was made (the targets check the paths, not the
// tree). Text conversion is
// the system's, the fake answers the windows and the free space, and every
// other call fails: the product reads no result from the attributes it
// sets, and nothing reaches the real system.
struct MemoryDisk {
  std::string_view input;
  size_t at = 0;                  // the next read's start: one file is read at a time
  std::string* making = nullptr;  // the file open for writing: one is made at a time
  std::vector<std::string> log;
  std::map<std::u16string, std::string> files;  // the folders among them empty
  std::set<std::u16string> made;                // the files, ASCII case folded
} g_disk;

// Its handles: the input, the log, the file being made.
enum : uintptr_t { kInput = 1, kLog, kMaking };
PfHandle H(uintptr_t h) { return reinterpret_cast<PfHandle>(h); }

PlatformOps MemoryDisk(const uint8_t* data, size_t size) {
  g_disk = {.input = {reinterpret_cast<const char*>(data), size}};
  PlatformOps ops = {
#define HV_FAIL(result, name, parameters, arguments, failure) \
  .name = [] parameters -> result { return failure; },
      HV_PLATFORM_OPERATIONS(HV_FAIL)};
#undef HV_FAIL
  ops.MultiByteToWideChar = SystemPlatform().MultiByteToWideChar;
  ops.WideCharToMultiByte = SystemPlatform().WideCharToMultiByte;
  ops.CreateFileW = [](const PfChar* name, uint32_t access, uint32_t, PfSecurityAttributes*,
                       uint32_t, uint32_t, PfHandle) -> PfHandle {
    if (access != GENERIC_WRITE) return H(access == GENERIC_READ ? kInput : kLog);
    // No file outgrows the input, so no run holds more than 512 inputs.
    if (g_disk.files.size() >= 512) return INVALID_HANDLE_VALUE;
    std::u16string folded = name;
    for (char16_t& c : folded) c = c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c;
    // Made again (as Windows names it): a later record written over the
    // earlier one of its name.
    FUZZ_CHECK(!g_disk.making && g_disk.made.insert(folded).second);
    g_disk.making = &(g_disk.files[name] = "");
    return H(kMaking);
  };
  ops.CreateDirectoryW = [](const PfChar* name, PfSecurityAttributes*) -> PfBool {
    return g_disk.files[name].empty();
  };
  ops.SHCreateDirectoryExW = [](PfWindow, const PfChar* name, PfSecurityAttributes*) -> int32_t {
    return g_disk.files[name].empty() ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS;
  };
  ops.GetFileAttributesW = [](const PfChar* name) -> uint32_t {
    return g_disk.files.contains(name) ? FILE_ATTRIBUTE_DIRECTORY : INVALID_FILE_ATTRIBUTES;
  };
  // The product seeks only from the start, or to the end for a size.
  ops.SetFilePointerEx = [](PfHandle h, int64_t distance, int64_t* at, uint32_t method) -> PfBool {
    if (h != H(kInput) || distance < 0) return FALSE;
    g_disk.at = static_cast<size_t>(distance) + (method == FILE_END ? g_disk.input.size() : 0);
    if (at != nullptr) *at = static_cast<int64_t>(g_disk.at);
    return TRUE;
  };
  ops.ReadFile = [](PfHandle h, void* buffer, uint32_t size, uint32_t* read, void*) -> PfBool {
    std::string_view left = g_disk.input.substr(std::min(g_disk.at, g_disk.input.size()));
    *read = h == H(kInput) ? static_cast<uint32_t>(left.copy(static_cast<char*>(buffer), size)) : 0;
    g_disk.at += *read;
    return h == H(kInput);
  };
  ops.WriteFile = [](PfHandle h, const void* buffer, uint32_t size, uint32_t* written,
                     void*) -> PfBool {
    std::string* file = h == H(kLog)      ? &g_disk.log.emplace_back()
                        : h == H(kMaking) ? g_disk.making
                                          : nullptr;
    if (file != nullptr) file->append(static_cast<const char*>(buffer), size);
    *written = file != nullptr ? size : 0;
    return file != nullptr;
  };
  ops.CloseHandle = [](PfHandle h) -> PfBool {
    if (h == H(kMaking)) g_disk.making = nullptr;
    return TRUE;  // the fake counts closes of what is not open
  };
  return ops;
}

const WCHAR kInstallRoot[] = u"C:\\Fuzz\\Halvorn Glint";
const WCHAR kImagePath[] = u"C:\\images\\disc.iso";
const char kImage[] = "C:\\images\\disc.iso";  // as the log gives it

// fuzz_disc_walk. The input is a disc image. Reads its root, walks it and
// resolves a few fixed paths. Invariants:
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
  FUZZ_CHECK(length < kDiscNameSize && std::memchr(name, ';', length) == nullptr);
  ++check->visits;
  // 'H' and 'h' differ only in the 0x20 bit, as do 'V' and 'v'.
  bool hv1 = (name[0] | 0x20) == 'h' && (name[1] | 0x20) == 'v' && std::strcmp(name + 2, "1") == 0;
  if (hv1 && !check->hv1) check->hv1 = entry;
  return 1;
}

// fuzz_disc_install. The input is a disc image. Installs from it quietly,
// twice: against an empty manifest (any image with an HV1 folder passes) and
// against one row, GAMEDAT\X.DAT of 5 bytes, that a crafted image can
// satisfy. Invariants, per run:
// - every folder and file made is the data directory (or its parent) or lies
//   strictly inside it: data_dir + "\" and then components that are not empty, "." or "..",
//   and hold no '/', ':' or control character; no path is longer than 259;
// - every file holds, byte for byte, the input's bytes from some sector
//   boundary on (a record's extent; a failed copy leaves a prefix);
// - every handle is closed and no window is shown (quiet);
// - each logged line (one write) ends in its only CR LF; the last is
//   "<image>: not the Morvath Saga's disc 1", when nothing was made, or
//   "installed N files from <image> into <data dir>: done|FAILED", with N the
//   files created but the record of an install under way, and "done"
//   exactly when the call returned true and reported the install whole;
//   before a "done" only skipped names are logged;
// - no file is made unless the record of an install under way is, and none
//   twice (ASCII case ignored; checked as it is made): of several records of
//   one name in a folder only the first, the one the check finds, is copied.

const ManifestEntry kOneRow[] = {{u"GAMEDAT\\X.DAT", 5}};
const std::wregex kBelowDataDir(LR"((\\(?!\.\.?(\\|$))[^\\/:\x00-\x1f\x7f]+)*)");

// Whether `bytes` are the input's from some sector boundary on.
bool FromTheInput(const std::string& bytes) {
  for (size_t at = 0; at + bytes.size() <= g_disk.input.size(); at += kSectorSize)
    if (g_disk.input.substr(at, bytes.size()) == bytes) return true;
  return false;
}

void FuzzDiscWalk(const uint8_t* data, size_t size) {
  ScopedFake fake(MemoryDisk(data, size));
  HANDLE image = CreateFileW(kImagePath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  DiscEntry root, hv1, other;
  if (ReadDiscRoot(image, &root)) {
    WalkCheck check;
    bool walked = WalkDiscDirectory(image, root, Visit, &check);
    FUZZ_CHECK(check.visits <= root.size / kRecordMinLength);
    bool resolved = ResolveDiscPath(image, root, u"HV1", &hv1);
    FUZZ_CHECK(resolved == (walked && check.hv1));
    // DiscEntry is three 32-bit fields, no padding.
    for (const WCHAR* same : {u"HV1", u"hv1", u"HV1\\"})
      FUZZ_CHECK(!resolved || (ResolveDiscPath(image, root, same, &other) &&
                               std::memcmp(&other, &*check.hv1, sizeof other) == 0));
    bool file = ResolveDiscPath(image, root, u"HV1\\GAMEDAT\\X.DAT", &hv1) && !hv1.is_dir;
    FUZZ_CHECK(!file || !ResolveDiscPath(image, root, u"HV1\\GAMEDAT\\X.DAT\\Y", &other));
  }
  CloseHandle(image);
  FUZZ_CHECK(OpenHandleReport().empty());
}

void FuzzDiscInstall(const uint8_t* data, size_t size) {
  for (const DiscManifest& manifest : {DiscManifest{nullptr, 0}, DiscManifest{kOneRow, 1}}) {
    ScopedFake fake(MemoryDisk(data, size));
    fake->free_bytes = uint64_t{1} << 40;
    SetInstallRoot(kInstallRoot);
    const std::u16string data_dir = g_paths.data_dir;
    OpenSetupLog();
    InstallReport report;
    bool ok = VerifyAndInstallImage(kImagePath, true, manifest, &report);
    CloseSetupLog();
    FUZZ_CHECK(ok == (report.outcome == InstallOutcome::kInstalled));
    FUZZ_CHECK(OpenHandleReport().empty() && fake->Windows().empty());
    for (const auto& [path, bytes] : g_disk.files) {
      // The data directory's parent, and folders, whose bytes are none, among them.
      if (path == std::u16string(kInstallRoot) + u"\\data") continue;
      std::wstring below(path.begin() + std::min(path.size(), data_dir.size()), path.end());
      FUZZ_CHECK(path.size() <= kTargetPathLimit && path.starts_with(data_dir) &&
                 std::regex_match(below, kBelowDataDir) && FromTheInput(bytes));
    }

    for (const std::string& line : g_disk.log) {
      // A disc name logged as it is once broke and forged lines here.
      FUZZ_CHECK(line.ends_with("\r\n") && line.find_first_of("\r\n") + 2 == line.size());
      FUZZ_CHECK(!ok || &line == &g_disk.log.back() || line.starts_with("image: unsafe name ") ||
                 line.ends_with(" named again, the first record kept\r\n"));
    }
    std::string last = g_disk.log.empty() ? "" : g_disk.log.back();
    bool refused = last == kImage + std::string(": not the Morvath Saga's disc 1\r\n");
    FUZZ_CHECK(!refused || (!ok && g_disk.files.empty()));
    // Nothing is written before the record of an install under way, which
    // stays here (the memory disk lists no GAMEDAT to count).
    bool marked = g_disk.files.contains(data_dir + u"\\setup-not-finished");
    FUZZ_CHECK(marked || g_disk.made.empty());
    FUZZ_CHECK(refused || last == "installed " + std::to_string(g_disk.made.size() - marked) +
                                      " files from " + kImage + " into " +
                                      std::string(data_dir.begin(), data_dir.end()) +
                                      (ok ? ": done\r\n" : ": FAILED\r\n"));
  }
}

}  // namespace hv_fuzz

#ifdef HV_FUZZ_TARGET
// The libFuzzer entry of the target HV_FUZZ_TARGET names.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  hv_fuzz::HV_FUZZ_TARGET(data, size);
  return 0;
}
#endif
