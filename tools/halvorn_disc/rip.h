// Reading disc 1 from a CD drive into an .iso, as a careful ripper does: the
// volume's sectors up to the size its primary descriptor declares, in large
// reads; a read that fails is done again a sector at a time, each tried
// several times; a sector still unreadable is written as zeros, counted and
// named by the files it lies in. The result is written beside its name and
// renamed once whole (partial_output.h), then checked as the launcher checks.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

constexpr uint32_t kRipChunkSectors = 64;       // 128 KiB a read
constexpr uint32_t kRipTries = 5;               // reads of a failing sector before it is given up
constexpr uint32_t kMaxUnreadableSectors = 2048;  // 4 MiB of zeros: past that the disc is lost
// A CD holds about 360,000 sectors, a DVD about 2.3 million; a volume size
// past this is no disc's.
constexpr uint32_t kMaxRipSectors = 4u << 20;

// Rips `drive` (as the player names it: "D:" or "D:\"; on the Linux build a
// device or a file standing in for one; null: the optical drive holding disc
// 1, found by asking each, and what the others hold said) into `out_path`
// (null: into the release folder, beside the launcher, said where and why).
// Progress goes to `progress` on one line. Ends with one sentence; 0 only
// when every sector was read and the launcher accepts the image.
int RipCommand(const WCHAR* drive, const WCHAR* out_path, FILE* out, FILE* progress);

// Whether `arg` names a CD or DVD drive ("D:", "D:\"), as Windows passes a
// drive dropped on the program.
bool IsOpticalDrive(const WCHAR* arg);
