// Names under which collected files are stored in the archive.
#include <gtest/gtest.h>

#include "archive/archive_writer.h"
#include "run/path_helpers.h"
#include "u16_display.h"

namespace {

struct EntryCase {
  const char* what;
  Text fullPath;
  Text baseFolder;
  Text expected;
};

TEST(MakeEntryNameTest, Table) {
  const EntryCase cases[] = {
      {"project file", u"C:\\Work\\Proj\\main.pb", u"C:\\Work\\", u"Proj\\main.pb"},
      {"project subfolder", u"C:\\Work\\Proj\\inc\\x.pbi", u"C:\\Work\\", u"Proj\\inc\\x.pbi"},
      {"file mode", u"C:\\Work\\Proj\\main.pb", u"C:\\Work\\Proj\\", u"main.pb"},
      {"POSIX-style root", u"\\home\\u\\Game\\inc\\util.pbi", u"\\home\\u\\", u"Game\\inc\\util.pbi"},
      // The base goes only where it begins the path: an inner folder of the
      // same name stays, whatever its case.
      {"inner folder named like the base", u"Src\\Proj\\lib\\src\\b.pb", u"Src\\",
       u"Proj\\lib\\src\\b.pb"},
      {"inner folder in the base's exact case", u"Src\\Proj\\lib\\Src\\b.pb", u"Src\\",
       u"Proj\\lib\\Src\\b.pb"},
      {"base repeated at the start goes once", u"Src\\Src\\a.pb", u"Src\\", u"Src\\a.pb"},
      {"short base does not cut into data\\", u"a\\data\\x.pb", u"a\\", u"data\\x.pb"},
      {"short base inside a name", u"a\\Proj\\schema\\x.pb", u"a\\", u"Proj\\schema\\x.pb"},
      {"base not at the start is kept", u"X:\\Src\\Proj\\a.pb", u"Src\\", u"X\\Src\\Proj\\a.pb"},
      // ASCII letters of the base match in any case; the path keeps its own.
      {"base in other ASCII case", u"c:\\work\\Proj\\a.pb", u"C:\\WORK\\", u"Proj\\a.pb"},
      {"path in upper case", u"C:\\WORK\\PROJ\\A.PB", u"c:\\work\\", u"PROJ\\A.PB"},
      // Letters outside ASCII are compared exactly.
      {"non-ASCII base, same case", u"C:\\\u00C9t\u00E9\\Proj\\a.pb", u"C:\\\u00C9t\u00E9\\",
       u"Proj\\a.pb"},
      {"non-ASCII base, other case", u"C:\\\u00C9t\u00E9\\Proj\\a.pb", u"C:\\\u00E9T\u00C9\\",
       u"C\\\u00C9t\u00E9\\Proj\\a.pb"},
      {"Greek base, other case", u"\u0391\\P\\a.pb", u"\u03B1\\", u"\u0391\\P\\a.pb"},
      // An empty base removes nothing; the colons go all the same.
      {"empty base", u"Proj\\a.pb", u"", u"Proj\\a.pb"},
      {"empty base and a drive", u"D:\\a.pb", u"", u"D\\a.pb"},
      {"colons after the base", u"C:\\Work\\Proj\\a:b:c.pb", u"C:\\Work\\", u"Proj\\abc.pb"},
      // A colon mapped from a POSIX name is not a colon and stays.
      {"mapped colon stays", u"C:\\Work\\Proj\\a\uF03Ab.pb", u"C:\\Work\\", u"Proj\\a\uF03Ab.pb"},
      {"base longer than the path", u"C:\\a", u"C:\\abc\\", u"C\\a"},
      {"path equal to the base", u"C:\\Work\\", u"C:\\Work\\", u""},
      // Nothing else changes: separators, case, spaces, other characters.
      {"nothing else changes", u"C:\\Work\\My Proj\\\u00E9 \U0001F600 .Pb", u"C:\\Work\\",
       u"My Proj\\\u00E9 \U0001F600 .Pb"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": " + ShowText(c.fullPath) + " base " +
                 ShowText(c.baseFolder));
    EXPECT_TEXT_EQ(MakeEntryName(c.fullPath, c.baseFolder), c.expected);
  }
}

// The run's use: the base is the path part of the normalised source path.
TEST(MakeEntryNameTest, BaseFromTheSourcePath) {
  struct RunCase {
    Text sourcePath;
    Text file;
    Text expected;
  };
  const RunCase cases[] = {
      {u"C:\\Work\\Proj", u"C:\\Work\\Proj\\main.pb", u"Proj\\main.pb"},
      {u"C:\\Work\\Proj", u"C:\\Work\\Proj\\inc\\x.pbi", u"Proj\\inc\\x.pbi"},
      {u"C:\\Work\\Proj\\main.pb", u"C:\\Work\\Proj\\main.pb", u"main.pb"},
      {u"Src\\Proj", u"Src\\Proj\\lib\\src\\b.pb", u"Proj\\lib\\src\\b.pb"},
      {u"Proj", u"Proj\\a.pb", u"Proj\\a.pb"},
      {u"D:", u"D:\\a.pb", u"D\\a.pb"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ShowText(c.sourcePath) + " / " + ShowText(c.file));
    EXPECT_TEXT_EQ(MakeEntryName(c.file, PathPart(c.sourcePath)), c.expected);
  }
}

}  // namespace
