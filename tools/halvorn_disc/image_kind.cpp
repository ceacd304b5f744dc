#include "tools/halvorn_disc/image_kind.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "disc/reader.h"
#include "tools/halvorn_disc/cue_sheet.h"
#include "tools/halvorn_disc/ecm.h"
#include "tools/halvorn_disc/nrg.h"
#include "tools/halvorn_disc/safe_text.h"

namespace {

// The head read: the system area, the volume descriptors up to block 24, and
// room for sixteen raw sectors with subchannel.
constexpr uint32_t kHeadSize = 24 * 2048;
static_assert(kHeadSize >= 16 * kRawSubchannelSectorSize);
constexpr uint32_t kMaxCueSize = 64 * 1024;

HANDLE OpenRead(const WCHAR* path) {
  return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

const char* LayoutWords(const SectorLayout& l) {
  if (l.size == kUserDataSize) return "2048-byte sectors";
  if (l.size == kMode2HeaderlessSize) return "2336-byte MODE2 sectors";
  if (l.size == kRawSectorSize)
    return l.mode == 1 ? "2352-byte MODE1 sectors" : "2352-byte MODE2 sectors";
  return l.mode == 1 ? "2448-byte MODE1 sectors with subchannel"
                     : "2448-byte MODE2 sectors with subchannel";
}

bool EndsWith(const WCHAR* path, const char* ext) {
  size_t n = 0, e = std::strlen(ext);
  while (path[n]) ++n;
  if (n < e) return false;
  for (size_t i = 0; i < e; ++i) {
    WCHAR c = path[n - e + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<WCHAR>(c + 32);
    if (c != static_cast<WCHAR>(ext[i])) return false;
  }
  return true;
}

// The track's sectors from where it starts in a file of `file_size` bytes to
// `end` (0: the file's end). False when the file does not hold them.
bool SetTrack(ImageSource* s, uint64_t file_size, uint64_t start, uint64_t end) {
  if (end == 0) end = file_size;
  if (start > end || end > file_size) return false;
  s->start = start;
  s->sectors = (end - start) / s->layout.size;
  s->partial_bytes = static_cast<uint32_t>((end - start) % s->layout.size);
  return s->sectors > 0;
}

// The volume the track's primary descriptor (its sector 16) declares,
// against the sectors the track holds.
void MeasureVolume(ImageSource* s, const uint8_t* ecm_head, uint32_t ecm_head_size) {
  const SectorLayout& l = s->layout;
  uint8_t sector[kRawSubchannelSectorSize];
  int64_t got = -1;
  if (s->kind == ImageKind::kEcm) {
    // An .ecm cannot be read at an offset: its decoded head holds sector 16.
    if (ecm_head_size >= 17 * l.size) {
      std::memcpy(sector, ecm_head + 16 * l.size, l.size);
      got = l.size;
    }
  } else {
    HANDLE file = OpenRead(s->data_path);
    if (file == INVALID_HANDLE_VALUE) return;
    got = ReadAt(file, s->start + 16 * uint64_t{l.size}, sector, l.size);
    CloseHandle(file);
  }
  const uint8_t* pvd = sector + l.data_offset;
  if (got != l.size || pvd[0] != 1 || std::memcmp(pvd + 1, "CD001", 5) != 0) return;
  // Volume space size, in logical blocks of the size at 128 (2048 on a CD).
  uint64_t blocks = uint64_t{pvd[80]} | uint64_t{pvd[81]} << 8 | uint64_t{pvd[82]} << 16 |
                    uint64_t{pvd[83]} << 24;
  uint32_t block_size = pvd[128] | pvd[129] << 8;
  if (block_size != 0 && block_size != kUserDataSize) blocks = blocks * block_size / kUserDataSize;
  s->missing_sectors = blocks > s->sectors ? blocks - s->sectors : 0;
}

// The file's first bytes in plain words, for a file with no volume found.
void DescribeOther(const uint8_t* head, int64_t got, uint64_t size, uint32_t tail_version,
                   ImageSource* s) {
  struct Magic {
    uint32_t offset;
    const char* bytes;
    uint32_t length;
    const char* words;
  };
  static const Magic kMagics[] = {
      {0, "PK\x03\x04", 4, "a ZIP archive: unpack it and pick the image inside"},
      {0, "Rar!", 4, "a RAR archive: unpack it and pick the image inside"},
      {0, "7z\xBC\xAF\x27\x1C", 6, "a 7z archive: unpack it and pick the image inside"},
      {0, "\x1F\x8B", 2, "a gzip-compressed file: unpack it and pick the image inside"},
      {257, "ustar", 5, "a tar archive: unpack it and pick the image inside"},
      {0, "MEDIA DESCRIPTOR", 16, "the descriptor file of an image: pick the .mdf file beside it"},
      {0, "[CloneCD]", 9, "the control file of a raw image: pick the .img file beside it"},
      {0, "IsZ!", 4,
       "an UltraISO .isz image (compressed): open it in UltraISO and save it as an .iso"},
      {0, "DAA\0", 4, "a PowerISO .daa image (compressed): open it in PowerISO and save it as an .iso"},
      {0, "MZ", 2, "a Windows program, not a disc image"},
      {0, "<!DOCTYPE", 9, "a web page, not a disc image (a download that failed?)"},
      {0, "<html", 5, "a web page, not a disc image (a download that failed?)"},
  };
  for (const Magic& m : kMagics) {
    if (got >= int64_t{m.offset} + m.length &&
        std::memcmp(head + m.offset, m.bytes, m.length) == 0) {
      std::snprintf(s->what, kToolTextSize, "%s", m.words);
      return;
    }
  }
  // DiscJuggler's .cdi ends in its version and where its track table lies.
  if (size >= 8 && tail_version >= 0x80000004u && tail_version <= 0x80000006u) {
    std::snprintf(s->what, kToolTextSize,
                  "a DiscJuggler .cdi image: open it in a program that reads .cdi images and "
                  "save its data track as an .iso");
    return;
  }
  bool zeros = got > 0;
  for (int64_t i = 0; i < got && zeros; ++i) zeros = head[i] == 0;
  if (got >= kRawSyncSize && HasRawSync(head)) {
    std::snprintf(s->what, kToolTextSize,
                  "raw CD sectors, but the first is not a data sector (mode byte %u): not a "
                  "data disc, or a damaged start",
                  got > kRawModeByte ? head[kRawModeByte] : 0u);
  } else if (size == 0) {
    std::snprintf(s->what, kToolTextSize, "an empty file");
  } else if (size < 17 * 2048) {
    std::snprintf(s->what, kToolTextSize,
                  "only %llu bytes, too small to hold a disc's volume (an image cut short?)",
                  static_cast<unsigned long long>(size));
  } else if (zeros) {
    std::snprintf(s->what, kToolTextSize,
                  "nothing but zero bytes where a disc's volume would be (an image never "
                  "written, or read from a blank disc?)");
  } else {
    std::snprintf(s->what, kToolTextSize,
                  "not a disc image this tool knows: no ISO 9660 volume at sector 16, no raw "
                  "CD sectors, no .cue, .nrg or .chd layout");
  }
}

bool IdentifyCue(HANDLE file, int64_t size, const WCHAR* path, ImageSource* s) {
  s->kind = ImageKind::kOther;
  if (size > kMaxCueSize) {
    std::snprintf(s->what, kToolTextSize, "too long for a .cue sheet (%lld bytes)",
                  static_cast<long long>(size));
    return true;
  }
  char* text = static_cast<char*>(std::malloc(kMaxCueSize));
  if (text == nullptr) return false;
  int64_t got = ReadAt(file, 0, reinterpret_cast<uint8_t*>(text), static_cast<uint32_t>(size));
  CueTrack track;
  char why[kCueWhySize] = {};
  bool parsed = got == size && ParseCueSheet(text, static_cast<size_t>(got), &track, why);
  std::free(text);
  if (got != size) return false;
  if (!parsed) {
    std::snprintf(s->what, kToolTextSize, "a .cue sheet that cannot be used: %s", why);
    return true;
  }
  // The data file's name, relative to the sheet's folder unless it is absolute.
  size_t folder = 0, n = 0;
  for (; path[n]; ++n) {
    if (path[n] == '/' || path[n] == '\\') folder = n + 1;
  }
  bool absolute =
      track.file[0] == '/' || track.file[0] == '\\' || (track.file[0] && track.file[1] == ':');
  if (absolute) folder = 0;
  WCHAR* name = s->data_path + folder;
  int32_t room = static_cast<int32_t>(kToolPathUnits - folder);
  // Sheets are written in UTF-8 or, by older programs, in the ANSI code
  // page: UTF-8 only when the bytes are valid UTF-8.
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, track.file, -1, name, room) == 0 &&
      MultiByteToWideChar(CP_ACP, 0, track.file, -1, name, room) == 0) {
    std::snprintf(s->what, kToolTextSize, "a .cue sheet whose data file name is too long");
    return true;
  }
  char shown[kCueNameSize * 4];
  SafeUtf8(name, shown, sizeof shown);
  s->layout = track.layout;
  HANDLE data = OpenRead(s->data_path);
  if (data == INVALID_HANDLE_VALUE) {
    std::snprintf(s->what, kToolTextSize,
                  "a .cue sheet naming %s, which cannot be opened: keep the sheet beside its "
                  "data file, with the name the sheet gives",
                  shown);
    return true;
  }
  int64_t data_size = FileSizeOf(data);
  // The sheet's kind of raw sector against the data's own: a sheet written
  // for 2352-byte sectors beside an image read with subchannel (2448) is
  // followed by the data, and says so.
  char followed[160] = "";
  uint8_t head[16 * kRawSubchannelSectorSize];
  SectorLayout seen;
  int64_t head_got = ReadAt(data, track.start * track.layout.size, head, sizeof head);
  if (track.layout.size >= kRawSectorSize && head_got > 0 &&
      DetectRawLayout(head, static_cast<size_t>(head_got), &seen) &&
      (seen.size != track.layout.size || seen.mode != track.layout.mode) &&
      track.start == 0) {
    std::snprintf(followed, sizeof followed, "; the sheet says %s, but the data holds %s, which "
                  "are followed", LayoutWords(track.layout), LayoutWords(seen));
    s->layout = track.layout = seen;
  }
  CloseHandle(data);
  uint64_t size_of = track.layout.size;
  if (data_size < 0 || track.start > uint64_t(data_size) / size_of ||
      track.end > uint64_t(data_size) / size_of ||
      !SetTrack(s, uint64_t(data_size), track.start * size_of, track.end * size_of)) {
    std::snprintf(s->what, kToolTextSize, "a .cue sheet whose first track lies past the end of %s",
                  shown);
    return true;
  }
  s->kind = ImageKind::kCue;
  std::snprintf(s->what, kToolTextSize, "a .cue sheet for %s (%s%s)", shown,
                LayoutWords(s->layout), followed);
  return true;
}

bool IdentifyNrg(HANDLE file, uint64_t size, uint64_t chunks_at, bool v2, ImageSource* s) {
  s->kind = ImageKind::kOther;
  uint64_t footer = v2 ? 12 : 8;
  uint64_t length = size - footer - chunks_at;
  if (length > kNrgMaxChunks) length = kNrgMaxChunks;
  uint8_t* chunks = static_cast<uint8_t*>(std::malloc(kNrgMaxChunks));
  if (chunks == nullptr) return false;
  int64_t got = ReadAt(file, chunks_at, chunks, static_cast<uint32_t>(length));
  NrgTrack track{};
  char why[kNrgWhySize] = {};
  bool parsed = got >= 0 && ParseNrgChunks(chunks, static_cast<size_t>(got), v2, &track, why);
  std::free(chunks);
  if (got < 0) return false;
  if (!parsed) {
    std::snprintf(s->what, kToolTextSize, "an .nrg image that cannot be used: %s", why);
    return true;
  }
  uint8_t head[16 * kRawSubchannelSectorSize];
  int64_t head_got = track.end <= chunks_at ? ReadAt(file, track.start, head, sizeof head) : -1;
  if (head_got < 0) {
    std::snprintf(s->what, kToolTextSize, "an .nrg image whose first track lies outside the file");
    return true;
  }
  if (track.sector_size == kUserDataSize) {
    s->layout = kPlainLayout;
  } else if (track.sector_size == kMode2HeaderlessSize) {
    s->layout = {kMode2HeaderlessSize, kForm1DataOffset - kSubheaderOffset, 2};
  } else if (!DetectRawLayout(head, static_cast<size_t>(head_got), &s->layout)) {
    std::snprintf(s->what, kToolTextSize,
                  "an .nrg image whose first track holds no data sectors (a music CD?)");
    return true;
  }
  if (!SetTrack(s, chunks_at, track.start, track.end)) {
    std::snprintf(s->what, kToolTextSize, "an .nrg image whose first track is empty");
    return true;
  }
  s->kind = ImageKind::kNrg;
  std::snprintf(s->what, kToolTextSize, "an .nrg image (first track of %s)",
                LayoutWords(s->layout));
  return true;
}

void NameChd(const WCHAR* path, ImageSource* s) {
  char in[800], cue[800];  // a path of 259 units in UTF-8, at most 3 bytes each
  PathUtf8(path, in, sizeof in);
  std::snprintf(cue, sizeof cue, "%s", in);
  // The same name with .cue for its extension (or added, when it has none).
  size_t stem = std::strlen(cue);
  for (size_t i = stem; i > 0 && cue[i - 1] != '/' && cue[i - 1] != '\\'; --i) {
    if (cue[i - 1] == '.') {
      cue[i - 1] = '\0';
      break;
    }
  }
  s->kind = ImageKind::kChd;
  std::snprintf(s->what, kToolTextSize,
                "a compressed .chd image, which holds the disc's sectors packed and must be "
                "turned back into a .cue/.bin pair first");
  std::snprintf(s->todo, kToolTextSize,
                "Unpack it with chdman, then convert the .cue it writes:\n"
                "  chdman extractcd -i \"%s\" -o \"%s.cue\"\n"
                "  halvorn-disc convert \"%s.cue\" \"%s.iso\"\n",
                in, cue, cue, cue);
}

// The head of an .ecm's raw stream, enough for its layout and sector 16.
constexpr uint32_t kEcmHeadSize = 17 * kRawSubchannelSectorSize;

bool IdentifyEcm(const WCHAR* path, ImageSource* s, uint8_t* head, uint32_t* head_size) {
  s->kind = ImageKind::kOther;
  EcmReader* r = static_cast<EcmReader*>(std::malloc(sizeof(EcmReader)));
  if (r == nullptr) return false;
  char why[kEcmWhySize] = {};
  uint64_t length = 0;
  bool decoded = BeginEcm(r, path, why) && ReadEcm(r, head, kEcmHeadSize, head_size, why) &&
                 EcmStreamLength(path, &length, why);
  EndEcm(r);
  std::free(r);
  if (!decoded) {
    std::snprintf(s->what, kToolTextSize, "an .ecm image that cannot be decoded: %s", why);
    return true;
  }
  if (DetectRawLayout(head, *head_size, &s->layout)) {
  } else if (*head_size >= 0x8000 + 6 && head[0x8000] == 1 &&
             std::memcmp(head + 0x8001, "CD001", 5) == 0) {
    s->layout = kPlainLayout;
  } else {
    std::snprintf(s->what, kToolTextSize,
                  "an .ecm image whose sectors hold no data disc (a music CD?)");
    return true;
  }
  if (!SetTrack(s, length, 0, 0)) {
    std::snprintf(s->what, kToolTextSize, "an .ecm image too short to hold a sector");
    return true;
  }
  s->kind = ImageKind::kEcm;
  std::snprintf(s->what, kToolTextSize, "an .ecm image (the error-code-modeler form) of %s",
                LayoutWords(s->layout));
  return true;
}

}  // namespace

