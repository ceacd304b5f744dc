// Whether the game data is installed, decided from what lies on disk.
#pragma once

#include "platform/platform.h"

// True when the data directory's GAMEDAT folder holds 20 or more files and
// no install is under way there, or cut off (see FindUnfinishedMark).
bool IsDataInstalled();

// The count alone: GAMEDAT holds 20 or more files.
bool GamedatHoldsEnough();

// An install records in the data directory that it is under way, before its
// first file, and removes the record once the copy and the check of what it
// copied have passed. A record left by a copy that failed, or by a process
// that was killed, keeps the data from counting as installed. Data installed
// before there was such a record has none and counts by its files alone.
constexpr uint32_t kUnfinishedMarkLimit = 300;
void UnfinishedMarkPath(WCHAR* out);  // out holds kUnfinishedMarkLimit + 1 units

enum class UnfinishedMark { kAbsent, kPresent, kUnknown };  // kUnknown: it can't be looked for
UnfinishedMark FindUnfinishedMark();
