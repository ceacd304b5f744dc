// A byte-by-byte ISO 9660 image builder for tests that need images no
// mastering program would write: malformed records, hostile names, loops.
// Everything is appended at the image's end, a whole number of sectors, so
// the next extent handed out is IsoNextBlock().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct IsoImage {
  std::string bytes;
};

// A primary volume descriptor at block 16 and a terminator at 17; the root is
// set with SetIsoRoot.
IsoImage NewIsoImage();
uint32_t IsoNextBlock(const IsoImage& image);

// A well-formed directory record (length even, both-endian fields filled).
std::string IsoRecord(const std::string& id, uint32_t extent, uint32_t size, bool dir);

// Appends file data (an empty file takes a sector too); returns its extent.
uint32_t AddIsoFile(IsoImage& image, const std::string& data);
// Appends a directory laid out as a mastering program does: its self and
// parent records first (of size 0, which nothing reads), then `records`, none
// crossing a sector, zero-padded.
// Returns the record naming it `id`.
std::string AddIsoDirectory(IsoImage& image, const std::string& id,
                            const std::vector<std::string>& records);
// The descriptor's root record: a directory's record named "" (34 bytes).
void SetIsoRoot(IsoImage& image, const std::string& record);
// One call for the common case: root -> HV1 -> the given records of HV1.
void PutIsoRootWithFolder(IsoImage& image, const std::vector<std::string>& hv1_records);
