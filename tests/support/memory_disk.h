// A disk in memory for the fuzz targets, put below the fake platform: the
// disc image is a byte buffer opened by one known path, the files the install
// writes go to a file system in memory that records them, the setup log is a
// string, and the ship-setup child is a byte stream served through a pipe in
// memory. Text conversion is the system's own; the fake answers the windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

struct MemoryNode {
  bool dir = false;
  uint64_t size = 0;
};

// One file opened for writing, from create to close.
struct MemoryFileWrite {
  std::u16string path;
  uint64_t size = 0;
  // Sector-aligned image offsets whose bytes equal everything written so far.
  std::vector<uint32_t> image_sectors;
};

struct MemoryDisk {
  // The image: opened only by CreateFileW(image_path, GENERIC_READ, ...).
  const uint8_t* image = nullptr;
  size_t image_size = 0;
  std::u16string image_path;

  // The setup log: CreateFileW(log_path, FILE_APPEND_DATA, ...) appends here,
  // and each WriteFile to it (one logged line) is kept apart as well.
  std::u16string log_path;
  std::string log;
  std::vector<std::string> log_writes;

  // The fake disk, by path as given. Once it holds `entry_capacity` entries or
  // `byte_capacity` bytes it is full: creates fail, writes come up short.
  std::map<std::u16string, MemoryNode> fs;
  size_t entry_capacity = 1024;
  uint64_t byte_capacity = 64ull << 20;
  uint64_t bytes_stored = 0;
  int full_refusals = 0;

  // Every path handed to a call that creates or changes something on disk
  // (SHCreateDirectoryExW, CreateFileW for writing, SetFileAttributesW).
  std::vector<std::u16string> touched_paths;
  int directory_creates = 0;
  int files_created = 0;
  std::vector<MemoryFileWrite> writes;  // closed or still open, in create order
  uint64_t bytes_written = 0;

  // The ship-setup child: its output, served through the pipe. Each
  // PeekNamedPipe makes `pipe_chunk` more bytes available (0: the pipe reports
  // its end at once and everything is read after it); with `pipe_idle_turns`
  // every other peek first finds nothing waiting.
  const uint8_t* child_output = nullptr;
  size_t child_output_size = 0;
  size_t child_read = 0;
  size_t child_available = 0;
  uint32_t pipe_chunk = 1;
  bool pipe_idle_turns = false;
  bool pipe_idle_next = false;
};

MemoryDisk& Disk();

// A fresh, empty disk (fields above are then filled by the caller) and the
// table that reaches it, to put below the fake: ScopedFake fake(NewMemoryDisk()).
PlatformOps NewMemoryDisk();
