#include "launcher/launcher_lock.h"

#include "launcher/format.h"
#include "launcher/paths.h"

LauncherLock TakeLauncherLock(HANDLE* mutex) {
  uint32_t low = 2166136261u, high = 0x811C9DC5u ^ 0x5BD1E995u;  // two FNV-1a hashes
  for (const WCHAR* p = g_paths.install_root; *p; ++p) {
    uint32_t unit = *p >= u'a' && *p <= u'z' ? *p - u'a' + u'A' : *p == u'/' ? u'\\' : *p;
    low = (low ^ unit) * 16777619u;
    high = (high ^ (unit + 0x9Eu)) * 16777619u;
  }
  WCHAR name[64];
  FormatBounded(name, 63, u"Local\\HalvornGlintLauncher-%lu-%lu", low, high);
  *mutex = CreateMutexW(nullptr, FALSE, name);
  if (*mutex == nullptr) return LauncherLock::kUnavailable;
  return GetLastError() == ERROR_ALREADY_EXISTS ? LauncherLock::kHeldByAnother
                                                : LauncherLock::kHeld;
}
