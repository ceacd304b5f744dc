#include "disc/verify.h"

#include <cstring>


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
                          DiscEntry* found, FolderBudget* budget) {
  if (!ResolveDiscPath(image, folder, row.path, found, budget)) {
    return budget->exceeded ? RowCheck::kTooMuchFolderData : RowCheck::kMissing;
  }
  if (found->is_dir) return RowCheck::kFolder;
  return found->size == row.size ? RowCheck::kPresent : RowCheck::kOtherSize;
}
