// Bounded wide formatting. "%s" takes a wide string, "%S" an 8-bit string whose
// bytes are widened one by one, "%d" an int32_t, "%lu" a uint32_t and "%%" a
// percent sign. Formats are checked against their arguments at compile time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

enum class FormatKind : uint8_t { kWide, kNarrow, kSigned, kUnsigned };

struct FormatArg {
  FormatKind kind;
  union {
    const char16_t* wide;
    const char* narrow;
    int32_t signed_value;
    uint32_t unsigned_value;
  };
  FormatArg(const char16_t* s) : kind(FormatKind::kWide), wide(s) {}
  FormatArg(const char* s) : kind(FormatKind::kNarrow), narrow(s) {}
  FormatArg(int32_t v) : kind(FormatKind::kSigned), signed_value(v) {}
  FormatArg(uint32_t v) : kind(FormatKind::kUnsigned), unsigned_value(v) {}
};

template <class T>
constexpr FormatKind KindOf() {
  using U = std::decay_t<T>;
  if constexpr (std::is_same_v<U, char16_t*> || std::is_same_v<U, const char16_t*>) {
    return FormatKind::kWide;
  } else if constexpr (std::is_same_v<U, char*> || std::is_same_v<U, const char*>) {
    return FormatKind::kNarrow;
  } else if constexpr (std::is_same_v<U, int32_t>) {
    return FormatKind::kSigned;
  } else {
    static_assert(std::is_same_v<U, uint32_t>, "format arguments: wide or 8-bit strings, int32_t, uint32_t");
    return FormatKind::kUnsigned;
  }
}

// Not constexpr on purpose: reaching it during constant evaluation makes a
// mismatched format a compile error.
void FormatDoesNotMatchArguments();

// Walks a format and checks each conversion against the expected kinds.
constexpr bool FormatMatches(const char16_t* format, const FormatKind* kinds, size_t count) {
  size_t used = 0;
  for (const char16_t* p = format; *p; ++p) {
    if (*p != u'%') continue;
    ++p;
    FormatKind want;
    if (*p == u'%') continue;
    if (*p == u's') {
      want = FormatKind::kWide;
    } else if (*p == u'S') {
      want = FormatKind::kNarrow;
    } else if (*p == u'd') {
      want = FormatKind::kSigned;
    } else if (p[0] == u'l' && p[1] == u'u') {
      want = FormatKind::kUnsigned;
      ++p;
    } else {
      return false;
    }
    if (used >= count || kinds[used] != want) return false;
    ++used;
  }
  return used == count;
}

template <class... Args>
struct WideFormat {
  const char16_t* text;
  consteval WideFormat(const char16_t* s) : text(s) {
    constexpr FormatKind kinds[sizeof...(Args) + 1] = {KindOf<Args>()..., FormatKind::kWide};
    if (!FormatMatches(s, kinds, sizeof...(Args))) FormatDoesNotMatchArguments();
  }
};

// Writes at most `limit` units of text and a terminator (so `out` holds
// limit + 1 units) and returns the length the whole text would have had; a
// result above `limit` means the text was cut.
size_t FormatBoundedArgs(char16_t* out, size_t limit, const char16_t* format,
                         const FormatArg* args, size_t count);

template <class... Args>
size_t FormatBounded(char16_t* out, size_t limit, WideFormat<std::type_identity_t<Args>...> format,
                     Args... args) {
  const FormatArg list[sizeof...(Args) + 1] = {FormatArg(args)..., FormatArg(u"")};
  return FormatBoundedArgs(out, limit, format.text, list, sizeof...(Args));
}

// A bounded copy (at most limit units and a terminator); false when the
// source was cut.
bool CopyWide(char16_t* out, size_t limit, const char16_t* s);

// Exact equality of two terminated wide texts (switches, subcommands).
bool SameText(const char16_t* a, const char16_t* b);
