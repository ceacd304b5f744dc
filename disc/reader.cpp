#include "disc/reader.h"

#include <cstdlib>
#include <cstring>

void NormaliseDiscName(const uint8_t* id, uint32_t length, char* out) {
  uint32_t n = 0;
  // Only ';' (the version suffix) stops the copy; a zero byte is copied and so
  // ends the name there.
  while (n < length && n < kDiscNameSize - 1 && id[n] != ';') {
    out[n] = static_cast<char>(id[n]);
    ++n;
  }
  if (n > 0 && out[n - 1] == '.') --n;
  out[n] = '\0';
}

bool WalkDiscRecords(const uint8_t* records, uint32_t size, DiscVisitor visitor, void* context) {
  uint32_t position = 0;
  while (position < size) {
    const uint8_t* record = records + position;
    uint32_t length = record[kRecordLength];
    if (length == 0) {
      // The rest of this sector is empty; records never cross a sector.
      position = (position / kSectorSize + 1) * kSectorSize;
      continue;
    }
    if (length < kRecordMinLength || uint64_t{position} + length > size) break;
    uint32_t id_length = record[kRecordIdLength];
    if (kRecordId + id_length > length) break;  // malformed: the name leaves the record
    const uint8_t* id = record + kRecordId;
    bool self_or_parent = id_length == 1 && (id[0] == 0x00 || id[0] == 0x01);
    if (!self_or_parent && id_length < kDiscNameSize) {
      DiscEntry entry;
      entry.extent = ReadLe32(record + kRecordExtent);
      entry.size = ReadLe32(record + kRecordSize);
      entry.is_dir = (record[kRecordFlags] & kFlagDirectory) != 0 ? 1 : 0;
      char name[kDiscNameSize];
      NormaliseDiscName(id, id_length, name);
      if (visitor(name, entry, context) == 0) return false;
    }
    position += length;
  }
  return true;
}

bool WalkDiscDirectory(HANDLE image, const DiscEntry& dir, DiscVisitor visitor, void* context) {
  if (dir.size < 1 || dir.size > kMaxDirectorySize) return false;
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(dir.size));
  if (buffer == nullptr) return false;
  DWORD got = 0;
  bool read = SetFilePointerEx(image, SectorOffset(dir.extent), nullptr, FILE_BEGIN) &&
              ReadFile(image, buffer, dir.size, &got, nullptr) && got == dir.size;
  if (read) WalkDiscRecords(buffer, dir.size, visitor, context);
  std::free(buffer);
  return read;
}

namespace {

char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameNameIgnoringCase(const char* a, const char* b) {
  while (*a && FoldAscii(*a) == FoldAscii(*b)) {
    ++a;
    ++b;
  }
  return FoldAscii(*a) == FoldAscii(*b);
}

}  // namespace

int FindInDiscDirectory(const char* name, const DiscEntry& entry, void* context) {
  DiscLookup* lookup = static_cast<DiscLookup*>(context);
  if (!SameNameIgnoringCase(name, lookup->name)) return 1;
  *lookup->out = entry;
  lookup->found = 1;
  return 0;
}

bool ResolveDiscPath(HANDLE image, const DiscEntry& start, const WCHAR* path, DiscEntry* out,
                     FolderBudget* budget) {
  char narrow[260];
  int32_t bytes = WideCharToMultiByte(CP_ACP, 0, path, -1, narrow, sizeof narrow, nullptr, nullptr);
  if (bytes <= 0) return false;  // not expected for the short fixed paths resolved here
  narrow[sizeof narrow - 1] = '\0';
  DiscEntry current = start;
  char* component = narrow;
  for (;;) {
    // An empty component (doubled or trailing separator) ends the path here.
    if (*component == '\0' || *component == '\\') break;
    char* separator = std::strchr(component, '\\');
    if (separator != nullptr) *separator = '\0';
    if (!current.is_dir) return false;
    if (budget != nullptr) {
      if (current.size > budget->bytes_left) {
        budget->exceeded = true;
        return false;
      }
      budget->bytes_left -= current.size;
    }
    DiscEntry found;
    DiscLookup lookup{component, &found, 0};
    if (!WalkDiscDirectory(image, current, FindInDiscDirectory, &lookup) || !lookup.found) {
      return false;
    }
    current = found;
    if (separator == nullptr) break;
    component = separator + 1;
  }
  *out = current;
  return true;
}
