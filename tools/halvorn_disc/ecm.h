// .ecm images, the error-code-modeler form many old game rips were archived
// in: "ECM" and a zero byte, then records, each a type and a count held in a
// variable-length number, up to the count 0xFFFFFFFF and a 4-byte checksum.
// Type 0 is that many bytes as they were; 1, MODE1 sectors, each its 3-byte
// address and 2048 bytes of data; 2, MODE2 Form 1 sectors without sync and
// header, each a 4-byte subheader (held twice in the sector) and 2048 bytes;
// 3, MODE2 Form 2, a subheader and 2324 bytes. What the format leaves out
// can be recomputed, but is not needed here: the reader gives back the raw
// byte stream with the sync, header and subheader of coded sectors, their
// error codes left zero, and the user data is taken from it as from any raw
// image. A damaged .ecm therefore shows as a decoding error, not as sectors
// whose codes don't match.
#pragma once

#include <cstdint>

#include "platform/platform.h"

constexpr uint32_t kEcmWhySize = 160;
constexpr uint32_t kEcmInputSize = 1 << 16;

struct EcmReader {
  HANDLE file;
  uint8_t input[kEcmInputSize];  // what was read of the file, not yet decoded
  uint32_t input_at, input_end;
  int type;        // the record being decoded: 0-3, -1 before the first, 4 after the last
  uint32_t left;   // its bytes (type 0) or sectors left
  uint8_t sector[2352];  // the coded sector being given out
  uint32_t sector_at, sector_end;
};

// Whether the first bytes of a file are an .ecm's.
bool IsEcm(const uint8_t* head, int64_t size);

// Opens the file and reads its magic; false, with the reason, when it is
// not an .ecm or cannot be read.
bool BeginEcm(EcmReader* reader, const WCHAR* path, char* why);
void EndEcm(EcmReader* reader);

// The next bytes of the raw stream into `out`; `got` 0 once it has ended.
// False, with the reason, when the file is not a whole .ecm.
bool ReadEcm(EcmReader* reader, uint8_t* out, uint32_t size, uint32_t* got, char* why);

// The length of the raw stream, from the records alone (their data skipped).
bool EcmStreamLength(const WCHAR* path, uint64_t* length, char* why);
