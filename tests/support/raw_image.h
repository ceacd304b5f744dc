// Raw CD images made from ISO 9660 images, in each form the tool converts:
// sectors with sync, BCD address, mode, user data and a correct EDC (the ECC
// left zero), optionally wrapped in an .nrg layout.
#pragma once

#include <cstdint>
#include <string>

#include "tools/halvorn_disc/raw_sectors.h"

constexpr SectorLayout kMode1Raw = {kRawSectorSize, kMode1DataOffset, 1};
constexpr SectorLayout kMode2Raw = {kRawSectorSize, kForm1DataOffset, 2};
constexpr SectorLayout kMode1Sub = {kRawSubchannelSectorSize, kMode1DataOffset, 1};
constexpr SectorLayout kMode2Sub = {kRawSubchannelSectorSize, kForm1DataOffset, 2};

// The sectors of `iso` in `layout` (plain ones copied), `pregap` zero-filled
// sectors first; the byte at `damaged_block`'s user data flipped after its
// EDC was computed (none when negative).
std::string RawSectors(const std::string& iso, const SectorLayout& layout, uint32_t pregap = 0,
                       int64_t damaged_block = -1);

// An .nrg image of one track, RawSectors(iso, layout, pregap), then the
// chunks and the footer. `v2` picks NER5 with 64-bit offsets, `dao`
// DAOX/DAOI over ETN2/ETNF; `empty` makes the track table's track end where
// it starts.
std::string NrgImage(const std::string& iso, const SectorLayout& layout, uint32_t pregap, bool v2,
                     bool dao, bool empty = false);

// `raw` (raw sectors of `layout`) as an .ecm, the public error-code-modeler
// form: MODE1 sectors as type 1 records (address and data), MODE2 ones as
// their sync and header kept (type 0) and a type 2 record (subheader and
// data); then the end and the stream's checksum.
std::string EcmImage(const std::string& raw, const SectorLayout& layout);
