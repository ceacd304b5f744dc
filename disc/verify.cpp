#include "disc/verify.h"

#include <cstring>

#include "disc/extract.h"
#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "launcher/status_window.h"

bool ReadDiscRoot(HANDLE image, DiscEntry* root) {
  uint8_t descriptor[kSectorSize];
  DWORD got = 0;
  if (!SetFilePointerEx(image, kVolumeDescriptorOffset, nullptr, FILE_BEGIN) ||
      !ReadFile(image, descriptor, kSectorSize, &got, nullptr) || got != kSectorSize) {
    return false;
  }
  if (descriptor[kDescriptorType] != kPrimaryDescriptor ||
      std::memcmp(descriptor + kDescriptorId, "CD001", 5) != 0) {
    return false;
  }
  const uint8_t* record = descriptor + kDescriptorRootRecord;
  root->extent = ReadLe32(record + kRecordExtent);
  root->size = ReadLe32(record + kRecordSize);
  root->is_dir = 1;
  return true;
}

RowCheck CheckManifestRow(HANDLE image, const DiscEntry& folder, const ManifestEntry& row,
                          DiscEntry* found) {
  if (!ResolveDiscPath(image, folder, row.path, found)) return RowCheck::kMissing;
  if (found->is_dir) return RowCheck::kFolder;
  return found->size == row.size ? RowCheck::kPresent : RowCheck::kOtherSize;
}

bool VerifyAndInstallImage(const WCHAR* path, bool quiet, const ManifestEntry* manifest,
                           uint32_t count) {
  HANDLE image = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (image == INVALID_HANDLE_VALUE) {
    LogLine(u"can't open %s", path);
    return false;
  }
  DiscEntry root;
  DiscEntry folder;
  bool accepted = ReadDiscRoot(image, &root) && ResolveDiscPath(image, root, u"HV1", &folder) &&
                  folder.is_dir;
  for (uint32_t i = 0; accepted && i < count; ++i) {
    DiscEntry found;
    if (CheckManifestRow(image, folder, manifest[i], &found) != RowCheck::kPresent) {
      LogLine(u"image: %s missing or another size", manifest[i].path);
      accepted = false;
    }
  }
  if (!accepted) {
    CloseHandle(image);
    LogLine(u"%s: not the Morvath Saga's disc 1", path);
    return false;
  }

  HWND window = quiet ? nullptr : ShowStatusWindow(u"Installing Halvorn from your disc image...");
  uint32_t files = 0;
  bool ok = ExtractDiscFolder(image, folder, &files);
  if (window != nullptr) DestroyWindow(window);
  CloseHandle(image);
  LogLine(u"installed %d files from %s into %s: %s", static_cast<int32_t>(files), path,
          g_paths.data_dir, ok ? u"done" : u"FAILED");
  return ok;
}

const ManifestEntry* g_run_manifest = kDiscManifest;
uint32_t g_run_manifest_count = kDiscManifestCount;

bool VerifyAndInstallImage(const WCHAR* path, bool quiet) {
  return VerifyAndInstallImage(path, quiet, g_run_manifest, g_run_manifest_count);
}
