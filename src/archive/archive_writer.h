// Writing the backup's zip archive through libarchive.
#pragma once

#include <cstddef>
#include <string>

#include "run/source_collection.h"

struct archive;

/// Bytes read from a source file at a time.
constexpr std::size_t kReadChunkSize = 2097152;

/// One zip archive being written. At most one exists in a run.
class BackupArchive {
 public:
  /// Makes and opens the archive at `path`; null on failure.
  static BackupArchive* Create(const Text& path);
  /// Appends the whole content of `fullPath` as `entryName`; false when the
  /// file could not be added whole.
  bool AddFile(const Text& fullPath, const Text& entryName);
  /// Finishes the archive, flushes it to stable storage and only then puts it
  /// under its final name; false when any of that failed, and then nothing is
  /// left behind. The object is deleted.
  bool Close();
  /// Drops an unfinished archive and its file. The object is deleted.
  void Discard();
  /// Drops every archive still open (the end of the run): one still open
  /// then is unfinished.
  static void CloseAll();

 private:
  BackupArchive() = default;
  ~BackupArchive() = default;
  void Forget();
  struct archive* handle_ = nullptr;
  Text path_;         // the final name
  Text partialPath_;  // where it is written until complete
  void* output_ = nullptr;
  unsigned char* buffer_ = nullptr;  // kReadChunkSize bytes, reused for every file
};

/// Removes what killed runs left in a backup folder.
void RemovePartialArchives(const Text& backupFolder);

/// The name under which `fullPath` is stored: `baseFolder` removed where it
/// begins the path (ASCII letters without case), then every colon removed.
Text MakeEntryName(const Text& fullPath, const Text& baseFolder);

/// Creates the archive, adds sources[1..] in order and closes it; reports and
/// ends the run on failure.
void PackSources(const Text& archivePath, const Text& sourcePath, const SourceList& sources);
