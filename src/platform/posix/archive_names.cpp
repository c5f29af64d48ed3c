// Entry names for the zip writer on POSIX: UTF-8 text, which the process's
// UTF-8 locale makes libarchive store as it is, with the UTF-8 flag.
#include "platform/archive_names.h"

#include <archive_entry.h>

#include "platform/files.h"

namespace platform {

bool PrepareArchiveNames(struct archive*) { return true; }

bool SetArchiveEntryName(struct archive_entry* entry, const std::u16string& name) {
  const std::string utf8 = ArchiveNameUtf8(name);
  archive_entry_set_pathname(entry, utf8.c_str());
  return true;
}

}  // namespace platform
