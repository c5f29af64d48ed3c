// Splitting of the raw command line and the argument cursor.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/command_line.h"
#include "u16_display.h"

namespace {

std::string ShowTokens(const std::vector<Text>& tokens) {
  std::string out = "{";
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (i > 0) out += ", ";
    out += ShowText(tokens[i]);
  }
  return out + "}";
}

struct SplitCase {
  const char* what;
  Text raw;
  std::vector<Text> tokens;
};

TEST(SplitCommandLineTest, Table) {
  const SplitCase cases[] = {
      {"program path only", u"quillfort", {u"quillfort"}},
      {"empty line", u"", {}},
      {"spaces only", u"   ", {}},
      {"plain arguments", u"q /p C:\\Work\\Game /silent", {u"q", u"/p", u"C:\\Work\\Game", u"/silent"}},
      {"quoted program path with spaces",
       u"\"C:\\Program Files\\Quillfort\\q.exe\" /p x",
       {u"C:\\Program Files\\Quillfort\\q.exe", u"/p", u"x"}},
      {"runs of spaces and leading/trailing spaces", u"  q   a  b   ", {u"q", u"a", u"b"}},
      {"quoted path with a space is one argument",
       u"q /p \"D:\\My Work\\Game\"",
       {u"q", u"/p", u"D:\\My Work\\Game"}},
      {"unquoted path with a space is two", u"q /p D:\\My Work", {u"q", u"/p", u"D:\\My", u"Work"}},
      {"quoted token followed directly by more", u"q \"a b\"c", {u"q", u"a b", u"c"}},
      {"two quoted tokens back to back", u"q \"a\"\"b\"", {u"q", u"a", u"b"}},
      {"empty quoted argument keeps its place", u"q \"\" x", {u"q", u"", u"x"}},
      {"empty quoted argument at the end", u"q x \"\"", {u"q", u"x", u""}},
      {"empty quoted program path", u"\"\" a", {u"", u"a"}},
      {"tab is an ordinary character", u"q a\tb", {u"q", u"a\tb"}},
      {"unclosed quote runs to the end", u"q \"abc def  ", {u"q", u"abc def  "}},
      {"lone quote at the end makes an empty token", u"q a \"", {u"q", u"a", u""}},
      {"quote inside an unquoted token is ordinary",
       u"q ab\"c d\"",
       {u"q", u"ab\"c", u"d\""}},
      {"backslash does not escape the closing quote",
       u"q /p \"C:\\Work\\\" /silent",
       {u"q", u"/p", u"C:\\Work\\", u"/silent"}},
      {"backslash before a quote in an unquoted token", u"q a\\\"b", {u"q", u"a\\\"b"}},
      {"non-ASCII and surrogate pairs pass through",
       u"q \u00E9t\u00E9 \"\U0001F600 x\"",
       {u"q", u"\u00E9t\u00E9", u"\U0001F600 x"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": " + ShowText(c.raw));
    const std::vector<Text> tokens = SplitCommandLine(c.raw);
    EXPECT_EQ(tokens, c.tokens) << "got " << ShowTokens(tokens) << "\nexpected "
                                << ShowTokens(c.tokens);
  }
}

TEST(ArgumentCursorTest, OnlyTheProgramPath) {
  UseCommandLineForTesting(u"\"C:\\Program Files\\q.exe\"");
  EXPECT_EQ(ArgumentCount(), 0);
  EXPECT_TEXT_EQ(NextArgument(), u"");
  EXPECT_TEXT_EQ(NextArgument(), u"");
  EXPECT_TEXT_EQ(ArgumentAt(0), u"");
}

TEST(ArgumentCursorTest, CountsArgumentsAfterTheProgramPath) {
  UseCommandLineForTesting(u"q a \"\" c   ");
  EXPECT_EQ(ArgumentCount(), 3);
  UseCommandLineForTesting(u"\"/p x\" /p");
  EXPECT_EQ(ArgumentCount(), 1);
  EXPECT_TEXT_EQ(ArgumentAt(0), u"/p");
}

TEST(ArgumentCursorTest, NextArgumentWalksFromTheStart) {
  UseCommandLineForTesting(u"q a b");
  EXPECT_TEXT_EQ(NextArgument(), u"a");
  // Counting does not move the cursor.
  EXPECT_EQ(ArgumentCount(), 2);
  EXPECT_TEXT_EQ(NextArgument(), u"b");
  // Past the last argument it gives the empty text each time.
  EXPECT_TEXT_EQ(NextArgument(), u"");
  EXPECT_TEXT_EQ(NextArgument(), u"");
}

TEST(ArgumentCursorTest, ArgumentAtMovesTheCursorBehindIt) {
  UseCommandLineForTesting(u"q a b c d e");
  EXPECT_TEXT_EQ(ArgumentAt(2), u"c");
  EXPECT_TEXT_EQ(NextArgument(), u"d");
  EXPECT_TEXT_EQ(NextArgument(), u"e");
  EXPECT_TEXT_EQ(NextArgument(), u"");
  // Going back is possible.
  EXPECT_TEXT_EQ(ArgumentAt(0), u"a");
  EXPECT_TEXT_EQ(NextArgument(), u"b");
}

TEST(ArgumentCursorTest, ArgumentAtPastTheEndSetsTheCursorThere) {
  UseCommandLineForTesting(u"q a b c");
  EXPECT_TEXT_EQ(ArgumentAt(0), u"a");
  // The cursor goes to 9, not left at 1: the next argument is not "b".
  EXPECT_TEXT_EQ(ArgumentAt(9), u"");
  EXPECT_TEXT_EQ(NextArgument(), u"");
  EXPECT_TEXT_EQ(ArgumentAt(3), u"");
  EXPECT_TEXT_EQ(NextArgument(), u"");
}

TEST(ArgumentCursorTest, NegativeIndexBehavesAsNextArgument) {
  UseCommandLineForTesting(u"q a b c");
  EXPECT_TEXT_EQ(ArgumentAt(-1), u"a");
  EXPECT_TEXT_EQ(ArgumentAt(0), u"a");
  EXPECT_TEXT_EQ(ArgumentAt(-1), u"b");
  EXPECT_TEXT_EQ(ArgumentAt(-5), u"c");
  EXPECT_TEXT_EQ(ArgumentAt(-1), u"");
}

TEST(ArgumentCursorTest, EmptyArgumentIsNotMistakenForTheEnd) {
  UseCommandLineForTesting(u"q a \"\" c");
  EXPECT_TEXT_EQ(ArgumentAt(1), u"");
  EXPECT_TEXT_EQ(NextArgument(), u"c");
  EXPECT_TEXT_EQ(ArgumentAt(0), u"a");
  EXPECT_TEXT_EQ(NextArgument(), u"");
  EXPECT_TEXT_EQ(NextArgument(), u"c");
}

TEST(ArgumentCursorTest, NewLineResetsTheCursor) {
  UseCommandLineForTesting(u"q a b c");
  EXPECT_TEXT_EQ(ArgumentAt(2), u"c");
  UseCommandLineForTesting(u"q x y");
  EXPECT_TEXT_EQ(NextArgument(), u"x");
}

}  // namespace
