#include "tests/support/memory_disk.h"

#include <algorithm>
#include <cstring>

namespace {

// The image and the pipe's read end are both read from a buffer.
enum class Kind { kClosed, kRead, kLog, kFile, kOther };

struct Open {
  Kind kind;
  const uint8_t* data = nullptr;  // kRead
  size_t size = 0;
  uint64_t position = 0;
  std::string* file = nullptr;  // kFile
};

constexpr size_t kEntryCapacity = 1024;
constexpr uint64_t kByteCapacity = 64ull << 20;
constexpr int32_t kErrorDiskFull = 112;

MemoryDisk g_disk;
std::vector<Open> g_open;  // handle N is g_open[N - 1]

PfHandle NewHandle(Open open) {
  g_open.push_back(open);
  return reinterpret_cast<PfHandle>(g_open.size());
}

Open* Find(PfHandle h, Kind kind) {
  size_t i = reinterpret_cast<uintptr_t>(h) - 1;
  return i < g_open.size() && g_open[i].kind == kind ? &g_open[i] : nullptr;
}

bool Full() {
  return g_disk.folders.size() + g_disk.files.size() >= kEntryCapacity ||
         g_disk.bytes_stored >= kByteCapacity;
}

}  // namespace

MemoryDisk& Disk() { return g_disk; }

PlatformOps NewMemoryDisk(const uint8_t* image, size_t image_size) {
  g_disk = MemoryDisk{};
  g_disk.image = image;
  g_disk.image_size = image_size;
  g_open.clear();
  // What the product calls only for its effect (waits, attributes, handle
  // flags) fails here too: it reads no result from them.
  PlatformOps ops = {
#define HV_FAIL(result, name, parameters, arguments, failure) \
  .name = [] parameters -> result { return failure; },
      HV_PLATFORM_OPERATIONS(HV_FAIL)
#undef HV_FAIL
  };
  ops.MultiByteToWideChar = SystemPlatform().MultiByteToWideChar;
  ops.WideCharToMultiByte = SystemPlatform().WideCharToMultiByte;

  ops.CreateFileW = [](const PfChar* name, uint32_t access, uint32_t, PfSecurityAttributes*,
                       uint32_t disposition, uint32_t, PfHandle) -> PfHandle {
    if (access == GENERIC_READ && disposition == OPEN_EXISTING) {
      return NewHandle({Kind::kRead, g_disk.image, g_disk.image_size});
    }
    if (access == FILE_APPEND_DATA) return NewHandle({Kind::kLog});
    if (access != GENERIC_WRITE || disposition != CREATE_ALWAYS) return INVALID_HANDLE_VALUE;
    if (g_disk.files.count(name) == 0 && Full()) return INVALID_HANDLE_VALUE;
    std::string& file = g_disk.files[name];
    g_disk.bytes_stored -= file.size();
    file.clear();
    ++g_disk.files_created;
    return NewHandle({Kind::kFile, nullptr, 0, 0, &file});
  };
  ops.SHCreateDirectoryExW = [](PfWindow, const PfChar* name, PfSecurityAttributes*) -> int32_t {
    if (g_disk.folders.count(name) != 0) return ERROR_ALREADY_EXISTS;
    if (Full()) return kErrorDiskFull;
    g_disk.folders.insert(name);
    return ERROR_SUCCESS;
  };
  // The product seeks only from the start.
  ops.SetFilePointerEx = [](PfHandle h, int64_t distance, int64_t*, uint32_t) -> PfBool {
    Open* open = Find(h, Kind::kRead);
    if (open == nullptr || distance < 0) return FALSE;
    open->position = static_cast<uint64_t>(distance);
    return TRUE;
  };
  ops.ReadFile = [](PfHandle h, void* buffer, uint32_t to_read, uint32_t* read, void*) -> PfBool {
    *read = 0;
    Open* open = Find(h, Kind::kRead);
    if (open == nullptr) return FALSE;
    if (open->position >= open->size) return TRUE;
    *read = static_cast<uint32_t>(std::min<uint64_t>(open->size - open->position, to_read));
    std::memcpy(buffer, open->data + open->position, *read);
    open->position += *read;
    return TRUE;
  };
  ops.WriteFile = [](PfHandle h, const void* buffer, uint32_t to_write, uint32_t* written,
                     void*) -> PfBool {
    const char* bytes = static_cast<const char*>(buffer);
    *written = 0;
    if (Find(h, Kind::kLog) != nullptr) {
      g_disk.log_writes.emplace_back(bytes, to_write);
      *written = to_write;
      return TRUE;
    }
    Open* open = Find(h, Kind::kFile);
    if (open == nullptr) return FALSE;
    uint64_t room = kByteCapacity - g_disk.bytes_stored;
    *written = static_cast<uint32_t>(std::min<uint64_t>(room, to_write));
    open->file->append(bytes, *written);
    g_disk.bytes_stored += *written;
    return TRUE;
  };
  ops.CloseHandle = [](PfHandle h) -> PfBool {
    size_t i = reinterpret_cast<uintptr_t>(h) - 1;
    if (i >= g_open.size() || g_open[i].kind == Kind::kClosed) return FALSE;
    g_open[i].kind = Kind::kClosed;
    return TRUE;
  };

  ops.CreateProcessW = [](const PfChar*, PfChar*, PfSecurityAttributes*, PfSecurityAttributes*,
                          PfBool, uint32_t, void*, const PfChar*, PfStartupInfo*,
                          PfProcessInformation* info) -> PfBool {
    info->hProcess = NewHandle({Kind::kOther});
    info->hThread = NewHandle({Kind::kOther});
    return TRUE;
  };
  ops.CreatePipe = [](PfHandle* read_end, PfHandle* write_end, PfSecurityAttributes*,
                      uint32_t) -> PfBool {
    *read_end = NewHandle({Kind::kRead, g_disk.child_output, g_disk.child_output_size});
    *write_end = NewHandle({Kind::kOther});
    return TRUE;
  };
  ops.PeekNamedPipe = [](PfHandle h, void*, uint32_t, uint32_t*, uint32_t* available,
                         uint32_t*) -> PfBool {
    Open* pipe = Find(h, Kind::kRead);
    if (pipe == nullptr || pipe->position == pipe->size || g_disk.pipe_chunk == 0) return FALSE;
    bool idle = g_disk.pipe_idle_turns && (g_disk.pipe_idle_next = !g_disk.pipe_idle_next);
    uint64_t left = pipe->size - pipe->position;
    *available = idle ? 0 : static_cast<uint32_t>(std::min<uint64_t>(left, g_disk.pipe_chunk));
    return TRUE;
  };
  return ops;
}
