#include "disc/extract.h"

#include <cstdlib>

#include "launcher/format.h"
#include "launcher/paths.h"
#include "launcher/setup_log.h"

namespace {

bool IsForbiddenUnit(uint32_t c) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
      return true;
    default:
      return false;
  }
}

char Upper(uint32_t c) {
  return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

// Windows opens a device, not a file, for these names with any extension.
template <class Unit>
bool IsDeviceName(const Unit* name) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  size_t stem = 0;
  while (name[stem] != 0 && name[stem] != '.') ++stem;
  char upper[5] = {};
  if (stem < 3 || stem > 4) return false;
  for (size_t i = 0; i < stem; ++i) upper[i] = Upper(static_cast<uint32_t>(name[i]));
  if (stem == 3) {
    for (const char* device : kDevices) {
      if (upper[0] == device[0] && upper[1] == device[1] && upper[2] == device[2]) return true;
    }
    return false;
  }
  bool port = (upper[0] == 'C' && upper[1] == 'O' && upper[2] == 'M') ||
              (upper[0] == 'L' && upper[1] == 'P' && upper[2] == 'T');
  return port && upper[3] >= '0' && upper[3] <= '9';
}

template <class Unit>
bool IsSafeName(const Unit* name) {
  bool only_dots_and_spaces = true;
  size_t n = 0;
  for (; name[n] != 0; ++n) {
    uint32_t c = static_cast<uint32_t>(name[n]);
    if constexpr (sizeof(Unit) == 1) c &= 0xFF;
    if (IsForbiddenUnit(c)) return false;
    if (c != '.' && c != ' ') only_dots_and_spaces = false;
  }
  return n > 0 && !only_dots_and_spaces && !IsDeviceName(name);
}

int Fail(ExtractContext* context) {
  context->ok = 0;
  return 0;
}

// Adds a directory extent to the set of those copied; false when it was
// there already (or the set is full, which the folder budget rules out).
bool FirstVisit(ExtractBudget* budget, uint32_t extent) {
  uint32_t key = extent + 1;  // 0 marks an empty slot
  uint32_t mask = budget->seen_slots - 1;
  for (uint32_t probe = 0, i = (key * 2654435761u) & mask; probe < budget->seen_slots;
       ++probe, i = (i + 1) & mask) {
    if (budget->seen[i] == key) return false;
    if (budget->seen[i] == 0) {
      budget->seen[i] = key;
      return true;
    }
  }
  return false;
}

int ExtractDirectory(ExtractContext* context, const DiscEntry& entry, const WCHAR* target) {
  ExtractBudget* budget = context->budget;
  if (context->depth + 1 > kMaxExtractDepth) {
    LogLine(u"image: too deep at %s", target);
    return Fail(context);
  }
  if (budget->directories_left == 0) {
    LogLine(u"image: too many folders at %s", target);
    return Fail(context);
  }
  if (!FirstVisit(budget, entry.extent)) {
    LogLine(u"image: directory loop at %s", target);
    return Fail(context);
  }
  --budget->directories_left;

  ExtractContext child{};
  child.image = context->image;
  CopyWide(child.dest, kTargetPathLimit, target);
  child.files = 0;
  child.ok = 1;
  child.depth = context->depth + 1;
  child.budget = budget;
  SHCreateDirectoryExW(nullptr, target, nullptr);
  uint32_t result = 0;
  if (WalkDiscDirectory(context->image, entry, ExtractVisitor, &child)) {
    context->files += child.files;
    result = child.ok;
  }
  context->ok = result;
  return static_cast<int>(result);
}

