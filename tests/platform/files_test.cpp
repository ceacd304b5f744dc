// What the logic relies on from the file operations. The same tests run
// against the POSIX layer and, under Wine, against the real Windows calls.
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/platform.h"

namespace {

struct FilesTest : ::testing::Test {
  TempDir dir;
  std::u16string At(const std::u16string& name) { return Wide(dir.path) + u"\\" + name; }
};

HANDLE Open(const std::u16string& path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// A second open is checked against the first handle's share mode as much as
// against its own: each must allow what the other does. An open file
// cannot be deleted (none of these share deletion). The setup log's own
// mode, held by another launcher and read meanwhile, is a row of the whole
// runs: a writer sharing reading only refuses a second writer and admits a
// reader that shares writing.
struct ShareRow {
  DWORD first_access, first_share, second_access, second_share;
  bool opens;
};

const ShareRow kShareRows[] = {
    {GENERIC_READ, FILE_SHARE_READ, GENERIC_READ, FILE_SHARE_READ, true},
    {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, GENERIC_READ, FILE_SHARE_READ, false},
    {GENERIC_READ, 0, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
};

// CREATE_ALWAYS replaces, OPEN_EXISTING needs the file; reads succeed with
// nothing at the end; sharing and read-only files refuse as Windows does.
// (Seeks are held by every read of a disc image.)
TEST_F(FilesTest, OneFileThroughItsLife) {
  std::u16string path = At(u"a.bin");
  EXPECT_EQ(Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  WriteFileBytes(dir.path / "a.bin", "hello world");
  HANDLE h = Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
  DWORD count = 0;
  EXPECT_TRUE(WriteFile(h, "abc", 3, &count, nullptr) && count == 3);
  CloseHandle(h);
  h = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  char buffer[8] = {};
  EXPECT_TRUE(ReadFile(h, buffer, 8, &count, nullptr));
  EXPECT_EQ(std::string(buffer, count), "abc");
  EXPECT_TRUE(ReadFile(h, buffer, 8, &count, nullptr) && count == 0);
  CloseHandle(h);

  for (const ShareRow& row : kShareRows) {
    SCOPED_TRACE(&row - kShareRows);
    HANDLE first = Open(path, row.first_access, row.first_share, OPEN_EXISTING);
    HANDLE second = Open(path, row.second_access, row.second_share, OPEN_EXISTING);
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, row.opens);
    if (second != INVALID_HANDLE_VALUE) CloseHandle(second);
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    CloseHandle(first);
  }

  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY);
#if HV_READ_ONLY_REFUSES_ROOT
  // Windows refuses writers of a read-only file. Wine run as root (as in CI)
  // leaves that to the Unix permissions, which root passes, so only the POSIX
  // layer, which emulates it for root too, is held to it here.
  EXPECT_EQ(Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFileW(path.c_str()));
#endif
  // Cleared, it can go again.
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_FALSE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(DeleteFileW(path.c_str()));
  EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

// The listing is what tells installed data (files counted, folders not);
// the whole runs hold the folder's own attributes.
TEST_F(FilesTest, DirectoryChainsAndListings) {
  std::u16string deep = At(u"data\\HV1\\GAMEDAT");
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, deep.c_str(), nullptr), ERROR_SUCCESS);
  WriteFileBytes(dir.path / "data" / "HV1" / "GAMEDAT" / "A.DAT", "12345");
  fs::create_directories(dir.path / "data" / "HV1" / "GAMEDAT" / "SUB");

  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((deep + u"\\*").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  std::multiset<std::u16string> listed;  // folders marked
  do {
    listed.insert(data.cFileName +
                  std::u16string(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? u"/" : u""));
  } while (FindNextFileW(find, &data));
  EXPECT_TRUE(FindClose(find));
  EXPECT_EQ(listed, (std::multiset<std::u16string>{u"./", u"../", u"SUB/", u"A.DAT"}));
}

#if HV_POSIX_LAYER
// Windows refuses paths of 260 units or more, and folders of 248 or more,
// without the long-path prefix. Wine does not check these limits, so they
// are held here against the POSIX layer only.
TEST_F(FilesTest, PathsAreRefusedAtWindowsLimits) {
  std::u16string base = At(u"");
  auto padded = [&](size_t length, char16_t fill) {
    return base + std::u16string(length - base.size(), fill);
  };
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, padded(247, u'd').c_str(), nullptr), ERROR_SUCCESS);
  EXPECT_EQ(SHCreateDirectoryExW(nullptr, padded(248, u'e').c_str(), nullptr), 206);
  EXPECT_FALSE(Exists(dir.path / std::u16string(248 - base.size(), u'e')));
  HANDLE fits = Open(padded(259, u'f'), GENERIC_WRITE, 0, CREATE_ALWAYS);
  EXPECT_NE(fits, INVALID_HANDLE_VALUE);
  CloseHandle(fits);
  std::u16string too_long = padded(260, u'g');
  EXPECT_EQ(Open(too_long, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  // Made behind the layer's back, the file is still out of its reach.
  WriteFileBytes(dir.path / std::u16string(260 - base.size(), u'g'), "");
  EXPECT_EQ(GetFileAttributesW(too_long.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(DeleteFileW(too_long.c_str()));
  WIN32_FIND_DATAW data;
  EXPECT_EQ(FindFirstFileW(too_long.c_str(), &data), INVALID_HANDLE_VALUE);
}
#endif

}  // namespace
