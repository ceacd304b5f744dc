// What the logic relies on from the file operations beyond what the installs
// show (creating, replacing, reading and listing are held by the disc tests
// and the whole runs). The same tests run against the POSIX layer and, under
// Wine, against the real Windows calls.
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

HANDLE Open(const std::u16string& path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// A second open is checked against the first handle's share mode as much as
// against its own: each must allow what the other does. An open file cannot
// be deleted (none of these share deletion). (The setup log's own mode, held
// by another launcher and read meanwhile, is a row of the whole runs.)
TEST(FilesTest, SharingRefusesAsWindowsDoes) {
  TempDir dir;
  std::u16string path = Wide(dir.path / "a.bin");
  WriteFileBytes(dir.path / "a.bin", "abc");
  const struct {
    DWORD first_access, first_share, second_access, second_share;
    bool opens;
  } rows[] = {
      {GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, true},
      {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, GENERIC_READ, FILE_SHARE_READ, false},
      {GENERIC_READ, 0, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
  };
  for (const auto& row : rows) {
    HANDLE first = Open(path, row.first_access, row.first_share, OPEN_EXISTING);
    HANDLE second = Open(path, row.second_access, row.second_share, OPEN_EXISTING);
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, row.opens) << &row - rows;
    if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    CloseHandle(first);
  }
}

#if HV_POSIX_LAYER
// Windows refuses paths of 260 units or more, and folders of 248 or more,
// without the long-path prefix, and writers of a read-only file (until it is
// cleared, as the install clears an earlier copy). Wine checks neither the
// limits nor, run as root (as in CI), read-only files, which it leaves to the
// Unix permissions; the POSIX layer emulates both, for root too, and is held
// to them here.
TEST(FilesTest, PosixLayerRefusesAtWindowsLimits) {
  TempDir dir;
  std::u16string base = Wide(dir.path / "");
  auto padded = [&](size_t length, char16_t fill) {
    return base + std::u16string(length - base.size(), fill);
  };
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, padded(247, u'd').c_str(), nullptr), ERROR_SUCCESS);
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, padded(248, u'e').c_str(), nullptr), 206);
  EXPECT_FALSE(Exists(dir.path / std::u16string(248 - base.size(), u'e')));
  HANDLE fits = Open(padded(259, u'f'), GENERIC_WRITE, 0, CREATE_ALWAYS);
  EXPECT_NE(fits, INVALID_HANDLE_VALUE);
  CloseHandle(fits);
  ASSERT_TRUE(SetFileAttributesW(padded(259, u'f').c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(Open(padded(259, u'f'), GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  // Made behind the layer's back, a file at 260 is still out of its reach.
  std::u16string too_long = padded(260, u'g');
  EXPECT_EQ(Open(too_long, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  WriteFileBytes(dir.path / std::u16string(260 - base.size(), u'g'), "");
  EXPECT_EQ(GetFileAttributesW(too_long.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(DeleteFileW(too_long.c_str()));
  WIN32_FIND_DATAW data;
  EXPECT_EQ(FindFirstFileW(too_long.c_str(), &data), INVALID_HANDLE_VALUE);
}
#endif

}  // namespace
