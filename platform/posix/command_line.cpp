#include <vector>

#include "platform/posix/handles.h"

// The first token has its own rule: a leading quote runs to the next quote,
// otherwise it ends at the first space or tab; no escapes. Later arguments
// follow the backslash and quote rules: 2n backslashes and a quote give n
// backslashes and toggle quoting, 2n+1 give n and a literal quote; inside
// quotes, a doubled quote is a literal quote.
std::u16string* SplitCommandLine(const char16_t* text, size_t* count) {
  std::vector<std::u16string> args;
  const char16_t* s = text;
  std::u16string first;
  if (*s == u'"') {
    ++s;
    while (*s && *s != u'"') first += *s++;
    if (*s == u'"') ++s;
  } else {
    while (*s && *s != u' ' && *s != u'\t') first += *s++;
  }
  args.push_back(first);
  while (*s == u' ' || *s == u'\t') ++s;
  while (*s) {
    std::u16string arg;
    bool quoted = false;
    size_t backslashes = 0;
    for (; *s; ++s) {
      if (!quoted && (*s == u' ' || *s == u'\t')) break;
      if (*s == u'\\') {
        ++backslashes;
        continue;
      }
      if (*s == u'"') {
        arg.append(backslashes / 2, u'\\');
        if (backslashes % 2 == 1) {
          arg += u'"';
        } else if (quoted && s[1] == u'"') {
          arg += u'"';
          ++s;
        } else {
          quoted = !quoted;
        }
        backslashes = 0;
        continue;
      }
      arg.append(backslashes, u'\\');
      backslashes = 0;
      arg += *s;
    }
    arg.append(backslashes, u'\\');
    args.push_back(arg);
    while (*s == u' ' || *s == u'\t') ++s;
  }
  *count = args.size();
  std::u16string* out = new std::u16string[args.size()];
  for (size_t i = 0; i < args.size(); ++i) out[i] = args[i];
  return out;
}
