#include "tests/support/release.h"

void MakeReleaseFolder(const fs::path& root, const ReleaseParts& parts) {
  for (const char* folder : {"bin", "models", "cutscenes"}) fs::create_directories(root / folder);
  if (parts.launcher) fs::copy_file(BuildDir() / HV_LAUNCHER_FILE, root / HV_LAUNCHER_FILE);
  if (parts.game) {
    fs::copy_file(BuildDir() / "fixtures" / "hv1-glint.exe", root / "bin" / "hv1-glint.exe");
  }
  if (parts.python) {
    fs::create_directories(root / "bin" / "python");
    fs::copy_file(BuildDir() / "fixtures" / "python.exe", root / "bin" / "python" / "python.exe");
  }
  if (parts.data) {
    for (int i = 0; i < 20; ++i) {
      WriteFileBytes(root / "data" / "HV1" / "GAMEDAT" / ("FILE" + std::to_string(i) + ".DAT"),
                     "x");
    }
  }
}
