// Tests of what only the POSIX back end does: byte names, links, pipes,
// permission bits, the socket lock, signals and terminals.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <langinfo.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/posix/console_internal.h"
#include "platform/posix/native_text.h"
#include "platform/posix/process_internal.h"
#include "platform/process.h"
#include "platform/text_case.h"
#include "platform_scratch.h"
#include "run/command_line.h"
#include "u16_display.h"

namespace {

using platform::FoundEntry;
using platform::ListStatus;
using Names = std::vector<std::u16string>;

std::string NativeIn(const ScratchFolder& dir, const std::string& name) {
  return dir.NativeRoot().string() + "/" + name;
}

bool MakeNativeFile(const std::string& path, const std::string& content) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return false;
  const bool written = write(fd, content.data(), content.size()) == ssize_t(content.size());
  return close(fd) == 0 && written;
}

struct NameCase {
  std::string bytes;
  std::u16string text;
};

const NameCase kNameCases[] = {
    {"ab.pb", u"ab.pb"},
    {"a:b.pb", u"a\uF03Ab.pb"},
    {"back\\slash", u"back\uF05Cslash"},
    {"q?*\"<>|", u"q\uF03F\uF02A\uF022\uF03C\uF03E\uF07C"},
    {"new\nline", u"new\nline"},
    {"caf\xC3\xA9 \xF0\x9F\x98\x80", u"caf\u00E9 \U0001F600"},
    // Bytes of invalid sequences each become U+DC00 + byte: stray, cut
    // short, overlong, an encoded surrogate, beyond U+10FFFF.
    {"bad\xFF\xFE", u"bad\xDCFF\xDCFE"},
    {"cut\xC3", u"cut\xDCC3"},
    {"over\xC0\xAF", u"over\xDCC0\xDCAF"},
    {"surr\xED\xA0\x80", u"surr\xDCED\xDCA0\xDC80"},
    {"big\xF4\x90\x80\x80", u"big\xDCF4\xDC90\xDC80\xDC80"},
    // A real U+F03A would read as a mapped colon, so its bytes stay bytes.
    {"real\xEF\x80\xBA", u"real\xDCEF\xDC80\xDCBA"},
};

TEST(PosixNamesTest, NativeNamesMapIntoTextAndOpenAgain) {
  ScratchFolder dir;
  for (const NameCase& c : kNameCases) ASSERT_TRUE(MakeNativeFile(NativeIn(dir, c.bytes), c.bytes));

  std::vector<FoundEntry> entries;
  ASSERT_EQ(ListThroughLayer(dir / u"*.*", entries), ListStatus::Opened);
  ASSERT_EQ(entries.size(), std::size(kNameCases) + 2);
  for (const NameCase& c : kNameCases) {
    SCOPED_TRACE(ShowText(c.text));
    EXPECT_TEXT_EQ(platform::posix::NameFromNative(c.bytes), c.text);
    const bool listed = std::any_of(entries.begin(), entries.end(),
                                    [&](const FoundEntry& e) { return e.name == c.text && !e.isDirectory; });
    EXPECT_TRUE(listed);
    std::string content;
    ASSERT_TRUE(ReadThroughLayer(dir / c.text, content));
    EXPECT_EQ(content, c.bytes);
    FoundEntry entry;
    ASSERT_TRUE(platform::FindPath(dir / c.text, entry));
    EXPECT_EQ(entry.size, std::int64_t(c.bytes.size()));
  }

  // Made through the layer, a mapped name gets the native characters back.
  ASSERT_TRUE(WriteThroughLayer(dir / u"made\uF03A\uF05C\xDCFF", "m"));
  struct stat info {};
  EXPECT_EQ(lstat(NativeIn(dir, "made:\\\xFF").c_str(), &info), 0);
}

TEST(PosixNamesTest, EveryByteStringSurvivesTheRoundTrip) {
  std::mt19937 random(20310407);
  std::uniform_int_distribution<int> length(0, 12);
  // Mostly high bytes, where the decoding has its edges.
  const std::string alphabet = "a:\\*\x80\xBF\xC0\xC1\xC2\xC3\xDF\xE0\xED\xEF\xF0\xF4\xF5\xFF\x9F\xA0\x90\x8F";
  for (int round = 0; round < 20000; ++round) {
    std::string bytes;
    for (int i = length(random); i > 0; --i) {
      const auto pick = random() % (alphabet.size() + 4);
      bytes += pick < alphabet.size() ? alphabet[pick] : char(1 + random() % 255);
      if (bytes.back() == '/' || bytes.back() == '\0') bytes.back() = 'x';
    }
    const std::u16string text = platform::posix::NameFromNative(bytes);
    ASSERT_EQ(platform::posix::NativePath(text), bytes) << ShowText(text);
    // No unit of a name may read as a separator, colon, wildcard or quote.
    EXPECT_EQ(text.find_first_of(u"\\/:*?\"<>|"), std::u16string::npos) << ShowText(text);
  }
}

