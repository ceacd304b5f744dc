// Copying the HV1 folder tree of an accepted image into the data directory.
#pragma once

#include <cstdint>

#include "disc/install_report.h"
#include "disc/name_set.h"
#include "disc/reader.h"
#include "disc/tree.h"
#include "platform/platform.h"

constexpr uint32_t kCopyBufferSize = 0x100000;  // 1 MiB at most, one per file being copied
// Bounds against crafted trees, beside the folder walk's own (disc/tree.h):
// files and bytes copied in all. A real disc is far below each (its game
// folder holds about 125 files and 150 MiB, and a CD holds at most ~900 MB);
// files sharing data could otherwise make a small image write terabytes.
constexpr uint32_t kMaxExtractFiles = 65536;
constexpr uint64_t kMaxExtractBytes = uint64_t{2} << 30;  // 2 GiB

// An extraction walks the tree twice: first measuring (nothing written; every
// refusal of the tree, and what the copy will take on disk), then copying.
// What one pass may still do and what it found, shared by all its levels.
struct ExtractBudget {
  DiscTree tree;
  NameSet names;         // the first record of each name in each folder
  uint32_t files_left;
  uint64_t bytes_left;
  bool measuring;
  uint64_t image_size;   // measuring: every file must lie within it
  uint64_t disk_bytes;   // measuring: what the copy adds on disk
  InstallReport* report;
};

// The state of copying one disc directory; each level owns its own while it is
// walked, and adds its count to its parent's when done.
struct ExtractContext {
  HANDLE image;                        // the open image file
  WCHAR dest[kTargetPathLimit + 1];    // the directory on disk receiving this level
  uint32_t files;                      // file records handled below this level
  uint32_t ok;                         // 1 until the first failure
  uint32_t folder_extent;              // the disc folder being walked
  ExtractBudget* budget;               // the extraction's, shared by every level
};

// False for names that must never become a path component on disk: empty,
// made only of dots and spaces ("." and ".." among them), holding a separator,
// a drive or stream colon, a wildcard or other character Windows forbids, or a
// control byte, and the names Windows takes for devices (CON, NUL, COM1, ...),
// as it matches them: whatever follows a dot and trailing spaces ignored.
bool IsSafeDiscName(const char* name);
bool IsSafeWideName(const WCHAR* name);

// Copies (or measures) one record below the context's dest (a visitor; the
// context is an ExtractContext). Returns the context's ok, so the first
// failure stops every walk above it. Unsafe names, and records whose name an
// earlier record in the folder has, are logged while measuring (control
// bytes shown as '?', so a name cannot break or forge a log line) and skipped.
int ExtractVisitor(const char* name, const DiscEntry& entry, void* context);

// Walks the tree of `folder` as the copy will, writing nothing: false (with
// the reason logged and reported) when the copy could not be whole: a tree
// past the bounds, a file lying past the image's end, a path too long.
// `disk_bytes` gets what the copy adds on disk: whole 4 KiB clusters of each
// file, less those of a file it replaces.
bool MeasureDiscFolder(HANDLE image, const DiscEntry& folder, uint64_t* disk_bytes,
                       InstallReport* report);

// Copies the tree of `folder` into the data directory, which must exist.
// `files` gets the number of file records handled (0 when `folder` itself
// could not be read). True when everything was copied; otherwise the report
// holds the first failure.
bool ExtractDiscFolder(HANDLE image, const DiscEntry& folder, uint32_t* files,
                       InstallReport* report);
