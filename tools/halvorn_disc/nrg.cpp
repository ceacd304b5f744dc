#include "tools/halvorn_disc/nrg.h"

#include <cstdio>
#include <cstring>

namespace {

// Disc-at-once: a 22-byte header (size, catalogue number, kind, first and
// last track), then one entry a track: ISRC (12), sector size (2), mode (2),
// 2 more, then the gap, data and end offsets (8 bytes each in DAOX, 4 in DAOI).
constexpr size_t kDaoHeader = 22;
constexpr size_t kDaoSectorSize = 12;
constexpr size_t kDaoOffsets = 18;
// Track-at-once entries: offset and size (8 bytes each in ETN2, 4 in ETNF),
// then mode, start block and 4 more (4 bytes each).

uint64_t Be(const uint8_t* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v = v << 8 | p[i];
  return v;
}

bool Fail(char* why, const char* text) {
  std::snprintf(why, kNrgWhySize, "%s", text);
  return false;
}

// Sector size of a track-at-once mode.
uint32_t EtnSectorSize(uint32_t mode) {
  switch (mode) {
    case 0:
      return 2048;
    case 3:
      return 2336;
    case 5:
    case 6:
    case 7:
      return 2352;
    default:
      return 0;
  }
}

}  // namespace

bool ReadNrgFooter(const uint8_t tail[kNrgFooterSize], uint64_t file_size, uint64_t* chunks,
                   bool* v2) {
  if (file_size < kNrgFooterSize) return false;
  if (std::memcmp(tail, "NER5", 4) == 0) {
    *chunks = Be(tail + 4, 8);
    *v2 = true;
  } else if (std::memcmp(tail + 4, "NERO", 4) == 0) {
    *chunks = Be(tail + 8, 4);
    *v2 = false;
  } else {
    return false;
  }
  return *chunks < file_size - (*v2 ? 12 : 8);
}

bool ParseNrgChunks(const uint8_t* data, size_t size, bool v2, NrgTrack* out, char* why) {
  size_t field = v2 ? 8 : 4;
  for (size_t at = 0; at + 8 <= size;) {
    const uint8_t* id = data + at;
    uint64_t length = Be(data + at + 4, 4);
    if (std::memcmp(id, "END!", 4) == 0) break;
    if (length > size - at - 8) return Fail(why, "a chunk of its table runs past the file's end");
    const uint8_t* body = data + at + 8;
    bool dao = std::memcmp(id, v2 ? "DAOX" : "DAOI", 4) == 0;
    bool etn = std::memcmp(id, v2 ? "ETN2" : "ETNF", 4) == 0;
    if (dao) {
      if (length < kDaoHeader + kDaoOffsets + 3 * field)
        return Fail(why, "its track table is cut short");
      const uint8_t* track = body + kDaoHeader;
      out->sector_size = static_cast<uint32_t>(Be(track + kDaoSectorSize, 2));
      out->start = Be(track + kDaoOffsets + field, field);
      out->end = Be(track + kDaoOffsets + 2 * field, field);
      if (out->end < out->start) return Fail(why, "its first track ends before it starts");
      return out->end > out->start || Fail(why, "its first track is empty");
    }
    if (etn) {
      if (length < 2 * field + 12) return Fail(why, "its track table is cut short");
      out->start = Be(body, field);
      out->end = out->start + Be(body + field, field);
      out->sector_size = EtnSectorSize(static_cast<uint32_t>(Be(body + 2 * field, 4)));
      if (out->end < out->start) return Fail(why, "its first track is too long");
      return out->end > out->start || Fail(why, "its first track is empty");
    }
    at += 8 + static_cast<size_t>(length);
  }
  return Fail(why, "its chunks hold no track table");
}
