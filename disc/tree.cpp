#include "disc/tree.h"

#include <cstdlib>
#include <cstring>

namespace {

// The set's key of an extent: the extent plus one in 64 bits, so that no
// extent (0xFFFFFFFF included) reads as an empty slot.
uint64_t KeyOf(uint32_t extent) { return uint64_t{extent} + 1; }

// The slot holding `extent`, or the empty one where it would go. The folder
// bound keeps the set at most half full, so an empty slot is always found.
uint64_t* SlotOf(DiscTree* tree, uint32_t extent) {
  uint32_t mask = tree->seen_slots - 1;
  for (uint32_t i = (extent * 2654435761u) & mask;; i = (i + 1) & mask) {
    if (tree->seen[i] == KeyOf(extent) || tree->seen[i] == 0) return &tree->seen[i];
  }
}

}  // namespace

bool BeginDiscTree(DiscTree* tree) {
  tree->depth = 0;
  tree->folders_left = kMaxTreeFolders;
  tree->bytes_left = kMaxTreeFolderBytes;
  tree->seen_slots = 2 * kMaxTreeFolders;
  tree->seen = static_cast<uint64_t*>(std::calloc(tree->seen_slots, sizeof(uint64_t)));
  return tree->seen != nullptr;
}

void EndDiscTree(DiscTree* tree) {
  std::free(tree->seen);
  tree->seen = nullptr;
}

FolderEntry EnterDiscFolder(DiscTree* tree, const DiscEntry& folder) {
  if (tree->depth > kMaxTreeDepth) return FolderEntry::kTooDeep;
  uint64_t* slot = SlotOf(tree, folder.extent);
  if (*slot != 0) return FolderEntry::kSeen;
  if (tree->folders_left == 0) return FolderEntry::kTooManyFolders;
  // What the walk will read: nothing for a size it refuses unread.
  uint64_t bytes = folder.size <= kMaxDirectorySize ? folder.size : 0;
  if (bytes > tree->bytes_left) return FolderEntry::kTooMuchData;
  *slot = KeyOf(folder.extent);
  --tree->folders_left;
  tree->bytes_left -= bytes;
  ++tree->depth;
  return FolderEntry::kEntered;
}

void LeaveDiscFolder(DiscTree* tree) { --tree->depth; }

void JoinTreePath(const char* parent, char separator, const char* name, char* out) {
  size_t length = std::strlen(parent);
  std::memmove(out, parent, length);
  if (length > 0) out[length++] = separator;
  std::memcpy(out + length, name, std::strlen(name) + 1);
}
