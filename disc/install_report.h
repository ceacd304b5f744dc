// How an install ended, for the setup driver to tell the player: what failed,
// where, and the system's reason.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr uint32_t kTargetPathLimit = 259;

enum class InstallOutcome {
  kInstalled,
  kRefused,            // not disc 1, or a tree that cannot be copied whole: nothing written
  kFolderNotWritable,  // the data directory cannot be made or written in: nothing copied
  kDiskTooSmall,       // its disk lacks room for the copy: nothing copied
  kWriteFailed,        // a file could not be written part-way through the copy
  kImageUnreadable,    // the image could not be read part-way through the copy
  kMarkStays,          // all was copied, but the record of an install under way stays
};

struct InstallReport {
  InstallOutcome outcome;
  WCHAR path[kTargetPathLimit + 1];  // the folder, file or image that failed
  uint32_t error;                    // the system's error code, when it gave one
  uint32_t free_mb;                  // kDiskTooSmall: what the disk has, rounded down...
  uint32_t needed_mb;                // ...and what the copy takes, rounded up
};

// Keeps the first failure an install meets; later ones follow from it.
void ReportInstallFailure(InstallReport* report, InstallOutcome outcome, const WCHAR* path,
                          uint32_t error);
