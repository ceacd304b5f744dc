// One walk of a disc folder tree, shared by the copy and the diagnostic tool.
// The caller walks each folder with WalkDiscDirectory and its own visitor; a
// visitor meeting a folder record asks EnterDiscFolder first and follows the
// record only when it says kEntered, then calls LeaveDiscFolder.
//
// A crafted image can point many records at one folder (each level doubling
// the work below it), nest folders without end, or make folders overlap
// sector by sector so that each reads 16 MiB of the same bytes. So every
// folder's extent is walked once, nesting is bounded, and so are the folders
// and the directory data one walk reads in all. A real disc is far below each
// bound (the game folder holds a dozen folders of a few KiB), and with them a
// walk's work and memory are bounded whatever the image holds.
#pragma once

#include <cstdint>

#include "disc/reader.h"
#include "platform/platform.h"

constexpr uint32_t kMaxTreeDepth = 64;         // folders below the top one
constexpr uint32_t kMaxTreeFolders = 65536;    // folders walked, the top one included
// Directory data read by one walk, in all; also bounds what the levels being
// walked hold at once (each holds its folder's records while it descends).
constexpr uint64_t kMaxTreeFolderBytes = uint64_t{64} << 20;

enum class FolderEntry {
  kEntered,        // walk it, then call LeaveDiscFolder
  kTooDeep,        // it would be more than kMaxTreeDepth below the top
  kSeen,           // its extent was entered before (a loop or a shared folder)
  kTooManyFolders,
  kTooMuchData,    // its size would take the walk past kMaxTreeFolderBytes
};

struct DiscTree {
  uint32_t depth;             // folders entered and not yet left
  uint32_t folders_left;
  uint64_t bytes_left;
  uint64_t* seen;             // open-addressed set of extents entered, each stored + 1
  uint32_t seen_slots;        // a power of two, twice kMaxTreeFolders
};

// Room for the path of a record below the deepest folder a walk enters.
constexpr uint32_t kTreePathSize = (kMaxTreeDepth + 2) * kDiscNameSize;

// `parent` (a path of kTreePathSize bytes, "" at the top), `separator` and
// `name` joined into `out` (kTreePathSize bytes), for callers naming what
// they walk.
void JoinTreePath(const char* parent, char separator, const char* name, char* out);

// Starts a walk: false when its set of extents cannot be allocated.
bool BeginDiscTree(DiscTree* tree);
void EndDiscTree(DiscTree* tree);

// Checks the bounds for `folder` and, when it may be walked, counts it as
// entered. The top folder is entered like any other, at depth 0.
FolderEntry EnterDiscFolder(DiscTree* tree, const DiscEntry& folder);
void LeaveDiscFolder(DiscTree* tree);
