#include "launcher/format.h"

namespace {

struct Sink {
  char16_t* out;
  size_t limit;
  size_t length;  // units the whole text needs, written or not
};

void Put(Sink& sink, char16_t unit) {
  if (sink.length < sink.limit) sink.out[sink.length] = unit;
  ++sink.length;
}

void PutDecimal(Sink& sink, uint32_t value, bool negative) {
  char16_t digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
  } while (value != 0);
  if (negative) Put(sink, u'-');
  while (count > 0) Put(sink, digits[--count]);
}

}  // namespace

size_t FormatBoundedArgs(char16_t* out, size_t limit, const char16_t* format,
                         const FormatArg* args, size_t count) {
  Sink sink{out, limit, 0};
  size_t next = 0;
  for (const char16_t* p = format; *p; ++p) {
    if (*p != u'%') {
      Put(sink, *p);
      continue;
    }
    ++p;
    if (*p == u'%') {
      Put(sink, u'%');
      continue;
    }
    // The compile-time check guarantees a known conversion with an argument
    // of its kind; anything else would be a caller bypassing it, so stop.
    if (next >= count) break;
    const FormatArg& arg = args[next++];
    if (*p == u'l') ++p;
    switch (arg.kind) {
      case FormatKind::kWide:
        for (const char16_t* s = arg.wide ? arg.wide : u"(null)"; *s; ++s) Put(sink, *s);
        break;
      case FormatKind::kNarrow:
        for (const char* s = arg.narrow ? arg.narrow : "(null)"; *s; ++s) {
          Put(sink, static_cast<char16_t>(static_cast<unsigned char>(*s)));
        }
        break;
      case FormatKind::kSigned: {
        int32_t v = arg.signed_value;
        uint32_t magnitude = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
        PutDecimal(sink, magnitude, v < 0);
        break;
      }
      case FormatKind::kUnsigned:
        PutDecimal(sink, arg.unsigned_value, false);
        break;
    }
  }
  out[sink.length < limit ? sink.length : limit] = u'\0';
  return sink.length;
}

bool CopyWide(char16_t* out, size_t limit, const char16_t* s) {
  size_t n = 0;
  while (s[n] && n < limit) {
    out[n] = s[n];
    ++n;
  }
  out[n] = u'\0';
  return s[n] == u'\0';
}

bool SameText(const char16_t* a, const char16_t* b) {
  while (*a && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}
