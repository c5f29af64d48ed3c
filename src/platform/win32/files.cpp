// File services on Windows: lookups, folders, listings in the system's own
// order, and file I/O over the wide-character calls.
#include "platform/files.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>

#include "platform/win32/wide_text.h"

namespace platform {
namespace {

bool IsSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

// Below this length every call takes a path as it is (CreateDirectoryW keeps
// room for an 8.3 name within the classic 260-unit limit).
constexpr std::size_t kPlainPathLimit = MAX_PATH - 12;

// A path as the system takes it. A longer one is made absolute and given the
// \\?\ prefix, which lifts the limit, so that deep trees are read whole.
std::u16string SystemPath(const std::u16string& path) {
  if (path.size() < kPlainPathLimit || path.rfind(u"\\\\?\\", 0) == 0 ||
      path.rfind(u"\\\\.\\", 0) == 0)
    return path;
  const std::u16string full = FullPath(path);
  if (full.size() >= 2 && full[0] == u'\\' && full[1] == u'\\')
    return u"\\\\?\\UNC\\" + full.substr(2);
  return u"\\\\?\\" + full;
}

FoundEntry FromFindData(const WIN32_FIND_DATAW& data) {
  FoundEntry entry;
  entry.name = win32::FromWide(data.cFileName);
  entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!entry.isDirectory)
    entry.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                           data.nFileSizeLow);
  return entry;
}

DWORD Attributes(const std::u16string& path) {
  return GetFileAttributesW(win32::Wide(SystemPath(path)));
}

}  // namespace

struct Listing {
  HANDLE find = INVALID_HANDLE_VALUE;
};

struct File {
  HANDLE handle = INVALID_HANDLE_VALUE;
};

namespace {

// Opens a file and keeps it only when it is one on a disk (not a console,
// a pipe or a device such as NUL).
File* OpenDiskFile(const std::u16string& path, DWORD access, DWORD share, DWORD disposition,
                   DWORD flags) {
  if (path.empty()) return nullptr;
  HANDLE handle = CreateFileW(win32::Wide(SystemPath(path)), access, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL | flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return nullptr;
  }
  return new File{handle};
}

// Larger requests are split, as one call moves less than 4 GiB. Reads go in
// smaller pieces: Wine commits every page of a read's buffer before reading,
// so one large request for a small file costs hundreds of page faults.
constexpr std::size_t kMaxWriteChunk = 1u << 30;
constexpr std::size_t kMaxReadChunk = 64 * 1024;

}  // namespace

