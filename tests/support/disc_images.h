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
  fs::path data;          // root/data/HV1
  std::string data_text;  // the data directory as log lines give it
  std::string Log();
};
