// Reading an image's primary volume and checking its files against the
// manifest, for the install and the diagnostic tool.
#pragma once

#include <cstdint>

#include "disc/manifest.h"
#include "disc/reader.h"
#include "platform/platform.h"

// Primary volume descriptor: block 16, type 1, "CD001", and the root
// directory record at bytes 156-189.
constexpr int64_t kVolumeDescriptorOffset = 0x8000;
constexpr uint32_t kDescriptorType = 0;
constexpr uint32_t kDescriptorId = 1;
constexpr uint32_t kDescriptorRootRecord = 156;
constexpr uint8_t kPrimaryDescriptor = 1;
static_assert(kVolumeDescriptorOffset == 16 * int64_t{kSectorSize});
static_assert(kDescriptorRootRecord + kRecordMinLength == 190);

// Reads the primary volume descriptor and gives the root directory (marked a
// directory). False when the descriptor sector is not there whole or is not a
// primary descriptor.
bool ReadDiscRoot(HANDLE image, DiscEntry* root);

enum class RowCheck { kPresent, kMissing, kFolder, kOtherSize, kTooMuchFolderData };

// Folder data the rows of one image may read in all: each row reads its
// folders again, so a crafted image whose folders are each 16 MiB (or share
// one extent) would otherwise make 124 rows read gigabytes. A real disc's
// rows read about a megabyte.
constexpr uint64_t kMaxRowFolderBytes = uint64_t{64} << 20;

// How `row` stands below `folder`: present only as a file of exactly its
// size. `found` gets the entry whenever the path resolves. `budget` is the
// rows' shared bound (kMaxRowFolderBytes at the first row).
RowCheck CheckManifestRow(HANDLE image, const DiscEntry& folder, const ManifestEntry& row,
                          DiscEntry* found, FolderBudget* budget);
