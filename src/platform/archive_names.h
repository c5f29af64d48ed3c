// How entry names reach the zip writer.
//
// libarchive takes names in a form that differs by platform: the locale's
// multibyte text on POSIX, wide text on Windows, where its multibyte form is
// the ANSI code page and cannot hold every name. The layer hands the name
// over in the form that keeps it whole, so that the archive stores it as
// UTF-8 (with the UTF-8 flag where it is not plain ASCII).
#pragma once

#include <string>

struct archive;
struct archive_entry;

namespace platform {

/// Sets what the zip writer needs to store names given by SetArchiveEntryName
/// as UTF-8. False when the writer refuses it.
bool PrepareArchiveNames(struct archive* writer);

/// Gives an entry its name, as ArchiveNameUtf8 spells it. False when the name
/// cannot be handed over.
bool SetArchiveEntryName(struct archive_entry* entry, const std::u16string& name);

}  // namespace platform
