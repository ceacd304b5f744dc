// A disk in memory for the fuzz targets, put below the fake platform: every
// file opened for reading is the disc image (a byte buffer), files opened for
// appending are the setup log, the folders and files the install makes are
// kept whole in memory, and the ship-setup child's output, read through a
// pipe, is the same buffer. Text conversion is the system's, the fake answers the
// windows, and every other call fails: nothing reaches the real system.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

struct MemoryDisk {
  std::string_view image;
  std::vector<std::string> log_writes;  // one per WriteFile (one logged line each)

  // Every folder (as an empty file) and file made, by path as given, whether
  // or not its parent was made: the targets check the paths, not the tree.
  // Past 512 entries creates fail: no file outgrows the image, so no input
  // can make a run hold more than 512 images.
  std::map<std::u16string, std::string> files;
  std::set<std::u16string> folders;  // those of the entries made as folders
  int files_created = 0;
  // Files made again under a path made before (ASCII case ignored, as on
  // Windows): a later record written over the earlier one of its name.
  std::set<std::u16string> made;
  int made_again = 0;

  // Each PeekNamedPipe reports up to `pipe_chunk` bytes waiting (0: the pipe
  // has ended, and everything is read after it); with `pipe_idle_turns` every
  // other peek finds nothing waiting. Reads past the end give nothing, as
  // from a broken pipe.
  uint32_t pipe_chunk = 1;
  bool pipe_idle_turns = false;
  bool pipe_idle_next = false;
};

inline MemoryDisk g_disk;

// A fresh, empty disk holding `image`, and the table that reaches it, to put
// below the fake: ScopedFake fake(NewMemoryDisk(input)).
PlatformOps NewMemoryDisk(std::string_view image = {});

// The fuzz targets (tests/fuzz/fuzz_targets.cpp), one input each, over this
// disk; the tests also replay them on the hostile images and past findings.
void FuzzDiscWalk(const uint8_t* data, size_t size);
// The install's result against an empty manifest (the first of its two runs).
bool FuzzDiscInstall(const uint8_t* data, size_t size);
void FuzzShipProtocol(const uint8_t* data, size_t size);
