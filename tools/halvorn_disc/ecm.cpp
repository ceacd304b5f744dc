#include "tools/halvorn_disc/ecm.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/halvorn_disc/raw_sectors.h"

namespace {

constexpr uint8_t kMagic[4] = {'E', 'C', 'M', 0};
constexpr uint32_t kEnd = 0xFFFFFFFFu;

bool Fail(char* why, const char* text) {
  std::snprintf(why, kEcmWhySize, "%s", text);
  return false;
}

// The next input byte; false at the file's end or a failed read.
bool NextByte(EcmReader* r, uint8_t* byte) {
  if (r->input_at == r->input_end) {
    DWORD got = 0;
    if (!ReadFile(r->file, r->input, kEcmInputSize, &got, nullptr) || got == 0) return false;
    r->input_at = 0;
    r->input_end = got;
  }
  *byte = r->input[r->input_at++];
  return true;
}

bool NextBytes(EcmReader* r, uint8_t* out, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) {
    if (!NextByte(r, out + i)) return false;
  }
  return true;
}

// A record's type and count: 2 bits of type and 5 of count, then 7 bits of
// count a byte while the top bit is set. The count is stored less one.
bool NextRecord(EcmReader* r, char* why) {
  uint8_t c = 0;
  if (!NextByte(r, &c)) return Fail(why, "it ends before its last record (cut short?)");
  int type = c & 3;
  uint32_t count = (c >> 2) & 0x1F;
  for (int bits = 5; c & 0x80; bits += 7) {
    if (bits > 31 || !NextByte(r, &c)) return Fail(why, "a record's count is broken");
    count |= static_cast<uint32_t>(c & 0x7F) << bits;
  }
  if (count == kEnd) {
    r->type = 4;
    return true;
  }
  if (count >= 0x7FFFFFFF) return Fail(why, "a record's count is broken");
  r->type = type;
  r->left = count + 1;
  return true;
}

// Decodes the next coded sector into r->sector.
bool NextSector(EcmReader* r, char* why) {
  static const uint8_t kSync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
  std::memset(r->sector, 0, sizeof r->sector);
  bool whole;
  if (r->type == 1) {
    std::memcpy(r->sector, kSync, 12);
    r->sector[15] = 1;
    whole = NextBytes(r, r->sector + 12, 3) && NextBytes(r, r->sector + 16, kUserDataSize);
    r->sector_at = 0;
    r->sector_end = kRawSectorSize;
  } else {
    // MODE2, from its subheader on: 2336 bytes.
    uint32_t data = r->type == 2 ? kUserDataSize : 2324;
    whole = NextBytes(r, r->sector, 4) && NextBytes(r, r->sector + 8, data);
    std::memcpy(r->sector + 4, r->sector, 4);
    r->sector_at = 0;
    r->sector_end = kMode2HeaderlessSize;
  }
  return whole || Fail(why, "it ends inside a sector (cut short?)");
}

}  // namespace

bool IsEcm(const uint8_t* head, int64_t size) {
  return size >= 4 && std::memcmp(head, kMagic, 4) == 0;
}

bool BeginEcm(EcmReader* r, const WCHAR* path, char* why) {
  r->file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  r->input_at = r->input_end = 0;
  r->type = -1;
  r->left = 0;
  r->sector_at = r->sector_end = 0;
  uint8_t magic[4];
  if (r->file == INVALID_HANDLE_VALUE) return Fail(why, "it can't be opened");
  return (NextBytes(r, magic, 4) && std::memcmp(magic, kMagic, 4) == 0) ||
         Fail(why, "it is not an .ecm");
}

void EndEcm(EcmReader* r) {
  if (r->file != INVALID_HANDLE_VALUE) CloseHandle(r->file);
  r->file = INVALID_HANDLE_VALUE;
}

bool ReadEcm(EcmReader* r, uint8_t* out, uint32_t size, uint32_t* got, char* why) {
  *got = 0;
  while (*got < size) {
    if (r->sector_at < r->sector_end) {
      uint32_t n = r->sector_end - r->sector_at;
      if (n > size - *got) n = size - *got;
      std::memcpy(out + *got, r->sector + r->sector_at, n);
      r->sector_at += n;
      *got += n;
      continue;
    }
    if (r->type == 4) return true;  // the end: the checksum after it is not needed
    if (r->left == 0) {
      if (!NextRecord(r, why)) return false;
      continue;
    }
    if (r->type == 0) {
      uint32_t n = r->left < size - *got ? r->left : size - *got;
      if (!NextBytes(r, out + *got, n)) return Fail(why, "it ends inside a record (cut short?)");
      *got += n;
      r->left -= n;
    } else {
      if (!NextSector(r, why)) return false;
      --r->left;
    }
  }
  return true;
}

bool EcmStreamLength(const WCHAR* path, uint64_t* length, char* why) {
  EcmReader* r = static_cast<EcmReader*>(std::malloc(sizeof(EcmReader)));
  *length = 0;
  if (r == nullptr) return Fail(why, "out of memory");
  bool ok = BeginEcm(r, path, why);
  while (ok) {
    ok = NextRecord(r, why);
    if (!ok || r->type == 4) break;
    static const uint32_t kStored[4] = {1, 3 + kUserDataSize, 4 + kUserDataSize, 4 + 2324};
    static const uint32_t kGiven[4] = {1, kRawSectorSize, kMode2HeaderlessSize,
                                       kMode2HeaderlessSize};
    uint64_t skip = uint64_t{r->left} * kStored[r->type];
    *length += uint64_t{r->left} * kGiven[r->type];
    // Past what is buffered, by seeking.
    uint64_t buffered = r->input_end - r->input_at;
    if (skip <= buffered) {
      r->input_at += static_cast<uint32_t>(skip);
    } else {
      int64_t at = 0;
      ok = SetFilePointerEx(r->file, static_cast<int64_t>(skip - buffered), &at, FILE_CURRENT);
      int64_t end = 0;
      int64_t here = at;
      ok = ok && SetFilePointerEx(r->file, 0, &end, FILE_END) &&
           SetFilePointerEx(r->file, here, nullptr, FILE_BEGIN);
      if (ok && here > end) ok = Fail(why, "it ends inside a record (cut short?)");
      r->input_at = r->input_end = 0;
    }
  }
  EndEcm(r);
  std::free(r);
  return ok;
}
