// The input is a disc image. Reads its root, walks the root and the first
// folders in it, resolves a few fixed paths, and walks the raw input as one
// directory's records.
//
// Invariants:
// - every name a visitor gets is terminated within 64 bytes and holds no ';'
//   (the version suffix is cut);
// - a walk over N bytes visits at most N / 34 records;
// - resolution agrees with the walk: "HV1" resolves to the first root record
//   named HV1 (any case), "hv1" and "HV1\" to the same entry;
// - a path below a file never resolves;
// - every handle opened is closed.
// Termination and memory safety are the fuzzer's own (-timeout, ASan, UBSan).
#include <cstring>

#include "disc/reader.h"
#include "disc/verify.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/fake_platform.h"
#include "tests/support/memory_disk.h"

namespace {

struct WalkCheck {
  uint32_t visits = 0;
  // The first record named HV1 in any case, and up to 8 folders to walk.
  bool hv1_seen = false;
  DiscEntry hv1{};
  DiscEntry folders[8];
  uint32_t folder_count = 0;
};

// "HV1" in any ASCII case, as the lookup compares.
bool IsHv1(const char* name) {
  auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
  return up(name[0]) == 'H' && up(name[1]) == 'V' && name[2] == '1' && name[3] == '\0';
}

bool SameEntry(const DiscEntry& a, const DiscEntry& b) {
  return a.extent == b.extent && a.size == b.size && a.is_dir == b.is_dir;
}

void CheckName(const char* name) {
  size_t length = strnlen(name, kDiscNameSize);
  FUZZ_CHECK(length < kDiscNameSize, "name not terminated within %u bytes", kDiscNameSize);
  FUZZ_CHECK(std::memchr(name, ';', length) == nullptr, "version suffix left in \"%s\"", name);
}

int Visit(const char* name, const DiscEntry& entry, void* context) {
  WalkCheck* check = static_cast<WalkCheck*>(context);
  CheckName(name);
  ++check->visits;
  if (!check->hv1_seen && IsHv1(name)) {
    check->hv1_seen = true;
    check->hv1 = entry;
  }
  if (entry.is_dir && check->folder_count < 8) check->folders[check->folder_count++] = entry;
  return 1;
}

bool Resolve(HANDLE image, const DiscEntry& root, const WCHAR* path, DiscEntry* out) {
  DiscEntry found{0xDEAD, 0xBEEF, 7};
  bool ok = ResolveDiscPath(image, root, path, &found);
  if (ok) *out = found;
  return ok;
}

void WalkRaw(const uint8_t* data, size_t size) {
  if (size > kMaxDirectorySize) return;
  WalkCheck check;
  WalkDiscRecords(data, static_cast<uint32_t>(size), Visit, &check);
  FUZZ_CHECK(check.visits <= size / kRecordMinLength, "%u visits in %zu bytes", check.visits,
             size);
}

void WalkImage(HANDLE image) {
  DiscEntry root;
  if (!ReadDiscRoot(image, &root)) return;
  FUZZ_CHECK(root.is_dir == 1, "root not marked a directory");
  WalkCheck check;
  bool walked = WalkDiscDirectory(image, root, Visit, &check);
  FUZZ_CHECK(check.visits <= root.size / kRecordMinLength, "%u visits in a %u-byte root",
             check.visits, root.size);
  for (uint32_t i = 0; i < check.folder_count; ++i) {
    WalkCheck inner;
    WalkDiscDirectory(image, check.folders[i], Visit, &inner);
  }

  DiscEntry hv1;
  bool resolved = Resolve(image, root, u"HV1", &hv1);
  FUZZ_CHECK(resolved == (walked && check.hv1_seen), "HV1 resolved %d, seen by the walk %d",
             resolved, walked && check.hv1_seen);
  if (resolved) {
    FUZZ_CHECK(SameEntry(hv1, check.hv1), "HV1 resolved to another record than the walk's");
    DiscEntry other;
    FUZZ_CHECK(Resolve(image, root, u"hv1", &other) && SameEntry(other, hv1),
               "lower-case hv1 resolves differently");
    FUZZ_CHECK(Resolve(image, root, u"HV1\\", &other) && SameEntry(other, hv1),
               "a trailing separator changes the result");
  }

  DiscEntry file;
  if (Resolve(image, root, u"HV1\\GAMEDAT\\X.DAT", &file) && !file.is_dir) {
    DiscEntry below;
    FUZZ_CHECK(!Resolve(image, root, u"HV1\\GAMEDAT\\X.DAT\\Y", &below),
               "a path below a file resolved");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ScopedFake fake(NewMemoryDisk());
  MemoryDisk& mp = Disk();
  mp.image = data;
  mp.image_size = size;
  mp.image_path = u"C:\\images\\disc.iso";

  HANDLE image = CreateFileW(mp.image_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  FUZZ_CHECK(image != INVALID_HANDLE_VALUE, "the image did not open");
  WalkImage(image);
  CloseHandle(image);
  WalkRaw(data, size);

  FUZZ_CHECK(OpenHandleReport().empty(), "%s", OpenHandleReport().c_str());
  return 0;
}
