#include "platform/posix/text.h"

#include "platform/posix/errors.h"
#include "platform/posix/posix_ops.h"

#include <cstring>

namespace {

constexpr uint32_t kUtf8 = CP_UTF8;
constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence; invalid bytes give U+FFFD and consume one byte.
char32_t DecodeUtf8(const unsigned char* s, size_t n, size_t* used) {
  unsigned char c = s[0];
  *used = 1;
  if (c < 0x80) return c;
  size_t extra;
  char32_t value;
  if (c >= 0xC2 && c <= 0xDF) {
    extra = 1;
    value = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    extra = 2;
    value = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    extra = 3;
    value = c & 0x07;
  } else {
    return kReplacement;
  }
  if (extra >= n) return kReplacement;
  for (size_t i = 1; i <= extra; ++i) {
    if ((s[i] & 0xC0) != 0x80) return kReplacement;
    value = (value << 6) | (s[i] & 0x3F);
  }
  if ((extra == 2 && value < 0x800) || (extra == 3 && (value < 0x10000 || value > 0x10FFFF)) ||
      (value >= 0xD800 && value <= 0xDFFF)) {
    return kReplacement;
  }
  *used = extra + 1;
  return value;
}

}  // namespace

int32_t PosixMultiByteToWide(uint32_t code_page, const char* text, int32_t length, PfChar* out,
                             int32_t out_size, bool strict) {
  if (text == nullptr || out_size < 0) return 0;
  size_t n = length < 0 ? std::strlen(text) + 1 : static_cast<size_t>(length);
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  int32_t count = 0;
  auto put = [&](PfChar unit) {
    if (out_size > 0) {
      if (count >= out_size) return false;
      out[count] = unit;
    }
    ++count;
    return true;
  };
  for (size_t i = 0; i < n;) {
    char32_t c;
    size_t used = 1;
    if (code_page == kUtf8) {
      c = DecodeUtf8(s + i, n - i, &used);
      // A byte above ASCII taken alone is no UTF-8 sequence.
      if (strict && s[i] >= 0x80 && used == 1) return Failed(ERROR_NO_UNICODE_TRANSLATION, 0);
    } else {
      c = s[i];
    }
    i += used;
    bool ok = c >= 0x10000 ? put(static_cast<PfChar>(0xD800 + ((c - 0x10000) >> 10))) &&
                                 put(static_cast<PfChar>(0xDC00 + ((c - 0x10000) & 0x3FF)))
                           : put(static_cast<PfChar>(c));
    if (!ok) return 0;
  }
  return count;
}

int32_t PosixWideToMultiByte(uint32_t code_page, const PfChar* text, int32_t length, char* out,
                             int32_t out_size) {
  if (text == nullptr || out_size < 0) return 0;
  size_t n = 0;
  if (length < 0) {
    while (text[n]) ++n;
    ++n;
  } else {
    n = static_cast<size_t>(length);
  }
  int32_t count = 0;
  char bytes[4];
  for (size_t i = 0; i < n; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    int len;
    if (code_page != kUtf8) {
      bytes[0] = c <= 0xFF ? static_cast<char>(c) : '?';
      len = 1;
    } else if (c < 0x80) {
      bytes[0] = static_cast<char>(c);
      len = 1;
    } else if (c < 0x800) {
      bytes[0] = static_cast<char>(0xC0 | (c >> 6));
      bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
      len = 2;
    } else if (c < 0x10000) {
      bytes[0] = static_cast<char>(0xE0 | (c >> 12));
      bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
      len = 3;
    } else {
      bytes[0] = static_cast<char>(0xF0 | (c >> 18));
      bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[3] = static_cast<char>(0x80 | (c & 0x3F));
      len = 4;
    }
    if (out_size > 0) {
      if (count + len > out_size) return 0;
      std::memcpy(out + count, bytes, static_cast<size_t>(len));
    }
    count += len;
  }
  return count;
}

std::string Utf8FromWide(const PfChar* text) {
  std::string out;
  int32_t n = text ? PosixWideToMultiByte(kUtf8, text, -1, nullptr, 0) : 0;
  if (n <= 1) return out;
  out.resize(static_cast<size_t>(n));
  PosixWideToMultiByte(kUtf8, text, -1, out.data(), n);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

std::string PosixPath(const PfChar* path) {
  std::string out = Utf8FromWide(path);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

std::u16string WideFromUtf8(const std::string& text) {
  std::u16string out;
  int32_t n = PosixMultiByteToWide(kUtf8, text.c_str(), -1, nullptr, 0);
  if (n <= 0) return out;
  out.resize(static_cast<size_t>(n));
  PosixMultiByteToWide(kUtf8, text.c_str(), -1, out.data(), n);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

int32_t Posix_MultiByteToWideChar(uint32_t cp, uint32_t flags, const char* text, int32_t length,
                                  PfChar* out, int32_t out_size) {
  return PosixMultiByteToWide(cp, text, length, out, out_size,
                              (flags & MB_ERR_INVALID_CHARS) != 0);
}

int32_t Posix_WideCharToMultiByte(uint32_t cp, uint32_t, const PfChar* text, int32_t length,
                                  char* out, int32_t out_size, const char*, PfBool* used_default) {
  if (used_default) *used_default = 0;
  return PosixWideToMultiByte(cp, text, length, out, out_size);
}
