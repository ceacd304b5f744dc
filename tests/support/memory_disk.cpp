#include "tests/support/memory_disk.h"

#include <algorithm>

namespace {

enum class Kind { kClosed, kRead, kFile };

struct Open {
  Kind kind;
  std::string* file = nullptr;  // kFile; none for the log, which keeps each write apart
  size_t position = 0;          // kRead: in the image, or the pipe's read end
};

std::vector<Open> g_open;  // handle N is g_open[N - 1]

PfHandle NewHandle(Kind kind, std::string* file = nullptr) {
  g_open.push_back({kind, file});
  return reinterpret_cast<PfHandle>(g_open.size());
}

Open* Find(PfHandle h, Kind kind) {
  size_t i = reinterpret_cast<uintptr_t>(h) - 1;
  return i < g_open.size() && g_open[i].kind == kind ? &g_open[i] : nullptr;
}

}  // namespace

PlatformOps NewMemoryDisk(std::string_view image) {
  g_disk = MemoryDisk{.image = image};
  g_open.clear();
  // What the product calls only for its effect (waits, attributes, handle
  // flags) fails here too: it reads no result from them.
  PlatformOps ops = {
#define HV_FAIL(result, name, parameters, arguments, failure) \
  .name = [] parameters -> result { return failure; },
      HV_PLATFORM_OPERATIONS(HV_FAIL)};
  ops.MultiByteToWideChar = SystemPlatform().MultiByteToWideChar;
  ops.WideCharToMultiByte = SystemPlatform().WideCharToMultiByte;

  ops.CreateFileW = [](const PfChar* name, uint32_t access, uint32_t, PfSecurityAttributes*,
                       uint32_t disposition, uint32_t, PfHandle) -> PfHandle {
    if (access == GENERIC_READ && disposition == OPEN_EXISTING) return NewHandle(Kind::kRead);
    if (access == FILE_APPEND_DATA) return NewHandle(Kind::kFile);
    if (access != GENERIC_WRITE || disposition != CREATE_ALWAYS) return INVALID_HANDLE_VALUE;
    if (g_disk.files.count(name) == 0 && g_disk.files.size() >= 512) return INVALID_HANDLE_VALUE;
    ++g_disk.files_created;
    std::u16string folded = name;
    for (char16_t& c : folded) c = c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c;
    g_disk.made_again += !g_disk.made.insert(folded).second;
    return NewHandle(Kind::kFile, &(g_disk.files[name] = ""));  // made anew, empty
  };
  ops.CreateDirectoryW = [](const PfChar* name, PfSecurityAttributes*) -> PfBool {
    g_disk.files[name];
    g_disk.folders.insert(name);
    return TRUE;
  };
  ops.SHCreateDirectoryExW = [](PfWindow, const PfChar* name, PfSecurityAttributes*) -> int32_t {
    g_disk.files[name];
    g_disk.folders.insert(name);
    return ERROR_SUCCESS;
  };
  ops.GetFileAttributesW = [](const PfChar* name) -> uint32_t {
    if (g_disk.folders.contains(name)) return FILE_ATTRIBUTE_DIRECTORY;
    return g_disk.files.contains(name) ? FILE_ATTRIBUTE_NORMAL : INVALID_FILE_ATTRIBUTES;
  };
  // What is asked after a failure here is always a name that isn't there.
  ops.GetLastError = []() -> uint32_t { return ERROR_FILE_NOT_FOUND; };
  ops.DeleteFileW = [](const PfChar* name) -> PfBool { return g_disk.files.erase(name) != 0; };
  ops.GetDiskFreeSpaceExW = [](const PfChar*, uint64_t* free_to_caller, uint64_t*,
                               uint64_t*) -> PfBool {
    *free_to_caller = uint64_t{1} << 40;
    return TRUE;
  };
  // The product seeks only from the start, or to the end for a size.
  ops.SetFilePointerEx = [](PfHandle h, int64_t distance, int64_t* at, uint32_t method) -> PfBool {
    Open* open = Find(h, Kind::kRead);
    if (open == nullptr || distance < 0) return FALSE;
    open->position = static_cast<size_t>(distance) + (method == FILE_END ? g_disk.image.size() : 0);
    if (at != nullptr) *at = static_cast<int64_t>(open->position);
    return TRUE;
  };
  ops.ReadFile = [](PfHandle h, void* buffer, uint32_t to_read, uint32_t* read, void*) -> PfBool {
    Open* open = Find(h, Kind::kRead);
    size_t at = open ? std::min(open->position, g_disk.image.size()) : g_disk.image.size();
    *read =
        static_cast<uint32_t>(g_disk.image.substr(at).copy(static_cast<char*>(buffer), to_read));
    if (open != nullptr) open->position += *read;
    return open != nullptr;
  };
  ops.WriteFile = [](PfHandle h, const void* buffer, uint32_t size, uint32_t* written,
                     void*) -> PfBool {
    Open* open = Find(h, Kind::kFile);
    *written = open != nullptr ? size : 0;
    if (open != nullptr)
      (open->file ? *open->file : g_disk.log_writes.emplace_back())
          .append(static_cast<const char*>(buffer), size);
    return open != nullptr;
  };
  ops.CloseHandle = [](PfHandle h) -> PfBool {
    // The fake above counts closes of what is not open.
    size_t i = reinterpret_cast<uintptr_t>(h) - 1;
    if (i < g_open.size()) g_open[i].kind = Kind::kClosed;
    return TRUE;
  };

  ops.CreateProcessW = [](const PfChar*, PfChar*, PfSecurityAttributes*, PfSecurityAttributes*,
                          PfBool, uint32_t, void*, const PfChar*, PfStartupInfo*,
                          PfProcessInformation* info) -> PfBool {
    info->hProcess = NewHandle(Kind::kClosed);
    info->hThread = NewHandle(Kind::kClosed);
    return TRUE;
  };
  ops.CreatePipe = [](PfHandle* read_end, PfHandle* write_end, PfSecurityAttributes*,
                      uint32_t) -> PfBool {
    *read_end = NewHandle(Kind::kRead);
    *write_end = NewHandle(Kind::kClosed);
    return TRUE;
  };
  ops.PeekNamedPipe = [](PfHandle h, void*, uint32_t, uint32_t*, uint32_t* available,
                         uint32_t*) -> PfBool {
    Open* pipe = Find(h, Kind::kRead);
    if (pipe == nullptr || pipe->position >= g_disk.image.size() || !g_disk.pipe_chunk)
      return FALSE;
    bool idle = g_disk.pipe_idle_turns && (g_disk.pipe_idle_next = !g_disk.pipe_idle_next);
    uint64_t left = g_disk.image.size() - pipe->position;
    *available = idle ? 0 : static_cast<uint32_t>(std::min<uint64_t>(left, g_disk.pipe_chunk));
    return TRUE;
  };
  return ops;
}
