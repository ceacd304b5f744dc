// Hostile images, each built byte by byte, with the outcome an install must
// have: one catalogue for the install tests and the fuzz seeds.
#pragma once

#include <string>
#include <vector>

#include "tests/support/iso_builder.h"

constexpr int kRefused = -1;

struct HostileImage {
  const char* name;
  IsoImage (*make)();
  // The files its install copies, ending "done"; or kRefused: refused
  // outright, with nothing written.
  int files;
  std::string log;  // lines logged before the last ("%D" stands for the data directory)
};

extern const std::vector<HostileImage> kHostileImages;
