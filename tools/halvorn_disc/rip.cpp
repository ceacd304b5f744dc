#include "tools/halvorn_disc/rip.h"

#include <cstdlib>
#include <cstring>

#include "disc/manifest.h"
#include "disc/verify.h"
#include "launcher/format.h"
#include "launcher/system_error.h"
#include "tools/halvorn_disc/convert.h"
#include "tools/halvorn_disc/damaged_files.h"
#include "tools/halvorn_disc/disc_tool.h"
#include "tools/halvorn_disc/partial_output.h"

namespace {

constexpr uint32_t kDriveUnits = 512;

// The drive as the player named it, without a trailing separator ("D:"),
// and the device path that reads its sectors ("\\.\D:").
struct Drive {
  WCHAR name[kDriveUnits];
  WCHAR device[kDriveUnits + 8];
};

bool MakeDrive(const WCHAR* given, Drive* d) {
  size_t n = WideUnits(given);
  while (n > 1 && (given[n - 1] == u'\\' || given[n - 1] == u'/')) --n;
  if (n == 0 || n >= kDriveUnits) return false;
  std::memcpy(d->name, given, n * sizeof(WCHAR));
  d->name[n] = u'\0';
  FormatBounded(d->device, kDriveUnits + 7, u"\\\\.\\%s", static_cast<const WCHAR*>(d->name));
  return true;
}

enum class Holds { kDisc1, kNoDisc, kNoDataDisc, kOtherDisc, kUnreadable };

HANDLE OpenDrive(const Drive& d) {
  return CreateFileW(d.device, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// What the drive holds, read from the drive: its primary volume, the HV1
// folder and every manifest row. `error` gets the reason a read failed.
Holds Probe(const Drive& d, uint32_t* error) {
  *error = 0;
  HANDLE drive = OpenDrive(d);
  if (drive == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return *error == ERROR_NOT_READY ? Holds::kNoDisc : Holds::kUnreadable;
  }
  Holds holds = Holds::kDisc1;
  DiscEntry root, folder;
  if (!ReadDiscRoot(drive, &root)) {
    *error = GetLastError();
    holds = *error == ERROR_NOT_READY ? Holds::kNoDisc : Holds::kNoDataDisc;
  } else if (!ResolveDiscPath(drive, root, u"HV1", &folder) || !folder.is_dir) {
    holds = Holds::kOtherDisc;
  } else {
    FolderBudget budget{kMaxRowFolderBytes, false};
    for (const ManifestEntry& row : kDiscManifest) {
      DiscEntry found;
      if (CheckManifestRow(drive, folder, row, &found, &budget) != RowCheck::kPresent) {
        holds = Holds::kOtherDisc;
        break;
      }
    }
  }
  CloseHandle(drive);
  return holds;
}

void SayHolds(const Drive& d, Holds holds, uint32_t error, FILE* out) {
  PutWide(out, d.name);
  switch (holds) {
    case Holds::kDisc1:
      std::fputs(" holds disc 1 of Halvorn: The Morvath Saga.\n", out);
      break;
    case Holds::kNoDisc:
      std::fputs(" has no disc in it (or its tray is open).\n", out);
      break;
    case Holds::kNoDataDisc:
      std::fputs(" holds no data disc (an audio CD, a blank disc, or one it cannot read).\n", out);
      break;
    case Holds::kOtherDisc:
      std::fputs(" holds another disc, not disc 1 of Halvorn: The Morvath Saga.\n", out);
      break;
    case Holds::kUnreadable: {
      WCHAR words[kErrorWordsLimit + 1];
      DescribeSystemError(error, words);
      std::fputs(" can't be read (", out);
      PutWide(out, words);
      std::fputs(").\n", out);
      break;
    }
  }
}

// Looks through the optical drives for the one holding disc 1.
bool FindDisc1(Drive* found, FILE* out) {
  WCHAR roots[2048];
  uint32_t length = GetLogicalDriveStringsW(2048, roots);
  if (length == 0 || length >= 2048) length = 0;
  bool any = false, chosen = false;
  for (const WCHAR* root = roots; root < roots + length && *root; root += WideUnits(root) + 1) {
    Drive d;
    if (GetDriveTypeW(root) != DRIVE_CDROM || !MakeDrive(root, &d)) continue;
    any = true;
    uint32_t error = 0;
    Holds holds = Probe(d, &error);
    SayHolds(d, holds, error, out);
    if (holds == Holds::kDisc1 && !chosen) {
      *found = d;
      chosen = true;
    }
  }
  if (!any) std::fputs("No CD or DVD drive was found.\n", out);
  if (any && !chosen)
    std::fputs("No drive holds disc 1: put it in a drive and start again.\n", out);
  return chosen;
}

// Where a player's image goes: the release folder (the tool lies in its
// tools folder), beside the launcher, under a name not taken.
bool DefaultOutput(WCHAR* out) {
  WCHAR self[kToolPathUnits];
  uint32_t n = GetModuleFileNameW(nullptr, self, kToolPathUnits);
  if (n == 0 || n >= kToolPathUnits) return false;
  self[n] = u'\0';
  auto cut_at_last_separator = [](WCHAR* path) {
    WCHAR* last = nullptr;
    for (WCHAR* p = path; *p; ++p) {
      if (*p == u'\\' || *p == u'/') last = p;
    }
    if (last != nullptr) *last = u'\0';
    return last != nullptr ? last + 1 : path;
  };
  cut_at_last_separator(self);  // the tool's folder
  WCHAR folder[kToolPathUnits];
  CopyWide(folder, kToolPathUnits - 1, self);
  const WCHAR* name = cut_at_last_separator(folder);
  bool in_tools = (name[0] | 0x20) == u't' && (name[1] | 0x20) == u'o' &&
                  (name[2] | 0x20) == u'o' && (name[3] | 0x20) == u'l' &&
                  (name[4] | 0x20) == u's' && name[5] == u'\0' && name != folder;
  WCHAR stem[kToolPathUnits];
  FormatBounded(stem, kToolPathUnits - 1, u"%s\\Morvath Saga disc 1",
                in_tools ? static_cast<const WCHAR*>(folder) : static_cast<const WCHAR*>(self));
  return IsoNameBeside(stem, out, kToolPathUnits);
}

// Reads `bytes` from `sector` on; `got` is less at the disc's end.
bool ReadSectors(HANDLE drive, uint64_t sector, uint8_t* buffer, uint32_t bytes, uint32_t* got) {
  int64_t n = ReadAt(drive, sector * kUserDataSize, buffer, bytes);
  *got = n < 0 ? 0 : static_cast<uint32_t>(n);
  return n >= 0;
}

// The progress line: percent, speed and time left, at most twice a second.
struct Progress {
  FILE* out;
  uint64_t started, shown;
};

void ShowProgress(Progress* p, uint64_t done, uint64_t total, bool last) {
  uint64_t now = GetTickCount64();
  if (!last && now - p->shown < 500) return;
  p->shown = now;
  uint64_t ms = now > p->started ? now - p->started : 1;
  uint64_t bytes_per_s = done * kUserDataSize * 1000 / ms;
  uint64_t left_s = bytes_per_s > 0 ? (total - done) * kUserDataSize / bytes_per_s : 0;
  std::fprintf(p->out, "\r  %3u%%  %llu.%llu MB/s  %u:%02u left ",
               static_cast<unsigned>(done * 100 / total),
               static_cast<unsigned long long>(bytes_per_s / 1000000),
               static_cast<unsigned long long>(bytes_per_s / 100000 % 10),
               static_cast<unsigned>(left_s / 60), static_cast<unsigned>(left_s % 60));
  if (last) std::fputc('\n', p->out);
  std::fflush(p->out);
}

enum class RipEnd { kWhole, kDamaged, kFailed };

// Copies the volume's sectors from the open drive into the open output.
RipEnd CopyVolume(HANDLE drive, uint64_t sectors, HANDLE output, Damage* damage, FILE* out,
                  FILE* progress_out) {
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(size_t{kRipChunkSectors} * kUserDataSize));
  if (buffer == nullptr) {
    std::fputs("out of memory\n", out);
    return RipEnd::kFailed;
  }
  Progress progress{progress_out, GetTickCount64(), 0};
  enum class Stop { kNone, kEnds, kNotReady, kTooDamaged, kWrite } stopped = Stop::kNone;
  uint32_t error = 0;
  uint64_t ended_at = 0;
  for (uint64_t at = 0; at < sectors && stopped == Stop::kNone;) {
    uint32_t n = sectors - at < kRipChunkSectors ? static_cast<uint32_t>(sectors - at)
                                                 : kRipChunkSectors;
    uint32_t got = 0;
    if (ReadSectors(drive, at, buffer, n * kUserDataSize, &got)) {
      if (got < n * kUserDataSize) {
        n = got / kUserDataSize;  // the disc ends here: keep what came whole
        ended_at = at + n;
        stopped = Stop::kEnds;
      }
    } else {
      // Again a sector at a time, each tried a few times; a sector still
      // unreadable is zeros, counted. A drive that lost its disc stops it.
      for (uint32_t i = 0; i < n && stopped == Stop::kNone; ++i) {
        uint8_t* sector = buffer + size_t{i} * kUserDataSize;
        bool read = false;
        for (uint32_t t = 0; t < kRipTries && !read; ++t) {
          read = ReadSectors(drive, at + i, sector, kUserDataSize, &got);
          if (read && got < kUserDataSize) {
            n = i;
            ended_at = at + i;
            stopped = Stop::kEnds;
          } else if (!read && GetLastError() == ERROR_NOT_READY) {
            stopped = Stop::kNotReady;
          }
          if (stopped != Stop::kNone) break;
        }
        if (!read && stopped == Stop::kNone) {
          std::memset(sector, 0, kUserDataSize);
          AddDamage(damage, at + i);
          if (damage->count > kMaxUnreadableSectors) stopped = Stop::kTooDamaged;
        }
      }
    }
    if (n > 0 && !WriteWhole(output, buffer, n * kUserDataSize)) {
      error = GetLastError();
      stopped = Stop::kWrite;
    }
    at += n;
    ShowProgress(&progress, at, sectors, false);
  }
  std::free(buffer);
  if (stopped == Stop::kNone) {
    ShowProgress(&progress, sectors, sectors, true);
    return damage->count == 0 ? RipEnd::kWhole : RipEnd::kDamaged;
  }
  std::fputc('\n', progress_out);
  WCHAR words[kErrorWordsLimit + 1];
  DescribeSystemError(error, words);
  if (stopped == Stop::kEnds) {
    std::fprintf(out,
                 "The disc ends at sector %llu, before the end of its volume (%llu sectors): the "
                 "drive can't read it whole. Clean the disc, or try another drive.\n",
                 static_cast<unsigned long long>(ended_at),
                 static_cast<unsigned long long>(sectors));
  } else if (stopped == Stop::kNotReady) {
    std::fputs("The drive lost the disc part-way (its tray opened?).\n", out);
  } else if (stopped == Stop::kTooDamaged) {
    std::fprintf(out,
                 "More than %u sectors can't be read: clean the disc, or try another drive.\n",
                 kMaxUnreadableSectors);
  } else {
    std::fputs("can't write the image (", out);
    PutWide(out, words);
    std::fputs(").\n", out);
  }
  return RipEnd::kFailed;
}

}  // namespace

bool IsOpticalDrive(const WCHAR* arg) {
  return arg != nullptr && arg[0] != 0 && GetDriveTypeW(arg) == DRIVE_CDROM;
}

int RipCommand(const WCHAR* given, const WCHAR* out_path, FILE* out, FILE* progress) {
  Drive drive{};
  if (given == nullptr) {
    if (!FindDisc1(&drive, out)) return 1;
  } else {
    // A drive letter must name a CD or DVD drive; what else is given (a
    // device, or a file standing in for one) is tried as it is.
    uint32_t type = DRIVE_CDROM;
    if (MakeDrive(given, &drive) && drive.name[1] == u':' && drive.name[2] == u'\0') {
      WCHAR root[4] = {drive.name[0], u':', u'\\', u'\0'};
      type = GetDriveTypeW(root);
    }
    uint32_t error = 0;
    Holds holds = drive.name[0] == u'\0' || type == DRIVE_NO_ROOT_DIR ? Holds::kUnreadable
                  : type != DRIVE_CDROM ? Holds::kOtherDisc
                                        : Probe(drive, &error);
    if (holds == Holds::kUnreadable &&
        (type == DRIVE_NO_ROOT_DIR || error == ERROR_FILE_NOT_FOUND ||
         error == ERROR_PATH_NOT_FOUND)) {
      PutWide(out, given);
      std::fputs(": no such drive.\n", out);
      return 1;
    }
    if (type != DRIVE_CDROM) {
      PutWide(out, drive.name);
      std::fputs(" is not a CD or DVD drive.\n", out);
      return 1;
    }
    if (holds != Holds::kDisc1) {
      SayHolds(drive, holds, error, out);
      return 1;
    }
  }
  WCHAR target[kToolPathUnits];
  if (out_path == nullptr) {
    if (!DefaultOutput(target)) {
      std::fputs("No name is free for the image in the release folder (Morvath Saga disc 1 up "
                 "to (9) are taken): give it one: halvorn-disc rip DRIVE OUT.iso\n",
                 out);
      return 1;
    }
    std::fputs("The image goes into the release folder, beside the launcher, where it is easy "
               "to pick:\n  ",
               out);
    PutWide(out, target);
    std::fputc('\n', out);
  } else {
    if (!CopyWide(target, kToolPathUnits - 1, out_path)) return 1;
    // Not onto the disc: D:\x.iso for the drive D:.
    size_t n = WideUnits(drive.name);
    bool on_disc = n == 2 && drive.name[1] == u':' && (target[0] | 0x20) == (drive.name[0] | 0x20) &&
                   target[1] == u':';
    if (on_disc) {
      std::fputs("The image can't be written onto the disc it is read from: give another "
                 "place.\n",
                 out);
      return 1;
    }
  }
  if (GetFileAttributesW(target) != INVALID_FILE_ATTRIBUTES) {
    PutWide(out, target);
    std::fputs(" exists already: give a name that does not.\n", out);
    return 1;
  }

  HANDLE source = OpenDrive(drive);
  DiscEntry root;
  uint8_t descriptor[kSectorSize];
  uint32_t got = 0;
  bool read = source != INVALID_HANDLE_VALUE && ReadDiscRoot(source, &root) &&
              ReadSectors(source, 16, descriptor, kSectorSize, &got) && got == kSectorSize;
  uint64_t sectors = read ? ReadLe32(descriptor + 80) : 0;
  Damage damage{};
  PartialOutput partial;
  RipEnd end = RipEnd::kFailed;
  if (!read) {
    PutWide(out, drive.name);
    std::fputs(": the disc can't be read now (taken out?).\n", out);
  } else if (sectors < 17 || sectors > kMaxRipSectors) {
    PutWide(out, drive.name);
    std::fprintf(out, ": its volume says it holds %llu sectors, which is no disc's.\n",
                 static_cast<unsigned long long>(sectors));
  } else if (!BeginDamage(&damage)) {
    std::fputs("out of memory\n", out);
  } else if (BeginPartialOutput(target, &partial, out)) {
    std::fprintf(out, "Reading %llu sectors (%llu MB) from ",
                 static_cast<unsigned long long>(sectors),
                 static_cast<unsigned long long>(sectors * kSectorSize / 1000000));
    PutWide(out, drive.name);
    std::fputs(":\n", out);
    std::fflush(out);
    end = CopyVolume(source, sectors, partial.file, &damage, out, progress);
    if (end == RipEnd::kFailed) {
      AbandonPartialOutput(&partial);
    } else if (!FinishPartialOutput(&partial, target)) {
      end = RipEnd::kFailed;
      std::fputs("can't give the image its name (a file of that name came?)\n", out);
    }
  }
  if (source != INVALID_HANDLE_VALUE) CloseHandle(source);
  if (end == RipEnd::kFailed) {
    EndDamage(&damage);
    return 1;
  }
  // The written image, checked and mapped as any other.
  ImageSource* image = static_cast<ImageSource*>(std::calloc(1, sizeof(ImageSource)));
  int code = 1;
  if (image != nullptr) {
    CopyWide(image->data_path, kToolPathUnits - 1, target);
    image->kind = ImageKind::kIso;
    image->layout = kPlainLayout;
    image->sectors = sectors;
    ReportDamagedFiles(*image, &damage, out, DamageKind::kUnreadable);
    code = VerifyDiscImage(target, out);
  }
  std::fputs(code == 0 && end == RipEnd::kWhole ? "Halvorn Glint can install from "
                                                : "Halvorn Glint can't install from ",
             out);
  PutWide(out, target);
  if (code == 0 && end == RipEnd::kWhole) {
    std::fputs(".\n", out);
  } else if (end == RipEnd::kDamaged) {
    std::fputs(": some of its sectors couldn't be read (see above). Clean the disc, then rip it "
               "again or try another drive.\n",
               out);
  } else {
    std::fputs(": it is not a whole copy of disc 1 (see above).\n", out);
  }
  std::free(image);
  EndDamage(&damage);
  return code == 0 && end == RipEnd::kWhole ? 0 : 1;
}
