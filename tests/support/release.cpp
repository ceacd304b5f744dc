#include "tests/support/release.h"

void MakeReleaseFolder(const fs::path& root, const ReleaseParts& parts) {
  for (const char* folder : {"bin/python", "models", "cutscenes"}) {
    fs::create_directories(root / folder);
  }
  const fs::path fixtures = BuildDir() / "fixtures";
  if (parts.game) fs::copy_file(fixtures / "hv1-glint.exe", root / "bin" / "hv1-glint.exe");
  if (parts.python) fs::copy_file(fixtures / "python.exe", root / "bin" / "python" / "python.exe");
  for (int i = 0; parts.data && i < 20; ++i) {
    WriteFileBytes(root / "data" / "HV1" / "GAMEDAT" / ("FILE" + std::to_string(i) + ".DAT"), "x");
  }
}
