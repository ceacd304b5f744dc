#include "tests/support/raw_image.h"

#include <cstring>

namespace {

uint8_t Bcd(uint32_t v) { return static_cast<uint8_t>((v / 10) << 4 | (v % 10)); }

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string Be(uint64_t v, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>(v >> (8 * i));
  return out;
}

void RawSector(const uint8_t* data, uint32_t block, const SectorLayout& l, uint8_t* s) {
  static const uint8_t kSync[12] = {0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
  std::memset(s, 0, l.size);
  std::memcpy(s, kSync, 12);
  uint32_t address = block + 150;
  s[12] = Bcd(address / (60 * 75));
  s[13] = Bcd(address / 75 % 60);
  s[14] = Bcd(address % 75);
  s[15] = l.mode;
  std::memcpy(s + l.data_offset, data, kUserDataSize);
  if (l.mode == 1) {
    PutLe32(s + kMode1EdcOffset, ComputeEdc(s, kMode1EdcOffset));
  } else {
    s[18] = s[22] = 0x08;  // submode: data, Form 1
    PutLe32(s + kForm1EdcOffset, ComputeEdc(s + 16, kForm1EdcOffset - 16));
  }
  for (uint32_t i = kRawSectorSize; i < l.size; ++i)
    s[i] = static_cast<uint8_t>(i * 7);  // subchannel
}

}  // namespace

std::string RawSectors(const std::string& iso, const SectorLayout& l, uint32_t pregap,
                       int64_t damaged_block) {
  uint32_t blocks = static_cast<uint32_t>(iso.size() / kUserDataSize);
  std::string out(size_t{pregap + blocks} * l.size, '\0');
  for (uint32_t b = 0; b < blocks; ++b) {
    uint8_t* s = reinterpret_cast<uint8_t*>(&out[size_t{pregap + b} * l.size]);
    const uint8_t* data = reinterpret_cast<const uint8_t*>(iso.data()) + size_t{b} * kUserDataSize;
    if (l.size == kUserDataSize) {
      std::memcpy(s, data, kUserDataSize);
    } else {
      RawSector(data, b, l, s);
    }
    if (b == damaged_block) s[l.data_offset + 100] ^= 0x40;
  }
  return out;
}

std::string NrgImage(const std::string& sectors, uint32_t pregap_bytes, uint32_t sector_size,
                     bool v2, bool dao) {
  int field = v2 ? 8 : 4;
  std::string body;
  if (dao) {
    body = std::string(22, '\0');  // size, catalogue number, kind, first and last track
    body += std::string(12, '\0') + Be(sector_size, 2) + Be(sector_size == 2048 ? 0 : 5, 2) +
            Be(0, 2) + Be(0, field) + Be(pregap_bytes, field) + Be(sectors.size(), field);
  } else {
    uint32_t mode = sector_size == 2048 ? 0 : 6;
    body = Be(pregap_bytes, field) + Be(sectors.size() - pregap_bytes, field) + Be(mode, 4) +
           Be(0, 4) + Be(0, 4);
  }
  std::string id = dao ? (v2 ? "DAOX" : "DAOI") : (v2 ? "ETN2" : "ETNF");
  std::string out = sectors + id + Be(body.size(), 4) + body + "END!" + Be(0, 4);
  return out + (v2 ? "NER5" + Be(sectors.size(), 8) : "NERO" + Be(sectors.size(), 4));
}
