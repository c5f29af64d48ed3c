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
  /// Finishes and releases the archive; false when finishing failed. The
  /// object is deleted.
  bool Close();
  /// Closes every archive still open (the end of the run).
  static void CloseAll();

 private:
  BackupArchive() = default;
  ~BackupArchive() = default;
  struct archive* handle_ = nullptr;
  Text path_;
  void* output_ = nullptr;
};

/// The name under which `fullPath` is stored: `baseFolder` removed where it
/// begins the path (ASCII letters without case), then every colon removed.
Text MakeEntryName(const Text& fullPath, const Text& baseFolder);

/// Creates the archive, adds sources[1..] in order and closes it; reports and
/// ends the run on failure.
void PackSources(const Text& archivePath, const Text& sourcePath, const SourceList& sources);
