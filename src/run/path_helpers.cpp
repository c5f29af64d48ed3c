// Text, path and file-system operations that the whole run relies on.
#include "run/path_helpers.h"

#include <algorithm>
#include <vector>

#include "platform/files.h"
#include "platform/text_case.h"

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

// Every open scan, so that the end of the run can close those a failure left.
std::vector<FolderScan*>& OpenScans() {
  static std::vector<FolderScan*> scans;
  return scans;
}

}  // namespace

std::int64_t TextLength(const Text& text) { return static_cast<std::int64_t>(text.size()); }

Text MidText(const Text& text, std::int64_t start, std::int64_t count) {
  if (start < 1) start = 1;
  if (count < 0) count = 0;
  const auto length = TextLength(text);
  if (start > length) return Text();
  return text.substr(static_cast<size_t>(start - 1),
                     static_cast<size_t>(std::min(count, length - start + 1)));
}

Text RightText(const Text& text, std::int64_t count) {
  if (count < 0) return Text();
  if (count >= TextLength(text)) return text;
  return text.substr(text.size() - static_cast<size_t>(count));
}

Text ToLowerText(const Text& text) {
  Text result = text;
  platform::LowerUnits(result);
  return result;
}

Text ToUpperText(const Text& text) {
  Text result = text;
  platform::UpperUnits(result);
  return result;
}

Text ReplaceText(const Text& text, const Text& find, const Text& replacement, bool ignoreCase) {
  if (find.empty() || find.size() > text.size()) return text;
  Text result;
  result.reserve(text.size());
  size_t i = 0;
  const size_t last = text.size() - find.size();
  while (i < text.size()) {
    bool match = i <= last;
    for (size_t k = 0; match && k < find.size(); ++k) {
      char16_t a = text[i + k], b = find[k];
      match = ignoreCase ? FoldAscii(a) == FoldAscii(b) : a == b;
    }
    if (match) {
      result += replacement;
      i += find.size();
    } else {
      result += text[i++];
    }
  }
  return result;
}

Text TrimTrailing(const Text& text, char16_t ch) {
  size_t end = text.size();
  while (end > 0 && text[end - 1] == ch) --end;
  return text.substr(0, end);
}

std::int64_t FindText(const Text& text, const Text& pattern, std::int64_t start, bool ignoreCase) {
  if (text.empty() || pattern.empty()) return 0;
  if (start < 1) start = 1;
  if (start > TextLength(text)) return 0;
  size_t found;
  if (ignoreCase) {
    found = ToLowerText(text).find(ToLowerText(pattern), static_cast<size_t>(start - 1));
  } else {
    found = text.find(pattern, static_cast<size_t>(start - 1));
  }
  return found == Text::npos ? 0 : static_cast<std::int64_t>(found) + 1;
}

Text PathPart(const Text& path) {
  size_t begin = (!path.empty() && path[0] == u'"') ? 1 : 0;
  size_t end = path.find(u'|', begin);
  if (end == Text::npos) end = path.size();
  size_t lastSeparator = Text::npos;
  for (size_t i = begin; i < end; ++i) {
    if (IsSeparator(path[i])) lastSeparator = i;
  }
  if (lastSeparator == Text::npos) return Text();
  return path.substr(begin, lastSeparator + 1 - begin);
}

Text FilePart(const Text& path) {
  size_t begin = (!path.empty() && path[0] == u'"') ? 1 : 0;
  size_t nameStart = begin;
  for (size_t i = begin; i < path.size(); ++i) {
    if (IsSeparator(path[i])) nameStart = i + 1;
  }
  size_t end = path.find(u'"', nameStart);
  if (end == Text::npos) end = path.size();
  return path.substr(nameStart, end - nameStart);
}

