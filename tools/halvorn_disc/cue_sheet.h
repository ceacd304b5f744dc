// The first track of a .cue sheet: which file holds it, how its sectors lie
// and where it starts and ends. A pure parser over the sheet's bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/halvorn_disc/raw_sectors.h"

constexpr uint32_t kCueNameSize = 512;
constexpr uint32_t kCueWhySize = 160;

struct CueTrack {
  char file[kCueNameSize];  // the data file as the sheet names it (its bytes)
  SectorLayout layout;
  uint64_t start;  // sectors from the file's start to INDEX 01
  uint64_t end;    // where the next track in the same file starts; 0: the file's end
};

// Reads FILE, TRACK and INDEX lines (others are skipped). False, with the
// reason in `why`, when there is no first track, it is audio or of a kind
// that carries no 2048-byte user data, or a line is malformed.
bool ParseCueSheet(const char* text, size_t size, CueTrack* out, char* why);
