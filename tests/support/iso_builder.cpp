#include "tests/support/iso_builder.h"

#include <fstream>
#include <utility>

namespace {

constexpr uint32_t kSector = 2048;

void PutBoth32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    s[at + i] = static_cast<char>(v >> (8 * i));
    s[at + 4 + i] = static_cast<char>(v >> (8 * (3 - i)));
  }
}

}  // namespace

void PutIsoBytes(IsoImage& image, uint64_t offset, const std::string& bytes) {
  if (image.bytes.size() < offset + bytes.size()) image.bytes.resize(offset + bytes.size(), '\0');
  image.bytes.replace(offset, bytes.size(), bytes);
}

IsoImage NewIsoImage() {
  IsoImage image;
  image.bytes.assign(18 * kSector, '\0');
  for (auto [block, type] : {std::pair{16, 1}, std::pair{17, 0xFF}}) {  // primary, terminator
    std::string descriptor(kSector, '\0');
    descriptor[0] = static_cast<char>(type);
    descriptor.replace(1, 5, "CD001");
    descriptor[6] = 1;
    PutIsoBytes(image, block * kSector, descriptor);
  }
  image.next_block = 18;
  return image;
}

void SetIsoRoot(IsoImage& image, uint32_t extent, uint32_t size) {
  PutIsoBytes(image, 16 * kSector + 156, IsoRecord(std::string(1, '\0'), extent, size, true));
}

std::string IsoRawRecord(uint8_t length, uint8_t id_length, const std::string& id,
                         uint32_t extent, uint32_t size, bool dir) {
  std::string r(33, '\0');
  r[0] = static_cast<char>(length);
  PutBoth32(r, 2, extent);
  PutBoth32(r, 10, size);
  r[25] = dir ? 2 : 0;
  r[28] = 1;  // volume sequence number
  r[31] = 1;
  r[32] = static_cast<char>(id_length);
  r += id;
  r.resize(length, '\0');  // padded, or cut inside the fixed part
  return r;
}

std::string IsoRecord(const std::string& id, uint32_t extent, uint32_t size, bool dir) {
  size_t length = 33 + id.size();
  if (length % 2 != 0) ++length;
  return IsoRawRecord(static_cast<uint8_t>(length), static_cast<uint8_t>(id.size()), id, extent,
                      size, dir);
}

uint32_t AddIsoFile(IsoImage& image, const std::string& data) {
  uint32_t sectors = static_cast<uint32_t>((data.size() + kSector - 1) / kSector);
  uint32_t extent = ReserveIsoBlocks(image, sectors == 0 ? 1 : sectors);  // an empty file too
  PutIsoBytes(image, uint64_t{extent} * kSector, data);
  return extent;
}

uint32_t ReserveIsoBlocks(IsoImage& image, uint32_t sectors) {
  uint32_t extent = image.next_block;
  image.next_block += sectors;
  image.bytes.resize(uint64_t{image.next_block} * kSector, '\0');
  return extent;
}

namespace {

// Self and parent records first, then `records`, none crossing a sector,
// zero-padded to whole sectors.
std::string DirectoryBytes(uint32_t extent, uint32_t parent_extent, uint32_t size,
                           const std::vector<std::string>& records) {
  std::string data = IsoRecord(std::string(1, '\0'), extent, size, true) +
                     IsoRecord(std::string(1, '\1'), parent_extent, kSector, true);
  for (const std::string& r : records) {
    if (data.size() % kSector + r.size() > kSector) data.resize((data.size() / kSector + 1) * kSector);
    data += r;
  }
  data.resize((data.size() + kSector - 1) / kSector * kSector, '\0');
  return data;
}

}  // namespace

uint32_t IsoDirectorySectors(const std::vector<std::string>& records) {
  return static_cast<uint32_t>(DirectoryBytes(0, 0, 0, records).size() / kSector);
}

uint32_t PutIsoDirectory(IsoImage& image, uint32_t extent, uint32_t parent_extent,
                         const std::vector<std::string>& records) {
  uint32_t size = IsoDirectorySectors(records) * kSector;
  PutIsoBytes(image, uint64_t{extent} * kSector, DirectoryBytes(extent, parent_extent, size, records));
  return size;
}

void SaveIsoImage(const IsoImage& image, const std::filesystem::path& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(image.bytes.data(), static_cast<std::streamsize>(image.bytes.size()));
}

void PutIsoRootWithFolder(IsoImage& image, const std::vector<std::string>& hv1_records) {
  uint32_t root = ReserveIsoBlocks(image, 1);
  uint32_t hv1 = ReserveIsoBlocks(image, IsoDirectorySectors(hv1_records));
  uint32_t hv1_size = PutIsoDirectory(image, hv1, root, hv1_records);
  SetIsoRoot(image, root, PutIsoDirectory(image, root, root, {IsoRecord("HV1", hv1, hv1_size, true)}));
}
