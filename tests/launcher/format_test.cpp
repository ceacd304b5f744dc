#include <gtest/gtest.h>

#include <string>

#include "launcher/format.h"

namespace {

constexpr FormatKind kWideThenSigned[] = {FormatKind::kWide, FormatKind::kSigned};
// The compile-time check itself: these are what makes a wrong format a build error.
static_assert(FormatMatches(u"%s has %d", kWideThenSigned, 2));
static_assert(!FormatMatches(u"%S has %d", kWideThenSigned, 2));
static_assert(!FormatMatches(u"%s", kWideThenSigned, 2));
static_assert(!FormatMatches(u"%s %d %d", kWideThenSigned, 2));
static_assert(!FormatMatches(u"%s %x", kWideThenSigned, 2));
static_assert(FormatMatches(u"100%% %s %d", kWideThenSigned, 2));

template <class... Args>
std::u16string Format(size_t limit, WideFormat<std::type_identity_t<Args>...> format,
                      Args... args) {
  char16_t buffer[64];
  size_t full = FormatBounded(buffer, limit, format, args...);
  std::u16string text(buffer);
  EXPECT_EQ(text.size(), full < limit ? full : limit);
  return text;
}

TEST(Format, ConversionsProduceTheirText) {
  EXPECT_EQ(Format(63, u"%s\\data\\HV1", u"C:\\Games"), u"C:\\Games\\data\\HV1");
  EXPECT_EQ(Format(63, u"installed %d files: %s", 124, u"done"), u"installed 124 files: done");
  EXPECT_EQ(Format(63, u"%d|%d|%d", 0, -7, INT32_MIN), u"0|-7|-2147483648");
  EXPECT_EQ(Format(63, u"%lu of %lu", 0u, 4294967295u), u"0 of 4294967295");
  EXPECT_EQ(Format(63, u"50%%"), u"50%");
}

TEST(Format, NarrowStringsAreWidenedByteByByte) {
  // No decoding: each byte becomes the character of the same value, so the
  // two bytes of a UTF-8 "é" become two characters.
  EXPECT_EQ(Format(63, u"ships: %S", "caf\xc3\xa9"), u"ships: caf\u00c3\u00a9");
  EXPECT_EQ(Format(63, u"[%S]", ""), u"[]");
}

TEST(Format, LongOutputIsCutAtTheLimitAndReportsItsFullLength) {
  char16_t buffer[8];
  buffer[7] = u'#';
  size_t full = FormatBounded(buffer, 5, u"%s-%d", u"abcdef", 42);
  EXPECT_EQ(full, 9u);
  EXPECT_EQ(std::u16string(buffer), u"abcde");
  EXPECT_EQ(buffer[7], u'#');  // nothing written past limit + 1
  EXPECT_EQ(FormatBounded(buffer, 5, u"%s", u"abcde"), 5u);
  EXPECT_EQ(std::u16string(buffer), u"abcde");
  EXPECT_EQ(FormatBounded(buffer, 0, u"%s", u"abc"), 3u);
  EXPECT_EQ(buffer[0], u'\0');
}

TEST(Format, CopyWideSaysWhetherTheWholeTextFit) {
  char16_t buffer[4];
  EXPECT_TRUE(CopyWide(buffer, 3, u"abc"));
  EXPECT_EQ(std::u16string(buffer), u"abc");
  EXPECT_FALSE(CopyWide(buffer, 3, u"abcd"));
  EXPECT_EQ(std::u16string(buffer), u"abc");
}

}  // namespace
