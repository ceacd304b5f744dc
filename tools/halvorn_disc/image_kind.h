// What an image file the user picked is, and where the first data track lies
// in it: the ISO 9660 image the launcher reads, a raw CD image or a .cue
// sheet or .nrg image holding one, or something that cannot be converted.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/platform.h"
#include "tools/halvorn_disc/raw_sectors.h"

enum class ImageKind {
  kIso,  // 2048-byte sectors with a primary volume at block 16
  kRaw,  // raw sectors from the first byte
  kCue,  // a .cue sheet naming the file that holds the track
  kNrg,
  kEcm,  // an .ecm holding raw sectors (or 2048-byte ones)
  kChd,  // compressed; must be turned back into .cue/.bin first
  kUdf,  // UDF only, no ISO 9660 volume
  kOther,
};

constexpr uint32_t kToolPathUnits = 1024;
constexpr uint32_t kToolTextSize = 4096;  // room for four paths of 259 units

struct ImageSource {
  ImageKind kind;
  WCHAR data_path[kToolPathUnits];  // the file holding the track (the .bin of a .cue)
  uint64_t start;                   // byte offset of the track's first sector
  uint64_t sectors;                 // whole sectors in the track
  uint32_t partial_bytes;           // bytes of a last sector cut short, after them
  uint64_t missing_sectors;         // of the volume its descriptor declares, past the end
  SectorLayout layout;
  char what[kToolTextSize];  // what the file is, in plain words
  char todo[kToolTextSize];  // what to do instead, for what cannot be converted
};

// Whether the track can be written out as an image the launcher reads.
inline bool Convertible(ImageKind kind) {
  return kind == ImageKind::kIso || kind == ImageKind::kRaw || kind == ImageKind::kCue ||
         kind == ImageKind::kNrg || kind == ImageKind::kEcm;
}

// Looks at the file; false only when it cannot be opened or read. A sheet or
// track table that cannot be used makes the file kOther, with the reason.
// An ISO 9660 volume at sector 16 is looked for before raw sectors (its
// system area, sectors 0-15, may hold anything, a CD sync among it). For a
// track that can be converted, the volume its primary descriptor declares is
// compared with the sectors the file holds: `missing_sectors` are those the
// file ends before (a download or a copy that stopped).
bool IdentifyImage(const WCHAR* path, ImageSource* out);

// Says that the image is cut short, how much is missing and what to do.
void SayCutShort(const ImageSource& src, FILE* out);


// Byte length of an open file, or -1.
int64_t FileSizeOf(HANDLE file);

// Reads up to `size` bytes at `offset`, a read that gives less asked again
// for the rest, stopping at the file's end; the count read, or -1 when a call
// fails (GetLastError says why).
int64_t ReadAt(HANDLE file, uint64_t offset, uint8_t* buffer, uint32_t size);

// Units in a terminated wide text.
size_t WideUnits(const WCHAR* text);

// UTF-8 of a path, for messages (cut to fit).
void PathUtf8(const WCHAR* path, char* out, uint32_t size);
// The same, written to `stream`.
void PutWide(FILE* stream, const WCHAR* text);