bool FindPath(const std::u16string& path, FoundEntry& entry) {
  // The system would look a trailing separator up as the folder itself.
  if (path.empty() || IsSeparator(path.back())) return false;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(win32::Wide(SystemPath(path)), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  entry = FromFindData(data);
  return true;
}

bool ReadAttributes(const std::u16string& path, bool& isDirectory) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

DriveType QueryDriveType(const std::u16string& root) {
  // The system's other types (removable, remote, optical, RAM disk) keep
  // their own numbers; callers tell only the two failures apart.
  return static_cast<DriveType>(GetDriveTypeW(win32::Wide(root)));
}

bool MakeFolder(const std::u16string& path) {
  return !path.empty() && CreateDirectoryW(win32::Wide(SystemPath(path)), nullptr) != 0;
}

bool MakeWritable(const std::u16string& path) {
  return SetFileAttributesW(win32::Wide(SystemPath(path)), FILE_ATTRIBUTE_NORMAL) != 0;
}

bool RemoveFile(const std::u16string& path) {
  // The system itself refuses to delete a read-only file.
  return !path.empty() && DeleteFileW(win32::Wide(SystemPath(path))) != 0;
}

bool IsReplaceable(const std::u16string& path) {
  if (path.empty()) return false;
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

bool RenameFile(const std::u16string& from, const std::u16string& to) {
  if (from.empty() || to.empty()) return false;
  // The system refuses to replace a read-only file; Wine does not.
  const DWORD attributes = Attributes(to);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
    return false;
  return MoveFileExW(win32::Wide(SystemPath(from)), win32::Wide(SystemPath(to)),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool SyncFolder(const std::u16string& folder) {
  // Windows has no flush for a folder's entries; the rename above is written
  // through instead.
  const DWORD attributes = Attributes(folder);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

ListStatus OpenListing(const std::u16string& searchText, Listing*& listing, FoundEntry& first) {
  listing = nullptr;
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW(win32::Wide(SystemPath(searchText)), &data);
  if (find == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_FILE_NOT_FOUND ? ListStatus::NothingMatches : ListStatus::Failed;
  listing = new Listing{find};
  first = FromFindData(data);
  return ListStatus::Opened;
}

bool NextListed(Listing* listing, FoundEntry& entry) {
  if (listing == nullptr) return false;
  WIN32_FIND_DATAW data{};
  if (!FindNextFileW(listing->find, &data)) return false;
  entry = FromFindData(data);
  return true;
}

void CloseListing(Listing* listing) {
  if (listing == nullptr) return;
  FindClose(listing->find);
  delete listing;
}

File* OpenForReading(const std::u16string& path) {
  // Every kind of sharing is granted, so that a file an editor holds open,
  // even for writing, can still be read.
  return OpenDiskFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
}

File* OpenForWriting(const std::u16string& path) {
  // The system refuses to empty a read-only file; Wine running as root does
  // not, so the attribute is checked here as well.
  const DWORD attributes = Attributes(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
    return nullptr;
  return OpenDiskFile(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, 0);
}

File* CreateNewForWriting(const std::u16string& path) {
  return OpenDiskFile(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, 0);
}

std::int64_t FileSize(File* file) {
  if (file == nullptr) return -1;
  DWORD high = 0;
  // A size whose low half is all ones looks like the failure value; only the
  // error code tells them apart.
  SetLastError(NO_ERROR);
  const DWORD low = GetFileSize(file->handle, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
}

std::size_t ReadFromFile(File* file, void* buffer, std::size_t count) {
  if (file == nullptr) return 0;
  auto* bytes = static_cast<char*>(buffer);
  std::size_t got = 0;
  // Fill the whole request where the file has the bytes; stop at the end and
  // at an error (the next call then reports 0).
  while (got < count) {
    const auto chunk = static_cast<DWORD>(std::min(count - got, kMaxReadChunk));
    DWORD read = 0;
    if (!ReadFile(file->handle, bytes + got, chunk, &read, nullptr) || read == 0) break;
    got += read;
  }
  return got;
}

bool WriteToFile(File* file, const void* data, std::size_t count) {
  if (file == nullptr) return false;
  const auto* bytes = static_cast<const char*>(data);
  while (count > 0) {
    const auto chunk = static_cast<DWORD>(std::min(count, kMaxWriteChunk));
    DWORD written = 0;
    if (!WriteFile(file->handle, bytes, chunk, &written, nullptr) || written == 0) return false;
    bytes += written;
    count -= written;
  }
  return true;
}

bool SyncFile(File* file) { return file != nullptr && FlushFileBuffers(file->handle) != 0; }

bool CloseFile(File* file) {
  if (file == nullptr) return false;
  const bool closed = CloseHandle(file->handle) != 0;
  delete file;
  return closed;
}

std::u16string FullPath(const std::u16string& path) {
  // The empty path is the current folder, as "." is.
  const std::u16string asked = path.empty() ? std::u16string(u".") : path;
  std::u16string full(MAX_PATH, u'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD length = GetFullPathNameW(win32::Wide(asked), static_cast<DWORD>(full.size()),
                                          reinterpret_cast<wchar_t*>(full.data()), nullptr);
    if (length == 0) return path;
    if (length < full.size()) {
      full.resize(length);
      // A folder named with a trailing separator is the same folder; only a
      // drive root keeps its backslash.
      while (full.size() > 3 && full.back() == u'\\') full.pop_back();
      return full;
    }
    full.assign(length, u'\0');  // the length needed, terminator included
  }
  return path;
}

std::string ArchiveNameUtf8(const std::u16string& name) {
  if (name.empty()) return {};
  const std::u16string text = win32::WellFormed(name);
  const auto length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(65001, 0, win32::Wide(text), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(65001, 0, win32::Wide(text), length, utf8.data(), size, nullptr, nullptr);
  return utf8;
}

}  // namespace platform
