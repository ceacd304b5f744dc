#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/join_arguments.h"
#include "platform/platform.h"

// The switches' effects are rows of the whole runs in run_test.cpp.
namespace {

// The Linux entry joins its arguments into a command-line text, which the
// launcher splits as Windows does (the real function on the Windows build,
// the POSIX layer's on Linux): splitting it must give them back. The first
// word has no escapes: quoted, its trailing backslash stays as is.
TEST(CommandLine, JoinedWordsSplitBackAsWindowsSplitsThem) {
  // clang-format off
  std::vector<std::u16string> words = {
      u"C:\\My Games\\", u"C:\\My Games\\disc 1.iso", u"", u"tab\there", u"say \"hi\"",
      u"ends\\", u"ends in space\\", u"a\\\\\"b", u"\\\\server\\share\\x.iso", u"plain"};
  // clang-format on
  WCHAR joined[1024];
  size_t length = 0;
  for (size_t i = 0; i < words.size(); ++i) {
    ASSERT_TRUE(AppendQuotedArgument(joined, &length, 1024, words[i].c_str(), i == 0));
  }
  // A word that does not fit leaves the text as it was; one that just fits
  // goes in.
  std::u16string whole = joined;
  EXPECT_FALSE(AppendQuotedArgument(joined, &length, whole.size() + 5, u"defg", false));
  EXPECT_EQ(joined, whole);
  EXPECT_TRUE(AppendQuotedArgument(joined, &length, whole.size() + 5, u"def", false));
  words.push_back(u"def");

  int32_t count = 0;
  // Never freed, as the product never frees its own; plain storage keeps it
  // reachable when leaks are checked.
  static WCHAR** args;
  args = CommandLineToArgvW(joined, &count);
  ASSERT_NE(args, nullptr);
  EXPECT_EQ(std::vector<std::u16string>(args, args + count), words);
}

}  // namespace
