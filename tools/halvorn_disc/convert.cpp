#include "tools/halvorn_disc/convert.h"

#include <cstdlib>
#include <cstring>

#include "disc/verify.h"
#include "tools/halvorn_disc/ecm.h"
#include "tools/halvorn_disc/partial_output.h"

namespace {

// About 1 MiB of sectors a read: few system calls, little memory.
constexpr uint32_t kChunkBytes = 1 << 20;

bool ReadWhole(HANDLE file, uint8_t* buffer, uint32_t size) {
  for (uint32_t total = 0; total < size;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer + total, size - total, &got, nullptr) || got == 0) return false;
    total += got;
  }
  return true;
}

void Say(FILE* out, const char* before, const WCHAR* path, const char* after) {
  char name[kToolTextSize];
  PathUtf8(path, name, sizeof name);
  std::fprintf(out, "%s%s%s", before, name, after);
}

// Whether the written image's primary volume descriptor reads back, through
// the handle it was written with (the file is no one else's to open).
bool VolumeReadsBack(HANDLE file) {
  DiscEntry root;
  return ReadDiscRoot(file, &root);
}

}  // namespace

bool WriteWhole(HANDLE file, const uint8_t* buffer, uint32_t size) {
  for (uint32_t total = 0; total < size;) {
    DWORD put = 0;
    if (!WriteFile(file, buffer + total, size - total, &put, nullptr) || put == 0) return false;
    total += put;
  }
  return true;
}

bool CopyTrack(const ImageSource& src, HANDLE out, Damage* damage) {
  const SectorLayout& l = src.layout;
  uint32_t per_chunk = kChunkBytes / l.size;
  // An .ecm is decoded as it is read; what it coded has its error codes left
  // out, so its sectors are not checked (a damaged .ecm fails to decode).
  bool ecm = src.kind == ImageKind::kEcm;
  EcmReader* reader = ecm ? static_cast<EcmReader*>(std::malloc(sizeof(EcmReader))) : nullptr;
  char why[kEcmWhySize] = {};
  HANDLE in = INVALID_HANDLE_VALUE;
  bool ok;
  if (ecm) {
    ok = reader != nullptr && BeginEcm(reader, src.data_path, why);
  } else {
    in = CreateFileW(src.data_path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    ok = in != INVALID_HANDLE_VALUE &&
         SetFilePointerEx(in, static_cast<int64_t>(src.start), nullptr, FILE_BEGIN);
  }
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(size_t{per_chunk} * l.size));
  ok = ok && buffer != nullptr;
  for (uint64_t done = 0; ok && done < src.sectors;) {
    uint32_t n =
        src.sectors - done < per_chunk ? static_cast<uint32_t>(src.sectors - done) : per_chunk;
    uint32_t got = 0;
    ok = ecm ? ReadEcm(reader, buffer, n * l.size, &got, why) && got == n * l.size
             : ReadWhole(in, buffer, n * l.size);
    for (uint32_t i = 0; ok && !ecm && i < n; ++i) {
      if (!SectorIntact(buffer + size_t{i} * l.size, l)) AddDamage(damage, done + i);
    }
    if (ok && out != INVALID_HANDLE_VALUE) {
      CompactUserData(buffer, n, l);
      ok = WriteWhole(out, buffer, n * kUserDataSize);
    }
    done += n;
  }
  std::free(buffer);
  if (reader != nullptr) EndEcm(reader);
  std::free(reader);
  if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
  return ok;
}

ConvertResult ConvertImage(const WCHAR* in, const WCHAR* out_path, FILE* out) {
  ImageSource* src = static_cast<ImageSource*>(std::malloc(sizeof(ImageSource)));
  ConvertResult result = ConvertResult::kFailed;
  Damage damage{};
  bool written = false;
  PartialOutput partial;
  if (src == nullptr || !BeginDamage(&damage)) {
    std::fputs("out of memory\n", out);
  } else if (!IdentifyImage(in, src)) {
    Say(out, "", in, ": can't be opened or read.\n");
  } else if (!Convertible(src->kind)) {
    Say(out, "", in, ": ");
    std::fprintf(out, "%s.\n%s", src->what, src->todo);
  } else if (src->missing_sectors > 0) {
    Say(out, "", in, ": ");
    std::fprintf(out, "%s.\n", src->what);
    SayCutShort(*src, out);
  } else if (GetFileAttributesW(out_path) != INVALID_FILE_ATTRIBUTES) {
    // Never replaced: it may be the input itself, under another spelling.
    Say(out, "", out_path, " exists already: give a name that does not.\n");
  } else if (BeginPartialOutput(out_path, &partial, out)) {
    Say(out, "", in, ": ");
    std::fprintf(out, "%s.\n", src->what);
    written = CopyTrack(*src, partial.file, &damage);
    if (!written) {
      Say(out, "can't read ", in, " or write the image (is the disk full?)\n");
      AbandonPartialOutput(&partial);
    } else if (!VolumeReadsBack(partial.file)) {
      written = false;
      std::fputs(
          "The result holds no ISO 9660 volume: the image is not a data disc the "
          "launcher can read.\n",
          out);
      AbandonPartialOutput(&partial);
    } else if (!FinishPartialOutput(&partial, out_path)) {
      written = false;
      Say(out, "can't give the result the name ", out_path, " (a file of that name came?)\n");
    }
  }
  if (written) {
    Say(out, "Wrote ", out_path, "");
    std::fprintf(out, ": %llu sectors of 2048 bytes.\n",
                 static_cast<unsigned long long>(src->sectors));
    ReportDamagedFiles(*src, &damage, out);
    result = damage.count == 0 ? ConvertResult::kWritten : ConvertResult::kWrittenDamaged;
  }
  EndDamage(&damage);
  std::free(src);
  return result;
}

bool IsoNameBeside(const WCHAR* in, WCHAR* out, uint32_t size) {
  size_t n = WideUnits(in);
  size_t stem = n;
  for (size_t i = n; i > 0; --i) {
    if (in[i - 1] == '/' || in[i - 1] == '\\') break;
    if (in[i - 1] == '.') {
      stem = i - 1;
      break;
    }
  }
  for (int copy = 1; copy <= 9; ++copy) {
    const char16_t* tail = copy == 1 ? u".iso" : nullptr;
    char16_t numbered[] = u" (2).iso";
    numbered[2] = static_cast<char16_t>(u'0' + copy);
    if (tail == nullptr) tail = numbered;
    size_t tail_length = WideUnits(tail);
    if (stem + tail_length + 1 > size) return false;
    std::memcpy(out, in, stem * sizeof(WCHAR));
    std::memcpy(out + stem, tail, (tail_length + 1) * sizeof(WCHAR));
    if (GetFileAttributesW(out) == INVALID_FILE_ATTRIBUTES) return true;
  }
  return false;
}
