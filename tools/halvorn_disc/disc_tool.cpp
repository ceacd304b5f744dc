#include "tools/halvorn_disc/disc_tool.h"

#include <cstdlib>
#include <cstring>

#include "disc/manifest.h"
#include "disc/reader.h"
#include "disc/tree.h"
#include "disc/verify.h"
#include "launcher/format.h"
#include "tools/halvorn_disc/convert.h"
#include "tools/halvorn_disc/rip.h"
#include "tools/halvorn_disc/safe_text.h"

namespace {


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
  char path[kTreePathSize];  // "" at the root
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
  JoinTreePath(level->path, '/', name, child.path);
  std::fprintf(listing->out, "%c\t%lu\t%lu\t", entry.is_dir ? 'd' : 'f',
               static_cast<unsigned long>(entry.extent), static_cast<unsigned long>(entry.size));
  PutSafeName(child.path, listing->out);
  std::fputc('\n', listing->out);
  if (!entry.is_dir) return 1;
  FolderEntry entered = EnterDiscFolder(&listing->tree, entry);
  if (entered != FolderEntry::kEntered) {
    // A folder listed before lost nothing: its records are listed already.
    if (entered != FolderEntry::kSeen) listing->whole = false;
    PutSafeName(child.path, listing->err);
    std::fprintf(listing->err, ": not followed: %s\n", WhyNotFollowed(entered));
    return 1;
  }
  if (!WalkDiscDirectory(listing->image, entry, ListVisitor, &child)) {
    listing->whole = false;
    std::fputs("can't read the directory ", listing->err);
    PutSafeName(child.path, listing->err);
    std::fputc('\n', listing->err);
  }
  LeaveDiscFolder(&listing->tree);
  return 1;
}

// What a file without an ISO 9660 volume at block 16 is, and what to do: for
// a convertible image, every sector checked and the command that converts it.
// The sectors of its volume an image ends before (0: whole, or not known).
uint64_t CutShortBy(const WCHAR* path) {
  ImageSource* src = static_cast<ImageSource*>(std::malloc(sizeof(ImageSource)));
  uint64_t missing = src != nullptr && IdentifyImage(path, src) ? src->missing_sectors : 0;
  std::free(src);
  return missing;
}

