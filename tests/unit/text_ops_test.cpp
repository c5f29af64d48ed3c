// Tables of cases for the text and path operations that the run builds on.
#include <gtest/gtest.h>

#include <cstdint>

#include "run/path_helpers.h"
#include "u16_display.h"

namespace {

TEST(TextLengthTest, CountsCodeUnits) {
  EXPECT_EQ(TextLength(u""), 0);
  EXPECT_EQ(TextLength(u"abc"), 3);
  EXPECT_EQ(TextLength(u"\u00E9t\u00E9"), 3);
  // A character outside the BMP is two units.
  EXPECT_EQ(TextLength(u"a\U0001F600b"), 4);
  EXPECT_EQ(TextLength(Text(u"a\0b", 3)), 3);
}

struct MidCase {
  Text text;
  std::int64_t start;
  std::int64_t count;
  Text expected;
};

TEST(MidTextTest, Table) {
  const MidCase cases[] = {
      {u"abcdef", 1, 3, u"abc"},
      {u"abcdef", 3, 2, u"cd"},
      {u"abcdef", 6, 1, u"f"},
      // A start below 2 begins at the first unit.
      {u"abcdef", 0, 3, u"abc"},
      {u"abcdef", -4, 2, u"ab"},
      // The result stops at the end of the text.
      {u"abcdef", 5, 10, u"ef"},
      {u"abcdef", 1, 6, u"abcdef"},
      // A start beyond the end gives the empty text.
      {u"abcdef", 7, 1, u""},
      {u"abcdef", 100, 5, u""},
      // A negative count counts as 0.
      {u"abcdef", 2, 0, u""},
      {u"abcdef", 2, -1, u""},
      {u"", 1, 5, u""},
      // Units, not characters: the high surrogate alone.
      {u"a\U0001F600b", 2, 1, u"\xD83D"},
      {u"a\U0001F600b", 3, 2, u"\xDE00" u"b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowText(c.text) + " start " + std::to_string(c.start) + " count " +
                 std::to_string(c.count));
    EXPECT_TEXT_EQ(MidText(c.text, c.start, c.count), c.expected);
  }
}

struct RightCase {
  Text text;
  std::int64_t count;
  Text expected;
};

TEST(RightTextTest, Table) {
  const RightCase cases[] = {
      {u"abcdef", 2, u"ef"},      {u"abcdef", 1, u"f"},   {u"abcdef", 6, u"abcdef"},
      {u"abcdef", 10, u"abcdef"}, {u"abcdef", 0, u""},    {u"abcdef", -1, u""},
      {u"", 3, u""},              {u"C:\\Work\\", 1, u"\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowText(c.text) + " count " + std::to_string(c.count));
    EXPECT_TEXT_EQ(RightText(c.text, c.count), c.expected);
  }
}

// Pairs that the per-unit simple mapping turns into each other.
struct CasePair {
  Text lower;
  Text upper;
};

TEST(CaseMappingTest, MapsEachUnitBothWays) {
  const CasePair pairs[] = {
      {u"hello world 123", u"HELLO WORLD 123"},
      {u"\u00E9t\u00E9", u"\u00C9T\u00C9"},                   // été / ÉTÉ
      {u"\u00E0\u00E7\u00F6\u00F8", u"\u00C0\u00C7\u00D6\u00D8"},  // àçöø
      {u"\u03B1\u03B2\u03B3\u03C9", u"\u0391\u0392\u0393\u03A9"},  // Greek αβγω
      {u"\u0436\u044F", u"\u0416\u042F"},                     // Cyrillic жя
      {u"\uFF41\uFF5A", u"\uFF21\uFF3A"},                     // fullwidth a, z
  };
  for (const auto& p : pairs) {
    SCOPED_TRACE(ShowText(p.lower) + " / " + ShowText(p.upper));
    EXPECT_TEXT_EQ(ToUpperText(p.lower), p.upper);
    EXPECT_TEXT_EQ(ToLowerText(p.upper), p.lower);
    EXPECT_TEXT_EQ(ToUpperText(p.upper), p.upper);
    EXPECT_TEXT_EQ(ToLowerText(p.lower), p.lower);
  }
}

TEST(CaseMappingTest, OneWayMappings) {
  // Capital sigma lowers to sigma, never to final sigma. Whether final sigma
  // uppers to capital sigma is up to the system's table (the POSIX tests
  // hold that case).
  EXPECT_TEXT_EQ(ToLowerText(u"\u03A3"), u"\u03C3");
  // y with diaeresis leaves Latin-1 when upper-cased.
  EXPECT_TEXT_EQ(ToUpperText(u"\u00FF"), u"\u0178");
  EXPECT_TEXT_EQ(ToLowerText(u"\u0178"), u"\u00FF");
}

struct CaseCase {
  Text input;
  Text upper;
  Text lower;
};

TEST(CaseMappingTest, KeepsLengthAndUnitsWithoutCounterpart) {
  // Sharp s and the fi ligature have only multi-unit upper forms: no unit
  // turns into two, so they stay.
  const CaseCase cases[] = {
      {u"Stra\u00DFe", u"STRA\u00DFE", u"stra\u00DFe"},
      {u"\uFB01x", u"\uFB01X", u"\uFB01x"},
      {u"0123 _-+!@[]{}`~", u"0123 _-+!@[]{}`~", u"0123 _-+!@[]{}`~"},
      {u"\u4E2D\u6587 \u2014 Ab", u"\u4E2D\u6587 \u2014 AB", u"\u4E2D\u6587 \u2014 ab"},
      {u"", u"", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowText(c.input));
    EXPECT_TEXT_EQ(ToUpperText(c.input), c.upper);
    EXPECT_TEXT_EQ(ToLowerText(c.input), c.lower);
  }
}

TEST(CaseMappingTest, SurrogatesStayAsTheyAre) {
  // Deseret capital long I (U+10400) has a small form (U+10428), but a
  // per-unit mapping never sees the character, only its two halves.
  const Text deseretCapital = u"\U00010400";
  const Text deseretSmall = u"\U00010428";
  EXPECT_TEXT_EQ(ToLowerText(deseretCapital), deseretCapital);
  EXPECT_TEXT_EQ(ToUpperText(deseretSmall), deseretSmall);
  // Lone halves, as a cut label or a stray byte from a file name leaves them.
  const Text lone = u"a\xD83D" u"B\xDC80" u"c";
  EXPECT_TEXT_EQ(ToUpperText(lone), u"A\xD83D" u"B\xDC80" u"C");
  EXPECT_TEXT_EQ(ToLowerText(lone), u"a\xD83D" u"b\xDC80" u"c");
  // Units of the private-use block that names mapped from the file system use.
  EXPECT_TEXT_EQ(ToLowerText(u"A\uF03A\uF05C"), u"a\uF03A\uF05C");
}

struct ReplaceCase {
  Text text;
  Text find;
  Text replacement;
  bool ignoreCase;
  Text expected;
};

TEST(ReplaceTextTest, Table) {
  const ReplaceCase cases[] = {
      {u"a-b-c", u"-", u"+", false, u"a+b+c"},
      {u"C:/Work/Game/", u"/", u"\\", false, u"C:\\Work\\Game\\"},
      {u"abc", u"x", u"y", false, u"abc"},
      {u"", u"a", u"b", false, u""},
      // An empty find leaves the text unchanged.
      {u"abc", u"", u"x", false, u"abc"},
      {u"abc", u"", u"x", true, u"abc"},
      // Occurrences never overlap; the scan goes on behind each match.
      {u"aaaa", u"aa", u"b", false, u"bb"},
      {u"aaa", u"aa", u"b", false, u"ba"},
      // Units produced by a replacement are not scanned again.
      {u"ab", u"a", u"aa", false, u"aab"},
      {u"aXbX", u"X", u"XX", false, u"aXXbXX"},
      // Text that comes together through a removal is not scanned again.
      {u"aabb", u"ab", u"", false, u"ab"},
      {u"xx:yy", u":", u"", false, u"xxyy"},
      // Longer and shorter replacements.
      {u"a.b", u".", u"<dot>", false, u"a<dot>b"},
      {u"one<>two", u"<>", u"|", false, u"one|two"},
      // Without ignoreCase units must be equal.
      {u"ABab", u"ab", u"x", false, u"ABx"},
      // With ignoreCase the ASCII letters are folded...
      {u"ABab", u"ab", u"x", true, u"xx"},
      {u"c:\\work\\x.pb", u"C:\\WORK\\", u"", true, u"x.pb"},
      {u"C:\\Work\\x.pb", u"c:\\wORK\\", u"", true, u"x.pb"},
      // ...but nothing else: letters outside ASCII must match exactly,
      {u"\u00C9cole", u"\u00E9", u"e", true, u"\u00C9cole"},
      {u"\u00E9cole", u"\u00C9", u"E", true, u"\u00E9cole"},
      {u"\u00E9cole", u"\u00E9", u"e", true, u"ecole"},
      {u"\u0391\u03B1", u"\u03B1", u"a", true, u"\u0391a"},
      // and neighbours of the letters that differ by 0x20 are not letters.
      {u"a[b", u"{", u"x", true, u"a[b"},
      {u"a@b", u"`", u"x", true, u"a@b"},
      {u"a^b", u"~", u"x", true, u"a^b"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowText(c.text) + " find " + ShowText(c.find) + " by " +
                 ShowText(c.replacement) + (c.ignoreCase ? " ignoring case" : " exactly"));
    EXPECT_TEXT_EQ(ReplaceText(c.text, c.find, c.replacement, c.ignoreCase), c.expected);
  }
}

struct TrimCase {
  Text text;
  char16_t ch;
  Text expected;
};

TEST(TrimTrailingTest, Table) {
  const TrimCase cases[] = {
      {u"C:\\Work\\\\\\", u'\\', u"C:\\Work"},
      {u"C:\\Work\\", u'\\', u"C:\\Work"},
      {u"C:\\Work", u'\\', u"C:\\Work"},
      {u"\\\\\\", u'\\', u""},
      {u"", u'\\', u""},
      // Only the end is touched, and only the given character.
      {u"\\\\server\\share", u'\\', u"\\\\server\\share"},
      {u"a\\/", u'\\', u"a\\/"},
      {u"a/\\", u'\\', u"a/"},
      {u"a b  ", u' ', u"a b"},
      {u"  a", u' ', u"  a"},
      {u"x\u00E9\u00E9", u'\u00E9', u"x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowText(c.text) + " trim " + ShowText(Text(1, c.ch)));
    EXPECT_TEXT_EQ(TrimTrailing(c.text, c.ch), c.expected);
  }
}

struct FindCase {
  Text text;
  Text pattern;
  std::int64_t start;
  bool ignoreCase;
  std::int64_t expected;
};

TEST(FindTextTest, Table) {
  const FindCase cases[] = {
      // The collection's filter test.
      {u"pb|pbi|pbp|txt|", u"TXT|", 1, true, 12},
      {u"pb|pbi|pbp|txt|", u"TXT|", 1, false, 0},
      {u"pb|pbi|pbp|txt|", u"pbi|", 1, false, 4},
      {u"pb|pbi|pbp|txt|", u"xt|", 1, false, 13},
      {u"pb|pbi|pbp|txt|", u"|", 1, false, 3},
      {u"pb|pbi|pbp|txt|", u"zip|", 1, true, 0},
      // Start positions.
      {u"abcabc", u"bc", 1, false, 2},
      {u"abcabc", u"bc", 2, false, 2},
      {u"abcabc", u"bc", 3, false, 5},
      {u"abcabc", u"bc", 5, false, 5},
      {u"abcabc", u"bc", 6, false, 0},
      {u"abcabc", u"c", 6, false, 6},
      {u"abcabc", u"bc", 0, false, 2},
      {u"abcabc", u"bc", -3, false, 2},
      {u"abcabc", u"a", 7, false, 0},
      {u"abcabc", u"a", 100, false, 0},
      // Empty texts find nothing.
      {u"", u"a", 1, false, 0},
      {u"abc", u"", 1, false, 0},
      {u"", u"", 1, true, 0},
      {u"ab", u"abc", 1, false, 0},
      {u"abc", u"abc", 1, false, 1},
      // Folding goes beyond ASCII here, unlike ReplaceText.
      {u"\u00C9COLE", u"\u00E9cole", 1, true, 1},
      {u"\u00C9COLE", u"\u00E9cole", 1, false, 0},
      {u"x\u0391\u039B\u03A6\u0391", u"\u03BB\u03C6", 1, true, 3},
      {u"D:\\WORK\\GAME\\_BACKUPS|", u"d:\\work\\game\\_backups|", 1, true, 1},
      // Surrogate halves are compared as they are.
      {u"\U00010400", u"\U00010428", 1, true, 0},
      {u"a\U00010400", u"\U00010400", 1, true, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowText(c.text) + " pattern " + ShowText(c.pattern) + " from " +
                 std::to_string(c.start) + (c.ignoreCase ? " ignoring case" : " exactly"));
    EXPECT_EQ(FindText(c.text, c.pattern, c.start, c.ignoreCase), c.expected);
  }
}

struct PathCase {
  Text input;
  Text expected;
};

TEST(PathPartTest, Table) {
  const PathCase cases[] = {
      {u"C:\\Work\\Game", u"C:\\Work\\"},
      {u"C:\\Work\\Game\\main.pb", u"C:\\Work\\Game\\"},
      {u"C:\\Work\\Game\\", u"C:\\Work\\Game\\"},
      {u"C:\\", u"C:\\"},
      {u"C:", u""},
      {u"Game", u""},
      {u"", u""},
      {u"\\", u"\\"},
      {u"\\\\server\\share", u"\\\\server\\"},
      // The slash counts as a separator too and is kept as typed.
      {u"C:/Work/Game", u"C:/Work/"},
      {u"a/b\\c", u"a/b\\"},
      {u"a\\b/c", u"a\\b/"},
      // A double quote at the very start is skipped.
      {u"\"C:\\Work\\x.pb", u"C:\\Work\\"},
      {u"\"C:\\Work\\x.pb\"", u"C:\\Work\\"},
      // Only separators before the first vertical bar count.
      {u"C:\\a\\b|C:\\c\\d", u"C:\\a\\"},
      {u"a|b\\c", u""},
      {u"Src\\Proj", u"Src\\"},
      {u"C:\\\u00C9t\u00E9\\x", u"C:\\\u00C9t\u00E9\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowText(c.input));
    EXPECT_TEXT_EQ(PathPart(c.input), c.expected);
  }
}

TEST(FilePartTest, Table) {
  const PathCase cases[] = {
      {u"C:\\Work\\tool.pb", u"tool.pb"},
      {u"C:\\Work\\Game\\main.pb", u"main.pb"},
      {u"C:\\Work\\", u""},
      {u"C:/Work/", u""},
      {u"tool.pb", u"tool.pb"},
      {u"C:/Work/tool.pb", u"tool.pb"},
      {u"a/b\\c.txt", u"c.txt"},
      {u"", u""},
      // The extension stays.
      {u"D:\\Work\\archive.tar.gz", u"archive.tar.gz"},
      // A leading double quote is skipped; the name ends at the next one.
      {u"\"C:\\Work\\tool.pb\"", u"tool.pb"},
      {u"\"C:\\My Work\\tool.pb\" more", u"tool.pb"},
      {u"\"tool.pb\"", u"tool.pb"},
      {u"C:\\Work\\\u00E9t\u00E9 \U0001F600.pb", u"\u00E9t\u00E9 \U0001F600.pb"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowText(c.input));
    EXPECT_TEXT_EQ(FilePart(c.input), c.expected);
  }
}

TEST(ExtensionPartTest, Table) {
  const PathCase cases[] = {
      {u"main.pb", u"pb"},
      {u"notes.TXT", u"TXT"},
      {u"archive.tar.gz", u"gz"},
      {u"a.b.c", u"c"},
      {u"x..pb", u"pb"},
      {u"C:\\Work\\main.pb", u"pb"},
      {u"C:\\Work.d\\main.pb", u"pb"},
      {u"my file.pb", u"pb"},
      {u"x.pb\"", u"pb"},
      {u"\u00E9t\u00E9.\u00E9", u"\u00E9"},
      // No extension.
      {u"Makefile", u""},
      {u".hidden", u""},
      {u".profile", u""},
      {u"folder\\.x", u""},
      {u"folder/.x", u""},
      {u"name.", u""},
      {u"", u""},
      // The dot must come before any space, slash or backslash, scanning back.
      {u"file.my doc", u""},
      {u"dir.d\\file", u""},
      {u"dir.d/file", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowText(c.input));
    EXPECT_TEXT_EQ(ExtensionPart(c.input), c.expected);
  }
}

}  // namespace
