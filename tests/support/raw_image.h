// Raw CD images made from ISO 9660 images, as disc-imaging programs write
// them from a data disc.
#pragma once

#include <cstdint>
#include <string>

#include "tools/halvorn_disc/raw_sectors.h"

constexpr SectorLayout kMode1Raw = {kRawSectorSize, kMode1DataOffset, 1};
constexpr SectorLayout kMode2Raw = {kRawSectorSize, kForm1DataOffset, 2};
constexpr SectorLayout kMode1Sub = {kRawSubchannelSectorSize, kMode1DataOffset, 1};

// The sectors of `iso` in `layout` after `pregap` zero-filled ones: sync, BCD
// address, mode, for MODE2 a Form 1 subheader (twice), the user data and its
// EDC, the rest zero (plain sectors copied). The byte at `damaged_block`'s
// user data is flipped after its EDC was computed (none when negative).
std::string RawSectors(const std::string& iso, const SectorLayout& layout, uint32_t pregap = 0,
                       int64_t damaged_block = -1);
