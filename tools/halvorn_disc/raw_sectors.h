// Sectors of a raw CD image as a drive reads them, and the 2048 bytes of
// user data each carries. Pure functions over buffers.
//
// A raw sector is 2352 bytes: 12 bytes of sync (00, ten FF, 00), a 4-byte
// header (address in BCD minutes, seconds, frames, then the mode), then
// MODE1: 2048 bytes of user data at 16, the EDC of bytes 0..2063 at 2064;
// MODE2 XA: an 8-byte subheader at 16, then Form 1: user data at 24, the EDC
// of bytes 16..2071 at 2072; Form 2 (submode bit 0x20): 2324 bytes at 24,
// an optional EDC of bytes 16..2347 at 2348. Some readers add 96 bytes of
// subchannel after each sector (2448 bytes), and some keep MODE2 sectors
// without sync and header (2336 bytes, the subheader first).
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kUserDataSize = 2048;
constexpr uint32_t kRawSectorSize = 2352;
constexpr uint32_t kRawSubchannelSectorSize = 2448;
constexpr uint32_t kMode2HeaderlessSize = 2336;
constexpr uint32_t kRawSyncSize = 12;
constexpr uint32_t kRawModeByte = 15;
constexpr uint32_t kMode1DataOffset = 16;
constexpr uint32_t kMode1EdcOffset = 2064;
constexpr uint32_t kSubheaderOffset = 16;
constexpr uint32_t kSubmodeByte = 2;  // within the subheader
constexpr uint8_t kSubmodeForm2 = 0x20;
constexpr uint32_t kForm1DataOffset = 24;
constexpr uint32_t kForm1EdcOffset = 2072;
constexpr uint32_t kForm2EdcOffset = 2348;
static_assert(kMode1EdcOffset == kMode1DataOffset + kUserDataSize);
static_assert(kForm1EdcOffset == kForm1DataOffset + kUserDataSize);
static_assert(kForm2EdcOffset == kForm1DataOffset + 2324);

// How the sectors of one track lie in a file.
struct SectorLayout {
  uint32_t size;         // bytes a sector takes in the file: 2048, 2336, 2352 or 2448
  uint32_t data_offset;  // where its 2048 bytes of user data start
  uint8_t mode;          // 1 or 2 for raw sectors; 0 for plain 2048-byte ones
};

constexpr SectorLayout kPlainLayout = {kUserDataSize, 0, 0};

// The error-detection code: CRC-32 with the reflected polynomial 0xD8018001,
// initial value 0, no final inversion.
uint32_t ComputeEdc(const uint8_t* data, size_t size);

bool HasRawSync(const uint8_t* sector);

// Recognises raw sectors from the first bytes of a track (`size` of them):
// a sync at 0 and a mode byte of 1 or 2, the stride 2352 or 2448 from the
// syncs of up to 15 further sectors (pass 16 sectors' worth when there are).
// False when the bytes are not raw sectors.
bool DetectRawLayout(const uint8_t* head, size_t size, SectorLayout* out);

// Whether a sector of `layout` arrived as written: its sync and mode, and its
// EDC. Plain sectors carry nothing to check and are always intact.
bool SectorIntact(const uint8_t* sector, const SectorLayout& layout);

// Moves the user data of `count` sectors of `layout` to the front of
// `buffer`, 2048 bytes each, in order.
void CompactUserData(uint8_t* buffer, uint32_t count, const SectorLayout& layout);
