// Label cleaning, source path normalising and reading the switches.
#include <gtest/gtest.h>

#include <string>

#include "run/backup_label.h"
#include "run/command_line.h"
#include "run/run_driver.h"
#include "u16_display.h"

namespace {

struct TextCase {
  Text input;
  Text expected;
};

TEST(SanitizeLabelTest, Table) {
  const Text letters70 = u"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqr";
  const Text upper64 = u"ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKL";
  const TextCase cases[] = {
      {u"my/label: beta?", u"MY_LABEL_ BETA_"},
      {u"beta 2", u"BETA 2"},
      {u"tool.pb", u"TOOL.PB"},
      {u"/all", u"_ALL"},
      // Each of the ten forbidden characters becomes one underscore.
      {u"\\/:*?<>|\"@", u"__________"},
      {u"a@b|c", u"A_B_C"},
      {u"\"<x>\"", u"__X__"},
      {u"mail@host", u"MAIL_HOST"},
      // Characters outside the set stay, control characters and spaces too.
      {u"a\tb", u"A\tB"},
      {u"a_b-c.d,e;f'g", u"A_B-C.D,E;F'G"},
      {u"", u""},
      {u"   ", u"   "},
      {u"  beta  ", u"  BETA  "},
      {u"\u00E9t\u00E9 \u03B1\u03B2", u"\u00C9T\u00C9 \u0391\u0392"},
      {u"stra\u00DFe", u"STRA\u00DFE"},
      // Cut to 64 units.
      {letters70, upper64},
      {letters70.substr(0, 64), upper64},
      {letters70.substr(0, 63), upper64.substr(0, 63)},
      {Text(100, u'x'), Text(64, u'X')},
      {Text(100, u'?'), Text(64, u'_')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowText(c.input));
    EXPECT_TEXT_EQ(SanitizeLabel(c.input), c.expected);
  }
}

TEST(SanitizeLabelTest, CutsASurrogatePairAtUnit64) {
  // 63 letters and a character of two units: its second unit is unit 65.
  const Text input = Text(63, u'a') + u"\U0001F600" + u"tail";
  const Text result = SanitizeLabel(input);
  EXPECT_EQ(result.size(), 64u);
  EXPECT_TEXT_EQ(result, Text(63, u'A') + u"\xD83D");
  // With 62 letters the pair fits whole.
  EXPECT_TEXT_EQ(SanitizeLabel(Text(62, u'a') + u"\U0001F600" + u"tail"),
                 Text(62, u'A') + u"\U0001F600");
}

TEST(SanitizeLabelTest, SeparatorIsSpaceEmDashSpace) {
  EXPECT_TEXT_EQ(kLabelSeparator, u" \u2014 ");
}

TEST(NormaliseSourcePathTest, Table) {
  const TextCase cases[] = {
      {u"C:\\Work\\Game\\", u"C:\\Work\\Game"},
      {u"C:/Work/Game", u"C:\\Work\\Game"},
      {u"C:/Work/Game/", u"C:\\Work\\Game"},
      {u"C:\\Work\\Game", u"C:\\Work\\Game"},
      {u"C:\\Work\\\\\\", u"C:\\Work"},
      {u"a/\\/", u"a"},
      {u"C:\\", u"C:"},
      {u"C:/", u"C:"},
      {u"\\\\server\\share\\", u"\\\\server\\share"},
      {u"/home/u/Game/", u"\\home\\u\\Game"},
      // Relative paths stay relative; spaces stay.
      {u"Work/Game/", u"Work\\Game"},
      {u" My Game ", u" My Game "},
      {u"My Game \\", u"My Game "},
      {u"\\\\\\", u""},
      {u"/", u""},
      {u"", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowText(c.input));
    EXPECT_TEXT_EQ(NormaliseSourcePath(c.input), c.expected);
  }
}

// What ReadSwitches should leave in a fresh RunSettings.
struct SwitchCase {
  const char* what;
  Text commandLine;
  Text projectPath;
  Text filePath;
  Text defaultLabel;
  Text extensionFilter;
  Text modeTag;
  bool silent;
};

const Text kFilter = u"pb|pbi|pbp|txt";

TEST(ReadSwitchesTest, Table) {
  const SwitchCase cases[] = {
      {"no arguments", u"q", u"", u"", u"", kFilter, u"", false},
      {"the program path is not an argument", u"/p x", u"", u"", u"", kFilter, u"", false},
      {"project, label, silent", u"q /p D:\\Work\\Game /w \"beta 2\" /silent",
       u"D:\\Work\\Game", u"", u"beta 2", kFilter, u"", true},
      // Switches ignore case; values keep theirs.
      {"/P as /p", u"q /P D:\\Work\\MyGame", u"D:\\Work\\MyGame", u"", u"", kFilter, u"", false},
      {"upper-case switches", u"q /F Tool.PB /W Beta /ALL /SILENT", u"", u"Tool.PB", u"Beta",
       u"", u" [A]", true},
      {"mixed-case switches", u"q /All /Silent", u"", u"", u"", u"", u" [A]", true},
      // The value is the next argument whatever it holds.
      {"value that looks like a switch", u"q /p /silent", u"/silent", u"", u"", kFilter, u"",
       false},
      {"/w followed by /all", u"q /w /all", u"", u"", u"/all", kFilter, u"", false},
      {"a value is never read as a switch", u"q /w /p x", u"", u"", u"/p", kFilter, u"", false},
      {"value /p then a real /p", u"q /p /p /p x", u"x", u"", u"", kFilter, u"", false},
      // Repeats: the last value wins, flags do not stack.
      {"two /p", u"q /p first /p second", u"second", u"", u"", kFilter, u"", false},
      {"two /w", u"q /w a /w b", u"", u"", u"b", kFilter, u"", false},
      {"/all twice", u"q /all /all /silent /silent", u"", u"", u"", u"", u" [A]", true},
      // A switch at the end has an empty value.
      {"/p at the end", u"q /silent /p", u"", u"", u"", kFilter, u"", true},
      {"/f at the end", u"q /f", u"", u"", u"", kFilter, u"", false},
      {"/w at the end", u"q /p x /w", u"x", u"", u"", kFilter, u"", false},
      // An empty quoted value is a value.
      {"/p with an empty value, then /f", u"q /p \"\" /f D:\\Work\\tool.pb", u"",
       u"D:\\Work\\tool.pb", u"", kFilter, u"", false},
      // Both modes are read; which one runs is decided later.
      {"/f before /p", u"q /f a.pb /p D:\\Work", u"D:\\Work", u"a.pb", u"", kFilter, u"", false},
      // Only whole arguments match; anything else is ignored.
      {"near-switches are ignored", u"q /p:x -p /pp p /silent: /alll x", u"", u"", u"", kFilter,
       u"", false},
      {"unquoted space splits the path", u"q /p D:\\My Work", u"D:\\My", u"", u"", kFilter, u"",
       false},
      {"quoted path keeps space and trailing backslash", u"q /p \"D:\\My Work\\\" /silent",
       u"D:\\My Work\\", u"", u"", kFilter, u"", true},
      {"slashes in the value are kept as typed", u"q /p C:/Work/Game/", u"C:/Work/Game/", u"",
       u"", kFilter, u"", false},
      {"non-ASCII value", u"q /w \u00E9t\u00E9", u"", u"", u"\u00E9t\u00E9", kFilter, u"",
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": " + ShowText(c.commandLine));
    UseCommandLineForTesting(c.commandLine);
    RunSettings settings;
    ReadSwitches(settings);
    EXPECT_TEXT_EQ(settings.projectPath, c.projectPath);
    EXPECT_TEXT_EQ(settings.filePath, c.filePath);
    EXPECT_TEXT_EQ(settings.defaultLabel, c.defaultLabel);
    EXPECT_TEXT_EQ(settings.extensionFilter, c.extensionFilter);
    EXPECT_TEXT_EQ(settings.modeTag, c.modeTag);
    EXPECT_EQ(settings.silent, c.silent);
  }
}

}  // namespace
