#include "disc/extract.h"

#include <cstdlib>

#include "launcher/format.h"
#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "launcher/system_error.h"

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

// A failure of the tree itself, found while measuring: logged, and the image
// refused before anything is written.
int Refuse(ExtractContext* context, WideFormat<const WCHAR*> line, const WCHAR* target) {
  LogLine(line, target);
  ReportInstallFailure(context->budget->report, InstallOutcome::kRefused, target, 0);
  return Fail(context);
}

// A write that failed during the copy, with the system's reason.
int WriteFailed(ExtractContext* context, const WCHAR* target, uint32_t error) {
  WCHAR words[kErrorWordsLimit + 1];
  DescribeSystemError(error, words);
  LogLine(u"setup: writing failed: %s", static_cast<const WCHAR*>(words));
  ReportInstallFailure(context->budget->report, InstallOutcome::kWriteFailed, target, error);
  return Fail(context);
}

// Space a file takes on disk, in whole clusters of the usual 4 KiB.
uint64_t OnDisk(uint64_t size) { return (size + 4095) / 4096 * 4096; }

// The size of the file already at `target`, 0 when there is none.
uint64_t ExistingSize(const WCHAR* target) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(target, &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  FindClose(find);
  if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return 0;
  return uint64_t{found.nFileSizeHigh} << 32 | found.nFileSizeLow;
}

// Reads `size` bytes at `position`; a read that gives less is asked again for
// the rest. 0 when all arrived, else the error (ERROR_HANDLE_EOF: the image
// ended first).
uint32_t ReadImage(HANDLE image, int64_t position, uint8_t* buffer, uint32_t size) {
  if (!SetFilePointerEx(image, position, nullptr, FILE_BEGIN)) return GetLastError();
  for (uint32_t total = 0; total < size;) {
    DWORD got = 0;
    if (!ReadFile(image, buffer + total, size - total, &got, nullptr)) return GetLastError();
    if (got == 0) return ERROR_HANDLE_EOF;
    total += got;
  }
  return 0;
}

// Writes all `size` bytes; a write that takes less is given the rest. 0 when
// all went out, else the error (a write taking nothing is a full disk).
uint32_t WriteTarget(HANDLE file, const uint8_t* buffer, uint32_t size) {
  for (uint32_t total = 0; total < size;) {
    DWORD put = 0;
    if (!WriteFile(file, buffer + total, size - total, &put, nullptr)) return GetLastError();
    if (put == 0) return ERROR_DISK_FULL;
    total += put;
  }
  return 0;
}

int ExtractDirectory(ExtractContext* context, const DiscEntry& entry, const WCHAR* target) {
  ExtractBudget* budget = context->budget;
  DiscTree* tree = &budget->tree;
  switch (EnterDiscFolder(tree, entry)) {
    case FolderEntry::kEntered:
      break;
    case FolderEntry::kTooDeep:
      return Refuse(context, u"image: too deep at %s", target);
    case FolderEntry::kSeen:
      return Refuse(context, u"image: directory loop at %s", target);
    case FolderEntry::kTooManyFolders:
      return Refuse(context, u"image: too many folders at %s", target);
    case FolderEntry::kTooMuchData:
      return Refuse(context, u"image: too much folder data at %s", target);
  }
  ExtractContext child{};
  child.image = context->image;
  CopyWide(child.dest, kTargetPathLimit, target);
  child.files = 0;
  child.ok = 1;
  child.folder_extent = entry.extent;
  child.budget = budget;
  if (!budget->measuring) SHCreateDirectoryExW(nullptr, target, nullptr);
  uint32_t result = 0;
  if (WalkDiscDirectory(context->image, entry, ExtractVisitor, &child)) {
    context->files += child.files;
    result = child.ok;
  } else if (budget->measuring) {
    LogLine(u"image: can't read the folder for %s", target);
    ReportInstallFailure(budget->report, InstallOutcome::kRefused, target, 0);
  } else {
    ReportInstallFailure(budget->report, InstallOutcome::kImageUnreadable, target,
                         GetLastError());
  }
  LeaveDiscFolder(tree);
  context->ok = result;
  return static_cast<int>(result);
}

int MeasureFile(ExtractContext* context, const DiscEntry& entry, const WCHAR* target) {
  ExtractBudget* budget = context->budget;
  if (uint64_t(SectorOffset(entry.extent)) + entry.size > budget->image_size)
    return Refuse(context, u"image: the data of %s lies past the image's end", target);
  uint64_t replaced = OnDisk(ExistingSize(target));
  uint64_t needed = OnDisk(entry.size);
  budget->disk_bytes += needed > replaced ? needed - replaced : 0;
  return static_cast<int>(context->ok);
}

