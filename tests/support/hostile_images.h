// Hostile images, each built byte by byte, with the outcome an install
// must have: one catalogue for the install tests and the fuzz seeds.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tests/support/iso_builder.h"

struct HostileImage {
  const char* name;
  IsoImage (*make)();
  bool accepted;                   // the install ends "done"
  size_t files;                    // the count in its last line
  std::vector<std::string> lines;  // logged before it ("%D" stands for the data directory)
  bool truncate = false;           // cut 4000 bytes off the image's end
  bool refused = false;            // refused outright: the image's line alone
};

extern const std::vector<HostileImage> kHostileImages;

// HV1 holding `records`; extra folders are laid out by the caller first.
IsoImage WithFolder(IsoImage image, const std::vector<std::string>& records);
