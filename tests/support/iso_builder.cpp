#include "tests/support/iso_builder.h"

namespace {

constexpr uint32_t kSector = 2048;

void PutBoth32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) {
    s[at + i] = static_cast<char>(v >> (8 * i));
    s[at + 4 + i] = static_cast<char>(v >> (8 * (3 - i)));
  }
}

}  // namespace

IsoImage NewIsoImage() {
  IsoImage image{std::string(18 * kSector, '\0')};
  image.bytes.replace(16 * kSector, 7, "\1CD001\1");    // primary
  image.bytes.replace(17 * kSector, 7, "\377CD001\1");  // terminator
  return image;
}

uint32_t IsoNextBlock(const IsoImage& image) {
  return static_cast<uint32_t>(image.bytes.size() / kSector);
}

std::string IsoRecord(const std::string& id, uint32_t extent, uint32_t size, bool dir) {
  std::string r(33, '\0');
  r[0] = static_cast<char>(33 + id.size() + (id.size() + 1) % 2);  // even
  PutBoth32(r, 2, extent);
  PutBoth32(r, 10, size);
  r[25] = dir ? 2 : 0;
  r[28] = r[31] = 1;  // volume sequence number, both-endian
  r[32] = static_cast<char>(id.size());
  r += id;
  r.resize(static_cast<uint8_t>(r[0]), '\0');
  return r;
}

uint32_t AddIsoFile(IsoImage& image, const std::string& data) {
  uint32_t extent = IsoNextBlock(image);
  uint64_t sectors = data.empty() ? 1 : (data.size() + kSector - 1) / kSector;
  image.bytes += data;
  image.bytes.resize((extent + sectors) * kSector, '\0');
  return extent;
}

std::string AddIsoDirectory(IsoImage& image, const std::string& id,
                            const std::vector<std::string>& records) {
  // Self and parent records first: the reader skips both, so their extent
  // and size (the folder's own, 0) are never read.
  uint32_t extent = IsoNextBlock(image);
  std::string data = IsoRecord(std::string(1, '\0'), extent, 0, true) +
                     IsoRecord(std::string(1, '\1'), extent, 0, true);
  for (const std::string& r : records) {
    if (data.size() % kSector + r.size() > kSector)
      data.resize((data.size() / kSector + 1) * kSector);
    data += r;
  }
  data.resize((data.size() + kSector - 1) / kSector * kSector, '\0');
  image.bytes += data;
  return IsoRecord(id, extent, static_cast<uint32_t>(data.size()), true);
}

void SetIsoRoot(IsoImage& image, const std::string& record) {
  image.bytes.replace(16 * kSector + 156, record.size(), record);
}

void PutIsoRootWithFolder(IsoImage& image, const std::vector<std::string>& hv1_records) {
  std::string hv1 = AddIsoDirectory(image, "HV1", hv1_records);
  SetIsoRoot(image, AddIsoDirectory(image, "", {hv1}));
}
