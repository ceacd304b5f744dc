// Images in the .nrg layout: the sectors first, then chunks (a 4-byte id, a
// big-endian 32-bit size, the data) up to "END!", and a footer at the very
// end giving where the chunks start: "NER5" and a 64-bit offset in the last
// 12 bytes, or "NERO" and a 32-bit one in the last 8. Pure functions.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t kNrgFooterSize = 12;      // read this much of the tail
constexpr uint32_t kNrgMaxChunks = 1 << 20;  // chunk data read at most
constexpr uint32_t kNrgWhySize = 160;

// The first track as its chunk gives it: byte offsets in the file, and the
// sector size (0 when the chunk leaves it to the data).
struct NrgTrack {
  uint64_t start;
  uint64_t end;
  uint32_t sector_size;
};

// From the last 12 bytes of a file of `file_size` bytes: where its chunks
// start. False when there is no footer or the offset is not inside the file.
bool ReadNrgFooter(const uint8_t tail[kNrgFooterSize], uint64_t file_size, uint64_t* chunks,
                   bool* v2);

// The first track from the chunks (`size` bytes read from the offset the
// footer gives): the first entry of the first DAOX/DAOI (disc at once) or
// ETN2/ETNF (track at once) chunk. False, with the reason, when there is
// none, a chunk runs past the data, or the track is empty (wherever it
// starts: an end of 0 is never "to the end of the file" here).
bool ParseNrgChunks(const uint8_t* chunks, size_t size, bool v2, NrgTrack* out, char* why);
