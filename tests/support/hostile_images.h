// Hostile images, each built byte by byte, with the outcome an install must
// have: one catalogue for the install tests, the fuzz seeds and the tool.
#pragma once

#include <string>
#include <vector>

#include "tests/support/iso_builder.h"

constexpr int kRefused = -1;

struct HostileImage {
  const char* name;
  IsoImage (*make)();
  bool accepted;  // the install ends "done"
  // The count in its last line, or kRefused: refused outright, the image's
  // line alone logged and nothing written.
  int files;
  std::string log;  // lines logged before it ("%D" stands for the data directory)
};

extern const std::vector<HostileImage> kHostileImages;
