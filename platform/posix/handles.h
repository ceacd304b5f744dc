// What a HANDLE stands for in the POSIX layer.
#pragma once

#include <dirent.h>
#include <sys/types.h>

#include <string>

enum class PosixKind { kFile, kPipe, kFind, kProcess, kThread, kMutex };

struct PosixHandle {
  PosixKind kind;
  int fd = -1;             // file or pipe end; a mutex's lock file
  bool refuses_reads = false;  // file: opened without read access (see files.cpp)
  bool inheritable = false;
  DIR* dir = nullptr;      // find: the listing and its pattern
  std::string pattern;
  pid_t pid = 0;           // process
  bool reaped = false;
  int status = 0;
};

inline PosixHandle* AsPosix(void* h) {
  return (h == nullptr || h == reinterpret_cast<void*>(intptr_t{-1}))
             ? nullptr
             : static_cast<PosixHandle*>(h);
}

// Splits a command line exactly as CommandLineToArgvW does.
std::u16string* SplitCommandLine(const char16_t* text, size_t* count);
