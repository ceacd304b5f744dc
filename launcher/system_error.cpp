#include "launcher/system_error.h"

#include "launcher/format.h"

namespace {

struct ErrorWords {
  int32_t code;
  const WCHAR* words;
};

// The failures a player can meet while the launcher reads an image and
// writes the game data, each in words that point at what to do.
const ErrorWords kWords[] = {
    {ERROR_FILE_NOT_FOUND, u"it isn't there any more"},
    {ERROR_PATH_NOT_FOUND, u"its folder isn't there any more"},
    {ERROR_ACCESS_DENIED, u"access is denied"},
    {ERROR_WRITE_PROTECT, u"the disk is write-protected"},
    {ERROR_NOT_READY, u"the drive isn't ready"},
    {ERROR_CRC, u"the drive couldn't read the data (a damaged disc or disk?)"},
    {ERROR_SHARING_VIOLATION, u"another program is using it"},
    {ERROR_LOCK_VIOLATION, u"another program is using it"},
    {ERROR_HANDLE_DISK_FULL, u"the disk is full"},
    {ERROR_DISK_FULL, u"the disk is full"},
    {ERROR_FILENAME_EXCED_RANGE, u"the path is too long"},
    {ERROR_DIRECTORY, u"a file stands where a folder should be"},
    {ERROR_HANDLE_EOF, u"it ends before its data does (is it cut short?)"},
    {ERROR_DEV_NOT_EXIST, u"the drive is gone (unplugged or disconnected?)"},
    {ERROR_NETNAME_DELETED, u"the network drive is gone"},
    {ERROR_IO_DEVICE, u"the device reported an error"},
    {ERROR_READ_FAULT, u"the device couldn't read"},
    {ERROR_WRITE_FAULT, u"the device couldn't write"},
    {ERROR_NOT_ENOUGH_MEMORY, u"the PC is out of memory"},
    {ERROR_TOO_MANY_OPEN_FILES, u"too many files are open"},
};

}  // namespace

void DescribeSystemError(uint32_t code, WCHAR* out) {
  for (const ErrorWords& entry : kWords) {
    if (static_cast<uint32_t>(entry.code) == code) {
      CopyWide(out, kErrorWordsLimit, entry.words);
      return;
    }
  }
  FormatBounded(out, kErrorWordsLimit, u"Windows error %lu", code);
}
