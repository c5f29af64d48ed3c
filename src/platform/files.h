// File services: lookups, folders, listings, reading and writing files.
//
// Paths above this layer are UTF-16 with the backslash as separator (a slash
// counts too). Names read from the file system may hold characters that such
// a path cannot (separators, drive colons, wildcards) or bytes that are not
// text; the layer maps them into the text losslessly and back, so every name
// it hands out opens again as the same file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

/// One entry as a lookup or a listing reports it.
struct FoundEntry {
  std::u16string name;      // the entry's own name, without folder
  bool isDirectory = false; // folders, and links to folders
  std::int64_t size = 0;    // bytes, for files; 0 where a listing does not say
};

/// Looks one path up as a find-first lookup does: the last component may hold
/// the wildcards * and ?, and then the first match counts (in listing order).
/// Only files and folders (and links to them) are found; special files are
/// not. A path that ends in a separator names no entry and is not found.
bool FindPath(const std::u16string& path, FoundEntry& entry);

/// Reads whether a path exists and is a folder, without wildcards.
bool ReadAttributes(const std::u16string& path, bool& isDirectory);

enum class DriveType { Unknown = 0, NoRootDirectory = 1, Fixed = 3 };

/// The type of the drive whose root is given (such as C:\).
DriveType QueryDriveType(const std::u16string& root);

/// Creates exactly one folder. False when it exists already (as anything),
/// when its parent is missing, or when access is denied.
bool MakeFolder(const std::u16string& path);

/// Clears the read-only state of a file (gives it write permission).
bool MakeWritable(const std::u16string& path);

/// Deletes a file. A read-only file (no write permission at all) is refused,
/// whoever asks.
bool RemoveFile(const std::u16string& path);

/// True when nothing stands at `path`, or a file that may be replaced (not
/// read-only); false for a read-only file, a folder or anything else.
bool IsReplaceable(const std::u16string& path);

/// Renames a file, replacing a writable one of the target name.
bool RenameFile(const std::u16string& from, const std::u16string& to);

/// Flushes a folder's entries to stable storage.
bool SyncFolder(const std::u16string& folder);

// Listings. On POSIX a listing hands out "." and ".." first, then the entries
// in the order of their upper-cased names (unit by unit), imitating NTFS;
// Windows hands out the system's own order. Special files (pipes, sockets,
// devices) are not listed; a link is listed as what it leads to, a dangling
// link as a file.
struct Listing;

enum class ListStatus { Opened, NothingMatches, Failed };

/// Starts a listing for a search text: a folder, a separator and a pattern
/// (such as *.*). On Opened the first entry is in `first`. On POSIX a folder
/// that is already being listed by an open listing (a link loop) gives
/// Failed; Windows lists what the system lists (a junction loop ends at the
/// path-length limit).
ListStatus OpenListing(const std::u16string& searchText, Listing*& listing,
                       FoundEntry& first);

/// The next entry of an open listing; false at the end.
bool NextListed(Listing* listing, FoundEntry& entry);

/// Ends a listing and frees it.
void CloseListing(Listing* listing);

// Files.
struct File;

/// Opens a regular file for reading, sharing it with writers. Null when it
/// cannot be opened or is not a regular file.
File* OpenForReading(const std::u16string& path);

/// Creates a file for writing, or empties an existing writable one. Null on
/// failure, and for a read-only file whoever asks.
File* OpenForWriting(const std::u16string& path);

/// Creates a new file for writing that must not exist yet.
File* CreateNewForWriting(const std::u16string& path);

/// The size in bytes of an open file, as it is now; -1 on failure.
std::int64_t FileSize(File* file);

/// Reads up to `count` bytes; the number read, 0 at the end and on error.
std::size_t ReadFromFile(File* file, void* buffer, std::size_t count);

/// Writes all bytes; false when they could not all be written (disk full).
bool WriteToFile(File* file, const void* data, std::size_t count);

/// Flushes an open file's content to stable storage.
bool SyncFile(File* file);

/// Closes a file; false when closing reported a failure.
bool CloseFile(File* file);

/// The full path of a possibly relative path, with "." and ".." segments
/// resolved, in the layer's path form (backslashes). A relative path comes
/// back unchanged when the current folder cannot be read.
std::u16string FullPath(const std::u16string& path);

/// The UTF-8 form of a name for storing inside an archive. Mapped characters
/// are written as themselves (except the backslash, which stays mapped so
/// that it does not read as a separator); bytes that were not text become
/// U+FFFD.
std::string ArchiveNameUtf8(const std::u16string& name);

}  // namespace platform
