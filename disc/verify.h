// Deciding whether an image file is disc 1 of the compilation, and installing
// from it when it is.
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

enum class RowCheck { kPresent, kMissing, kFolder, kOtherSize };

// How `row` stands below `folder`: present only as a file of exactly its
// size. `found` gets the entry whenever the path resolves.
RowCheck CheckManifestRow(HANDLE image, const DiscEntry& folder, const ManifestEntry& row,
                          DiscEntry* found);

// Opens the image, checks it against `manifest` (in order, stopping at the
// first row that fails) and, when it passes, copies its HV1 folder into the
// data directory. Owns the image file from open to close; logs every failure.
// `quiet` suppresses the status window. True only when accepted and copied.
bool VerifyAndInstallImage(const WCHAR* path, bool quiet, const ManifestEntry* manifest,
                           uint32_t count);

// The same against the run's manifest: kDiscManifest, unless a test has put
// a small one of its own here.
extern const ManifestEntry* g_run_manifest;
extern uint32_t g_run_manifest_count;
bool VerifyAndInstallImage(const WCHAR* path, bool quiet);
