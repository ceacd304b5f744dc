#include "tests/support/raw_image.h"

std::string RawSectors(const std::string& iso, const SectorLayout& l, uint32_t pregap,
                       int64_t damaged_block) {
  auto bcd = [](uint32_t v) { return static_cast<char>((v / 10) << 4 | (v % 10)); };
  std::string out(size_t{pregap} * l.size, '\0');
  for (uint32_t b = 0; size_t{b} * kUserDataSize < iso.size(); ++b) {
    std::string s = iso.substr(size_t{b} * kUserDataSize, kUserDataSize);
    if (l.size != kUserDataSize) {
      uint32_t at = b + 150;  // the address counts the 2-second lead-in
      s = std::string("\0\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\0", 12) + bcd(at / 4500) +
          bcd(at / 75 % 60) + bcd(at % 75) + static_cast<char>(l.mode) +
          (l.mode == 2 ? std::string("\0\0\x08\0\0\0\x08\0", 8) : "") + s;
      size_t from = l.mode == 1 ? 0 : 16;  // what the EDC covers
      uint32_t edc = ComputeEdc(reinterpret_cast<const uint8_t*>(s.data()) + from, s.size() - from);
      for (int i = 0; i < 4; ++i) s += static_cast<char>(edc >> (8 * i));
      s.resize(l.size, '\0');
    }
    if (b == damaged_block) s[l.data_offset + 100] ^= 0x40;
    out += s;
  }
  return out;
}
