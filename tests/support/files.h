// Files and folders for tests, through the standard library (fixtures only;
// the code under test goes through the platform layer).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

// A fresh folder under the system's temp folder, removed with its contents.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  fs::path path;
};

std::u16string Wide(const fs::path& p);  // native path as UTF-16
std::string ReadFileBytes(const fs::path& p);
void WriteFileBytes(const fs::path& p, const std::string& bytes);  // creates parents
bool Exists(const fs::path& p);

// Where the build put its programs and test data: the build folder, in the
// form this build's programs use ("Z:\..." under Wine).
fs::path BuildDir();
