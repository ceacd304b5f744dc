// A byte-by-byte ISO 9660 image builder for tests that need images no
// mastering program would write: malformed records, hostile names, loops.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct IsoImage {
  std::string bytes;        // the whole image, grown as needed
  uint32_t next_block = 0;  // first block not yet handed out
};

// An image with a primary volume descriptor at block 16 and a terminator at
// 17; blocks from 18 on are handed out by the functions below. The root is
// set with SetIsoRoot.
IsoImage NewIsoImage();
void SetIsoRoot(IsoImage& image, uint32_t extent, uint32_t size);

// A well-formed directory record (length even, both-endian fields filled).
std::string IsoRecord(const std::string& id, uint32_t extent, uint32_t size, bool dir);
// A record with its length and identifier length given as they should be
// stored, whatever the identifier really holds (padded or cut to `length`).
std::string IsoRawRecord(uint8_t length, uint8_t id_length, const std::string& id,
                         uint32_t extent, uint32_t size, bool dir);

// Writes bytes at an offset, growing the image.
void PutIsoBytes(IsoImage& image, uint64_t offset, const std::string& bytes);
// Puts file data at the next free blocks; returns its extent.
uint32_t AddIsoFile(IsoImage& image, const std::string& data);
// Reserves blocks for a directory of `sectors` sectors; returns its extent.
uint32_t ReserveIsoBlocks(IsoImage& image, uint32_t sectors);
// Lays out a directory at `extent` as a mastering program does: its self and
// parent records first, then `records`, none crossing a sector, zero-padded.
// Returns its size in bytes (whole sectors).
uint32_t PutIsoDirectory(IsoImage& image, uint32_t extent, uint32_t parent_extent,
                         const std::vector<std::string>& records);
// Sectors PutIsoDirectory needs for these records.
uint32_t IsoDirectorySectors(const std::vector<std::string>& records);

void SaveIsoImage(const IsoImage& image, const std::filesystem::path& path);

// One call for the common case: root -> HV1 -> the given records of HV1
// (files added with AddIsoFile, directories made by the caller).
void PutIsoRootWithFolder(IsoImage& image, const std::vector<std::string>& hv1_records);
