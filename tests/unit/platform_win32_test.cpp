// Tests of what only the Windows back end does: the system's listing order,
// attributes, drives, devices, the session's mutex and wide entry names.
#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/archive_names.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform_scratch.h"
#include "u16_display.h"

namespace {

using platform::FoundEntry;
using platform::ListStatus;
using Names = std::vector<std::u16string>;

TEST(Win32ListingTest, EntriesComeInTheSystemsOwnOrderWithTheDotEntries) {
  ScratchFolder dir;
  for (const char16_t* name : {u"_x", u"b.pb", u"Zed", u"a_b", u"\u00E9", u"[y", u"A.txt"})
    ASSERT_TRUE(WriteThroughLayer(dir / name, "x"));
  ASSERT_TRUE(platform::MakeFolder(dir / u"Mid"));

  std::vector<FoundEntry> entries;
  ASSERT_EQ(ListThroughLayer(dir / u"*.*", entries), ListStatus::Opened);
  // The folder's own entries, as another reader of the system sees them in
  // the same order; the layer neither sorts nor filters.
  Names system;
  for (const auto& item : std::filesystem::directory_iterator(dir.NativeRoot()))
    system.push_back(item.path().filename().u16string());
  Names listed;
  int dots = 0;
  for (const FoundEntry& entry : entries) {
    if (entry.name == u"." || entry.name == u"..") {
      EXPECT_TRUE(entry.isDirectory);
      ++dots;
    } else {
      listed.push_back(entry.name);
    }
  }
  EXPECT_EQ(dots, 2);
  EXPECT_EQ(listed, system);
}

TEST(Win32FilesTest, ReadOnlyAttributeAndReplaceability) {
  ScratchFolder dir;
  const std::u16string path = dir / u"old.zip";
  ASSERT_TRUE(WriteThroughLayer(path, "kept"));
  ASSERT_TRUE(platform::MakeFolder(dir / u"folder"));
  EXPECT_TRUE(platform::IsReplaceable(path));
  EXPECT_TRUE(platform::IsReplaceable(dir / u"missing"));
  EXPECT_TRUE(platform::IsReplaceable(dir / u"missing\\deeper"));
  EXPECT_FALSE(platform::IsReplaceable(dir / u"folder"));

  // The standard library's permissions set the read-only attribute here.
  namespace fs = std::filesystem;
  fs::permissions(dir.Native("old.zip"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_FALSE(platform::IsReplaceable(path));
  EXPECT_EQ(platform::OpenForWriting(path), nullptr);
  EXPECT_FALSE(platform::RemoveFile(path));
  // Reading a read-only file is fine.
  std::string content;
  ASSERT_TRUE(ReadThroughLayer(path, content));
  EXPECT_EQ(content, "kept");

  EXPECT_TRUE(platform::MakeWritable(path));
  EXPECT_TRUE(platform::IsReplaceable(path));
  EXPECT_NE(fs::status(dir.Native("old.zip")).permissions() & fs::perms::owner_write, fs::perms::none);

  // No folder flush exists; a folder counts as synced when it is there.
  EXPECT_TRUE(platform::SyncFolder(dir / u"folder"));
  EXPECT_FALSE(platform::SyncFolder(path));
  EXPECT_FALSE(platform::SyncFolder(dir / u"missing"));
}

TEST(Win32FilesTest, DevicesAreNoFiles) {
  for (const char16_t* device : {u"NUL", u"CON"}) {
    SCOPED_TRACE(ShowText(device));
    EXPECT_EQ(platform::OpenForReading(device), nullptr);
    EXPECT_EQ(platform::OpenForWriting(device), nullptr);
  }
}

TEST(Win32FilesTest, SizesJoinBothHalves) {
  ScratchFolder dir;
  // 5 GiB + 3: the high half is 1, the low half 1 GiB + 3.
  const std::int64_t size = (std::int64_t(5) << 30) + 3;
  ASSERT_TRUE(WriteThroughLayer(dir / u"huge", ""));
  std::filesystem::resize_file(dir.Native("huge"), static_cast<std::uintmax_t>(size));
  FoundEntry entry;
  ASSERT_TRUE(platform::FindPath(dir / u"huge", entry));
  EXPECT_EQ(entry.size, size);
  std::vector<FoundEntry> entries;
  ASSERT_EQ(ListThroughLayer(dir / u"hu?e", entries), ListStatus::Opened);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size, size);
  platform::File* file = platform::OpenForReading(dir / u"huge");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(platform::FileSize(file), size);
  EXPECT_TRUE(platform::CloseFile(file));
}

TEST(Win32DriveTest, DriveTypesOfARealAndAMissingLetter) {
  EXPECT_EQ(platform::QueryDriveType(u"C:\\"), platform::DriveType::Fixed);
  std::u16string missing;
  for (char16_t letter = u'Z'; letter > u'C' && missing.empty(); --letter) {
    std::u16string root{letter, u':', u'\\'};
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::path(root), error)) missing = root;
  }
  ASSERT_FALSE(missing.empty()) << "every letter has a drive";
  SCOPED_TRACE(ShowText(missing));
  EXPECT_EQ(platform::QueryDriveType(missing), platform::DriveType::NoRootDirectory);
}

