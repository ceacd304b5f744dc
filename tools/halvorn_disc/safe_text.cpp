#include "tools/halvorn_disc/safe_text.h"

#include <cstring>

#include "disc/tree.h"

void SafeUtf8(const WCHAR* text, char* out, uint32_t size) {
  uint32_t at = 0;
  for (const WCHAR* p = text; *p && at + 8 < size; ++p) {
    if (*p < 0x20 || *p == 0x7F) {
      at += static_cast<uint32_t>(std::snprintf(out + at, size - at, "\\x%02X", *p));
    } else if (*p >= 0x80 && *p <= 0x9F) {
      at += static_cast<uint32_t>(std::snprintf(out + at, size - at, "\\u%04X", *p));
    } else {
      // A surrogate pair goes whole.
      int32_t units = *p >= 0xD800 && *p <= 0xDBFF && p[1] != 0 ? 2 : 1;
      int32_t n = WideCharToMultiByte(CP_UTF8, 0, p, units, out + at,
                                      static_cast<int32_t>(size - at - 1), nullptr, nullptr);
      if (n <= 0) break;
      at += static_cast<uint32_t>(n);
      p += units - 1;
    }
  }
  out[at] = '\0';
}

void PutSafeName(const char* name, FILE* out) {
  WCHAR wide[kTreePathSize];
  char shown[4 * kTreePathSize];
  if (MultiByteToWideChar(CP_ACP, 0, name, -1, wide, kTreePathSize) <= 0) wide[0] = 0;
  SafeUtf8(wide, shown, sizeof shown);
  std::fputs(shown, out);
}
