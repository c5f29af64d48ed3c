// Text, path and file-system operations that the whole run relies on.
//
// Texts are UTF-16; lengths and positions count code units and positions are
// 1-based. Paths use the backslash; a slash counts as a separator too.
#pragma once

#include <cstdint>
#include <string>

using Text = std::u16string;

/// Result of QueryFileKind: a file's size (0 or more), or one of these.
using FileKind = std::int64_t;
constexpr FileKind kNothingUsable = -1;
constexpr FileKind kFolderKind = -2;

// Text operations.
std::int64_t TextLength(const Text& text);
/// Up to `count` units from position `start` (below 2 means the first unit).
Text MidText(const Text& text, std::int64_t start, std::int64_t count);
/// The last `count` units, or the whole text when it is shorter.
Text RightText(const Text& text, std::int64_t count);
Text ToLowerText(const Text& text);
Text ToUpperText(const Text& text);
/// Replaces every non-overlapping occurrence, left to right. With ignoreCase
/// only the ASCII letters are folded.
Text ReplaceText(const Text& text, const Text& find, const Text& replacement, bool ignoreCase);
/// The text without the run of `ch` at its end.
Text TrimTrailing(const Text& text, char16_t ch);
/// The 1-based position of `pattern` at or after `start`, or 0. With
/// ignoreCase every unit is folded by the per-unit lower-case mapping.
std::int64_t FindText(const Text& text, const Text& pattern, std::int64_t start, bool ignoreCase);

// Path operations.
/// Up to and including the last separator before the first vertical bar.
Text PathPart(const Text& path);
/// What follows the last separator, up to the end or a double quote.
Text FilePart(const Text& path);
/// The units after the last dot of a name, or empty (see the rules inside).
Text ExtensionPart(const Text& name);

// File-system operations.
/// A file's size, kNothingUsable, or kFolderKind for a folder or drive root.
FileKind QueryFileKind(const Text& path);
/// Creates exactly one folder; trailing separators and spaces are ignored.
bool CreateFolder(const Text& path);
/// Clears the read-only state of a file, then deletes it.
bool DeleteFileForced(const Text& path);

/// One open enumeration of a folder's entries.
struct FolderScan;

/// Opens a scan of `folder` for `pattern` ("*.*" when empty); null when the
/// folder cannot be listed. Open scans are registered until closed.
FolderScan* OpenFolderScan(const Text& folder, const Text& pattern);
/// Moves to the next entry; false when there are no more.
bool NextEntry(FolderScan* scan);
/// The current entry's own name.
Text EntryName(const FolderScan* scan);
/// 2 for a folder, 1 for anything else, 0 for no open scan.
int EntryKind(const FolderScan* scan);
/// Closes a scan and removes it from the register.
void CloseFolderScan(FolderScan* scan);
/// Closes every scan still open (the end of the run).
void CloseAllFolderScans();
