// Writing the backup's zip archive through libarchive.
#include "archive/archive_writer.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/archive_names.h"
#include "platform/files.h"
#include "run/path_helpers.h"
#include "ui/error_console.h"

namespace {

// Archives not yet closed, so that the end of the run can close them.
std::vector<BackupArchive*>& OpenArchives() {
  static std::vector<BackupArchive*> archives;
  return archives;
}

// libarchive hands its output to our file services, so that a failed write
// (a full disk) reaches the caller and the file can be synced before it counts.
la_ssize_t WriteOutput(struct archive* handle, void* clientData, const void* buffer,
                       size_t length) {
  auto* file = static_cast<platform::File*>(clientData);
  if (!platform::WriteToFile(file, buffer, length)) {
    archive_set_error(handle, -1, "write failed");
    return -1;
  }
  return static_cast<la_ssize_t>(length);
}

bool StartsWithAsciiFolded(const Text& text, const Text& prefix) {
  if (prefix.size() > text.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char16_t a = text[i], b = prefix[i];
    if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a + 32);
    if (b >= u'A' && b <= u'Z') b = static_cast<char16_t>(b + 32);
    if (a != b) return false;
  }
  return true;
}

}  // namespace

BackupArchive* BackupArchive::Create(const Text& path) {
  if (path.empty()) return nullptr;
  // An earlier archive of the same name is replaced only by a complete one,
  // and a read-only one not at all.
  if (!platform::IsReplaceable(path)) return nullptr;

  const Text partialPath = path + u".partial";  // the name ends in .zip already
  DeleteFileForced(partialPath);
  platform::File* output = platform::CreateNewForWriting(partialPath);
  if (output == nullptr) return nullptr;

  struct archive* handle = archive_write_new();
  if (handle == nullptr) {
    platform::CloseFile(output);
    DeleteFileForced(partialPath);
    return nullptr;
  }
  archive_write_set_format_zip(handle);
  if (!platform::PrepareArchiveNames(handle)) {
    archive_write_free(handle);
    platform::CloseFile(output);
    DeleteFileForced(partialPath);
    return nullptr;
  }
  // Larger blocks mean fewer writes; the last block is not padded.
  archive_write_set_bytes_per_block(handle, 128 * 1024);
  archive_write_set_bytes_in_last_block(handle, 1);
  if (archive_write_open(handle, output, nullptr, WriteOutput, nullptr) != ARCHIVE_OK) {
    archive_write_free(handle);
    platform::CloseFile(output);
    DeleteFileForced(partialPath);
    return nullptr;
  }

  // One read buffer serves every file: allocating 2 MiB per file costs more
  // than reading a small file where the allocator hands such blocks back to
  // the system each time.
  auto* buffer = static_cast<unsigned char*>(std::malloc(kReadChunkSize));
  if (buffer == nullptr) {
    archive_write_free(handle);
    platform::CloseFile(output);
    DeleteFileForced(partialPath);
    return nullptr;
  }

  auto* result = new BackupArchive;
  result->buffer_ = buffer;
  result->handle_ = handle;
  result->path_ = path;
  result->partialPath_ = partialPath;
  result->output_ = output;
  OpenArchives().push_back(result);
  return result;
}