TEST(Win32PathTest, FullPathsOfDrivesAndShares) {
  struct Case {
    std::u16string path;
    std::u16string full;
  };
  const Case cases[] = {
      {u"C:\\", u"C:\\"},
      {u"C:\\a\\..\\b\\", u"C:\\b"},
      {u"C:/a/./b", u"C:\\a\\b"},
      {u"C:\\a\\..\\..", u"C:\\"},
      {u"\\\\server\\share\\a\\..\\b", u"\\\\server\\share\\b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ShowText(c.path));
    EXPECT_TEXT_EQ(platform::FullPath(c.path), c.full);
  }
}

TEST(Win32LockTest, TheLockLivesInTheSessionNamespace) {
  std::random_device random;
  const std::string digits = std::to_string(random());
  const std::u16string name = u"Quillfort session test " + std::u16string(digits.begin(), digits.end());
  bool exists = true;
  const std::intptr_t first = platform::CreateNamedLock(name, exists);
  ASSERT_NE(first, 0);
  EXPECT_FALSE(exists);
  // A plain name means the session's local object.
  const std::intptr_t local = platform::CreateNamedLock(u"Local\\" + name, exists);
  EXPECT_NE(local, 0);
  EXPECT_TRUE(exists);
  platform::CloseNamedLock(local);
  platform::CloseNamedLock(first);
}

// The names that the ANSI code page cannot hold: Japanese and an emoji.
const char16_t kJapanese[] = u"\u65E5\u672C\u8A9E\u306E\u30D5\u30A1\u30A4\u30EB.pb";
const char kJapaneseUtf8[] =
    "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB.pb";
const char16_t kEmoji[] = u"\U0001F600 smile.txt";
const char kEmojiUtf8[] = "\xF0\x9F\x98\x80 smile.txt";

TEST(Win32NameTest, NonAnsiNamesRoundTripThroughFilesAndUtf8) {
  ScratchFolder dir;
  ASSERT_TRUE(WriteThroughLayer(dir / kJapanese, "ja"));
  ASSERT_TRUE(WriteThroughLayer(dir / kEmoji, "emoji"));
  std::vector<FoundEntry> entries;
  ASSERT_EQ(ListThroughLayer(dir / u"*.*", entries), ListStatus::Opened);
  Names names;
  for (const FoundEntry& entry : entries) names.push_back(entry.name);
  EXPECT_NE(std::find(names.begin(), names.end(), kJapanese), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), kEmoji), names.end());
  std::string content;
  ASSERT_TRUE(ReadThroughLayer(dir / kEmoji, content));
  EXPECT_EQ(content, "emoji");
  EXPECT_EQ(platform::ArchiveNameUtf8(kJapanese), kJapaneseUtf8);
  EXPECT_EQ(platform::ArchiveNameUtf8(kEmoji), kEmojiUtf8);
  EXPECT_EQ(platform::ArchiveNameUtf8(u"dir\\" + std::u16string(kEmoji)), std::string("dir\\") + kEmojiUtf8);
}

// The name and general-purpose flags of every central directory record.
struct StoredName {
  std::string name;
  unsigned flags;
};

std::vector<StoredName> CentralDirectoryNames(const std::string& zip) {
  auto u16 = [&zip](std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>(zip[at])) |
           static_cast<unsigned>(static_cast<unsigned char>(zip[at + 1])) << 8;
  };
  std::vector<StoredName> names;
  for (std::size_t at = zip.find("PK\x01\x02"); at != std::string::npos && at + 46 <= zip.size();
       at = zip.find("PK\x01\x02", at + 4)) {
    const std::size_t length = u16(at + 28);
    names.push_back(StoredName{zip.substr(at + 46, length), u16(at + 8)});
  }
  return names;
}

TEST(Win32NameTest, ZipStoresWideNamesAsUtf8WithTheFlag) {
  const std::u16string names[] = {kJapanese, std::u16string(u"dir\\") + kEmoji, u"plain.pb", u"lone\xD800.pb"};
  const std::string expected[] = {kJapaneseUtf8, std::string("dir\\") + kEmojiUtf8, "plain.pb",
                                  "lone\xEF\xBF\xBD.pb"};

  std::string zip(64 * 1024, '\0');
  std::size_t used = 0;
  struct archive* writer = archive_write_new();
  ASSERT_NE(writer, nullptr);
  ASSERT_EQ(archive_write_set_format_zip(writer), ARCHIVE_OK);
  ASSERT_TRUE(platform::PrepareArchiveNames(writer));
  ASSERT_EQ(archive_write_open_memory(writer, zip.data(), zip.size(), &used), ARCHIVE_OK);
  for (const std::u16string& name : names) {
    SCOPED_TRACE(ShowText(name));
    struct archive_entry* entry = archive_entry_new();
    ASSERT_TRUE(platform::SetArchiveEntryName(entry, name));
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_size(entry, 2);
    EXPECT_EQ(archive_write_header(writer, entry), ARCHIVE_OK);
    EXPECT_EQ(archive_write_data(writer, "ok", 2), 2);
    archive_entry_free(entry);
  }
  ASSERT_EQ(archive_write_close(writer), ARCHIVE_OK);
  archive_write_free(writer);
  zip.resize(used);

  const std::vector<StoredName> stored = CentralDirectoryNames(zip);
  ASSERT_EQ(stored.size(), std::size(names));
  for (std::size_t i = 0; i < stored.size(); ++i) {
    SCOPED_TRACE(expected[i]);
    EXPECT_EQ(stored[i].name, expected[i]);
    // Bit 11 marks a name as UTF-8; every name beyond ASCII needs it.
    const bool ascii = std::all_of(expected[i].begin(), expected[i].end(),
                                   [](char c) { return (static_cast<unsigned char>(c) & 0x80) == 0; });
    if (!ascii) {
      EXPECT_NE(stored[i].flags & 0x0800u, 0u);
    }
  }
}

}  // namespace
