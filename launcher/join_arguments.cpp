#include "launcher/join_arguments.h"

namespace {

bool NeedsQuotes(const WCHAR* arg) {
  if (arg[0] == u'\0') return true;
  for (const WCHAR* p = arg; *p; ++p) {
    if (*p == u' ' || *p == u'\t' || *p == u'"') return true;
  }
  return false;
}

struct Appender {
  WCHAR* out;
  size_t length;
  size_t capacity;
  bool ok;
  void Put(WCHAR c) {
    if (length + 1 >= capacity) {
      ok = false;
      return;
    }
    out[length++] = c;
  }
};

}  // namespace

bool AppendQuotedArgument(WCHAR* out, size_t* length, size_t capacity, const WCHAR* arg,
                          bool first) {
  Appender a{out, *length, capacity, true};
  if (a.length > 0) a.Put(u' ');
  bool quote = NeedsQuotes(arg);
  if (first) {
    if (quote) a.Put(u'"');
    for (const WCHAR* p = arg; *p; ++p) a.Put(*p);
    if (quote) a.Put(u'"');
  } else if (!quote) {
    for (const WCHAR* p = arg; *p; ++p) a.Put(*p);
  } else {
    // Backslashes are literal unless they come before a double quote, where
    // each is doubled and the quote itself escaped; the closing quote counts.
    a.Put(u'"');
    size_t backslashes = 0;
    for (const WCHAR* p = arg;; ++p) {
      if (*p == u'\\') {
        ++backslashes;
        continue;
      }
      if (*p == u'\0' || *p == u'"') {
        for (size_t i = 0; i < backslashes * 2; ++i) a.Put(u'\\');
        if (*p == u'\0') break;
        a.Put(u'\\');
        a.Put(u'"');
      } else {
        for (size_t i = 0; i < backslashes; ++i) a.Put(u'\\');
        a.Put(*p);
      }
      backslashes = 0;
    }
    a.Put(u'"');
  }
  if (!a.ok) {
    out[*length] = u'\0';
    return false;
  }
  out[a.length] = u'\0';
  *length = a.length;
  return true;
}