bool BackupArchive::AddFile(const Text& fullPath, const Text& entryName) {
  platform::File* file = platform::OpenForReading(fullPath);
  if (file == nullptr) return false;
  // Sizes are 64-bit throughout, so files of 2 GiB and more are added whole.
  const std::int64_t size = platform::FileSize(file);

  if (size < 0) {
    platform::CloseFile(file);
    return false;
  }
  struct archive_entry* entry = archive_entry_new();
  if (entry == nullptr) {
    platform::CloseFile(file);
    return false;
  }
  // A name that cannot be handed over would leave an entry without its name.
  if (!platform::SetArchiveEntryName(entry, entryName)) {
    archive_entry_free(entry);
    platform::CloseFile(file);
    return false;
  }
  archive_entry_set_size(entry, size);
  archive_entry_set_filetype(entry, AE_IFREG);
  archive_entry_set_perm(entry, 0644);

  unsigned char* const buffer = buffer_;
  std::int64_t total = 0;
  bool headerWritten = archive_write_header(handle_, entry) >= ARCHIVE_WARN;
  if (headerWritten) {
    std::size_t n = platform::ReadFromFile(file, buffer, kReadChunkSize);
    while (n > 0) {
      if (archive_write_data(handle_, buffer, n) != static_cast<la_ssize_t>(n)) break;
      total += static_cast<std::int64_t>(n);
      n = platform::ReadFromFile(file, buffer, kReadChunkSize);
    }
  }

  archive_entry_free(entry);
  platform::CloseFile(file);
  // A header that could not be written loses the entry even when it is empty.
  return headerWritten && total == size;
}

void BackupArchive::Forget() {
  auto& archives = OpenArchives();
  archives.erase(std::remove(archives.begin(), archives.end(), this), archives.end());
  std::free(buffer_);
  buffer_ = nullptr;
}

bool BackupArchive::Close() {
  Forget();
  auto* output = static_cast<platform::File*>(output_);
  bool ok = archive_write_close(handle_) == ARCHIVE_OK;
  archive_write_free(handle_);
  ok = platform::SyncFile(output) && ok;
  ok = platform::CloseFile(output) && ok;
  // Only a complete archive on stable storage gets the final name.
  ok = ok && platform::RenameFile(partialPath_, path_);
  if (ok) {
    platform::SyncFolder(PathPart(path_));
  } else {
    DeleteFileForced(partialPath_);
  }
  delete this;
  return ok;
}

void BackupArchive::Discard() {
  Forget();
  archive_write_free(handle_);
  platform::CloseFile(static_cast<platform::File*>(output_));
  DeleteFileForced(partialPath_);
  delete this;
}

void BackupArchive::CloseAll() {
  auto& archives = OpenArchives();
  while (!archives.empty()) archives.back()->Discard();
}

void RemovePartialArchives(const Text& backupFolder) {
  FolderScan* scan = OpenFolderScan(backupFolder, u"*" + kPartialArchiveSuffix);
  if (scan == nullptr) return;
  while (NextEntry(scan)) {
    if (EntryKind(scan) == 1 && IsPartialArchiveName(EntryName(scan)))
      DeleteFileForced(backupFolder + EntryName(scan));
  }
  CloseFolderScan(scan);
}

Text MakeEntryName(const Text& fullPath, const Text& baseFolder) {
  // The base folder goes only where it begins the path: removing it further
  // inside could give two different files one name.
  Text name = fullPath;
  if (!baseFolder.empty() && StartsWithAsciiFolded(name, baseFolder)) {
    name.erase(0, baseFolder.size());
  }
  return ReplaceText(name, u":", Text(), false);
}

void PackSources(const Text& archivePath, const Text& sourcePath, const SourceList& sources) {
  RemovePartialArchives(PathPart(archivePath));
  BackupArchive* archive = BackupArchive::Create(archivePath);
  if (archive == nullptr) ReportErrorAndExit(archivePath, u"cannot create backup!");

  const Text baseFolder = PathPart(sourcePath);
  for (int i = 1; i <= sources.LastIndex(); ++i) {
    const Text path = sources.Get(static_cast<size_t>(i));
    if (!archive->AddFile(path, MakeEntryName(path, baseFolder))) {
      // The unfinished archive goes; an earlier one of the same name stays.
      archive->Discard();
      ReportErrorAndExit(path, u"don't know why, but Tarn packer failed to add this file");
    }
  }
  // An archive whose end could not be written is incomplete although every
  // file went in: it must not stand as a good backup.
  if (!archive->Close()) ReportErrorAndExit(archivePath, u"cannot create backup!");
}