TEST(PosixNamesTest, ConversionTables) {
  struct Case {
    std::string bytes;
    std::u16string text;
  };
  // Typed text: no character is mapped, stray bytes are kept.
  const Case typed[] = {
      {"/p", u"/p"},
      {"C:\\Work\\", u"C:\\Work\\"},
      {"a*b?\"", u"a*b?\""},
      {"\xFFx", u"\xDCFFx"},
      {"\xEF\x80\xBA", u"\xDCEF\xDC80\xDCBA"},
  };
  for (const Case& c : typed) {
    SCOPED_TRACE(c.bytes);
    EXPECT_TEXT_EQ(platform::posix::TextFromUtf8(c.bytes), c.text);
  }
  // Layer paths: both separators are '/', U+0000 names nothing, lone
  // surrogates that were not bytes become U+FFFD.
  const Case paths[] = {
      {"/home/u/Game/inc", u"\\home\\u\\Game/inc"},
      {"a:b/x", u"a\uF03Ab\\x"},
      {"\xEF\xBF\xBDx\xEF\xBF\xBD\xFF", u"\xD800x\xDC10\xDCFF"},
      {"", std::u16string(u"a\0b", 3)},
  };
  for (const Case& c : paths) {
    SCOPED_TRACE(ShowText(c.text));
    EXPECT_EQ(platform::posix::NativePath(c.text), c.bytes);
  }
  EXPECT_TEXT_EQ(platform::posix::PathFromNative("/x/a:b/\xFF"), u"\\x\\a\uF03Ab\\\xDCFF");
}

TEST(PosixListingTest, DotsFirstThenUpperCasedNamesInUnitOrder) {
  ScratchFolder dir;
  // Created in an order unlike the expected one. Upper-casing puts "_" and
  // "[" after the letters and "A.txt" before "a_b", which neither the raw
  // names nor lower-cased ones would do.
  for (const char16_t* name : {u"_x", u"b.pb", u"Zed", u"a_b", u"\u00E9", u"[y", u"A.txt", u"\u00E4.pb"})
    ASSERT_TRUE(WriteThroughLayer(dir / name, "x"));
  ASSERT_TRUE(platform::MakeFolder(dir / u"Mid"));

  std::vector<FoundEntry> entries;
  ASSERT_EQ(ListThroughLayer(dir / u"*.*", entries), ListStatus::Opened);
  EXPECT_EQ(ListedNames(entries), (Names{u"./", u"../", u"A.txt", u"a_b", u"b.pb", u"Mid/", u"Zed",
                                         u"[y", u"_x", u"\u00E4.pb", u"\u00E9"}));
}

TEST(PosixNamesTest, MappedNamesRoundTripAndStayDistinct) {
  ScratchFolder dir;
  // U+F000 + a character that a path cannot hold is that character in a name;
  // each name must open again under exactly the name that the listing gives.
  const std::u16string names[] = {
      u"ab.pb",
      u"a\uF03Ab.pb",
      u"q\uF03F\uF02A\uF022\uF03C\uF03E\uF07C.txt",
      u"back\uF05Cslash",
  };
  for (const auto& name : names) ASSERT_TRUE(WriteThroughLayer(dir / name, "content of " + platform::ArchiveNameUtf8(name)));

  std::vector<FoundEntry> entries;
  ASSERT_EQ(ListThroughLayer(dir / u"*.*", entries), ListStatus::Opened);
  ASSERT_EQ(entries.size(), 6u);
  for (std::size_t i = 2; i < entries.size(); ++i) {
    SCOPED_TRACE(ShowText(entries[i].name));
    EXPECT_NE(std::find(std::begin(names), std::end(names), entries[i].name), std::end(names));
    std::string content;
    ASSERT_TRUE(ReadThroughLayer(dir / entries[i].name, content));
    EXPECT_EQ(content, "content of " + platform::ArchiveNameUtf8(entries[i].name));
  }
  // A mapped character is no wildcard: only the name with a real "*" matches.
  FoundEntry entry;
  ASSERT_TRUE(platform::FindPath(dir / u"q\uF03F\uF02A*", entry));
  EXPECT_TEXT_EQ(entry.name, names[2]);
  EXPECT_FALSE(platform::FindPath(dir / u"q\uF03F\uF02Ax", entry));
}

