// UTF-16 <-> UTF-8 / ISO-8859-1 conversion with the Windows conventions, as
// pure functions.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ops.h"

// `strict`: an invalid UTF-8 sequence fails the conversion (as with
// MB_ERR_INVALID_CHARS) instead of becoming U+FFFD.
int32_t PosixMultiByteToWide(uint32_t code_page, const char* text, int32_t length, PfChar* out,
                             int32_t out_size, bool strict = false);
int32_t PosixWideToMultiByte(uint32_t code_page, const PfChar* text, int32_t length, char* out,
                             int32_t out_size);

// UTF-16 text (null: empty) as UTF-8.
std::string Utf8FromWide(const PfChar* text);
// A Windows-style path as a POSIX one: UTF-8, every '\' turned into '/'.
std::string PosixPath(const PfChar* path);
std::u16string WideFromUtf8(const std::string& text);
