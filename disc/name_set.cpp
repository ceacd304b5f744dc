#include "disc/name_set.h"

#include <cstdlib>
#include <cstring>

#include "disc/extract.h"
#include "disc/tree.h"

namespace {

// Every file and folder one walk may copy, at most half the slots in use.
constexpr uint32_t kMaxNameSlots = 2 * (kMaxExtractFiles + kMaxTreeFolders);
constexpr uint32_t kFirstNameSlots = 256;

void Fold(const char* name, char* out) {
  size_t n = 0;
  for (; name[n] != '\0' && n < kDiscNameSize - 1; ++n)
    out[n] = name[n] >= 'a' && name[n] <= 'z' ? static_cast<char>(name[n] - 'a' + 'A') : name[n];
  std::memset(out + n, 0, kDiscNameSize - n);
}

NameSlot* SlotFor(NameSlot* slots, uint32_t capacity, uint64_t folder, const char* folded) {
  uint32_t hash = 2166136261u ^ static_cast<uint32_t>(folder);  // FNV-1a, folder and name
  for (const char* p = folded; *p; ++p) hash = (hash ^ static_cast<unsigned char>(*p)) * 16777619u;
  for (uint32_t i = hash & (capacity - 1);; i = (i + 1) & (capacity - 1)) {
    NameSlot* slot = &slots[i];
    if (slot->folder == 0 || (slot->folder == folder && std::strcmp(slot->name, folded) == 0))
      return slot;
  }
}

bool Grow(NameSet* set) {
  uint32_t capacity = set->capacity == 0 ? kFirstNameSlots : set->capacity * 2;
  if (capacity > kMaxNameSlots) return false;
  NameSlot* slots = static_cast<NameSlot*>(std::calloc(capacity, sizeof(NameSlot)));
  if (slots == nullptr) return false;
  for (uint32_t i = 0; i < set->capacity; ++i) {
    if (set->slots[i].folder != 0)
      *SlotFor(slots, capacity, set->slots[i].folder, set->slots[i].name) = set->slots[i];
  }
  std::free(set->slots);
  set->slots = slots;
  set->capacity = capacity;
  return true;
}

}  // namespace

void BeginNameSet(NameSet* set) { *set = NameSet{nullptr, 0, 0}; }

void EndNameSet(NameSet* set) {
  std::free(set->slots);
  *set = NameSet{nullptr, 0, 0};
}

NameAdded AddName(NameSet* set, uint32_t folder_extent, const char* name) {
  if (2 * (set->used + 1) > set->capacity && !Grow(set)) return NameAdded::kNoRoom;
  char folded[kDiscNameSize];
  Fold(name, folded);
  uint64_t folder = uint64_t{folder_extent} + 1;
  NameSlot* slot = SlotFor(set->slots, set->capacity, folder, folded);
  if (slot->folder != 0) return NameAdded::kSeen;
  slot->folder = folder;
  std::memcpy(slot->name, folded, kDiscNameSize);
  ++set->used;
  return NameAdded::kNew;
}