void ExplainNotAnImage(const WCHAR* path, FILE* out) {
  ImageSource* src = static_cast<ImageSource*>(std::malloc(sizeof(ImageSource)));
  Damage damage{};
  PutWide(out, path);
  if (src == nullptr || !BeginDamage(&damage)) {
    std::fputs(": out of memory.\n", out);
  } else if (!IdentifyImage(path, src)) {
    std::fputs(": can't be read.\n", out);
  } else if (!Convertible(src->kind)) {
    std::fprintf(out, ": %s.\n%s", src->what, src->todo);
  } else if (src->missing_sectors > 0) {
    std::fprintf(out, ": %s.\n", src->what);
    SayCutShort(*src, out);
  } else {
    std::fprintf(out, ": %s, which the launcher does not read directly.\n", src->what);
    if (!CopyTrack(*src, INVALID_HANDLE_VALUE, &damage)) {
      std::fputs("can't read every sector of it.\n", out);
    }
    ReportDamagedFiles(*src, &damage, out);
    WCHAR iso[kToolPathUnits];
    if (IsoNameBeside(path, iso, kToolPathUnits)) {
      std::fputs("Make an .iso the launcher reads with:\n  halvorn-disc convert \"", out);
      PutWide(out, path);
      std::fputs("\" \"", out);
      PutWide(out, iso);
      std::fputs("\"\n", out);
    }
  }
  EndDamage(&damage);
  std::free(src);
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
    ExplainNotAnImage(path, out);
  } else if (!ResolveDiscPath(image, root, u"HV1", &folder) || !folder.is_dir) {
    PutWide(out, path);
    std::fputs(": an ISO 9660 image without an HV1 folder at its top, so not disc 1 of "
               "Halvorn: The Morvath Saga.\n",
               out);
  } else {
    uint32_t passed = 0;
    FolderBudget budget{kMaxRowFolderBytes, false};
    for (const ManifestEntry& row : kDiscManifest) {
      DiscEntry entry;
      if (budget.exceeded) break;
      switch (CheckManifestRow(image, folder, row, &entry, &budget)) {
        case RowCheck::kTooMuchFolderData:
          std::fputs("too much folder data to check the rest: its folders hold more than a "
                     "disc's (a crafted image?)\n",
                     out);
          break;
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
    // The launcher refuses an image whose files lie past its end; one cut
    // short anywhere is refused here, whatever its cut reaches.
    uint64_t missing = CutShortBy(path);
    bool accepted = passed == kDiscManifestCount && missing == 0;
    std::fprintf(out, "%lu of %lu files present with their sizes: the launcher %s this image.\n",
                 static_cast<unsigned long>(passed),
                 static_cast<unsigned long>(kDiscManifestCount),
                 accepted ? "accepts" : "refuses");
    if (missing > 0) {
      ImageSource cut{};
      cut.missing_sectors = missing;
      SayCutShort(cut, out);
    }
    code = accepted ? 0 : 1;
  }
  CloseHandle(image);
  return code;
}

int ConvertCommand(const WCHAR* in, const WCHAR* out_path, FILE* out) {
  ConvertResult result = ConvertImage(in, out_path, out);
  return result == ConvertResult::kWritten ? 0 : 1;
}

int RunDroppedFile(const WCHAR* path, FILE* out) {
  ImageSource* src = static_cast<ImageSource*>(std::malloc(sizeof(ImageSource)));
  if (src == nullptr) return 1;
  WCHAR iso[kToolPathUnits];
  int code = 1;
  const char* why = nullptr;
  const WCHAR* named = path;
  if (!IdentifyImage(path, src) || src->kind == ImageKind::kIso || !Convertible(src->kind)) {
    // verify names what the file is and what to do.
    code = VerifyDiscImage(path, out);
    why = src->kind == ImageKind::kChd   ? "it is compressed; unpack it first as shown above."
          : src->kind == ImageKind::kUdf ? "it is a UDF-only image."
          : src->missing_sectors > 0     ? "it is cut short (see above)."
          : src->kind == ImageKind::kIso ? "it is not a whole copy of disc 1 (see above)."
                                         : "it is not a disc image it can read (see above).";
  } else if (src->missing_sectors > 0) {
    PutWide(out, path);
    std::fprintf(out, ": %s.\n", src->what);
    SayCutShort(*src, out);
    why = "it is cut short (see above).";
  } else if (!IsoNameBeside(path, iso, kToolPathUnits)) {
    why = "an .iso of its name, and each numbered one up to (9), exist beside it already.";
  } else {
    ConvertResult result = ConvertImage(path, iso, out);
    if (result == ConvertResult::kFailed) {
      why = "it could not be converted (see above).";
    } else {
      named = iso;
      code = VerifyDiscImage(iso, out);
      why = "it is not a whole copy of disc 1 (see above).";
      if (result == ConvertResult::kWrittenDamaged) {
        code = 1;
        why = "some of its files hold garbage from damaged sectors; clean the disc, read it "
              "again and drop the new image here.";
      }
    }
  }
  std::fputs(code == 0 ? "Halvorn Glint can install from " : "Halvorn Glint can't install from ",
             out);
  PutWide(out, named);
  if (code == 0) {
    std::fputs(".\n", out);
  } else {
    std::fprintf(out, ": %s\n", why);
  }
  std::free(src);
  return code;
}

bool IsDroppedFile(int argc, const WCHAR* const* argv) {
  if (argc != 2 || SameText(argv[1], u"manifest")) return false;
  DWORD attributes = GetFileAttributesW(argv[1]);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool StartedForAPlayer(int argc, const WCHAR* const* argv) {
  return argc == 1 || IsDroppedFile(argc, argv) || (argc == 2 && IsOpticalDrive(argv[1]));
}

bool ConsoleIsOwnWindow() {
  DWORD processes[4];
  return GetConsoleProcessList(processes, 4) == 1;
}

int RunDiscTool(int argc, const WCHAR* const* argv, FILE* out, FILE* err) {
  const auto is = SameText;
  // Started with nothing (double-clicked), or given a drive (dropped on
  // the program): the search and the rip, for a player.
  if (argc == 1 && ConsoleIsOwnWindow()) return RipCommand(nullptr, nullptr, out, err);
  if (argc == 2 && IsOpticalDrive(argv[1])) return RipCommand(argv[1], nullptr, out, err);
  if (argc >= 2 && argc <= 4 && is(argv[1], u"rip"))
    return RipCommand(argc > 2 ? argv[2] : nullptr, argc > 3 ? argv[3] : nullptr, out, err);
  if (argc == 3 && is(argv[1], u"list")) return ListDiscImage(argv[2], out, err);
  if (argc == 2 && is(argv[1], u"manifest")) return PrintManifest(out);
  if (argc == 3 && is(argv[1], u"verify")) return VerifyDiscImage(argv[2], out);
  if (argc == 4 && is(argv[1], u"convert")) return ConvertCommand(argv[2], argv[3], out);
  if (IsDroppedFile(argc, argv)) return RunDroppedFile(argv[1], out);
  std::fputs("usage: halvorn-disc list IMAGE | manifest | verify IMAGE | convert IN OUT.iso\n"
             "       halvorn-disc rip [DRIVE [OUT.iso]]\n"
             "       halvorn-disc IMAGE | DRIVE\n"
             "  list      every record of the image's primary directory tree:\n"
             "            d|f, extent, size and path, tab-separated\n"
             "  manifest  the files and sizes the launcher requires under HV1\n"
             "  verify    checks IMAGE as the launcher does and names every file that fails;\n"
             "            on a raw CD image, every sector's error-detection code as well\n"
             "  convert   writes the first data track of a raw (.bin, .img, .mdf), .cue or\n"
             "            .nrg image as an .iso, naming the files of any damaged sectors\n"
             "  rip       reads disc 1 from DRIVE (\"D:\"; none: the drive holding it) into\n"
             "            OUT.iso (none: the release folder), retrying what the drive\n"
             "            misreads, then checks it\n"
             "  IMAGE     (a file dropped on the program) verifies it, converting it first\n"
             "            to an .iso beside it when needed; a DRIVE dropped, or the program\n"
             "            started on its own, rips disc 1 into the release folder\n",
             err);
  return 2;
}
