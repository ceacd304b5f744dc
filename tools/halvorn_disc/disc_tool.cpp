#include "tools/halvorn_disc/disc_tool.h"

#include <cstring>

#include "disc/manifest.h"
#include "disc/reader.h"
#include "disc/tree.h"
#include "disc/verify.h"

namespace {

// Room for a name below the deepest level the walk follows.
constexpr uint32_t kListPathSize = (kMaxTreeDepth + 2) * kDiscNameSize;

void PutWide(FILE* stream, const WCHAR* text) {
  char utf8[4096];
  int32_t bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
  if (bytes > 1) std::fwrite(utf8, 1, static_cast<size_t>(bytes - 1), stream);
}

HANDLE OpenImage(const WCHAR* path) {
  return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// What the listing shares across its levels.
struct Listing {
  HANDLE image;
  FILE* out;
  FILE* err;
  DiscTree tree;
  bool whole;  // every folder's records were listed
};

// One directory level of the listing.
struct ListLevel {
  Listing* listing;
  char path[kListPathSize];  // "" at the root
};

const char* WhyNotFollowed(FolderEntry entry) {
  switch (entry) {
    case FolderEntry::kTooDeep:
      return "too deep";
    case FolderEntry::kSeen:
      return "its extent was listed before (a loop or a shared folder)";
    case FolderEntry::kTooManyFolders:
      return "too many folders";
    case FolderEntry::kTooMuchData:
      return "too much folder data";
    case FolderEntry::kEntered:
      break;
  }
  return "";
}

int ListVisitor(const char* name, const DiscEntry& entry, void* context) {
  ListLevel* level = static_cast<ListLevel*>(context);
  Listing* listing = level->listing;
  // About 4 KiB a level, 65 levels at most: well within any thread's stack.
  ListLevel child;
  child.listing = listing;
  size_t length = std::strlen(level->path);
  std::memcpy(child.path, level->path, length);
  if (length > 0) child.path[length++] = '/';
  std::memcpy(child.path + length, name, std::strlen(name) + 1);
  std::fprintf(listing->out, "%c\t%lu\t%lu\t%s\n", entry.is_dir ? 'd' : 'f',
               static_cast<unsigned long>(entry.extent), static_cast<unsigned long>(entry.size),
               child.path);
  if (!entry.is_dir) return 1;
  FolderEntry entered = EnterDiscFolder(&listing->tree, entry);
  if (entered != FolderEntry::kEntered) {
    // A folder listed before lost nothing: its records are listed already.
    if (entered != FolderEntry::kSeen) listing->whole = false;
    std::fprintf(listing->err, "%s: not followed: %s\n", child.path, WhyNotFollowed(entered));
    return 1;
  }
  if (!WalkDiscDirectory(listing->image, entry, ListVisitor, &child)) {
    listing->whole = false;
    std::fprintf(listing->err, "can't read the directory %s\n", child.path);
  }
  LeaveDiscFolder(&listing->tree);
  return 1;
}

// Why a file that is not an ISO 9660 image was given, in plain words.
void ExplainNotAnImage(HANDLE image, const WCHAR* path, FILE* out) {
  static const uint8_t kSync[12] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
  uint8_t head[12] = {};
  DWORD got = 0;
  bool raw = SetFilePointerEx(image, 0, nullptr, FILE_BEGIN) &&
             ReadFile(image, head, sizeof head, &got, nullptr) && got == sizeof head &&
             std::memcmp(head, kSync, sizeof kSync) == 0;
  PutWide(out, path);
  if (raw) {
    std::fputs(": a raw CD image (2352-byte sectors, as in a .bin/.cue pair), not an .iso.\n"
               "Convert it to an .iso (2048-byte sectors) with a disc-imaging program, "
               "or make an .iso of disc 1 from the CD, and pick that file.\n",
               out);
  } else {
    std::fputs(": no ISO 9660 volume at sector 16, so it is not an .iso disc image.\n"
               "Make an .iso of disc 1 with a disc-imaging program and pick that file.\n",
               out);
  }
}

}  // namespace

int ListDiscImage(const WCHAR* path, FILE* out, FILE* err) {
  Listing listing{OpenImage(path), out, err, {}, true};
  if (listing.image == INVALID_HANDLE_VALUE) {
    std::fputs("can't open ", err);
    PutWide(err, path);
    std::fputs("\n", err);
    return 1;
  }
  DiscEntry root;
  bool listed = false;
  if (!ReadDiscRoot(listing.image, &root)) {
    std::fputs("no ISO 9660 primary volume descriptor\n", err);
  } else if (!BeginDiscTree(&listing.tree)) {
    std::fputs("out of memory\n", err);
  } else {
    ListLevel top;
    top.listing = &listing;
    top.path[0] = '\0';
    EnterDiscFolder(&listing.tree, root);
    listed = WalkDiscDirectory(listing.image, root, ListVisitor, &top);
    if (!listed) std::fputs("can't read the root directory\n", err);
    EndDiscTree(&listing.tree);
  }
  CloseHandle(listing.image);
  return listed && listing.whole ? 0 : 1;
}

int PrintManifest(FILE* out) {
  for (const ManifestEntry& row : kDiscManifest) {
    PutWide(out, row.path);
    std::fprintf(out, "\t%lu\n", static_cast<unsigned long>(row.size));
  }
  return 0;
}

int VerifyDiscImage(const WCHAR* path, FILE* out) {
  DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    PutWide(out, path);
    std::fputs(": no such file.\n", out);
    return 1;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    PutWide(out, path);
    std::fputs(": a folder, not a disc image. The launcher reads the .iso file itself and "
               "does not take files copied off the disc.\n"
               "Make an .iso of disc 1 with a disc-imaging program and pick that file.\n",
               out);
    return 1;
  }
  HANDLE image = OpenImage(path);
  if (image == INVALID_HANDLE_VALUE) {
    PutWide(out, path);
    std::fputs(": can't be opened for reading.\n", out);
    return 1;
  }
  DiscEntry root;
  DiscEntry folder;
  int code = 1;
  if (!ReadDiscRoot(image, &root)) {
    ExplainNotAnImage(image, path, out);
  } else if (!ResolveDiscPath(image, root, u"HV1", &folder) || !folder.is_dir) {
    PutWide(out, path);
    std::fputs(": an ISO 9660 image without an HV1 folder at its top, so not disc 1 of "
               "Halvorn: The Morvath Saga.\n",
               out);
  } else {
    uint32_t passed = 0;
    for (const ManifestEntry& row : kDiscManifest) {
      DiscEntry entry;
      switch (CheckManifestRow(image, folder, row, &entry)) {
        case RowCheck::kPresent:
          ++passed;
          break;
        case RowCheck::kMissing:
          std::fputs("missing\t", out);
          PutWide(out, row.path);
          std::fputs("\n", out);
          break;
        case RowCheck::kFolder:
          std::fputs("folder\t", out);
          PutWide(out, row.path);
          std::fputs("\tis a folder on the disc, a file is expected\n", out);
          break;
        case RowCheck::kOtherSize:
          std::fputs("size\t", out);
          PutWide(out, row.path);
          std::fprintf(out, "\t%lu bytes on the disc, %lu expected\n",
                       static_cast<unsigned long>(entry.size),
                       static_cast<unsigned long>(row.size));
          break;
      }
    }
    bool accepted = passed == kDiscManifestCount;
    std::fprintf(out, "%lu of %lu files present with their sizes: the launcher %s this image.\n",
                 static_cast<unsigned long>(passed),
                 static_cast<unsigned long>(kDiscManifestCount),
                 accepted ? "accepts" : "refuses");
    code = accepted ? 0 : 1;
  }
  CloseHandle(image);
  return code;
}

int RunDiscTool(int argc, const WCHAR* const* argv, FILE* out, FILE* err) {
  auto is = [](const WCHAR* a, const WCHAR* b) {
    while (*a && *a == *b) {
      ++a;
      ++b;
    }
    return *a == *b;
  };
  if (argc == 3 && is(argv[1], u"list")) return ListDiscImage(argv[2], out, err);
  if (argc == 2 && is(argv[1], u"manifest")) return PrintManifest(out);
  if (argc == 3 && is(argv[1], u"verify")) return VerifyDiscImage(argv[2], out);
  std::fputs("usage: halvorn-disc list IMAGE | manifest | verify IMAGE\n"
             "  list      every record of the image's primary directory tree:\n"
             "            d|f, extent, size and path, tab-separated\n"
             "  manifest  the files and sizes the launcher requires under HV1\n"
             "  verify    checks IMAGE as the launcher does and names every file that fails\n",
             err);
  return 2;
}
