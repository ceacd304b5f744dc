// Copying the HV1 folder tree of an accepted image into the data directory.
#pragma once

#include <cstdint>

#include "disc/reader.h"
#include "platform/platform.h"

constexpr uint32_t kCopyBufferSize = 0x100000;  // 1 MiB, one per file being copied
constexpr uint32_t kTargetPathLimit = 259;
// Bounds against crafted trees: nesting, and directories copied in all (a
// directory reached twice through two records is copied twice; without a
// total bound such sharing multiplies the work at every level).
constexpr uint32_t kMaxExtractDepth = 64;
constexpr uint32_t kMaxExtractDirectories = 65536;

// The state of copying one disc directory; each level owns its own while it is
// walked, and adds its count to its parent's when done.
struct ExtractContext {
  HANDLE image;                        // the open image file
  WCHAR dest[kTargetPathLimit + 1];    // the directory on disk receiving this level
  uint32_t files;                      // file records handled below this level
  uint32_t ok;                         // 1 until the first failure
  // The ancestor chain and the shared directory budget.
  const ExtractContext* parent;        // the level above, null at the top
  uint32_t extent;                     // the disc directory this level walks
  uint32_t depth;                      // 0 at the top
  uint32_t* directories_left;
};

// False for names that must never become a path component on disk: empty,
// made only of dots and spaces ("." and ".." among them), holding a separator,
// a drive or stream colon, a wildcard or other character Windows forbids, or a
// control byte, and the Windows device names (CON, NUL, COM1, ...).
bool IsSafeDiscName(const char* name);
bool IsSafeWideName(const WCHAR* name);

// Copies one record below the context's dest (a visitor; the context is an
// ExtractContext). Returns the context's ok, so the first failure stops every
// walk above it. Unsafe names are logged and skipped.
int ExtractVisitor(const char* name, const DiscEntry& entry, void* context);

// Creates the data directory and copies the tree of `folder` into it. `files`
// gets the number of file records handled (0 when `folder` itself could not
// be read). True when everything was copied.
bool ExtractDiscFolder(HANDLE image, const DiscEntry& folder, uint32_t* files);
