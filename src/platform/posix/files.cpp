// File services on POSIX: lookups, folders, sorted listings, plain file I/O.
#include "platform/files.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/posix/native_text.h"
#include "platform/text_case.h"

namespace platform {
namespace {

bool IsSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

bool HasWildcards(const std::u16string& text) {
  return text.find_first_of(u"*?") != std::u16string::npos;
}

std::u16string Upper(std::u16string text) {
  UpperUnits(text);
  return text;
}

// Splits a path at its last separator: the folder keeps that separator.
void SplitLast(const std::u16string& path, std::u16string& folder, std::u16string& last) {
  std::size_t at = path.size();
  while (at > 0 && !IsSeparator(path[at - 1])) --at;
  folder = path.substr(0, at);
  last = path.substr(at);
}

// Matches `*` (any run of units) and `?` (one unit) on upper-cased texts.
bool WildcardMatch(const std::u16string& name, const std::u16string& pattern) {
  std::size_t n = 0, p = 0;
  std::size_t starP = std::u16string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (starP != std::u16string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

// A pattern as the listing compares it: upper-cased, and "*.*" (which
// matches names without a dot too) turned into "*".
std::u16string PreparePattern(const std::u16string& pattern) {
  if (pattern == u"*.*") return u"*";
  return Upper(pattern);
}

bool Matches(const std::u16string& name, const std::u16string& preparedPattern) {
  return preparedPattern == u"*" || WildcardMatch(Upper(name), preparedPattern);
}

// A native path as the system can take it: the folder it lies in, opened on
// its own when the whole path is longer than the system's limit (a deep
// tree), and the last name in that folder.
class PathAt {
 public:
  explicit PathAt(const std::string& native);
  ~PathAt() {
    if (folder_ >= 0) close(folder_);
  }
  PathAt(const PathAt&) = delete;
  PathAt& operator=(const PathAt&) = delete;
  bool ok() const { return ok_; }
  int folder() const { return folder_; }
  const char* name() const { return name_.c_str(); }

 private:
  int folder_ = AT_FDCWD;
  std::string name_;
  bool ok_ = false;
};

PathAt::PathAt(const std::string& native) {
  if (native.empty()) return;
  if (native.size() < PATH_MAX) {
    name_ = native;
    ok_ = true;
    return;
  }
  std::size_t end = native.size();
  while (end > 1 && native[end - 1] == '/') --end;
  const std::size_t cut = native.rfind('/', end - 1);
  if (cut == std::string::npos) return;
  name_ = native.substr(cut + 1, end - cut - 1);
  // The folders are opened a few at a time, each piece well within the limit.
  std::size_t at = 0;
  if (native[0] == '/') {
    folder_ = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0) return;
    at = 1;
  }
  while (at < cut) {
    std::size_t stop = cut;
    if (stop - at > PATH_MAX / 2) {
      stop = native.rfind('/', at + PATH_MAX / 2);
      if (stop == std::string::npos || stop <= at) return;
    }
    const std::string piece = native.substr(at, stop - at);
    const int next = openat(folder_, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder_ >= 0) close(folder_);
    folder_ = next;
    if (next < 0) return;
    at = stop + 1;
  }
  ok_ = true;
}

struct FolderId {
  dev_t device = 0;
  ino_t inode = 0;
};

// Reads a folder's matching entries in listing order: "." and "..", then the
// rest by upper-cased name. Special files are left out; links count as what
// they lead to, dangling ones as empty files. False when the folder cannot be
// opened.
bool ReadFolder(const std::u16string& folder, const std::u16string& pattern,
                std::vector<FoundEntry>& entries, FolderId& id) {
  const std::string native = folder.empty() ? std::string(".") : posix::NativePath(folder);
  const PathAt at(native);
  if (!at.ok()) return false;
  const int fd = openat(at.folder(), at.name(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat folderStat {};
  if (fstat(fd, &folderStat) != 0) {
    close(fd);
    return false;
  }
  id.device = folderStat.st_dev;
  id.inode = folderStat.st_ino;
  DIR* dir = fdopendir(fd);
  if (dir == nullptr) {
    close(fd);
    return false;
  }

  const std::u16string prepared = PreparePattern(pattern);
  entries.clear();
  for (const char16_t* dots : {u".", u".."}) {
    if (Matches(dots, prepared)) entries.push_back(FoundEntry{dots, true, 0});
  }
  std::vector<std::pair<std::u16string, FoundEntry>> sorted;
  while (const dirent* item = readdir(dir)) {
    const std::string_view bytes = item->d_name;
    if (bytes == "." || bytes == "..") continue;
    FoundEntry entry;
    entry.name = posix::NameFromNative(bytes);
    std::u16string key = Upper(entry.name);
    if (prepared != u"*" && !WildcardMatch(key, prepared)) continue;
    switch (item->d_type) {
      case DT_DIR:
        entry.isDirectory = true;
        break;
      case DT_REG:
        break;
      case DT_LNK:
      case DT_UNKNOWN: {
        // Only here is a stat needed: to follow the link or learn the type.
        struct stat target {};
        if (fstatat(dirfd(dir), item->d_name, &target, 0) == 0) {
          if (S_ISDIR(target.st_mode)) {
            entry.isDirectory = true;
          } else if (S_ISREG(target.st_mode)) {
            entry.size = target.st_size;
          } else {
            continue;
          }
        } else if (fstatat(dirfd(dir), item->d_name, &target, AT_SYMLINK_NOFOLLOW) != 0 ||
                   !S_ISLNK(target.st_mode)) {
          continue;  // gone meanwhile
        }
        break;
      }
      default:
        continue;  // pipes, sockets, devices
    }
    sorted.emplace_back(std::move(key), std::move(entry));
  }
  closedir(dir);

  std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    return a.second.name < b.second.name;  // names that differ only in case
  });
  entries.reserve(entries.size() + sorted.size());
  for (auto& item : sorted) entries.push_back(std::move(item.second));
  return true;
}

// What stat tells about a native path, links followed; a dangling link is an
// empty file. False for missing paths and special files.
bool StatEntry(const std::string& native, FoundEntry& entry) {
  const PathAt at(native);
  if (!at.ok()) return false;
  struct stat info {};
  if (fstatat(at.folder(), at.name(), &info, 0) != 0) {
    if (fstatat(at.folder(), at.name(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISLNK(info.st_mode))
      return false;
    entry.isDirectory = false;
    entry.size = 0;
    return true;
  }
  if (S_ISDIR(info.st_mode)) {
    entry.isDirectory = true;
    entry.size = 0;
    return true;
  }
  if (S_ISREG(info.st_mode)) {
    entry.isDirectory = false;
    entry.size = info.st_size;
    return true;
  }
  return false;
}

bool IsReadOnly(const struct stat& info) { return (info.st_mode & 0222) == 0; }

struct OpenListingRecord {
  Listing* listing;
  FolderId id;
};

// The folders that open listings list, to refuse a second listing of one of
// them (a link that leads back up the walk). Main thread only.
std::vector<OpenListingRecord>& OpenListings() {
  static std::vector<OpenListingRecord> open;
  return open;
}

}  // namespace

struct Listing {
  std::vector<FoundEntry> entries;
  std::size_t next = 0;
};

struct File {
  int fd = -1;
  off_t written = 0;  // bytes written so far
  off_t flushed = 0;  // bytes whose write-back has been started
};

bool FindPath(const std::u16string& path, FoundEntry& entry) {
  std::u16string folder, last;
  SplitLast(path, folder, last);
  if (last.empty()) return false;  // nothing or a trailing separator to look up
  if (HasWildcards(last)) {
    std::vector<FoundEntry> entries;
    FolderId id;
    if (!ReadFolder(folder, last, entries, id) || entries.empty()) return false;
    entry = entries.front();
    if (!entry.isDirectory) {
      FoundEntry sized;
      if (StatEntry(posix::NativePath(folder.empty() ? entry.name : folder + entry.name), sized))
        entry.size = sized.size;
    }
    return true;
  }
  if (!StatEntry(posix::NativePath(path), entry)) return false;
  entry.name = last;
  return true;
}

bool ReadAttributes(const std::u16string& path, bool& isDirectory) {
  const PathAt at(posix::NativePath(path));
  if (!at.ok()) return false;
  struct stat info {};
  if (fstatat(at.folder(), at.name(), &info, 0) != 0 &&
      fstatat(at.folder(), at.name(), &info, AT_SYMLINK_NOFOLLOW) != 0)
    return false;
  isDirectory = S_ISDIR(info.st_mode);
  return true;
}

DriveType QueryDriveType(const std::u16string& /*root*/) { return DriveType::NoRootDirectory; }

bool MakeFolder(const std::u16string& path) {
  const std::string native = posix::NativePath(path);
  return !native.empty() && mkdir(native.c_str(), 0777) == 0;
}

bool MakeWritable(const std::u16string& path) {
  const std::string native = posix::NativePath(path);
  struct stat info {};
  if (native.empty() || stat(native.c_str(), &info) != 0) return false;
  if (!IsReadOnly(info)) return true;
  return chmod(native.c_str(), (info.st_mode & 07777) | S_IWUSR) == 0;
}

bool RemoveFile(const std::u16string& path) {
  const std::string native = posix::NativePath(path);
  struct stat info {};
  if (native.empty() || lstat(native.c_str(), &info) != 0) return false;
  if (S_ISDIR(info.st_mode)) return false;
  // Root may delete anything; the read-only state must hold for it too.
  if (!S_ISLNK(info.st_mode) && IsReadOnly(info)) return false;
  return unlink(native.c_str()) == 0;
}

bool IsReplaceable(const std::u16string& path) {
  const std::string native = posix::NativePath(path);
  if (native.empty()) return false;
  struct stat info {};
  if (lstat(native.c_str(), &info) != 0) return errno == ENOENT;
  if (S_ISLNK(info.st_mode)) return true;  // the rename replaces the link itself
  return S_ISREG(info.st_mode) && !IsReadOnly(info);
}

bool RenameFile(const std::u16string& from, const std::u16string& to) {
  const std::string nativeFrom = posix::NativePath(from);
  const std::string nativeTo = posix::NativePath(to);
  if (nativeFrom.empty() || nativeTo.empty()) return false;
  struct stat info {};
  if (lstat(nativeTo.c_str(), &info) == 0 && !S_ISLNK(info.st_mode) && IsReadOnly(info))
    return false;
  return rename(nativeFrom.c_str(), nativeTo.c_str()) == 0;
}

bool SyncFolder(const std::u16string& folder) {
  const std::string native = posix::NativePath(folder);
  if (native.empty()) return false;
  const int fd = open(native.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0;
  close(fd);
  return synced;
}

ListStatus OpenListing(const std::u16string& searchText, Listing*& listing, FoundEntry& first) {
  listing = nullptr;
  std::u16string folder, pattern;
  SplitLast(searchText, folder, pattern);
  std::vector<FoundEntry> entries;
  FolderId id;
  if (!ReadFolder(folder, pattern, entries, id)) return ListStatus::Failed;
  for (const OpenListingRecord& record : OpenListings()) {
    if (record.id.device == id.device && record.id.inode == id.inode) return ListStatus::Failed;
  }
  if (entries.empty()) return ListStatus::NothingMatches;
  listing = new Listing{std::move(entries), 1};
  first = listing->entries.front();
  OpenListings().push_back(OpenListingRecord{listing, id});
  return ListStatus::Opened;
}

bool NextListed(Listing* listing, FoundEntry& entry) {
  if (listing == nullptr || listing->next >= listing->entries.size()) return false;
  entry = listing->entries[listing->next++];
  return true;
}

void CloseListing(Listing* listing) {
  if (listing == nullptr) return;
  auto& open = OpenListings();
  open.erase(std::remove_if(open.begin(), open.end(),
                            [&](const OpenListingRecord& r) { return r.listing == listing; }),
             open.end());
  delete listing;
}

File* OpenForReading(const std::u16string& path) {
  const PathAt at(posix::NativePath(path));
  if (!at.ok()) return nullptr;
  // O_NONBLOCK keeps a pipe from blocking the open; it is refused right after.
  const int fd = openat(at.folder(), at.name(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return new File{fd};
}

File* OpenForWriting(const std::u16string& path) {
  const std::string native = posix::NativePath(path);
  if (native.empty()) return nullptr;
  struct stat info {};
  if (stat(native.c_str(), &info) == 0 && IsReadOnly(info)) return nullptr;
  const int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return nullptr;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return new File{fd};
}

File* CreateNewForWriting(const std::u16string& path) {
  const std::string native = posix::NativePath(path);
  if (native.empty()) return nullptr;
  const int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  return new File{fd};
}

std::int64_t FileSize(File* file) {
  struct stat info {};
  if (file == nullptr || fstat(file->fd, &info) != 0) return -1;
  return info.st_size;
}

std::size_t ReadFromFile(File* file, void* buffer, std::size_t count) {
  if (file == nullptr) return 0;
  auto* bytes = static_cast<char*>(buffer);
  std::size_t got = 0;
  // Fill the buffer as the system's whole-count read does; stop at the end
  // and at an error (the next call then reports 0).
  while (got < count) {
    const ssize_t n = read(file->fd, bytes + got, count - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

bool WriteToFile(File* file, const void* data, std::size_t count) {
  if (file == nullptr) return false;
  const auto* bytes = static_cast<const char*>(data);
  while (count > 0) {
    const ssize_t n = write(file->fd, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    count -= static_cast<std::size_t>(n);
    file->written += n;
  }
  // Start writing back what has piled up, so that the final sync has little
  // left to wait for.
  constexpr off_t kWriteBackStep = 8 * 1024 * 1024;
  if (file->written - file->flushed >= kWriteBackStep) {
    sync_file_range(file->fd, file->flushed, file->written - file->flushed,
                    SYNC_FILE_RANGE_WRITE);
    file->flushed = file->written;
  }
  return true;
}

bool SyncFile(File* file) { return file != nullptr && fsync(file->fd) == 0; }

bool CloseFile(File* file) {
  if (file == nullptr) return false;
  // On Linux the descriptor is gone even when close reports EINTR.
  const bool closed = close(file->fd) == 0 || errno == EINTR;
  delete file;
  return closed;
}

std::u16string FullPath(const std::u16string& path) {
  std::u16string whole;
  if (path.empty() || !IsSeparator(path[0])) {
    char* current = getcwd(nullptr, 0);
    if (current == nullptr) return path;  // no current folder to resolve against
    whole = posix::PathFromNative(current);
    free(current);
    whole += u'\\';
  }
  whole += path;

  std::vector<std::u16string> segments;
  std::size_t start = 0;
  while (start <= whole.size()) {
    std::size_t end = start;
    while (end < whole.size() && !IsSeparator(whole[end])) ++end;
    const std::u16string segment = whole.substr(start, end - start);
    if (segment == u"..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != u".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::u16string result;
  for (const std::u16string& segment : segments) result += u'\\' + segment;
  return result.empty() ? u"\\" : result;
}

std::string ArchiveNameUtf8(const std::u16string& name) { return posix::ArchiveUtf8(name); }

}  // namespace platform
