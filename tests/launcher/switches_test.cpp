#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "launcher/join_arguments.h"
#include "launcher/run.h"

namespace {

// The words live on, as the product's argument array does: setup_from
// points into them.
LauncherOptions Parse(std::vector<std::u16string> words) {
  static std::list<std::vector<std::u16string>> kept;
  kept.push_back(std::move(words));
  std::vector<WCHAR*> args;
  for (auto& w : kept.back()) args.push_back(w.data());
  LauncherOptions options = DefaultOptions();
  ParseSwitches(args.data(), static_cast<int32_t>(args.size()), &options);
  return options;
}

// The product never frees its argument array; kept here for the same reason.
WCHAR** Split(const WCHAR* text, int32_t* count) {
  static WCHAR** arrays[32];  // plain storage: still there when leaks are checked
  static size_t used = 0;
  WCHAR** args = CommandLineToArgvW(text, count);
  if (used < 32) arrays[used++] = args;
  return args;
}

TEST(Switches, StartValuesAndEachSwitch) {
  LauncherOptions none = Parse({});
  EXPECT_TRUE(none.play);
  EXPECT_FALSE(none.setup || none.has_setup_from || none.ships || none.ships_yes);

  LauncherOptions all = Parse({u"--setup", u"--no-play", u"--ships-yes"});
  EXPECT_TRUE(all.setup);
  EXPECT_FALSE(all.play);
  EXPECT_TRUE(all.ships);
  EXPECT_TRUE(all.ships_yes);

  LauncherOptions ships = Parse({u"--ships"});
  EXPECT_TRUE(ships.ships);
  EXPECT_FALSE(ships.ships_yes);
}

TEST(Switches, ComparisonsAreExactAndOthersIgnored) {
  LauncherOptions options = Parse({u"--SETUP", u"--setup=1", u"-setup", u"setup", u"--no-play "});
  EXPECT_FALSE(options.setup);
  EXPECT_TRUE(options.play);
}

TEST(Switches, SetupFromTakesTheNextArgumentWhateverItIs) {
  LauncherOptions looks_like_switch = Parse({u"--setup-from", u"--setup"});
  ASSERT_TRUE(looks_like_switch.has_setup_from);
  EXPECT_EQ(std::u16string(looks_like_switch.setup_from), u"--setup");
  EXPECT_FALSE(looks_like_switch.setup);

  LauncherOptions last = Parse({u"--no-play", u"--setup-from"});
  EXPECT_FALSE(last.has_setup_from);
  EXPECT_FALSE(last.play);

  LauncherOptions empty = Parse({u"--setup-from", u""});
  ASSERT_TRUE(empty.has_setup_from);
  EXPECT_EQ(std::u16string(empty.setup_from), u"");

  LauncherOptions later = Parse({u"--setup-from", u"a.iso", u"--setup-from", u"b.iso"});
  EXPECT_EQ(std::u16string(later.setup_from), u"b.iso");
}

// The Linux entry joins its arguments into a command-line text; splitting it
// must give them back, through the build's own CommandLineToArgvW.
TEST(CommandLine, QuotedArgumentsSplitBackWhole) {
  // The first word has no escapes: quoted, its trailing backslash stays as is.
  std::vector<std::u16string> words = {u"C:\\My Games\\",
                                       u"C:\\My Games\\disc 1.iso",
                                       u"",
                                       u"tab\there",
                                       u"say \"hi\"",
                                       u"ends\\",
                                       u"ends in space\\",
                                       u"a\\\\\"b",
                                       u"\\\\server\\share\\x.iso",
                                       u"plain"};
  WCHAR text[1024];
  size_t length = 0;
  text[0] = u'\0';
  for (size_t i = 0; i < words.size(); ++i) {
    ASSERT_TRUE(AppendQuotedArgument(text, &length, 1024, words[i].c_str(), i == 0));
  }
  int32_t count = 0;
  WCHAR** args = Split(text, &count);
  ASSERT_NE(args, nullptr);
  ASSERT_EQ(count, static_cast<int32_t>(words.size()));
  for (int32_t i = 0; i < count; ++i) EXPECT_EQ(std::u16string(args[i]), words[i]) << i;
}

// How CommandLineToArgvW splits raw texts: the real function on the Windows
// build, the POSIX layer's on Linux, one table for both.
struct SplitRow {
  const char16_t* text;
  std::vector<std::u16string> args;
};

const SplitRow kSplitRows[] = {
    {u"--setup  --no-play\t--ships", {u"--setup", u"--no-play", u"--ships"}},
    // The first token: a quote runs to the next quote, no escapes.
    {u"\"C:\\a b\\\\\" x", {u"C:\\a b\\\\", u"x"}},
    {u"\"a b\"c d", {u"a b", u"c", u"d"}},
    {u"\"\" a", {u"", u"a"}},
    // Later ones: backslashes count only before a quote.
    {u"x a\\\\b \"a b\\\\\" c", {u"x", u"a\\\\b", u"a b\\", u"c"}},
    {u"x a\\\\\\\"b a\\\\\"b c\"", {u"x", u"a\\\"b", u"a\\b c"}},
    // Doubled and tripled quotes: inside quotes "" gives a quote and ends them.
    {u"x \"a\"\"b\" c", {u"x", u"a\"b c"}},
    {u"x \"a\"\"\"b\" c", {u"x", u"a\"b", u"c"}},
    {u"x \"\"\"\" y", {u"x", u"\" y"}},
    {u"x \"\"\"a b\"\"\"", {u"x", u"\"a", u"b\""}},
    {u"x \"\" y   ", {u"x", u"", u"y"}},
};

TEST(CommandLine, SplitsAsWindowsDoes) {
  for (const SplitRow& row : kSplitRows) {
    int32_t count = 0;
    WCHAR** args = Split(row.text, &count);
    ASSERT_NE(args, nullptr);
    std::vector<std::u16string> got(args, args + count);
    EXPECT_EQ(got, row.args) << std::string(row.text, row.text + std::char_traits<char16_t>::length(row.text));
  }
}

TEST(CommandLine, ATextThatDoesNotFitIsLeftAsItWas) {
  WCHAR text[8];
  size_t length = 0;
  ASSERT_TRUE(AppendQuotedArgument(text, &length, 8, u"abc", true));
  EXPECT_FALSE(AppendQuotedArgument(text, &length, 8, u"defg", false));
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(std::u16string(text), u"abc");
  EXPECT_TRUE(AppendQuotedArgument(text, &length, 8, u"def", false));  // fills it exactly
  EXPECT_EQ(std::u16string(text), u"abc def");
}

}  // namespace
