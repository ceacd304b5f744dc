// The files of the game folder "HV1" on disc 1 of the compilation, with their
// exact sizes: an image is accepted only when every row is there.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct ManifestEntry {
  const WCHAR* path;  // relative to the disc's HV1 folder, backslash-separated
  uint32_t size;      // exact length in bytes
};

// 120 rows under GAMEDAT, 3 under STREAMS (each group in ascending name
// order), then the main program; tested in this order.
constexpr uint32_t kDiscManifestCount = 124;
extern const ManifestEntry kDiscManifest[kDiscManifestCount];

// A manifest as the install takes it: the game's, or a test's own.
struct DiscManifest {
  const ManifestEntry* rows;
  uint32_t count;
};
constexpr DiscManifest kGameManifest{kDiscManifest, kDiscManifestCount};
