// Reading the directory tree of an ISO 9660 image that lies in an ordinary
// file, without mounting it: a walk over one directory's records that hands
// each to a visitor, and the resolution of a backslash-separated path.
// Nothing here logs; failures come back to the caller.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr uint32_t kSectorSize = 2048;

// Directory record fields used, as offsets within a record (little-endian
// halves of the both-endian fields).
constexpr uint32_t kRecordLength = 0;
constexpr uint32_t kRecordExtent = 2;
constexpr uint32_t kRecordSize = 10;
constexpr uint32_t kRecordFlags = 25;
constexpr uint32_t kRecordIdLength = 32;
constexpr uint32_t kRecordId = 33;
constexpr uint32_t kRecordMinLength = 34;  // fixed part plus a one-byte identifier
constexpr uint8_t kFlagDirectory = 0x02;
static_assert(kRecordId == kRecordIdLength + 1 && kRecordMinLength == kRecordId + 1);

// Largest directory read into memory (16 MiB).
constexpr uint32_t kMaxDirectorySize = 0x1000000;
// A name holds at most 63 bytes and its terminator; longer identifiers are skipped.
constexpr uint32_t kDiscNameSize = 64;

struct DiscEntry {
  uint32_t extent;  // first logical block
  uint32_t size;    // data length in bytes
  uint32_t is_dir;  // the record's directory flag
};

// Gets each record's normalised name and entry (both valid only during the
// call); returns non-zero to go on, zero to stop the walk.
using DiscVisitor = int (*)(const char* name, const DiscEntry& entry, void* context);

struct DiscLookup {
  const char* name;  // the wanted name
  DiscEntry* out;    // receives the match
  uint32_t found;    // set to 1 by a match; the caller clears it
};

// Little-endian field of a record or descriptor.
inline uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Byte offset of a logical block in the image file.
inline int64_t SectorOffset(uint32_t block) { return int64_t{block} * kSectorSize; }

// The name of an identifier: up to the first ';', one final '.' dropped, cut
// at 63 bytes (callers skip longer identifiers). `out` holds kDiscNameSize bytes.
void NormaliseDiscName(const uint8_t* id, uint32_t length, char* out);

// Walks the records of a directory already in memory. Stops quietly at a
// record that is too short, runs past `size`, or whose identifier runs past
// the record. Returns false only when the visitor stopped the walk.
bool WalkDiscRecords(const uint8_t* records, uint32_t size, DiscVisitor visitor, void* context);

// Reads the directory `dir` from the image with one seek and one read and
// walks it. False (nothing visited) when its size is 0 or above 16 MiB or its
// data cannot be read whole; true otherwise, also when the walk stopped early.
bool WalkDiscDirectory(HANDLE image, const DiscEntry& dir, DiscVisitor visitor, void* context);

// Visitor for lookups by name, case-insensitive on ASCII letters; the context
// is a DiscLookup. The first match stops the walk.
int FindInDiscDirectory(const char* name, const DiscEntry& entry, void* context);

// Directory data a series of resolutions may read in all: each folder read
// is taken from it, and a read that would pass it fails the resolution.
struct FolderBudget {
  uint64_t bytes_left;
  bool exceeded;  // set by the read that would have passed it
};

// Resolves a path of backslash-separated components from `start`; an empty
// component ends the resolution with the entry reached so far. `budget`
// (may be null) bounds the folder data read.
bool ResolveDiscPath(HANDLE image, const DiscEntry& start, const WCHAR* path, DiscEntry* out,
                     FolderBudget* budget = nullptr);
