// Contract tests of the platform file services on a real temporary folder,
// written against the layer's interface only, for every back end.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform_scratch.h"
#include "u16_display.h"

namespace {

using platform::FoundEntry;
using platform::ListStatus;
using Names = std::vector<std::u16string>;

// Listing order differs by system, so listings are compared as sets here.
Names Sorted(Names names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PlatformListingTest, PatternsAndOutcomes) {
  ScratchFolder dir;
  for (const char16_t* name : {u"main.pb", u"UTIL.PB", u"notes", u"a.pbi", u"ab.pb"})
    ASSERT_TRUE(WriteThroughLayer(dir / name, ""));
  ASSERT_TRUE(platform::MakeFolder(dir / u"empty"));
  struct Case {
    std::u16string searchText;
    ListStatus status;
    Names names;
  };
  const Case cases[] = {
      // "*" and "*.*" both match every name, with or without a dot.
      {dir / u"*", ListStatus::Opened, {u"./", u"../", u"a.pbi", u"ab.pb", u"empty/", u"main.pb", u"notes", u"UTIL.PB"}},
      {dir / u"*.*", ListStatus::Opened, {u"./", u"../", u"a.pbi", u"ab.pb", u"empty/", u"main.pb", u"notes", u"UTIL.PB"}},
      // Other patterns match without case; "?" is exactly one unit.
      {dir / u"*.pb", ListStatus::Opened, {u"ab.pb", u"main.pb", u"UTIL.PB"}},
      {dir / u"?.pb*", ListStatus::Opened, {u"a.pbi"}},
      {dir / u"NOTES", ListStatus::Opened, {u"notes"}},
      {dir.root + u"/*.pbi", ListStatus::Opened, {u"a.pbi"}},
      // An empty folder still lists its dot entries.
      {dir / u"empty\\*.*", ListStatus::Opened, {u"./", u"../"}},
      // The folder opens, but nothing in it matches.
      {dir / u"*.zip", ListStatus::NothingMatches, {}},
      {dir / u"empty\\*.pb", ListStatus::NothingMatches, {}},
      // No folder to list: missing, or a file.
      {dir / u"missing\\*.*", ListStatus::Failed, {}},
      {dir / u"main.pb\\*.*", ListStatus::Failed, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ShowText(c.searchText));
    std::vector<FoundEntry> entries;
    EXPECT_EQ(ListThroughLayer(c.searchText, entries), c.status);
    EXPECT_EQ(Sorted(ListedNames(entries)), Sorted(c.names));
  }
}

TEST(PlatformListingTest, SeveralListingsStayOpenTogether) {
  ScratchFolder dir;
  ASSERT_TRUE(platform::MakeFolder(dir / u"a"));
  ASSERT_TRUE(WriteThroughLayer(dir / u"a\\inner.pb", ""));
  platform::Listing* outer = nullptr;
  platform::Listing* inner = nullptr;
  FoundEntry entry;
  ASSERT_EQ(platform::OpenListing(dir / u"*.*", outer, entry), ListStatus::Opened);
  Names outerNames{entry.name};
  ASSERT_EQ(platform::OpenListing(dir / u"a\\*.pb", inner, entry), ListStatus::Opened);
  EXPECT_TEXT_EQ(entry.name, u"inner.pb");
  EXPECT_FALSE(platform::NextListed(inner, entry));
  platform::CloseListing(inner);
  while (platform::NextListed(outer, entry)) outerNames.push_back(entry.name);
  EXPECT_EQ(Sorted(outerNames), (Names{u".", u"..", u"a"}));
  platform::CloseListing(outer);
}

TEST(PlatformFindPathTest, LooksUpFilesFoldersAndWildcards) {
  ScratchFolder dir;
  ASSERT_TRUE(WriteThroughLayer(dir / u"Gamma", "12345"));
  ASSERT_TRUE(platform::MakeFolder(dir / u"Game"));
  ASSERT_TRUE(WriteThroughLayer(dir / u"Game\\main.pb", "abc"));
  ASSERT_TRUE(WriteThroughLayer(dir / u"empty.txt", ""));
  struct Case {
    std::u16string path;
    bool found;
    std::u16string name;
    bool isDirectory;
    std::int64_t size;
  };
  const Case cases[] = {
      {dir / u"Gamma", true, u"Gamma", false, 5},
      {dir / u"empty.txt", true, u"empty.txt", false, 0},
      {dir / u"Game", true, u"Game", true, 0},
      {dir / u"Game/main.pb", true, u"main.pb", false, 3},
      {dir.root, true, {}, true, 0},
      {dir / u"missing", false, {}, false, 0},
      {dir / u"Gamma\\x", false, {}, false, 0},
      // A trailing separator names no entry, as a find-first lookup refuses it.
      {dir / u"Game\\", false, {}, false, 0},
      {dir / u"Game/", false, {}, false, 0},
      {u"", false, {}, false, 0},
      // Wildcards in the last component, matched without case; the size of
      // the match comes along.
      {dir / u"gam?a", true, u"Gamma", false, 5},
      {dir / u"*.TXT", true, u"empty.txt", false, 0},
      {dir / u"Game\\*.pb", true, u"main.pb", false, 3},
      {dir / u"Q*", false, {}, false, 0},
      {dir / u"G*\\main.pb", false, {}, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ShowText(c.path));
    FoundEntry entry;
    ASSERT_EQ(platform::FindPath(c.path, entry), c.found);
    if (!c.found) continue;
    if (!c.name.empty()) {
      EXPECT_TEXT_EQ(entry.name, c.name);
    }
    EXPECT_EQ(entry.isDirectory, c.isDirectory);
    if (!c.isDirectory) {
      EXPECT_EQ(entry.size, c.size);
    }
  }
  // With several matches the first in listing order counts.
  for (const char16_t* pattern : {u"Ga*", u"*", u"*.*"}) {
    SCOPED_TRACE(ShowText(pattern));
    std::vector<FoundEntry> entries;
    ASSERT_EQ(ListThroughLayer(dir / pattern, entries), ListStatus::Opened);
    FoundEntry entry;
    ASSERT_TRUE(platform::FindPath(dir / pattern, entry));
    EXPECT_TEXT_EQ(entry.name, entries.front().name);
    EXPECT_EQ(entry.isDirectory, entries.front().isDirectory);
    EXPECT_EQ(entry.size, entries.front().size);
  }
  bool isDirectory = false;
  EXPECT_TRUE(platform::ReadAttributes(dir / u"Game", isDirectory));
  EXPECT_TRUE(isDirectory);
  EXPECT_TRUE(platform::ReadAttributes(dir / u"Gamma", isDirectory));
  EXPECT_FALSE(isDirectory);
  EXPECT_FALSE(platform::ReadAttributes(dir / u"missing", isDirectory));
}

TEST(PlatformFolderTest, MakeFolderCreatesExactlyOneLevel) {
  ScratchFolder dir;
  ASSERT_TRUE(WriteThroughLayer(dir / u"file", ""));
  EXPECT_TRUE(platform::MakeFolder(dir / u"new"));
  EXPECT_FALSE(platform::MakeFolder(dir / u"new"));         // exists as a folder
  EXPECT_FALSE(platform::MakeFolder(dir / u"file"));        // exists as a file
  EXPECT_FALSE(platform::MakeFolder(dir / u"a\\b"));        // parent missing
  EXPECT_FALSE(platform::MakeFolder(dir / u"file\\sub"));   // parent is a file
  EXPECT_TRUE(platform::MakeFolder(dir / u"new\\inner\\")); // trailing separator
  EXPECT_FALSE(platform::MakeFolder(u""));
  FoundEntry entry;
  ASSERT_TRUE(platform::FindPath(dir / u"new\\inner", entry));
  EXPECT_TRUE(entry.isDirectory);
  EXPECT_FALSE(platform::FindPath(dir / u"a", entry));
}

TEST(PlatformFolderTest, PathsLongerThan260UnitsWork) {
  ScratchFolder dir;
  std::u16string path = dir.root;
  const std::u16string level(60, u'd');
  for (int i = 0; i < 6; ++i) {
    path += u"\\" + level + static_cast<char16_t>(u'0' + i);
    ASSERT_TRUE(platform::MakeFolder(path)) << i;
  }
  const std::u16string file = path + u"\\deep.pb";
  ASSERT_GT(file.size(), 400u);
  ASSERT_TRUE(WriteThroughLayer(file, "deep"));
  FoundEntry entry;
  ASSERT_TRUE(platform::FindPath(file, entry));
  EXPECT_EQ(entry.size, 4);
  std::vector<FoundEntry> entries;
  ASSERT_EQ(ListThroughLayer(path + u"\\*.pb", entries), ListStatus::Opened);
  EXPECT_EQ(ListedNames(entries), Names{u"deep.pb"});
  std::string content;
  ASSERT_TRUE(ReadThroughLayer(file, content));
  EXPECT_EQ(content, "deep");
}

TEST(PlatformReadOnlyTest, ReadOnlyFileRefusesDeleteAndWriteUntilMadeWritable) {
  ScratchFolder dir;
  const std::u16string path = dir / u"old.zip";
  ASSERT_TRUE(WriteThroughLayer(path, "kept"));
  // Take every write permission away (on Windows: the read-only attribute).
  namespace fs = std::filesystem;
  fs::permissions(dir.Native("old.zip"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  ASSERT_TRUE(WriteThroughLayer(dir / u"other", "new"));

  // This holds for every user, root included.
  EXPECT_FALSE(platform::RemoveFile(path));
  EXPECT_EQ(platform::OpenForWriting(path), nullptr);
  EXPECT_FALSE(platform::RenameFile(dir / u"other", path));
  std::string content;
  ASSERT_TRUE(ReadThroughLayer(path, content));
  EXPECT_EQ(content, "kept");

  EXPECT_TRUE(platform::MakeWritable(path));
  EXPECT_TRUE(platform::MakeWritable(path));  // already writable
  EXPECT_TRUE(platform::RemoveFile(path));
  FoundEntry entry;
  EXPECT_FALSE(platform::FindPath(path, entry));
  EXPECT_FALSE(platform::MakeWritable(path));
}

TEST(PlatformFileTest, RemoveFileTakesOnlyExistingFiles) {
  ScratchFolder dir;
  ASSERT_TRUE(platform::MakeFolder(dir / u"folder"));
  ASSERT_TRUE(WriteThroughLayer(dir / u"file", "x"));
  EXPECT_FALSE(platform::RemoveFile(dir / u"folder"));
  EXPECT_FALSE(platform::RemoveFile(dir / u"missing"));
  EXPECT_TRUE(platform::RemoveFile(dir / u"file"));
  EXPECT_FALSE(platform::RemoveFile(dir / u"file"));
  FoundEntry entry;
  EXPECT_TRUE(platform::FindPath(dir / u"folder", entry));
}

TEST(PlatformFileTest, WritingReadingAndReplacing) {
  ScratchFolder dir;
  const std::u16string path = dir / u"data.bin";
  std::string big(100000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);

  platform::File* file = platform::CreateNewForWriting(path);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(platform::CreateNewForWriting(path), nullptr);  // exists now
  ASSERT_TRUE(platform::WriteToFile(file, big.data(), big.size()));
  EXPECT_EQ(platform::FileSize(file), 100000);
  EXPECT_TRUE(platform::SyncFile(file));
  EXPECT_TRUE(platform::CloseFile(file));
  EXPECT_TRUE(platform::SyncFolder(dir.root));

  file = platform::OpenForReading(path);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(platform::FileSize(file), 100000);
  std::string back(big.size() + 10, 'x');
  // A read fills the whole request where the file has the bytes.
  EXPECT_EQ(platform::ReadFromFile(file, back.data(), 65536), 65536u);
  EXPECT_EQ(platform::ReadFromFile(file, back.data() + 65536, back.size() - 65536), 100000u - 65536u);
  EXPECT_EQ(platform::ReadFromFile(file, back.data(), 10), 0u);
  EXPECT_TRUE(platform::CloseFile(file));
  back.resize(big.size());
  EXPECT_TRUE(back == big);

  // Writing an existing writable file empties it first.
  ASSERT_TRUE(WriteThroughLayer(path, "short"));
  std::string content;
  ASSERT_TRUE(ReadThroughLayer(path, content));
  EXPECT_EQ(content, "short");

  // A rename replaces a writable target.
  ASSERT_TRUE(WriteThroughLayer(dir / u"next", "next"));
  EXPECT_TRUE(platform::RenameFile(dir / u"next", path));
  ASSERT_TRUE(ReadThroughLayer(path, content));
  EXPECT_EQ(content, "next");
  EXPECT_FALSE(platform::RenameFile(dir / u"next", path));  // gone

  EXPECT_EQ(platform::OpenForReading(dir / u"missing"), nullptr);
  EXPECT_EQ(platform::OpenForReading(dir.root), nullptr);   // a folder
  EXPECT_EQ(platform::OpenForWriting(dir.root), nullptr);
  EXPECT_EQ(platform::OpenForWriting(dir / u"missing\\x"), nullptr);
}

TEST(PlatformNameTest, ArchiveNamesAreValidUtf8) {
  struct Case {
    std::u16string name;
    std::string utf8;
  };
  const Case cases[] = {
      {u"Game\\inc\\util.pbi", "Game\\inc\\util.pbi"},
      {u"\u00E9t\u00E9 \u2014 \U0001F600", "\xC3\xA9t\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x98\x80"},
      // Private-use characters are plain characters.
      {u"\uF041", "\xEF\x81\x81"},
      // Bytes that were not text, and other lone surrogates, become U+FFFD.
      {u"a\xDC80\xDCFF", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
      {u"\xD83Dx\xDE00", "\xEF\xBF\xBDx\xEF\xBF\xBD"},
      {u"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ShowText(c.name));
    EXPECT_EQ(platform::ArchiveNameUtf8(c.name), c.utf8);
  }
}

TEST(PlatformPathTest, FullPathResolvesDotSegments) {
  const std::u16string current = platform::FullPath(u".");
  ASSERT_FALSE(current.empty());
  EXPECT_NE(current.back(), u'\\');
  const std::u16string parent = current.substr(0, current.find_last_of(u'\\'));
  struct Case {
    std::u16string path;
    std::u16string full;
  };
  const Case cases[] = {
      {u"", current},
      {u"a", current + u"\\a"},
      {u"a\\b\\..\\c", current + u"\\a\\c"},
      {u"a/./b/", current + u"\\a\\b"},
      {u".\\x\\\\y", current + u"\\x\\y"},
      {u"..", parent.empty() ? u"\\" : parent},
      {current + u"\\x\\..\\y\\.", current + u"\\y"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ShowText(c.path));
    EXPECT_TEXT_EQ(platform::FullPath(c.path), c.full);
  }
}

}  // namespace
