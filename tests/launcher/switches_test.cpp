#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "launcher/join_arguments.h"
#include "platform/platform.h"

// The switches' effects are rows of the whole runs in run_test.cpp.
namespace {

// How CommandLineToArgvW splits raw texts: the real function on the Windows
// build, the POSIX layer's on Linux, one table for both.
struct SplitRow {
  std::u16string text;
  std::vector<std::u16string> args;
};

const SplitRow kSplitRows[] = {
    {u"x  \"\"\t--no-play   ", {u"x", u"", u"--no-play"}},
    // The first token: a quote runs to the next quote, no escapes (the first
    // joined word below, quoted, ends in a backslash).
    {u"\"a b\"c d", {u"a b", u"c", u"d"}},
    {u"\"\" a", {u"", u"a"}},
    // Runs of quotes: inside quotes "" gives a quote and ends them, """ gives
    // one and goes on quoted.
    {u"x \"a\"\"b\" c", {u"x", u"a\"b c"}},
    {u"x \"a\"\"\"b\" c", {u"x", u"a\"b", u"c"}},
    {u"x \"\"\"\" y", {u"x", u"\" y"}},
};

TEST(CommandLine, SplitsAsWindowsDoes) {
  // The Linux entry joins its arguments into a command-line text; splitting
  // it must give them back. The first word has no escapes: quoted, its
  // trailing backslash stays as is.
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
  EXPECT_EQ(length, whole.size());
  EXPECT_EQ(joined, whole);
  EXPECT_TRUE(AppendQuotedArgument(joined, &length, whole.size() + 5, u"def", false));
  words.push_back(u"def");

  std::vector<SplitRow> rows(std::begin(kSplitRows), std::end(kSplitRows));
  rows.push_back({joined, words});
  for (const SplitRow& row : rows) {
    int32_t count = 0;
    WCHAR** args = CommandLineToArgvW(row.text.c_str(), &count);
    // Never freed, as the product never frees its own; plain storage keeps
    // them reachable when leaks are checked.
    static WCHAR** kept[16];
    kept[&row - rows.data()] = args;
    ASSERT_NE(args, nullptr);
    EXPECT_EQ(std::vector<std::u16string>(args, args + count), row.args)
        << std::string(row.text.begin(), row.text.end());
  }
}

}  // namespace
