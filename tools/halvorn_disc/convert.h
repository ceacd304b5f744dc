// Writing the first data track of an image as the ISO 9660 image the
// launcher reads: 2048 bytes of user data a sector, every sector checked.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/platform.h"
#include "tools/halvorn_disc/damaged_files.h"
#include "tools/halvorn_disc/image_kind.h"

// Reads the track through one bounded buffer, checks every sector (counting
// the damaged ones in `damage`) and, unless `out` is INVALID_HANDLE_VALUE,
// writes the user data there. False when a read or write fails.
bool CopyTrack(const ImageSource& src, HANDLE out, Damage* damage);

// Writes all `size` bytes, a write that takes less given the rest; false
// when a write fails or takes nothing.
bool WriteWhole(HANDLE file, const uint8_t* buffer, uint32_t size);

enum class ConvertResult { kWritten, kWrittenDamaged, kFailed };

// Converts `in` into `out_path`, which must not exist: written under a
// temporary name beside it and renamed once its primary volume descriptor
// reads back, so a run cut short leaves nothing under that name. Reports on
// `out`; damaged sectors are named with their files.
ConvertResult ConvertImage(const WCHAR* in, const WCHAR* out_path, FILE* out);

// `in` with its extension (if any) replaced by ".iso", or with " (2).iso" up
// to " (9).iso" when that names an existing file. False when all exist or
// the name does not fit.
bool IsoNameBeside(const WCHAR* in, WCHAR* out, uint32_t size);
