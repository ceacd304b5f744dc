#include "tests/support/memory_disk.h"

#include <cstring>

#include "disc/reader.h"

namespace {

enum class Kind { kImage, kLog, kWrite, kPipeRead, kPipeWrite, kProcess, kThread };

struct Open {
  Kind kind;
  int64_t position = 0;
  size_t write_index = 0;  // kWrite: its record in MP().writes
};

MemoryDisk g_state;
std::map<uintptr_t, Open> g_open;
uintptr_t g_next_handle = 0x1000;

constexpr int32_t kErrorPathNotFound = 3;
constexpr int32_t kErrorDiskFull = 112;

PfHandle NewHandle(Open open) {
  uintptr_t h = g_next_handle;
  g_next_handle += 8;
  g_open.emplace(h, open);
  return reinterpret_cast<PfHandle>(h);
}

Open* Find(PfHandle h) {
  auto it = g_open.find(reinterpret_cast<uintptr_t>(h));
  return it == g_open.end() ? nullptr : &it->second;
}

std::u16string Text(const PfChar* s) { return s ? std::u16string(s) : std::u16string(); }

bool Full() {
  return g_state.fs.size() >= g_state.entry_capacity ||
         g_state.bytes_stored >= g_state.byte_capacity;
}

std::u16string Parent(const std::u16string& path) {
  size_t cut = path.rfind(u'\\');
  return cut == std::u16string::npos ? std::u16string() : path.substr(0, cut);
}

bool IsDir(const std::u16string& path) {
  auto it = g_state.fs.find(path);
  return it != g_state.fs.end() && it->second.dir;
}

PfHandle M_CreateFileW(const PfChar* name, uint32_t access, uint32_t, PfSecurityAttributes*,
                       uint32_t disposition, uint32_t, PfHandle) {
  if (name == nullptr) return INVALID_HANDLE_VALUE;
  std::u16string path = name;
  if (path == g_state.image_path && access == GENERIC_READ && disposition == OPEN_EXISTING) {
    return NewHandle({Kind::kImage});
  }
  if (path == g_state.log_path && access == FILE_APPEND_DATA) return NewHandle({Kind::kLog});
  if ((access & GENERIC_WRITE) == 0 || disposition != CREATE_ALWAYS) return INVALID_HANDLE_VALUE;
  g_state.touched_paths.push_back(path);
  // As on a real disk: the folder must exist and the name must not be one.
  if (!IsDir(Parent(path)) || IsDir(path)) return INVALID_HANDLE_VALUE;
  auto it = g_state.fs.find(path);
  if (it == g_state.fs.end()) {
    if (Full()) {
      ++g_state.full_refusals;
      return INVALID_HANDLE_VALUE;
    }
    it = g_state.fs.emplace(path, MemoryNode{}).first;
  }
  g_state.bytes_stored -= it->second.size;
  it->second.size = 0;
  ++g_state.files_created;
  MemoryFileWrite record;
  record.path = path;
  for (size_t offset = 0; offset <= g_state.image_size; offset += kSectorSize) {
    record.image_sectors.push_back(static_cast<uint32_t>(offset / kSectorSize));
  }
  g_state.writes.push_back(std::move(record));
  Open open{Kind::kWrite};
  open.write_index = g_state.writes.size() - 1;
  return NewHandle(open);
}

PfBool M_SetFilePointerEx(PfHandle h, int64_t distance, int64_t* new_position, uint32_t method) {
  Open* open = Find(h);
  if (open == nullptr || open->kind != Kind::kImage) return FALSE;
  int64_t base = method == FILE_BEGIN     ? 0
                 : method == FILE_CURRENT ? open->position
                 : method == FILE_END     ? static_cast<int64_t>(g_state.image_size)
                                          : -1;
  if (base < 0 || (distance < 0 && base + distance < 0)) return FALSE;
  if (distance > INT64_MAX - base) return FALSE;
  open->position = base + distance;
  if (new_position) *new_position = open->position;
  return TRUE;
}

PfBool M_ReadFile(PfHandle h, void* buffer, uint32_t to_read, uint32_t* read, void*) {
  if (read) *read = 0;
  Open* open = Find(h);
  if (open == nullptr) return FALSE;
  if (open->kind == Kind::kImage) {
    uint64_t size = g_state.image_size;
    uint64_t at = static_cast<uint64_t>(open->position);
    uint32_t n = at >= size ? 0 : static_cast<uint32_t>(size - at < to_read ? size - at : to_read);
    if (n > 0) std::memcpy(buffer, g_state.image + at, n);
    open->position += n;
    if (read) *read = n;
    return TRUE;
  }
  if (open->kind == Kind::kPipeRead) {
    // A broken pipe once the child's output is used up.
    if (to_read == 0 || g_state.child_read >= g_state.child_output_size) return FALSE;
    *static_cast<uint8_t*>(buffer) = g_state.child_output[g_state.child_read++];
    if (read) *read = 1;
    return TRUE;
  }
  return FALSE;
}

PfBool M_WriteFile(PfHandle h, const void* buffer, uint32_t to_write, uint32_t* written, void*) {
  if (written) *written = 0;
  Open* open = Find(h);
  if (open == nullptr) return FALSE;
  if (open->kind == Kind::kLog) {
    g_state.log.append(static_cast<const char*>(buffer), to_write);
    g_state.log_writes.emplace_back(static_cast<const char*>(buffer), to_write);
    if (written) *written = to_write;
    return TRUE;
  }
  if (open->kind != Kind::kWrite) return FALSE;
  MemoryFileWrite& record = g_state.writes[open->write_index];
  uint64_t room = g_state.byte_capacity > g_state.bytes_stored
                      ? g_state.byte_capacity - g_state.bytes_stored
                      : 0;
  uint32_t n = room < to_write ? static_cast<uint32_t>(room) : to_write;
  if (n < to_write) ++g_state.full_refusals;
  // Keep the image offsets that still agree with the whole file.
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  std::vector<uint32_t>& sectors = record.image_sectors;
  size_t kept = 0;
  for (uint32_t sector : sectors) {
    uint64_t at = uint64_t{sector} * kSectorSize + record.size;
    if (at + n <= g_state.image_size && std::memcmp(g_state.image + at, bytes, n) == 0) {
      sectors[kept++] = sector;
    }
  }
  sectors.resize(kept);
  record.size += n;
  g_state.bytes_written += n;
  g_state.bytes_stored += n;
  g_state.fs[record.path].size = record.size;
  if (written) *written = n;
  return TRUE;
}

PfBool M_CloseHandle(PfHandle h) {
  return g_open.erase(reinterpret_cast<uintptr_t>(h)) != 0 ? TRUE : FALSE;
}

PfBool M_SetFileAttributesW(const PfChar* name, uint32_t) {
  g_state.touched_paths.push_back(Text(name));
  return g_state.fs.count(Text(name)) != 0 ? TRUE : FALSE;
}

int32_t M_SHCreateDirectoryExW(PfWindow, const PfChar* name, PfSecurityAttributes*) {
  std::u16string path = Text(name);
  g_state.touched_paths.push_back(path);
  ++g_state.directory_creates;
  if (IsDir(path)) return ERROR_ALREADY_EXISTS;
  // Every folder on the way, as the shell call makes them.
  for (size_t at = 0; at <= path.size(); ++at) {
    if (at < path.size() && path[at] != u'\\') continue;
    std::u16string prefix = path.substr(0, at);
    if (prefix.empty()) return kErrorPathNotFound;
    auto it = g_state.fs.find(prefix);
    if (it != g_state.fs.end()) {
      if (!it->second.dir) return kErrorPathNotFound;
      continue;
    }
    if (Full()) {
      ++g_state.full_refusals;
      return kErrorDiskFull;
    }
    g_state.fs.emplace(prefix, MemoryNode{true, 0});
  }
  return ERROR_SUCCESS;
}

PfBool M_CreateProcessW(const PfChar*, PfChar*, PfSecurityAttributes*, PfSecurityAttributes*,
                        PfBool, uint32_t, void*, const PfChar*, PfStartupInfo*,
                        PfProcessInformation* info) {
  if (g_state.child_output == nullptr && g_state.child_output_size != 0) return FALSE;
  info->hProcess = NewHandle({Kind::kProcess});
  info->hThread = NewHandle({Kind::kThread});
  info->dwProcessId = 100;
  info->dwThreadId = 101;
  return TRUE;
}

PfBool M_CreatePipe(PfHandle* read_end, PfHandle* write_end, PfSecurityAttributes*, uint32_t) {
  *read_end = NewHandle({Kind::kPipeRead});
  *write_end = NewHandle({Kind::kPipeWrite});
  return TRUE;
}

PfBool M_SetHandleInformation(PfHandle h, uint32_t, uint32_t) {
  return Find(h) != nullptr ? TRUE : FALSE;
}

PfBool M_PeekNamedPipe(PfHandle h, void*, uint32_t, uint32_t*, uint32_t* available, uint32_t*) {
  Open* open = Find(h);
  if (open == nullptr || open->kind != Kind::kPipeRead) return FALSE;
  MemoryDisk& s = g_state;
  size_t left = s.child_output_size - s.child_read;
  if (left == 0 || s.pipe_chunk == 0) return FALSE;
  if (s.pipe_idle_turns && (s.pipe_idle_next = !s.pipe_idle_next)) {
    if (available) *available = 0;
    return TRUE;
  }
  size_t ready = s.child_available > s.child_read ? s.child_available - s.child_read : 0;
  ready += s.pipe_chunk;
  if (ready > left) ready = left;
  s.child_available = s.child_read + ready;
  if (available) *available = static_cast<uint32_t>(ready);
  return TRUE;
}

uint32_t M_WaitForSingleObject(PfHandle h, uint32_t) {
  Open* open = Find(h);
  return open != nullptr && open->kind == Kind::kProcess ? WAIT_OBJECT_0 : WAIT_FAILED;
}

// Windows: no message ever waits.
PfBool M_PeekMessageW(PfMsg*, PfWindow, uint32_t, uint32_t, uint32_t) { return FALSE; }

// Everything the fuzzed code is not expected to need.
uint32_t M_GetFileAttributesW(const PfChar*) { return INVALID_FILE_ATTRIBUTES; }
PfBool M_DeleteFileW(const PfChar*) { return FALSE; }
PfBool M_MoveFileExW(const PfChar*, const PfChar*, uint32_t) { return FALSE; }
uint32_t M_GetConsoleProcessList(uint32_t*, uint32_t) { return 0; }
PfHandle M_FindFirstFileW(const PfChar*, PfFindData*) { return INVALID_HANDLE_VALUE; }
PfBool M_FindNextFileW(PfHandle, PfFindData*) { return FALSE; }
PfBool M_FindClose(PfHandle) { return FALSE; }
uint32_t M_GetModuleFileNameW(void*, PfChar*, uint32_t) { return 0; }
PfChar** M_CommandLineToArgvW(const PfChar*, int32_t* count) {
  if (count) *count = 0;
  return nullptr;
}

}  // namespace

