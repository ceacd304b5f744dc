#include "launcher/format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// What makes a wrong format a build error.
constexpr FormatKind kWideThenSigned[] = {FormatKind::kWide, FormatKind::kSigned};
static_assert(FormatMatches(u"100%% %s has %d", kWideThenSigned, 2));
static_assert(!FormatMatches(u"%S has %d", kWideThenSigned, 2));
static_assert(!FormatMatches(u"%s", kWideThenSigned, 2));
static_assert(!FormatMatches(u"%s %d %d", kWideThenSigned, 2));
static_assert(!FormatMatches(u"%s %x", kWideThenSigned, 2));

// The runs show the values the product formats (paths, counts, byte-widened
// child output, unsigned progress) and the install logs a cut path; what
// the cut leaves past its end, and a negative number, are held here.
TEST(Format, TheCutWritesNothingPastItsEnd) {
  char16_t buffer[8];
  buffer[6] = u'#';
  EXPECT_EQ(FormatBounded(buffer, 5, u"%s%d", u"abc", -2147483647 - 1), 14u);
  EXPECT_EQ(std::u16string(buffer), u"abc-2");
  EXPECT_EQ(buffer[6], u'#');  // nothing written past limit + 1
}

}  // namespace
