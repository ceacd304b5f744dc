// What the disc tests share: the images the build made with xorriso, a
// release folder to install into, and a comparison of installed trees
// against their sources.
#pragma once

#include <string>

#include "disc/manifest.h"
#include "tests/support/files.h"

// <build>/test-images/NAME; trees/small/HV1 and trees/full/HV1 are the trees
// the images were made from.
fs::path TestImage(const std::string& name);

std::string Utf8(const std::u16string& wide);

// `log` with "%D" replaced by the data directory, "%I" by `image` and "%W"
// by `wrong`, as the log writes them.
std::string Placed(std::string log, const fs::path& image, const fs::path& wrong = {});

// Every difference between two trees (files missing on either side, other
// bytes, a file where a folder should be), one per line; "" when they agree.
std::string TreeDifferences(const fs::path& expected, const fs::path& actual);

// A release folder with no data, the install root pointed at it and, unless
// told otherwise, the setup log open; Log() closes the log and gives its bytes.
struct InstallFolder {
  explicit InstallFolder(bool open_log = true);
  ~InstallFolder();
  TempDir dir;
  fs::path root;
  fs::path data;  // root/data/HV1
  std::string Log();
};
