#include "tests/support/release.h"

void MakeReleaseFolder(const fs::path& root, const ReleaseParts& parts) {
  fs::create_directories(root / "bin");
  fs::create_directories(root / "models");
  fs::create_directories(root / "cutscenes");
  if (parts.launcher) {
    fs::copy_file(BuildDir() / HV_LAUNCHER_FILE, LauncherIn(root),
                  fs::copy_options::overwrite_existing);
  }
  if (parts.game) {
    fs::copy_file(BuildDir() / "fixtures" / "hv1-glint.exe", root / "bin" / "hv1-glint.exe",
                  fs::copy_options::overwrite_existing);
  }
  if (parts.data) {
    for (int i = 0; i < 20; ++i) {
      WriteFileBytes(root / "data" / "HV1" / "GAMEDAT" / ("FILE" + std::to_string(i) + ".DAT"),
                     "x");
    }
  }
}

fs::path LauncherIn(const fs::path& root) { return root / HV_LAUNCHER_FILE; }

fs::path GameRecordPath(const fs::path& root) { return root / "game-record.txt"; }
