#include "disc/install.h"

#include <initializer_list>

#include "disc/extract.h"
#include "disc/installed.h"
#include "disc/verify.h"
#include "launcher/format.h"
#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "launcher/status_window.h"
#include "launcher/system_error.h"

void ReportInstallFailure(InstallReport* report, InstallOutcome outcome, const WCHAR* path,
                          uint32_t error) {
  if (report->outcome != InstallOutcome::kInstalled) return;
  report->outcome = outcome;
  CopyWide(report->path, kTargetPathLimit, path);
  report->error = error;
}

namespace {

// The reason for `error` in the log, after the line naming what failed.
void LogReason(WideFormat<const WCHAR*, const WCHAR*> line, const WCHAR* path, uint32_t error) {
  WCHAR words[kErrorWordsLimit + 1];
  DescribeSystemError(error, words);
  LogLine(line, path, static_cast<const WCHAR*>(words));
}

uint32_t Megabytes(uint64_t bytes, bool round_up) {
  uint64_t mb = (bytes + (round_up ? (uint64_t{1} << 20) - 1 : 0)) >> 20;
  return mb > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(mb);
}

// Makes the data directory and proves it can take the copy, before the
// first byte: its disk has room for `needed` bytes and the record of an
// install under way can be written in it. False, with nothing copied and
// the reason logged and reported, when it cannot.
bool PrepareDataDirectory(uint64_t needed, InstallReport* report) {
  const WCHAR* data = g_paths.data_dir;
  // Made a level at a time below the install root (which is there: the
  // launcher runs from it), so that a failure comes with its own reason.
  WCHAR parent[276];
  FormatBounded(parent, 275, u"%s\\data", g_paths.install_root);
  uint32_t error = ERROR_SUCCESS;
  for (const WCHAR* folder : {static_cast<const WCHAR*>(parent), data}) {
    if (error == ERROR_SUCCESS && !CreateDirectoryW(folder, nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      error = GetLastError();
    }
  }
  DWORD attributes = error == ERROR_SUCCESS ? GetFileAttributesW(data) : 0;
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error = GetLastError();
  } else if (error == ERROR_SUCCESS && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    error = ERROR_DIRECTORY;  // a file of that name stands in the way
  }
  if (error != ERROR_SUCCESS) {
    LogReason(u"setup: can't write in %s: %s", data, error);
    ReportInstallFailure(report, InstallOutcome::kFolderNotWritable, data, error);
    return false;
  }
  uint64_t free_bytes = 0;
  if (!GetDiskFreeSpaceExW(data, &free_bytes, nullptr, nullptr)) {
    // The copy checks every write, so it goes on without the figure.
    LogReason(u"setup: can't tell the free space for %s: %s", data, GetLastError());
  } else if (free_bytes < needed) {
    ReportInstallFailure(report, InstallOutcome::kDiskTooSmall, data, ERROR_DISK_FULL);
    report->free_mb = Megabytes(free_bytes, false);
    report->needed_mb = Megabytes(needed, true);
    LogLine(u"setup: not enough space for %s: %lu MB free, %lu MB needed", data,
            report->free_mb, report->needed_mb);
    return false;
  }
  WCHAR mark[kUnfinishedMarkLimit + 1];
  UnfinishedMarkPath(mark);
  HANDLE file = CreateFileW(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    LogReason(u"setup: can't write in %s: %s", data, error);
    ReportInstallFailure(report, InstallOutcome::kFolderNotWritable, data, error);
    return false;
  }
  CloseHandle(file);
  return true;
}

// Removes the record of an install under way once what was copied counts
// as installed. False when the record stays although it should go.
bool FinishInstall(InstallReport* report) {
  if (!GamedatHoldsEnough()) return true;  // setup itself says it is not done
  WCHAR mark[kUnfinishedMarkLimit + 1];
  UnfinishedMarkPath(mark);
  if (DeleteFileW(mark)) return true;
  uint32_t error = GetLastError();
  LogReason(u"setup: can't remove %s: %s", mark, error);
  ReportInstallFailure(report, InstallOutcome::kMarkStays, mark, error);
  return false;
}

}  // namespace

bool VerifyAndInstallImage(const WCHAR* path, bool quiet, const DiscManifest& manifest,
                           InstallReport* report) {
  *report = InstallReport{};
  HANDLE image = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (image == INVALID_HANDLE_VALUE) {
    ReportInstallFailure(report, InstallOutcome::kRefused, path, GetLastError());
    LogLine(u"can't open %s", path);
    return false;
  }
  DiscEntry root;
  DiscEntry folder;
  bool accepted = ReadDiscRoot(image, &root) && ResolveDiscPath(image, root, u"HV1", &folder) &&
                  folder.is_dir;
  FolderBudget budget{kMaxRowFolderBytes, false};
  for (uint32_t i = 0; accepted && i < manifest.count; ++i) {
    DiscEntry found;
    RowCheck row = CheckManifestRow(image, folder, manifest.rows[i], &found, &budget);
    if (row == RowCheck::kTooMuchFolderData) {
      LogLine(u"image: too much folder data at %s", manifest.rows[i].path);
      accepted = false;
    } else if (row != RowCheck::kPresent) {
      LogLine(u"image: %s missing or another size", manifest.rows[i].path);
      accepted = false;
    }
  }
  HWND window = nullptr;
  uint64_t needed = 0;
  if (accepted) {
    window = quiet ? nullptr : ShowStatusWindow(u"Installing Halvorn from your disc image...");
    accepted = MeasureDiscFolder(image, folder, &needed, report) ||
               report->outcome != InstallOutcome::kRefused;
  }
  if (!accepted) {
    if (window != nullptr) DestroyWindow(window);
    CloseHandle(image);
    ReportInstallFailure(report, InstallOutcome::kRefused, path, 0);
    LogLine(u"%s: not the Morvath Saga's disc 1", path);
    return false;
  }
  uint32_t files = 0;
  bool ok = report->outcome == InstallOutcome::kInstalled &&
            PrepareDataDirectory(needed + kFreeSpaceMargin, report) &&
            ExtractDiscFolder(image, folder, &files, report);
  if (window != nullptr) DestroyWindow(window);
  CloseHandle(image);
  LogLine(u"installed %d files from %s into %s: %s", static_cast<int32_t>(files), path,
          g_paths.data_dir, ok ? u"done" : u"FAILED");
  // The player is told which image could not be read, not which file of it.
  if (report->outcome == InstallOutcome::kImageUnreadable)
    CopyWide(report->path, kTargetPathLimit, path);
  return ok && FinishInstall(report);
}
