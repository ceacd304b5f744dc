#include "tests/support/disc_images.h"

#include <map>

#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "tests/support/release.h"

fs::path TestImage(const std::string& name) { return BuildDir() / "test-images" / name; }

std::string Utf8(const std::u16string& wide) {
  std::u8string u8 = fs::path(wide).u8string();
  return std::string(u8.begin(), u8.end());
}

std::string Placed(std::string log, const fs::path& image, const fs::path& wrong) {
  for (size_t at; (at = log.find('%')) != std::string::npos;)
    log.replace(at, 2, log[at + 1] == 'D' ? Utf8(g_paths.data_dir)
                                          : Utf8(Wide(log[at + 1] == 'I' ? image : wrong)));
  return log;
}

std::string TreeDifferences(const fs::path& expected, const fs::path& actual) {
  auto listing = [](const fs::path& folder) {
    std::map<std::string, bool> entries;  // relative path -> is a folder
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder))
      entries[fs::relative(e.path(), folder).generic_string()] = e.is_directory();
    return entries;
  };
  std::map<std::string, bool> want = listing(expected), got = listing(actual);
  std::string differences;
  for (const auto& [path, is_dir] : want) {
    if (!got.contains(path))
      differences += "missing: " + path + "\n";
    else if (got.extract(path).mapped() != is_dir ||
             (!is_dir && ReadFileBytes(expected / path) != ReadFileBytes(actual / path)))
      differences += "other: " + path + "\n";
  }
  for (const auto& [path, is_dir] : got) differences += "extra: " + path + "\n";
  return differences;
}

InstallFolder::InstallFolder(bool open_log)
    : root(dir.path / "Halvorn Glint"), data(root / "data" / "HV1") {
  MakeReleaseFolder(root, {.data = false});
  SetInstallRoot(Wide(root).c_str());
  if (open_log) OpenSetupLog();
}

InstallFolder::~InstallFolder() { CloseSetupLog(); }

std::string InstallFolder::Log() {
  CloseSetupLog();
  return ReadFileBytes(root / "setup.log");
}