TEST(PosixNamesTest, ArchiveNamesWriteMappedCharactersAsThemselves) {
  struct Case {
    std::u16string name;
    std::string utf8;
  };
  const Case cases[] = {
      {u"a\uF03Ab.pb", "a:b.pb"},
      {u"\uF02A\uF03F\uF022\uF03C\uF03E\uF07C", "*?\"<>|"},
      // Except the backslash, which would read as a separator.
      {u"x\uF05Cy", "x\xEF\x81\x9Cy"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ShowText(c.name));
    EXPECT_EQ(platform::ArchiveNameUtf8(c.name), c.utf8);
  }
}

TEST(PosixFindPathTest, WildcardsTakeTheFirstInSortedOrder) {
  ScratchFolder dir;
  ASSERT_TRUE(WriteThroughLayer(dir / u"Gamma", "12345"));
  ASSERT_TRUE(platform::MakeFolder(dir / u"Game"));
  FoundEntry entry;
  ASSERT_TRUE(platform::FindPath(dir / u"Ga*", entry));  // GAME before GAMMA
  EXPECT_TEXT_EQ(entry.name, u"Game");
  EXPECT_TRUE(entry.isDirectory);
  ASSERT_TRUE(platform::FindPath(dir / u"*", entry));
  EXPECT_TEXT_EQ(entry.name, u".");
  EXPECT_TRUE(entry.isDirectory);
}

TEST(PosixTextCaseTest, UnicodeSimpleMappingOfTheSpecialLetters) {
  struct Case {
    std::u16string text;
    std::u16string upper;
    std::u16string lower;
  };
  const Case cases[] = {
      // Final sigma uppers to sigma.
      {u"\u03C2", u"\u03A3", u"\u03C2"},
      // Dotted capital I lowers to i; dotless i uppers to I.
      {u"\u0130\u0131", u"\u0130I", u"i\u0131"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ShowText(c.text));
    std::u16string upper = c.text, lower = c.text;
    platform::UpperUnits(upper);
    platform::LowerUnits(lower);
    EXPECT_TEXT_EQ(upper, c.upper);
    EXPECT_TEXT_EQ(lower, c.lower);
    for (std::size_t i = 0; i < c.text.size(); ++i) EXPECT_EQ(platform::LowerUnit(c.text[i]), c.lower[i]) << i;
  }
}

