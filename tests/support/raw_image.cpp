#include "tests/support/raw_image.h"

namespace {

char Bcd(uint32_t v) { return static_cast<char>((v / 10) << 4 | (v % 10)); }

// `v` in `bytes` bytes, big-endian (as .nrg chunks hold it) unless told.
std::string Bytes(uint64_t v, int bytes, bool big = true) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(v >> (8 * (big ? bytes - 1 - i : i)));
  return out;
}

// Sync, BCD address, mode, for mode 2 a Form 1 data subheader (twice), the
// user data and its EDC, the ECC left zero; subchannel bytes past 2352.
std::string RawSector(const std::string& data, uint32_t block, const SectorLayout& l) {
  uint32_t address = block + 150;
  std::string s = std::string(1, '\0') + std::string(10, '\xFF') + std::string(1, '\0') +
                  Bcd(address / 4500) + Bcd(address / 75 % 60) + Bcd(address % 75) +
                  static_cast<char>(l.mode);
  if (l.mode == 2) s += std::string("\0\0\x08\0\0\0\x08\0", 8);
  s += data;
  size_t from = l.mode == 1 ? 0 : 16;  // what the EDC covers
  s += Bytes(ComputeEdc(reinterpret_cast<const uint8_t*>(s.data()) + from, s.size() - from), 4,
             false);
  s.resize(kRawSectorSize, '\0');
  for (uint32_t i = kRawSectorSize; i < l.size; ++i) s += static_cast<char>(i * 7);
  return s;
}

}  // namespace

std::string RawSectors(const std::string& iso, const SectorLayout& l, uint32_t pregap,
                       int64_t damaged_block) {
  std::string out(size_t{pregap} * l.size, '\0');
  for (uint32_t b = 0; size_t{b} * kUserDataSize < iso.size(); ++b) {
    std::string data = iso.substr(size_t{b} * kUserDataSize, kUserDataSize);
    std::string sector = l.size == kUserDataSize ? data : RawSector(data, b, l);
    if (b == damaged_block) sector[l.data_offset + 100] ^= 0x40;
    out += sector;
  }
  return out;
}

std::string NrgImage(const std::string& iso, const SectorLayout& l, uint32_t pregap, bool v2,
                     bool dao, bool empty) {
  std::string sectors = RawSectors(iso, l, pregap);
  uint64_t start = uint64_t{pregap} * l.size;
  int field = v2 ? 8 : 4;
  // DAO: size, catalogue number, kind, first and last track, then the track's
  // ISRC, sector size, mode, index 0, index 1 and end; TAO: the track's start,
  // length and mode.
  std::string body = dao ? std::string(34, '\0') + Bytes(l.size, 2) +
                               Bytes(l.size == 2048 ? 0 : 5, 2) + Bytes(0, 2) + Bytes(0, field) +
                               Bytes(start, field) + Bytes(empty ? start : sectors.size(), field)
                         : Bytes(start, field) + Bytes(empty ? 0 : sectors.size() - start, field) +
                               Bytes(l.size == 2048 ? 0 : 6, 4) + Bytes(0, 8);
  std::string id = dao ? (v2 ? "DAOX" : "DAOI") : (v2 ? "ETN2" : "ETNF");
  std::string out = sectors + id + Bytes(body.size(), 4) + body + "END!" + Bytes(0, 4);
  return out + (v2 ? "NER5" + Bytes(sectors.size(), 8) : "NERO" + Bytes(sectors.size(), 4));
}

std::string EcmImage(const std::string& raw, const SectorLayout& l) {
  std::string out("ECM\0", 4);
  // The type in 2 bits, the count less one in 5 bits, then 7 bits a byte.
  auto record = [&out](int type, uint32_t count) {
    --count;
    out += static_cast<char>((count >= 32) << 7 | (count & 31) << 2 | type);
    for (count >>= 5; count != 0; count >>= 7) out += static_cast<char>((count >= 128) << 7 | (count & 127));
  };
  size_t sectors = raw.size() / l.size;
  if (l.mode == 1) record(1, static_cast<uint32_t>(sectors));
  for (size_t i = 0; i < sectors; ++i) {
    std::string sector = raw.substr(i * l.size, kRawSectorSize);
    if (l.mode == 1) {
      out += sector.substr(12, 3) + sector.substr(16, 2048);
    } else {
      record(0, 16);
      out += sector.substr(0, 16);
      record(2, 1);
      out += sector.substr(16, 4) + sector.substr(24, 2048);
    }
  }
  record(0, 0);  // the count 0xFFFFFFFF: the end
  return out + Bytes(ComputeEdc(reinterpret_cast<const uint8_t*>(raw.data()), raw.size()), 4, false);
}
