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

uint32_t Upper(uint32_t c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

// The units of a name, 8-bit or wide, as code values.
uint32_t UnitOf(char c) { return static_cast<unsigned char>(c); }
uint32_t UnitOf(WCHAR c) { return c; }

bool SameWord(const uint32_t* upper, size_t length, const char* word) {
  for (size_t i = 0; i < length; ++i) {
    if (word[i] == '\0' || upper[i] != static_cast<unsigned char>(word[i])) return false;
  }
  return word[length] == '\0';
}

// Windows opens a device, not a file, for these names. It matches them on
// what comes before the first dot, trailing spaces dropped, so "NUL .TXT"
// and "COM1 .DAT" are devices too. A port's number may be a superscript one,
// two or three: 0xB9, 0xB2, 0xB3 in the ANSI page, the same values in UTF-16.
template <class Unit>
bool IsDeviceName(const Unit* name) {
  size_t stem = 0;
  while (name[stem] != 0 && name[stem] != '.') ++stem;
  while (stem > 0 && name[stem - 1] == ' ') --stem;
  uint32_t upper[8];
  if (stem < 3 || stem > 7) return false;
  for (size_t i = 0; i < stem; ++i) upper[i] = Upper(UnitOf(name[i]));
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (SameWord(upper, stem, device)) return true;
  }
  if (stem != 4 || !(SameWord(upper, 3, "COM") || SameWord(upper, 3, "LPT"))) return false;
  uint32_t n = upper[3];
  return (n >= '0' && n <= '9') || n == 0xB9 || n == 0xB2 || n == 0xB3;
}

template <class Unit>
bool IsSafeName(const Unit* name) {
  bool only_dots_and_spaces = true;
  size_t n = 0;
  for (; name[n] != 0; ++n) {
    uint32_t c = UnitOf(name[n]);
    if (IsForbiddenUnit(c)) return false;
    if (c != '.' && c != ' ') only_dots_and_spaces = false;
  }
  return n > 0 && !only_dots_and_spaces && !IsDeviceName(name);
}

int Fail(ExtractContext* context) {
  context->ok = 0;
  return 0;
}

int ExtractDirectory(ExtractContext* context, const DiscEntry& entry, const WCHAR* target) {
  DiscTree* tree = &context->budget->tree;
  switch (EnterDiscFolder(tree, entry)) {
    case FolderEntry::kEntered:
      break;
    case FolderEntry::kTooDeep:
      LogLine(u"image: too deep at %s", target);
      return Fail(context);
    case FolderEntry::kSeen:
      LogLine(u"image: directory loop at %s", target);
      return Fail(context);
    case FolderEntry::kTooManyFolders:
      LogLine(u"image: too many folders at %s", target);
      return Fail(context);
    case FolderEntry::kTooMuchData:
      LogLine(u"image: too much folder data at %s", target);
      return Fail(context);
  }
  ExtractContext child{};
  child.image = context->image;
  CopyWide(child.dest, kTargetPathLimit, target);
  child.files = 0;
  child.ok = 1;
  child.budget = context->budget;
  SHCreateDirectoryExW(nullptr, target, nullptr);
  uint32_t result = 0;
  if (WalkDiscDirectory(context->image, entry, ExtractVisitor, &child)) {
    context->files += child.files;
    result = child.ok;
  }
  LeaveDiscFolder(tree);
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
  // A small file needs no more than its own size (a fresh 1 MiB costs the
  // system pages for every file under some allocators); one byte more keeps
  // an empty file's request from being a zero-byte one, which may fail.
  uint32_t buffer_size = entry.size < kCopyBufferSize ? entry.size + 1 : kCopyBufferSize;
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(buffer_size));
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
  // A name that cannot be converted is no such name: the copy fails, since
  // skipping it would leave a file out and still report the copy done.
  WCHAR wide[kDiscNameSize];
  bool safe = IsSafeDiscName(name);
  if (safe && MultiByteToWideChar(CP_ACP, 0, name, -1, wide, kDiscNameSize) <= 0) {
    LogLine(u"can't write %s\\%S", static_cast<const WCHAR*>(context->dest), name);
    return Fail(context);
  }
  if (!safe || !IsSafeWideName(wide)) {
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
  ExtractBudget budget{};
  if (!BeginDiscTree(&budget.tree)) {
    LogLine(u"can't write %s", root.dest);
    return false;
  }
  budget.files_left = kMaxExtractFiles;
  budget.bytes_left = kMaxExtractBytes;
  root.files = 0;
  root.ok = 1;
  root.budget = &budget;
  SHCreateDirectoryExW(nullptr, root.dest, nullptr);
  // The first folder entered cannot be refused: nothing is spent yet.
  EnterDiscFolder(&budget.tree, folder);
  bool walked = WalkDiscDirectory(image, folder, ExtractVisitor, &root);
  EndDiscTree(&budget.tree);
  if (!walked) return false;
  *files = root.files;
  return root.ok != 0;
}
