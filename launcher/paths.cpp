#include "launcher/paths.h"

#include "launcher/format.h"

LauncherPaths g_paths;

void SetInstallRoot(const WCHAR* root) {
  CopyWide(g_paths.install_root, 259, root);
  FormatBounded(g_paths.data_dir, 275, u"%s\\data\\HV1", g_paths.install_root);
}

bool FillLauncherPaths() {
  WCHAR module[260];
  DWORD length = GetModuleFileNameW(nullptr, module, 260);
  // A full buffer means the path was cut: running on it would install into,
  // and start the game from, some other folder.
  if (length == 0 || length >= 260) return false;
  module[length] = u'\0';
  DWORD cut = length;
  for (DWORD i = 0; i < length; ++i) {
    if (module[i] == u'\\') cut = i;
  }
  if (cut < length) module[cut] = u'\0';
  SetInstallRoot(module);
  return true;
}
