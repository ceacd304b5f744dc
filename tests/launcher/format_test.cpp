#include <gtest/gtest.h>

#include <string>

#include "launcher/format.h"

namespace {

// What makes a wrong format a build error.
constexpr FormatKind kWideThenSigned[] = {FormatKind::kWide, FormatKind::kSigned};
static_assert(FormatMatches(u"100%% %s has %d", kWideThenSigned, 2));
static_assert(!FormatMatches(u"%S has %d", kWideThenSigned, 2));
static_assert(!FormatMatches(u"%s", kWideThenSigned, 2));
static_assert(!FormatMatches(u"%s %d %d", kWideThenSigned, 2));
static_assert(!FormatMatches(u"%s %x", kWideThenSigned, 2));

// The log, paths and boxes show only what the run passes (paths, counts,
// byte-widened child output, unsigned progress); the signed extremes and the
// cut are held here.
TEST(Format, SignedValuesAndTheCut) {
  char16_t buffer[32];
  EXPECT_EQ(FormatBounded(buffer, 31, u"%d|%d|%d%%", 0, -7, INT32_MIN), 17u);
  EXPECT_EQ(std::u16string(buffer), u"0|-7|-2147483648%");
  buffer[6] = u'#';
  EXPECT_EQ(FormatBounded(buffer, 5, u"%s-%d", u"abcdef", 42), 9u);
  EXPECT_EQ(std::u16string(buffer), u"abcde");
  EXPECT_EQ(buffer[6], u'#');  // nothing written past limit + 1
  EXPECT_EQ(FormatBounded(buffer, 0, u"%s", u"abc"), 3u);
  EXPECT_EQ(buffer[0], u'\0');
}

}  // namespace