int ExtractFile(ExtractContext* context, const DiscEntry& entry, const WCHAR* target) {
  ExtractBudget* budget = context->budget;
  if (budget->files_left == 0 || entry.size > budget->bytes_left) {
    LogLine(u"image: more than a disc holds at %s", target);
    return Fail(context);
  }
  --budget->files_left;
  budget->bytes_left -= entry.size;
  // A read-only copy from an earlier install must not block the new one.
  SetFileAttributesW(target, FILE_ATTRIBUTE_NORMAL);
  HANDLE file = CreateFileW(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(kCopyBufferSize));
  if (file == INVALID_HANDLE_VALUE || buffer == nullptr) {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    std::free(buffer);
    LogLine(u"can't write %s", target);
    return Fail(context);
  }
  int64_t position = SectorOffset(entry.extent);
  uint32_t left = entry.size;
  while (left > 0) {
    DWORD chunk = left < kCopyBufferSize ? left : kCopyBufferSize;
    DWORD got = 0;
    DWORD put = 0;
    if (!SetFilePointerEx(context->image, position, nullptr, FILE_BEGIN) ||
        !ReadFile(context->image, buffer, chunk, &got, nullptr) || got != chunk ||
        !WriteFile(file, buffer, chunk, &put, nullptr) || put != chunk) {
      LogLine(u"copy failed at %s", target);
      context->ok = 0;
      break;
    }
    position += chunk;
    left -= chunk;
  }
  CloseHandle(file);
  std::free(buffer);
  ++context->files;  // counted also when the copy failed part-way
  return static_cast<int>(context->ok);
}

}  // namespace

bool IsSafeDiscName(const char* name) { return IsSafeName(name); }
bool IsSafeWideName(const WCHAR* name) { return IsSafeName(name); }

int ExtractVisitor(const char* name, const DiscEntry& entry, void* context_pointer) {
  ExtractContext* context = static_cast<ExtractContext*>(context_pointer);
  // A disc name becomes a path component: one that could step out of the
  // data directory, or name something other than a file in it, is skipped.
  WCHAR wide[kDiscNameSize];
  if (!IsSafeDiscName(name) ||
      MultiByteToWideChar(CP_ACP, 0, name, -1, wide, kDiscNameSize) <= 0 ||
      !IsSafeWideName(wide)) {
    char shown[kDiscNameSize];
    size_t n = 0;
    for (; name[n] != '\0' && n < kDiscNameSize - 1; ++n) {
      unsigned char c = static_cast<unsigned char>(name[n]);
      shown[n] = c < 0x20 || c == 0x7F ? '?' : name[n];
    }
    shown[n] = '\0';
    LogLine(u"image: unsafe name %S", static_cast<const char*>(shown));
    return static_cast<int>(context->ok);
  }
  WCHAR target[kTargetPathLimit + 1];
  // Never write at a cut path: it would name some other file.
  if (FormatBounded(target, kTargetPathLimit, u"%s\\%s", context->dest, wide) >
      kTargetPathLimit) {
    LogLine(u"can't write %s", target);
    return Fail(context);
  }
  if (entry.is_dir) return ExtractDirectory(context, entry, target);
  return ExtractFile(context, entry, target);
}

bool ExtractDiscFolder(HANDLE image, const DiscEntry& folder, uint32_t* files) {
  *files = 0;
  ExtractContext root{};
  root.image = image;
  // A data directory too long for the limit would put the tree beside it.
  if (FormatBounded(root.dest, kTargetPathLimit, u"%s", g_paths.data_dir) > kTargetPathLimit) {
    LogLine(u"can't write %s", root.dest);
    return false;
  }
  // Twice the folder budget keeps the set of extents at most half full.
  ExtractBudget budget{kMaxExtractDirectories, kMaxExtractFiles, kMaxExtractBytes, nullptr,
                       2 * kMaxExtractDirectories};
  budget.seen = static_cast<uint32_t*>(std::calloc(budget.seen_slots, sizeof(uint32_t)));
  if (budget.seen == nullptr) {
    LogLine(u"can't write %s", root.dest);
    return false;
  }
  FirstVisit(&budget, folder.extent);
  root.files = 0;
  root.ok = 1;
  root.depth = 0;
  root.budget = &budget;
  SHCreateDirectoryExW(nullptr, root.dest, nullptr);
  bool walked = WalkDiscDirectory(image, folder, ExtractVisitor, &root);
  std::free(budget.seen);
  if (!walked) return false;
  *files = root.files;
  return root.ok != 0;
}
