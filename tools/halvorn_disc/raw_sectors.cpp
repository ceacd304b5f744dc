#include "tools/halvorn_disc/raw_sectors.h"

#include <cstring>

namespace {

constexpr uint8_t kSync[kRawSyncSize] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

// Eight tables, so the CRC takes eight bytes a step: checking every sector
// must cost little next to reading and writing it.
struct EdcTables {
  uint32_t t[8][256];
};

constexpr EdcTables MakeEdcTables() {
  EdcTables e{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ ((c & 1) ? 0xD8018001u : 0);
    e.t[0][i] = c;
  }
  for (int s = 1; s < 8; ++s) {
    for (uint32_t i = 0; i < 256; ++i)
      e.t[s][i] = (e.t[s - 1][i] >> 8) ^ e.t[0][e.t[s - 1][i] & 0xFF];
  }
  return e;
}

constexpr EdcTables kEdc = MakeEdcTables();

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// Checks an XA subheader and what follows it (`x` points at the subheader).
bool XaIntact(const uint8_t* x) {
  if ((x[kSubmodeByte] & kSubmodeForm2) == 0) {
    return ComputeEdc(x, kForm1EdcOffset - kSubheaderOffset) ==
           Le32(x + kForm1EdcOffset - kSubheaderOffset);
  }
  // Form 2 may leave its EDC out (zero).
  uint32_t stored = Le32(x + kForm2EdcOffset - kSubheaderOffset);
  return stored == 0 || ComputeEdc(x, kForm2EdcOffset - kSubheaderOffset) == stored;
}

}  // namespace

uint32_t ComputeEdc(const uint8_t* p, size_t n) {
  const auto& t = kEdc.t;
  uint32_t crc = 0;
  for (; n >= 8; p += 8, n -= 8) {
    uint32_t lo = Le32(p) ^ crc;
    uint32_t hi = Le32(p + 4);
    crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
          t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
  }
  for (; n > 0; ++p, --n) crc = (crc >> 8) ^ t[0][(crc ^ *p) & 0xFF];
  return crc;
}

bool HasRawSync(const uint8_t* sector) { return std::memcmp(sector, kSync, kRawSyncSize) == 0; }

bool DetectRawLayout(const uint8_t* head, size_t size, SectorLayout* out) {
  if (size < kRawSectorSize || !HasRawSync(head)) return false;
  uint8_t mode = head[kRawModeByte];
  if (mode != 1 && mode != 2) return false;
  // The stride is the one at which more of the next sectors start with a
  // sync (a damaged sector may lack its own); a lone sector reads as 2352.
  uint32_t plain = 0, with_subchannel = 0;
  for (size_t k = 1; k < 16; ++k) {
    if (k * kRawSectorSize + kRawSyncSize <= size) plain += HasRawSync(head + k * kRawSectorSize);
    if (k * kRawSubchannelSectorSize + kRawSyncSize <= size) {
      with_subchannel += HasRawSync(head + k * kRawSubchannelSectorSize);
    }
  }
  uint32_t stride = with_subchannel > plain ? kRawSubchannelSectorSize : kRawSectorSize;
  *out = {stride, mode == 1 ? kMode1DataOffset : kForm1DataOffset, mode};
  return true;
}

bool SectorIntact(const uint8_t* s, const SectorLayout& layout) {
  if (layout.size == kUserDataSize) return true;
  if (layout.size == kMode2HeaderlessSize) return XaIntact(s);
  if (!HasRawSync(s) || s[kRawModeByte] != layout.mode) return false;
  if (layout.mode == 2) return XaIntact(s + kSubheaderOffset);
  return ComputeEdc(s, kMode1EdcOffset) == Le32(s + kMode1EdcOffset);
}

void CompactUserData(uint8_t* buffer, uint32_t count, const SectorLayout& layout) {
  if (layout.size == kUserDataSize) return;
  // Each sector's data moves towards the front, never past data not yet moved.
  for (uint32_t i = 0; i < count; ++i) {
    std::memmove(buffer + size_t{i} * kUserDataSize,
                 buffer + size_t{i} * layout.size + layout.data_offset, kUserDataSize);
  }
}
