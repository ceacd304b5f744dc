#include "tools/halvorn_disc/damaged_files.h"

#include <cstdlib>
#include <cstring>

#include "disc/reader.h"
#include "disc/tree.h"
#include "disc/verify.h"
#include "tools/halvorn_disc/safe_text.h"

namespace {

struct DamageWalk {
  HANDLE file;
  const ImageSource* src;
  Damage* damage;
  DiscTree tree;
  FILE* out;
};

struct WalkLevel {
  DamageWalk* walk;
  char path[kTreePathSize];  // "" at the root
};

// Reads the user data of blocks [first, first + count) into `out`, one
// sector at a time (folders are small). False outside the track.
bool ReadBlocks(const DamageWalk& w, uint64_t first, uint32_t count, uint8_t* out) {
  const SectorLayout& l = w.src->layout;
  if (first > w.src->sectors || count > w.src->sectors - first) return false;
  if (!SetFilePointerEx(w.file, static_cast<int64_t>(w.src->start + first * l.size), nullptr,
                        FILE_BEGIN)) {
    return false;
  }
  uint8_t sector[kRawSubchannelSectorSize];
  for (uint32_t i = 0; i < count; ++i) {
    DWORD got = 0;
    if (!ReadFile(w.file, sector, l.size, &got, nullptr) || got != l.size) return false;
    std::memcpy(out + size_t{i} * kUserDataSize, sector + l.data_offset, kUserDataSize);
  }
  return true;
}

int DamageVisitor(const char* name, const DiscEntry& entry, void* context) {
  WalkLevel* level = static_cast<WalkLevel*>(context);
  DamageWalk* w = level->walk;
  WalkLevel child;
  child.walk = w;
  JoinTreePath(level->path, '\\', name, child.path);
  uint32_t blocks =
      static_cast<uint32_t>((uint64_t{entry.size} + kUserDataSize - 1) / kUserDataSize);
  if (!entry.is_dir) {
    Damage* d = w->damage;
    const uint32_t* first = d->blocks;
    const uint32_t* last = d->blocks + d->listed;
    // The listed blocks are ascending: find the first inside the file.
    while (first < last) {
      const uint32_t* mid = first + (last - first) / 2;
      if (*mid < entry.extent)
        first = mid + 1;
      else
        last = mid;
    }
    uint64_t n = 0;
    for (; first < d->blocks + d->listed && *first < uint64_t{entry.extent} + blocks;
         ++first, ++n) {
      d->in_file[first - d->blocks] = 1;
    }
    if (n > 0) {
      PutSafeName(child.path, w->out);
      std::fprintf(w->out, ": %llu damaged sector%s\n", static_cast<unsigned long long>(n),
                   n == 1 ? "" : "s");
    }
    return 1;
  }
  if (EnterDiscFolder(&w->tree, entry) != FolderEntry::kEntered) return 1;
  uint8_t* records = entry.size > 0 && entry.size <= kMaxDirectorySize
                         ? static_cast<uint8_t*>(std::malloc(size_t{blocks} * kUserDataSize))
                         : nullptr;
  if (records != nullptr && ReadBlocks(*w, entry.extent, blocks, records)) {
    WalkDiscRecords(records, entry.size, DamageVisitor, &child);
  }
  std::free(records);
  LeaveDiscFolder(&w->tree);
  return 1;
}

}  // namespace

bool BeginDamage(Damage* d) {
  std::memset(d, 0, sizeof *d);
  d->blocks = static_cast<uint32_t*>(std::malloc(kMaxDamageListed * sizeof(uint32_t)));
  d->in_file = static_cast<uint8_t*>(std::calloc(kMaxDamageListed, 1));
  if (d->blocks != nullptr && d->in_file != nullptr) return true;
  EndDamage(d);
  return false;
}

void EndDamage(Damage* d) {
  std::free(d->blocks);
  std::free(d->in_file);
  d->blocks = nullptr;
  d->in_file = nullptr;
}

void AddDamage(Damage* d, uint64_t block) {
  if (d->listed < kMaxDamageListed && block <= UINT32_MAX)
    d->blocks[d->listed++] = static_cast<uint32_t>(block);
  ++d->count;
}

void ReportDamagedFiles(const ImageSource& src, Damage* damage, FILE* out, DamageKind kind) {
  if (damage->count == 0) return;
  bool unreadable = kind == DamageKind::kUnreadable;
  std::fprintf(out, "%llu damaged sector%s (%s):\n",
               static_cast<unsigned long long>(damage->count), damage->count == 1 ? "" : "s",
               unreadable ? "the drive could not read them; they hold zeros"
                          : "their error-detection codes do not match their data");
  DamageWalk w{
      CreateFileW(src.data_path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
      &src,
      damage,
      {},
      out};
  uint8_t pvd[kUserDataSize];
  if (w.file != INVALID_HANDLE_VALUE && ReadBlocks(w, 16, 1, pvd) &&
      pvd[kDescriptorType] == kPrimaryDescriptor &&
      std::memcmp(pvd + kDescriptorId, "CD001", 5) == 0 && BeginDiscTree(&w.tree)) {
    DiscEntry root{ReadLe32(pvd + kDescriptorRootRecord + kRecordExtent),
                   ReadLe32(pvd + kDescriptorRootRecord + kRecordSize), 1};
    WalkLevel top;
    top.walk = &w;
    top.path[0] = '\0';
    DamageVisitor("", root, &top);
    EndDiscTree(&w.tree);
  }
  if (w.file != INVALID_HANDLE_VALUE) CloseHandle(w.file);
  uint64_t outside = damage->count - damage->listed;
  for (uint32_t i = 0; i < damage->listed; ++i) outside += damage->in_file[i] == 0;
  if (outside > 0) {
    std::fprintf(out,
                 "%llu damaged sector%s in no file (folders, volume descriptors or free space)\n",
                 static_cast<unsigned long long>(outside), outside == 1 ? "" : "s");
  }
  std::fputs(unreadable ? "Those files would hold zeros. Clean the disc and rip it again, or "
                         "try another drive.\n"
                       : "Those files would hold garbage. Clean the disc and read it again (more "
                         "slowly, or in another drive), then convert the new image.\n",
             out);
}
