// Entry names for the zip writer on Windows: wide text, stored as UTF-8.
//
// libarchive turns multibyte names into wide ones through the ANSI code page
// on Windows, and its zip writer fails badly on a name that this code page
// cannot hold. Wide names with the UTF-8 header character set are stored
// whole, with the UTF-8 flag.
#include "platform/archive_names.h"

#include <archive.h>
#include <archive_entry.h>

#include "platform/win32/wide_text.h"

namespace platform {

bool PrepareArchiveNames(struct archive* writer) {
  return archive_write_set_format_option(writer, "zip", "hdrcharset", "UTF-8") == ARCHIVE_OK;
}

bool SetArchiveEntryName(struct archive_entry* entry, const std::u16string& name) {
  const std::u16string wellFormed = win32::WellFormed(name);
  archive_entry_copy_pathname_w(entry, win32::Wide(wellFormed));
  return true;
}

}  // namespace platform
