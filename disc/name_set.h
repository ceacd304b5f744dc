// The names met so far in each folder of one walk. A folder may hold several
// records of one name: versions of a file (X.DAT;1 and X.DAT;2), or names
// that differ only in case, which name one file on Windows. The check of an
// image resolves a name to the first such record, so the copy takes that one
// too and skips the rest: what is installed is what was checked. ISO 9660
// lists the highest version of a name first, so the first is also the file's
// current version.
#pragma once

#include <cstdint>

#include "disc/reader.h"

struct NameSlot {
  uint64_t folder;  // the folder's extent plus one; 0 marks an empty slot
  char name[kDiscNameSize];  // ASCII letters in upper case, as names are compared
};

struct NameSet {
  NameSlot* slots;
  uint32_t capacity;  // a power of two
  uint32_t used;
};

enum class NameAdded { kNew, kSeen, kNoRoom };

void BeginNameSet(NameSet* set);
void EndNameSet(NameSet* set);

// Adds `name` as met in the folder at `folder_extent`: kSeen when a record of
// that name (ASCII case ignored) came before it there, kNoRoom when the set
// cannot grow (out of memory, or past what one walk may copy).
NameAdded AddName(NameSet* set, uint32_t folder_extent, const char* name);
