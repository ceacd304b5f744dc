// Copying the HV1 folder tree of an accepted image into the data directory.
#pragma once

#include <cstdint>

#include "disc/reader.h"
#include "disc/tree.h"
#include "platform/platform.h"

constexpr uint32_t kCopyBufferSize = 0x100000;  // 1 MiB at most, one per file being copied
constexpr uint32_t kTargetPathLimit = 259;
// Bounds against crafted trees, beside the folder walk's own (disc/tree.h):
// files and bytes copied in all. A real disc is far below each (its game
// folder holds about 125 files and 150 MiB, and a CD holds at most ~900 MB);
// files sharing data could otherwise make a small image write terabytes.
constexpr uint32_t kMaxExtractFiles = 65536;
constexpr uint64_t kMaxExtractBytes = uint64_t{2} << 30;  // 2 GiB

// What one extraction may still do, shared by all its levels.
struct ExtractBudget {
  DiscTree tree;
  uint32_t files_left;
  uint64_t bytes_left;
};

// The state of copying one disc directory; each level owns its own while it is
// walked, and adds its count to its parent's when done.
struct ExtractContext {
  HANDLE image;                        // the open image file
  WCHAR dest[kTargetPathLimit + 1];    // the directory on disk receiving this level
  uint32_t files;                      // file records handled below this level
  uint32_t ok;                         // 1 until the first failure
  ExtractBudget* budget;               // the extraction's, shared by every level
};

// False for names that must never become a path component on disk: empty,
// made only of dots and spaces ("." and ".." among them), holding a separator,
// a drive or stream colon, a wildcard or other character Windows forbids, or a
// control byte, and the names Windows takes for devices (CON, NUL, COM1, ...),
// as it matches them: whatever follows a dot and trailing spaces ignored.
bool IsSafeDiscName(const char* name);
bool IsSafeWideName(const WCHAR* name);

// Copies one record below the context's dest (a visitor; the context is an
// ExtractContext). Returns the context's ok, so the first failure stops every
// walk above it. Unsafe names are logged (control bytes shown as '?', so a
// name cannot break or forge a log line) and skipped.
int ExtractVisitor(const char* name, const DiscEntry& entry, void* context);

// Creates the data directory and copies the tree of `folder` into it. `files`
// gets the number of file records handled (0 when `folder` itself could not
// be read). True when everything was copied.
bool ExtractDiscFolder(HANDLE image, const DiscEntry& folder, uint32_t* files);
