// Drives as the Linux build sees them: its optical drives are the block
// devices /dev/sr0, /dev/sr1, ..., each named by its device path, which the
// device namespace (\\.\, files.cpp) then opens. Time, for progress lines.
#include <dirent.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/errors.h"
#include "platform/posix/posix_ops.h"
#include "platform/posix/text.h"

namespace {

bool IsOpticalDevice(const std::string& path) {
  struct stat st;
  return path.rfind("/dev/sr", 0) == 0 && path.size() > 7 &&
         path.find_first_not_of("0123456789", 7) == std::string::npos &&
         stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

}  // namespace

uint32_t Posix_GetLogicalDriveStringsW(uint32_t size, PfChar* buffer) {
  std::vector<std::string> drives;
  if (DIR* dev = opendir("/dev")) {
    while (dirent* e = readdir(dev)) {
      std::string path = std::string("/dev/") + e->d_name;
      if (IsOpticalDevice(path)) drives.push_back(path);
    }
    closedir(dev);
  }
  std::sort(drives.begin(), drives.end());
  std::u16string all;
  for (const std::string& d : drives) all += WideFromUtf8(d) + u'\0';
  if (all.size() + 1 > size) return static_cast<uint32_t>(all.size() + 1);
  std::memcpy(buffer, all.data(), all.size() * sizeof(PfChar));
  buffer[all.size()] = 0;
  return static_cast<uint32_t>(all.size());
}

uint32_t Posix_GetDriveTypeW(const PfChar* root) {
  std::string path = PosixPath(root);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (IsOpticalDevice(path)) return DRIVE_CDROM;
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
}

uint64_t Posix_GetTickCount64() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
}
