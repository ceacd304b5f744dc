#include "disc/install.h"

#include "disc/extract.h"
#include "disc/verify.h"
#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "launcher/status_window.h"

bool VerifyAndInstallImage(const WCHAR* path, bool quiet, const DiscManifest& manifest) {
  HANDLE image = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (image == INVALID_HANDLE_VALUE) {
    LogLine(u"can't open %s", path);
    return false;
  }
  DiscEntry root;
  DiscEntry folder;
  bool accepted = ReadDiscRoot(image, &root) && ResolveDiscPath(image, root, u"HV1", &folder) &&
                  folder.is_dir;
  for (uint32_t i = 0; accepted && i < manifest.count; ++i) {
    DiscEntry found;
    if (CheckManifestRow(image, folder, manifest.rows[i], &found) != RowCheck::kPresent) {
      LogLine(u"image: %s missing or another size", manifest.rows[i].path);
      accepted = false;
    }
  }
  if (!accepted) {
    CloseHandle(image);
    LogLine(u"%s: not the Morvath Saga's disc 1", path);
    return false;
  }

  HWND window = quiet ? nullptr : ShowStatusWindow(u"Installing Halvorn from your disc image...");
  uint32_t files = 0;
  bool ok = ExtractDiscFolder(image, folder, &files);
  if (window != nullptr) DestroyWindow(window);
  CloseHandle(image);
  LogLine(u"installed %d files from %s into %s: %s", static_cast<int32_t>(files), path,
          g_paths.data_dir, ok ? u"done" : u"FAILED");
  return ok;
}
