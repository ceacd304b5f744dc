#include "disc/installed.h"

#include "launcher/format.h"
#include "launcher/paths.h"

namespace {

constexpr uint32_t kInstalledFileCount = 20;

}  // namespace

void UnfinishedMarkPath(WCHAR* out) {
  FormatBounded(out, kUnfinishedMarkLimit, u"%s\\setup-not-finished", g_paths.data_dir);
}

UnfinishedMark FindUnfinishedMark() {
  WCHAR mark[kUnfinishedMarkLimit + 1];
  UnfinishedMarkPath(mark);
  if (GetFileAttributesW(mark) != INVALID_FILE_ATTRIBUTES) return UnfinishedMark::kPresent;
  // Only "not there" clears it; a failure to look is no answer.
  uint32_t error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? UnfinishedMark::kAbsent
                                                                        : UnfinishedMark::kUnknown;
}

bool GamedatHoldsEnough() {
  WCHAR folder[292];
  FormatBounded(folder, 291, u"%s\\GAMEDAT", g_paths.data_dir);
  DWORD attributes = GetFileAttributesW(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return false;
  }
  WCHAR pattern[268];
  // A cut pattern would list something else (or the folder itself): say no.
  if (FormatBounded(pattern, 267, u"%s\\*", folder) > 267) return false;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  // Runs on every start: stop listing as soon as the answer is known.
  uint32_t files = 0;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) ++files;
  } while (files < kInstalledFileCount && FindNextFileW(find, &found));
  FindClose(find);
  return files >= kInstalledFileCount;
}

bool IsDataInstalled() {
  return GamedatHoldsEnough() && FindUnfinishedMark() == UnfinishedMark::kAbsent;
}