Text ExtensionPart(const Text& name) {
  // Scanning back, the dot must come before any space or separator.
  size_t i = name.size();
  while (i > 0) {
    char16_t c = name[i - 1];
    if (c == u'.') break;
    if (c == u' ' || IsSeparator(c)) return Text();
    --i;
  }
  if (i == 0) return Text();
  const size_t dot = i - 1;
  if (dot == 0 || IsSeparator(name[dot - 1])) return Text();
  size_t end = name.find(u'"', dot + 1);
  if (end == Text::npos) end = name.size();
  return name.substr(dot + 1, end - dot - 1);
}

FileKind QueryFileKind(const Text& path) {
  if (path.empty()) return kNothingUsable;
  // Longer paths are looked at whole: the layer has no 260-unit limit.
  Text copy = path;
  if ((copy.size() == 2 || copy.size() == 3) && copy[1] == u':') {
    if (copy.size() == 2) copy += u'\\';
    auto type = platform::QueryDriveType(copy);
    return (type != platform::DriveType::Unknown &&
            type != platform::DriveType::NoRootDirectory)
               ? kFolderKind
               : kNothingUsable;
  }
  while (!copy.empty() && IsSeparator(copy.back())) copy.pop_back();
  if (copy.empty()) return kNothingUsable;

  platform::FoundEntry entry;
  if (platform::FindPath(copy, entry)) return entry.isDirectory ? kFolderKind : entry.size;

  const bool network = copy.size() >= 2 && copy[0] == u'\\' && copy[1] == u'\\';
  const bool dots = copy.size() >= 2 && copy[0] == u'.' && copy[1] == u'.';
  if (network || dots) {
    bool isDirectory = false;
    if (platform::ReadAttributes(copy, isDirectory)) return isDirectory ? kFolderKind : kNothingUsable;
    auto type = platform::QueryDriveType(copy);
    return (type != platform::DriveType::Unknown &&
            type != platform::DriveType::NoRootDirectory)
               ? kFolderKind
               : kNothingUsable;
  }
  return kNothingUsable;
}

bool CreateFolder(const Text& path) {
  Text copy = path;
  while (!copy.empty() && (copy.back() == u' ' || IsSeparator(copy.back()))) copy.pop_back();
  if (copy.empty()) return false;
  return platform::MakeFolder(copy);
}

bool DeleteFileForced(const Text& path) {
  platform::MakeWritable(path);
  return platform::RemoveFile(path);
}

struct FolderScan {
  platform::Listing* listing = nullptr;  // none when nothing matched
  bool firstHandedOut = false;
  platform::FoundEntry current;
};

FolderScan* OpenFolderScan(const Text& folder, const Text& pattern) {
  Text search = folder;
  if (!search.empty() && search.back() != u'\\') search += u'\\';
  search += pattern.empty() ? Text(u"*.*") : pattern;

  auto* scan = new FolderScan;
  switch (platform::OpenListing(search, scan->listing, scan->current)) {
    case platform::ListStatus::Opened:
      break;
    case platform::ListStatus::NothingMatches:
      scan->listing = nullptr;
      break;
    case platform::ListStatus::Failed:
      delete scan;
      return nullptr;
  }
  OpenScans().push_back(scan);
  return scan;
}

bool NextEntry(FolderScan* scan) {
  if (scan == nullptr || scan->listing == nullptr) return false;
  if (!scan->firstHandedOut) {
    scan->firstHandedOut = true;
    return true;
  }
  return platform::NextListed(scan->listing, scan->current);
}

Text EntryName(const FolderScan* scan) { return scan ? scan->current.name : Text(); }

int EntryKind(const FolderScan* scan) {
  if (scan == nullptr) return 0;
  return scan->current.isDirectory ? 2 : 1;
}

void CloseFolderScan(FolderScan* scan) {
  if (scan == nullptr) return;
  auto& scans = OpenScans();
  scans.erase(std::remove(scans.begin(), scans.end(), scan), scans.end());
  if (scan->listing) platform::CloseListing(scan->listing);
  delete scan;
}

void CloseAllFolderScans() {
  auto& scans = OpenScans();
  while (!scans.empty()) CloseFolderScan(scans.back());
}