int ExtractFile(ExtractContext* context, const DiscEntry& entry, const WCHAR* target) {
  ExtractBudget* budget = context->budget;
  if (budget->files_left == 0 || entry.size > budget->bytes_left)
    return Refuse(context, u"image: more than a disc holds at %s", target);
  --budget->files_left;
  budget->bytes_left -= entry.size;
  if (budget->measuring) return MeasureFile(context, entry, target);
  // A read-only copy from an earlier install must not block the new one.
  SetFileAttributesW(target, FILE_ATTRIBUTE_NORMAL);
  HANDLE file = CreateFileW(target, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  uint32_t error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  // A small file needs no more than its own size (a fresh 1 MiB costs the
  // system pages for every file under some allocators); one byte more keeps
  // an empty file's request from being a zero-byte one, which may fail.
  uint32_t buffer_size = entry.size < kCopyBufferSize ? entry.size + 1 : kCopyBufferSize;
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(buffer_size));
  if (file == INVALID_HANDLE_VALUE || buffer == nullptr) {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    std::free(buffer);
    LogLine(u"can't write %s", target);
    return WriteFailed(context, target, buffer == nullptr ? ERROR_NOT_ENOUGH_MEMORY : error);
  }
  int64_t position = SectorOffset(entry.extent);
  uint32_t left = entry.size;
  while (left > 0) {
    DWORD chunk = left < kCopyBufferSize ? left : kCopyBufferSize;
    uint32_t read_error = ReadImage(context->image, position, buffer, chunk);
    uint32_t write_error = read_error == 0 ? WriteTarget(file, buffer, chunk) : 0;
    if (read_error != 0 || write_error != 0) {
      LogLine(u"copy failed at %s", target);
      if (write_error != 0) {
        WriteFailed(context, target, write_error);
      } else {
        WCHAR words[kErrorWordsLimit + 1];
        DescribeSystemError(read_error, words);
        LogLine(u"image: reading failed: %s", static_cast<const WCHAR*>(words));
        ReportInstallFailure(budget->report, InstallOutcome::kImageUnreadable, target,
                             read_error);
        context->ok = 0;
      }
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
  ExtractBudget* budget = context->budget;
  // A disc name becomes a path component: one that could step out of the
  // data directory, or name something other than a file in it, is skipped.
  // A name that cannot be converted is no such name: the copy fails, since
  // skipping it would leave a file out and still report the copy done.
  WCHAR wide[kDiscNameSize];
  bool safe = IsSafeDiscName(name);
  if (safe && MultiByteToWideChar(CP_ACP, 0, name, -1, wide, kDiscNameSize) <= 0) {
    LogLine(u"can't write %s\\%S", static_cast<const WCHAR*>(context->dest), name);
    ReportInstallFailure(budget->report, InstallOutcome::kRefused, context->dest, 0);
    return Fail(context);
  }
  if (!safe || !IsSafeWideName(wide)) {
    if (!budget->measuring) return static_cast<int>(context->ok);
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
    ReportInstallFailure(budget->report, InstallOutcome::kFolderNotWritable, context->dest,
                         ERROR_FILENAME_EXCED_RANGE);
    return Fail(context);
  }
  switch (AddName(&budget->names, context->folder_extent, name)) {
    case NameAdded::kNew:
      break;
    case NameAdded::kSeen:
      if (budget->measuring) LogLine(u"image: %s named again, the first record kept", target);
      return static_cast<int>(context->ok);
    case NameAdded::kNoRoom:
      return Refuse(context, u"image: too many names at %s", target);
  }
  if (entry.is_dir) return ExtractDirectory(context, entry, target);
  return ExtractFile(context, entry, target);
}

namespace {

// One pass over the tree of `folder` into the data directory. False when
// the pass met a failure or `folder` itself could not be read.
bool WalkExtraction(HANDLE image, const DiscEntry& folder, ExtractBudget* budget,
                    uint32_t* files) {
  *files = 0;
  ExtractContext root{};
  root.image = image;
  root.folder_extent = folder.extent;
  // A data directory too long for the limit would put the tree beside it.
  if (FormatBounded(root.dest, kTargetPathLimit, u"%s", g_paths.data_dir) > kTargetPathLimit) {
    LogLine(u"can't write %s", root.dest);
    ReportInstallFailure(budget->report, InstallOutcome::kFolderNotWritable, root.dest,
                         ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  if (!BeginDiscTree(&budget->tree)) {
    LogLine(u"can't write %s", root.dest);
    ReportInstallFailure(budget->report, InstallOutcome::kWriteFailed, root.dest,
                         ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  BeginNameSet(&budget->names);
  budget->files_left = kMaxExtractFiles;
  budget->bytes_left = kMaxExtractBytes;
  root.files = 0;
  root.ok = 1;
  root.budget = budget;
  // The first folder entered cannot be refused: nothing is spent yet.
  EnterDiscFolder(&budget->tree, folder);
  bool walked = WalkDiscDirectory(image, folder, ExtractVisitor, &root);
  EndNameSet(&budget->names);
  EndDiscTree(&budget->tree);
  if (!walked) {
    if (budget->measuring) LogLine(u"image: can't read the folder for %s", root.dest);
    ReportInstallFailure(budget->report,
                         budget->measuring ? InstallOutcome::kRefused
                                           : InstallOutcome::kImageUnreadable,
                         root.dest, budget->measuring ? 0 : GetLastError());
    return false;
  }
  *files = root.files;
  return root.ok != 0;
}

}  // namespace

bool MeasureDiscFolder(HANDLE image, const DiscEntry& folder, uint64_t* disk_bytes,
                       InstallReport* report) {
  ExtractBudget budget{};
  budget.measuring = true;
  budget.report = report;
  int64_t size = 0;
  if (!SetFilePointerEx(image, 0, &size, FILE_END)) {
    ReportInstallFailure(report, InstallOutcome::kRefused, g_paths.data_dir, GetLastError());
    return false;
  }
  budget.image_size = static_cast<uint64_t>(size);
  uint32_t files = 0;
  bool ok = WalkExtraction(image, folder, &budget, &files);
  *disk_bytes = budget.disk_bytes;
  return ok;
}

bool ExtractDiscFolder(HANDLE image, const DiscEntry& folder, uint32_t* files,
                       InstallReport* report) {
  ExtractBudget budget{};
  budget.report = report;
  return WalkExtraction(image, folder, &budget, files);
}