TEST(PosixFilesTest, LinksAreFollowedAndSpecialFilesLeftOut) {
  ScratchFolder dir;
  ASSERT_TRUE(platform::MakeFolder(dir / u"real"));
  ASSERT_TRUE(WriteThroughLayer(dir / u"real\\f.pb", "12345"));
  ASSERT_EQ(symlink("real", NativeIn(dir, "dirlink").c_str()), 0);
  ASSERT_EQ(symlink("real/f.pb", NativeIn(dir, "filelink").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", NativeIn(dir, "dangling").c_str()), 0);
  ASSERT_EQ(mkfifo(NativeIn(dir, "pipe").c_str(), 0644), 0);

  std::vector<FoundEntry> entries;
  ASSERT_EQ(ListThroughLayer(dir / u"*.*", entries), ListStatus::Opened);
  EXPECT_EQ(ListedNames(entries), (Names{u"./", u"../", u"dangling", u"dirlink/", u"filelink", u"real/"}));
  ASSERT_EQ(ListThroughLayer(dir / u"dirlink\\*.pb", entries), ListStatus::Opened);
  EXPECT_EQ(ListedNames(entries), Names{u"f.pb"});
  EXPECT_EQ(ListThroughLayer(dir / u"p*", entries), ListStatus::NothingMatches);

  struct Case {
    std::u16string name;
    bool found;
    bool isDirectory;
    std::int64_t size;
  };
  const Case cases[] = {
      {u"dirlink", true, true, 0},
      {u"filelink", true, false, 5},
      {u"dangling", true, false, 0},
      {u"pipe", false, false, 0},
      {u"pi*", false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ShowText(c.name));
    FoundEntry entry;
    ASSERT_EQ(platform::FindPath(dir / c.name, entry), c.found);
    if (c.found) {
      EXPECT_EQ(entry.isDirectory, c.isDirectory);
      EXPECT_EQ(entry.size, c.size);
    }
  }

  // A pipe neither blocks nor opens; a link to a file reads the file.
  EXPECT_EQ(platform::OpenForReading(dir / u"pipe"), nullptr);
  EXPECT_EQ(platform::OpenForWriting(dir / u"pipe"), nullptr);
  EXPECT_EQ(platform::OpenForReading(dir / u"dangling"), nullptr);
  std::string content;
  ASSERT_TRUE(ReadThroughLayer(dir / u"filelink", content));
  EXPECT_EQ(content, "12345");
  // Removing a link removes the link only.
  EXPECT_TRUE(platform::RemoveFile(dir / u"filelink"));
  FoundEntry entry;
  EXPECT_FALSE(platform::FindPath(dir / u"filelink", entry));
  EXPECT_TRUE(platform::FindPath(dir / u"real\\f.pb", entry));
}

TEST(PosixFilesTest, LinkLoopIsRefusedWhileTheOuterListingIsOpen) {
  ScratchFolder dir;
  ASSERT_TRUE(platform::MakeFolder(dir / u"top"));
  ASSERT_TRUE(platform::MakeFolder(dir / u"top\\sub"));
  ASSERT_EQ(symlink("..", NativeIn(dir, "top/sub/back").c_str()), 0);
  ASSERT_EQ(symlink(".", NativeIn(dir, "top/self").c_str()), 0);

  platform::Listing* top = nullptr;
  platform::Listing* sub = nullptr;
  platform::Listing* loop = nullptr;
  FoundEntry entry;
  ASSERT_EQ(platform::OpenListing(dir / u"top\\*.*", top, entry), ListStatus::Opened);
  ASSERT_EQ(platform::OpenListing(dir / u"top\\sub\\*.*", sub, entry), ListStatus::Opened);
  EXPECT_EQ(platform::OpenListing(dir / u"top\\sub\\back\\*.*", loop, entry), ListStatus::Failed);
  EXPECT_EQ(platform::OpenListing(dir / u"top\\self\\*.*", loop, entry), ListStatus::Failed);
  EXPECT_EQ(loop, nullptr);
  platform::CloseListing(sub);
  platform::CloseListing(top);
  // With nothing open, the same folder lists again.
  std::vector<FoundEntry> entries;
  ASSERT_EQ(ListThroughLayer(dir / u"top\\sub\\back\\*.*", entries), ListStatus::Opened);
  EXPECT_EQ(ListedNames(entries), (Names{u"./", u"../", u"self/", u"sub/"}));
}

TEST(PosixFilesTest, SizesAre64Bit) {
  ScratchFolder dir;
  const std::int64_t size = (std::int64_t(5) << 30) + 3;
  ASSERT_TRUE(MakeNativeFile(NativeIn(dir, "huge"), ""));
  ASSERT_EQ(truncate(NativeIn(dir, "huge").c_str(), size), 0);  // sparse
  FoundEntry entry;
  ASSERT_TRUE(platform::FindPath(dir / u"huge", entry));
  EXPECT_EQ(entry.size, size);
  ASSERT_TRUE(platform::FindPath(dir / u"hu?e", entry));
  EXPECT_EQ(entry.size, size);
  platform::File* file = platform::OpenForReading(dir / u"huge");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(platform::FileSize(file), size);
  platform::CloseFile(file);
}

TEST(PosixFilesTest, ReadOnlyMeansNoWriteBitForAnyUser) {
  ScratchFolder dir;
  struct Case {
    mode_t mode;
    bool readOnly;
  };
  const Case cases[] = {{0444, true}, {0000, true}, {0555, true}, {0644, false}, {0464, false}, {0446, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    const std::u16string path = dir / u"f";
    ASSERT_TRUE(MakeNativeFile(NativeIn(dir, "f"), "x"));
    ASSERT_EQ(chmod(NativeIn(dir, "f").c_str(), c.mode), 0);
    platform::File* file = platform::OpenForWriting(path);
    EXPECT_EQ(file == nullptr, c.readOnly);
    if (file != nullptr) platform::CloseFile(file);
    EXPECT_EQ(platform::RemoveFile(path), !c.readOnly);
    if (c.readOnly) {
      // Write permission for the owner, nothing else changed.
      EXPECT_TRUE(platform::MakeWritable(path));
      struct stat info {};
      ASSERT_EQ(stat(NativeIn(dir, "f").c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 07777, c.mode | S_IWUSR);
      EXPECT_TRUE(platform::RemoveFile(path));
    }
  }
}

// Runs `body` in a child process and returns its exit status.
template <typename Body>
int InChild(Body body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

std::u16string UniqueLockName() {
  return u"Quillfort test lock " + platform::posix::TextFromUtf8(std::to_string(getpid()));
}

TEST(PosixLockTest, HeldAcrossProcessesUntilTheHolderDies) {
  const std::u16string name = UniqueLockName();
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    bool exists = true;
    const char got = platform::CreateNamedLock(name, exists) != 0 && !exists ? 'y' : 'n';
    (void)!write(ready[1], &got, 1);
    while (true) pause();
  }
  char got = 0;
  ASSERT_EQ(read(ready[0], &got, 1), 1);
  EXPECT_EQ(got, 'y');

  bool exists = false;
  std::intptr_t handle = platform::CreateNamedLock(name, exists);
  EXPECT_NE(handle, 0);
  EXPECT_TRUE(exists);
  platform::CloseNamedLock(handle);
  // The lock is per user: another user takes its own.
  if (geteuid() == 0) {
    const int status = InChild([&] {
      if (setuid(65534) != 0) return 2;
      bool other = true;
      return platform::CreateNamedLock(name, other) != 0 && !other ? 0 : 1;
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  // Killed without any chance to clean up, the holder leaves nothing behind.
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  handle = platform::CreateNamedLock(name, exists);
  EXPECT_NE(handle, 0);
  EXPECT_FALSE(exists);
  platform::CloseNamedLock(handle);
  close(ready[0]);
  close(ready[1]);
}

TEST(PosixLockTest, OfManyStartedTogetherExactlyOneGetsTheLock) {
  const std::u16string name = UniqueLockName() + u" race";
  int go[2], results[2], done[2];
  ASSERT_EQ(pipe(go), 0);
  ASSERT_EQ(pipe(results), 0);
  ASSERT_EQ(pipe(done), 0);
  std::vector<pid_t> children;
  for (int i = 0; i < 8; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      close(go[1]);
      close(done[1]);
      char c;
      (void)!read(go[0], &c, 1);  // returns when the parent closes its end
      bool exists = true;
      const char got = platform::CreateNamedLock(name, exists) != 0 && !exists ? 'y' : 'n';
      (void)!write(results[1], &got, 1);
      (void)!read(done[0], &c, 1);  // hold the lock until all have tried
      _exit(0);
    }
    children.push_back(pid);
  }
  close(go[1]);
  int owners = 0;
  for (std::size_t i = 0; i < children.size(); ++i) {
    char got = 0;
    ASSERT_EQ(read(results[0], &got, 1), 1);
    owners += got == 'y';
  }
  close(done[1]);
  for (pid_t pid : children) waitpid(pid, nullptr, 0);
  EXPECT_EQ(owners, 1);
  close(go[0]);
  close(results[0]);
  close(results[1]);
  close(done[0]);
}

TEST(PosixProcessTest, CommandLineIsComposedSoThatTheSplitterReadsItBack) {
  struct Case {
    std::vector<std::string> argv;
    std::u16string line;
  };
  const Case cases[] = {
      {{"/usr/bin/quillfort"}, u"/usr/bin/quillfort"},
      {{"/opt/my tools/quillfort", "/p", "/home/u/my game", "", "/w", "beta 2"},
       u"\"/opt/my tools/quillfort\" /p \"/home/u/my game\" \"\" /w \"beta 2\""},
      {{"q", "C:\\Work\\", "a\tb", "caf\xC3\xA9", "\xFF"}, u"q C:\\Work\\ a\tb caf\u00E9 \xDCFF"},
      // Not escaped: a double quote inside an argument stays as it is.
      {{"q", "a\"b"}, u"q a\"b"},
      {{}, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ShowText(c.line));
    EXPECT_TEXT_EQ(platform::posix::ComposeCommandLine(c.argv), c.line);
  }
  // Every argument without a double quote comes back exactly from the
  // system's own splitter; so does one with a quote that neither starts it
  // nor shares it with a space.
  const std::vector<std::string> argv = {"/bin/q", "", "/p", "my game/", "C:\\x\\", "  ", "a\"b", "/w", ""};
  std::vector<std::u16string> expected;
  for (const auto& arg : argv) expected.push_back(platform::posix::TextFromUtf8(arg));
  EXPECT_EQ(SplitCommandLine(platform::posix::ComposeCommandLine(argv)), expected);
}

TEST(PosixProcessTest, StartProcessPreparesTextSignalsAndArguments) {
  const int status = InChild([] {
    char program[] = "/bin/q";
    char spaced[] = "a b";
    char empty[] = "";
    char* argv[] = {program, spaced, empty, nullptr};
    platform::StartProcess(3, argv);
    int failures = 0;
    if (platform::RawCommandLine() != u"/bin/q \"a b\" \"\"") failures |= 1;
    if (std::string(nl_langinfo(CODESET)) != "UTF-8") failures |= 2;
    struct sigaction action {};
    sigaction(SIGPIPE, nullptr, &action);
    if (action.sa_handler != SIG_IGN) failures |= 4;
    sigaction(SIGXFSZ, nullptr, &action);
    if (action.sa_handler != SIG_IGN) failures |= 8;
    return failures;
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(PosixConsoleTest, ColoursMapToAnsi) {
  struct Case {
    unsigned attribute;
    std::string sequence;
  };
  const Case cases[] = {
      {8, "\x1b[90;40m"},    // dark grey
      {7, "\x1b[37;40m"},    // light grey
      {12, "\x1b[91;40m"},   // bright red
      {14, "\x1b[93;40m"},   // yellow
      {1, "\x1b[34;40m"},    // blue
      {2, "\x1b[32;40m"},    // green
      {4, "\x1b[31;40m"},    // red
      {0x1F, "\x1b[97;44m"}, // white on blue
      {0xC0, "\x1b[30;101m"},// black on bright red
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attribute);
    EXPECT_EQ(platform::posix::AnsiColourSequence(c.attribute), c.sequence);
  }
}

// Puts `fd` in the place of a standard descriptor until destroyed.
class Redirect {
 public:
  Redirect(int target, int fd) : target_(target), saved_(dup(target)) { dup2(fd, target); }
  ~Redirect() {
    dup2(saved_, target_);
    close(saved_);
  }

 private:
  int target_;
  int saved_;
};

std::string Drain(int fd) {
  std::string out;
  char buffer[4096];
  pollfd poller{fd, POLLIN, 0};
  while (poll(&poller, 1, 200) == 1 && (poller.revents & POLLIN)) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, std::size_t(n));
  }
  return out;
}

TEST(PosixConsoleTest, StreamsThatAreNoTerminal) {
  int out[2], in[2];
  ASSERT_EQ(pipe(out), 0);
  ASSERT_EQ(pipe(in), 0);
  ASSERT_EQ(write(in[1], "xyz", 3), 3);
  close(in[1]);
  bool consoleWrite, streamWrite, consoleRead;
  std::u16string line;
  char buffer[16];
  std::size_t got1 = 0, got2 = 0;
  platform::StreamRead read1, read2;
  {
    Redirect stdoutToPipe(STDOUT_FILENO, out[1]);
    Redirect stdinFromPipe(STDIN_FILENO, in[0]);
    platform::SetConsoleTitleText(u"title");
    platform::SetConsoleAttribute(12);
    consoleWrite = platform::WriteConsoleText(u"console");
    streamWrite = platform::WriteStandardOutput("a\0b", 3);
    platform::FlushStandardOutput();
    consoleRead = platform::ReadConsoleLine(line);
    read1 = platform::ReadStandardInput(buffer, sizeof buffer, got1);
    read2 = platform::ReadStandardInput(buffer + got1, sizeof buffer - got1, got2);
  }
  close(out[1]);
  // Colours, title and the console write leave the stream alone.
  EXPECT_FALSE(consoleWrite);
  EXPECT_TRUE(streamWrite);
  EXPECT_EQ(Drain(out[0]), std::string("a\0b", 3));
  EXPECT_FALSE(consoleRead);
  EXPECT_EQ(read1, platform::StreamRead::Data);
  EXPECT_EQ(std::string(buffer, got1), "xyz");
  EXPECT_EQ(read2, platform::StreamRead::End);
  EXPECT_EQ(got2, 0u);
  close(out[0]);
  close(in[0]);
}

TEST(PosixConsoleTest, TerminalGetsUtf8ColoursTitleAndAnEchoedLine) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) GTEST_SKIP() << "no pseudo-terminal";
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  // Start from raw mode, so that the line mode must come from the layer.
  struct termios raw {};
  ASSERT_EQ(tcgetattr(terminal, &raw), 0);
  cfmakeraw(&raw);
  ASSERT_EQ(tcsetattr(terminal, TCSANOW, &raw), 0);

  bool written, readLine;
  std::u16string line;
  std::atomic<bool> done{false};
  std::thread typist([master, &done] {
    // In two pieces: only line mode makes one read wait for the whole line.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    (void)!write(master, "typed ", 6);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    (void)!write(master, "\xC3\xA9\r", 3);
    // Should the carriage return not end the line, end it anyway rather
    // than hang; the line then fails its check.
    for (int i = 0; i < 40 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!done) (void)!write(master, "!\n", 2);
  });
  {
    Redirect stdoutToTerminal(STDOUT_FILENO, terminal);
    Redirect stdinFromTerminal(STDIN_FILENO, terminal);
    platform::SetConsoleTitleText(u"Quillfort \uF03A\n");
    platform::SetConsoleAttribute(12);
    written = platform::WriteConsoleText(u"a\uF03Ab \xDCFF\r\n");
    readLine = platform::ReadConsoleLine(line);
    done = true;
  }
  typist.join();
  struct termios after {};
  ASSERT_EQ(tcgetattr(terminal, &after), 0);
  const std::string shown = Drain(master);
  close(terminal);
  close(master);

  EXPECT_TRUE(written);
  EXPECT_TRUE(readLine);
  EXPECT_TEXT_EQ(line, u"typed \u00E9");
  EXPECT_EQ(after.c_lflag & (ICANON | ECHO), 0u) << "the terminal's mode is restored";
  const std::string expected = "\x1b]0;Quillfort : \x07\x1b[91;40ma:b \xEF\xBF\xBD\r\n";
  EXPECT_EQ(shown.substr(0, expected.size()), expected);
  EXPECT_NE(shown.find("typed \xC3\xA9", expected.size()), std::string::npos) << "echoed";
}

// The handler of the child below: reports each event on a pipe; handles the
// first one, leaves the rest to the default action.
int g_eventPipe = -1;
int g_eventsSeen = 0;
bool ReportingHandler(int event) {
  const char code = static_cast<char>(event);
  (void)!write(g_eventPipe, &code, 1);
  return g_eventsSeen++ == 0;
}

TEST(PosixConsoleTest, SignalsReachTheHandlerOnItsThreadAndThenEndTheProcess) {
  struct Case {
    int first;  // handled: the process goes on
    int firstEvent;
    int second;  // not handled: the process ends by this signal
    int secondEvent;
  };
  const Case cases[] = {
      {SIGQUIT, platform::kCtrlBreak, SIGINT, platform::kCtrlC},
      {SIGINT, platform::kCtrlC, SIGHUP, platform::kConsoleClose},
      {SIGHUP, platform::kConsoleClose, SIGTERM, platform::kShutDown},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.second);
    int events[2];
    ASSERT_EQ(pipe(events), 0);
    const pid_t child = fork();
    if (child == 0) {
      g_eventPipe = events[1];
      platform::SetConsoleHandler(ReportingHandler);
      (void)!write(events[1], "r", 1);
      while (true) sleep(1);  // blocked signals never interrupt this
    }
    char got = 0;
    ASSERT_EQ(read(events[0], &got, 1), 1);
    ASSERT_EQ(got, 'r');
    kill(child, c.first);
    ASSERT_EQ(read(events[0], &got, 1), 1);
    EXPECT_EQ(got, c.firstEvent);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(waitpid(child, nullptr, WNOHANG), 0) << "still running";
    kill(child, c.second);
    ASSERT_EQ(read(events[0], &got, 1), 1);
    EXPECT_EQ(got, c.secondEvent);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 100 && ended == 0; ++i) {
      ended = waitpid(child, &status, WNOHANG);
      if (ended == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (ended == 0) {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
      ADD_FAILURE() << "the unhandled signal did not end the process";
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.second) << status;
    close(events[0]);
    close(events[1]);
  }
}

}  // namespace