MemoryDisk& Disk() { return g_state; }

PlatformOps NewMemoryDisk() {
  g_state = MemoryDisk{};
  g_open.clear();
  // Text conversion and the rest of the windows' calls are the system's.
  PlatformOps ops = SystemPlatform();
  ops.CreateFileW = M_CreateFileW;
  ops.SetFilePointerEx = M_SetFilePointerEx;
  ops.ReadFile = M_ReadFile;
  ops.WriteFile = M_WriteFile;
  ops.CloseHandle = M_CloseHandle;
  ops.GetFileAttributesW = M_GetFileAttributesW;
  ops.SetFileAttributesW = M_SetFileAttributesW;
  ops.DeleteFileW = M_DeleteFileW;
  ops.MoveFileExW = M_MoveFileExW;
  ops.FindFirstFileW = M_FindFirstFileW;
  ops.FindNextFileW = M_FindNextFileW;
  ops.FindClose = M_FindClose;
  ops.SHCreateDirectoryExW = M_SHCreateDirectoryExW;
  ops.GetModuleFileNameW = M_GetModuleFileNameW;
  ops.CreateProcessW = M_CreateProcessW;
  ops.CreatePipe = M_CreatePipe;
  ops.SetHandleInformation = M_SetHandleInformation;
  ops.PeekNamedPipe = M_PeekNamedPipe;
  ops.WaitForSingleObject = M_WaitForSingleObject;
  ops.GetConsoleProcessList = M_GetConsoleProcessList;
  ops.PeekMessageW = M_PeekMessageW;
  ops.CommandLineToArgvW = M_CommandLineToArgvW;
  return ops;
}