int64_t ReadAt(HANDLE file, uint64_t offset, uint8_t* buffer, uint32_t size) {
  if (!SetFilePointerEx(file, static_cast<int64_t>(offset), nullptr, FILE_BEGIN)) return -1;
  uint32_t total = 0;
  while (total < size) {
    DWORD got = 0;
    if (!ReadFile(file, buffer + total, size - total, &got, nullptr)) return -1;
    if (got == 0) break;
    total += got;
  }
  return total;
}

size_t WideUnits(const WCHAR* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

int64_t FileSizeOf(HANDLE file) {
  int64_t end = 0;
  return SetFilePointerEx(file, 0, &end, FILE_END) ? end : -1;
}

void PutWide(FILE* stream, const WCHAR* text) {
  char utf8[kToolTextSize];
  PathUtf8(text, utf8, sizeof utf8);
  std::fputs(utf8, stream);
}

void PathUtf8(const WCHAR* path, char* out, uint32_t size) {
  int32_t n =
      WideCharToMultiByte(CP_UTF8, 0, path, -1, out, static_cast<int32_t>(size), nullptr, nullptr);
  if (n <= 0) std::snprintf(out, size, "?");
}

bool IdentifyImage(const WCHAR* path, ImageSource* s) {
  std::memset(s, 0, sizeof *s);
  s->kind = ImageKind::kOther;
  size_t n = 0;
  while (path[n] && n + 1 < kToolPathUnits) ++n;
  if (path[n] != 0) return false;
  std::memcpy(s->data_path, path, (n + 1) * sizeof(WCHAR));
  HANDLE file = OpenRead(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  int64_t size = FileSizeOf(file);
  uint8_t* head = static_cast<uint8_t*>(std::malloc(kHeadSize));
  int64_t got = head == nullptr || size < 0 ? -1 : ReadAt(file, 0, head, kHeadSize);
  uint8_t tail[kNrgFooterSize] = {};
  uint64_t chunks_at = 0;
  bool v2 = false;
  uint8_t* ecm_head = nullptr;
  uint32_t ecm_head_size = 0;
  bool nrg =
      size >= kNrgFooterSize &&
      ReadAt(file, uint64_t(size) - kNrgFooterSize, tail, kNrgFooterSize) == kNrgFooterSize &&
      ReadNrgFooter(tail, uint64_t(size), &chunks_at, &v2);
  if (got < 0) {
    ok = false;
  } else if (EndsWith(path, ".cue")) {
    ok = IdentifyCue(file, size, path, s);
  } else if (got >= 8 && std::memcmp(head, "MComprHD", 8) == 0) {
    NameChd(path, s);
  } else if (IsEcm(head, got)) {
    ecm_head = static_cast<uint8_t*>(std::malloc(kEcmHeadSize));
    ok = ecm_head != nullptr && IdentifyEcm(path, s, ecm_head, &ecm_head_size);
  } else if (nrg) {
    ok = IdentifyNrg(file, uint64_t(size), chunks_at, v2, s);
  } else if (got >= 0x8000 + 6 && head[0x8000] == 1 &&
             std::memcmp(head + 0x8001, "CD001", 5) == 0) {
    s->layout = kPlainLayout;
    SetTrack(s, uint64_t(size), 0, 0);
    s->kind = ImageKind::kIso;
    std::snprintf(s->what, kToolTextSize, "an ISO 9660 image");
  } else if (DetectRawLayout(head, static_cast<size_t>(got), &s->layout)) {
    s->kind = SetTrack(s, uint64_t(size), 0, 0) ? ImageKind::kRaw : ImageKind::kOther;
    std::snprintf(s->what, kToolTextSize, "a raw CD image (%s, as in a .bin/.cue pair)%s",
                  LayoutWords(s->layout),
                  s->kind == ImageKind::kRaw ? "" : ", too short to hold a sector");
  } else {
    // UDF names its volume by descriptors from 32 KiB on, one a block.
    for (int64_t at = 0x8000; at + 6 <= got; at += 2048) {
      const char* id = reinterpret_cast<const char*>(head + at + 1);
      if (std::memcmp(id, "BEA01", 5) == 0 || std::memcmp(id, "NSR02", 5) == 0 ||
          std::memcmp(id, "NSR03", 5) == 0) {
        s->kind = ImageKind::kUdf;
      }
    }
    if (s->kind == ImageKind::kUdf) {
      std::snprintf(
          s->what, kToolTextSize,
          "a UDF-only image: it has no ISO 9660 volume, the only kind the launcher reads");
      std::snprintf(s->todo, kToolTextSize,
                    "Make the image again from the disc as an ISO 9660 (.iso) image; a UDF "
                    "image cannot be converted.\n");
    } else {
      s->kind = ImageKind::kOther;
      DescribeOther(head, got, uint64_t(size), ReadLe32(tail + kNrgFooterSize - 8), s);
    }
  }
  std::free(head);
  CloseHandle(file);
  if (ok && Convertible(s->kind)) {
    MeasureVolume(s, ecm_head, ecm_head_size);
    size_t n = std::strlen(s->what);
    if (s->partial_bytes > 0 && s->missing_sectors == 0)
      std::snprintf(s->what + n, kToolTextSize - n,
                    ", ending in %u bytes of a sector cut short, after its volume (left out)",
                    s->partial_bytes);
  }
  std::free(ecm_head);
  return ok;
}

void SayCutShort(const ImageSource& src, FILE* out) {
  uint64_t bytes = src.missing_sectors * kUserDataSize;
  char amount[32];
  if (bytes >= 1000000) {
    std::snprintf(amount, sizeof amount, "%llu.%llu MB",
                  static_cast<unsigned long long>(bytes / 1000000),
                  static_cast<unsigned long long>(bytes / 100000 % 10));
  } else {
    std::snprintf(amount, sizeof amount, "%llu KB",
                  static_cast<unsigned long long>((bytes + 1023) / 1024));
  }
  std::fprintf(out,
               "It is cut short: it ends %llu sectors (%s) before the end of the volume its "
               "descriptor declares, as a download or a copy that stopped part-way does. Get "
               "or make the whole image again.\n",
               static_cast<unsigned long long>(src.missing_sectors), amount);
}
