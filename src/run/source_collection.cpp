// Collecting the source files of a project tree, depth first.
#include "run/source_collection.h"

#include <algorithm>

#include "platform/utf8.h"
#include "run/path_helpers.h"

namespace {

constexpr std::size_t kBlockSize = 256 * 1024;

// Each unit as UTF-8 would encode it, a lone surrogate included, so that any
// text comes back exactly; a valid pair is one four-byte sequence.
void AppendPacked(std::string& out, const Text& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    platform::AppendUtf8(out, c);
  }
}

Text Unpack(const char* p, std::size_t length) {
  Text text;
  text.reserve(length);
  const auto* s = reinterpret_cast<const unsigned char*>(p);
  for (std::size_t i = 0; i < length;) {
    std::uint32_t c = s[i];
    if (c < 0x80) {
      i += 1;
    } else if (c < 0xE0) {
      c = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
      i += 2;
    } else if (c < 0xF0) {
      c = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      i += 3;
    } else {
      c = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) |
          (s[i + 3] & 0x3F);
      i += 4;
      text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      c = 0xDC00 + ((c - 0x10000) & 0x3FF);
    }
    text += static_cast<char16_t>(c);
  }
  return text;
}

}  // namespace

void SourceList::Resize(std::size_t slots) {
  // Exactly the size asked for, not the vector's own doubling.
  slots_.reserve(slots);
  slots_.resize(slots);
  if (slots <= 1) blocks_.clear();
}

Text SourceList::Get(std::size_t slot) const {
  const Slot& s = slots_[slot];
  if (s.length == 0) return Text();
  return Unpack(blocks_[s.block].data() + s.offset, s.length);
}

void SourceList::SetJoined(std::size_t slot, const Text& first, const Text& second) {
  const std::size_t most = (first.size() + second.size()) * 3;
  if (blocks_.empty() || blocks_.back().size() + most > blocks_.back().capacity()) {
    blocks_.emplace_back();
    blocks_.back().reserve(std::max(kBlockSize, most));
  }
  std::string& block = blocks_.back();
  Slot& s = slots_[slot];
  s.block = static_cast<std::uint32_t>(blocks_.size() - 1);
  s.offset = static_cast<std::uint32_t>(block.size());
  AppendPacked(block, first);
  AppendPacked(block, second);
  s.length = static_cast<std::uint32_t>(block.size() - s.offset);
}

const Text kPartialArchiveSuffix = u".zip.partial";

bool IsPartialArchiveName(const Text& name) {
  return ToLowerText(RightText(name, TextLength(kPartialArchiveSuffix))) == kPartialArchiveSuffix;
}

namespace {

// One collection's state, carried through its recursion.
struct ScanState {
  int scanDepth = 0;
  int foundCount = 0;
  int listCapacity = 0;
  Text filterLookup;
  Text excludedLookup;
};

ScanState scanState;

}  // namespace

int CollectSources(const Text& folderIn, SourceList& sourceList, const Text& extensionFilter,
                   int depthLimit, const Text& excludedFolders) {
  Text folder = folderIn;
  if (scanState.scanDepth == 0) {
    scanState.listCapacity = 0;
    scanState.foundCount = 0;
    scanState.filterLookup = extensionFilter.empty() ? Text() : extensionFilter + u"|";
    scanState.excludedLookup = excludedFolders.empty() ? Text() : excludedFolders + u"|";
  }

  folder = ReplaceText(folder, u"/", u"\\", false);
  if (RightText(folder, 1) != u"\\") folder += u'\\';

  FolderScan* scan = OpenFolderScan(folder, u"*.*");
  if (scan == nullptr) return 0;
  ++scanState.scanDepth;

  while (NextEntry(scan)) {
    const Text name = EntryName(scan);
    const int kind = EntryKind(scan);
    if (kind == 1) {
      const bool taken =
          scanState.filterLookup.empty() ||
          FindText(scanState.filterLookup, ExtensionPart(name) + u"|", 1, true) != 0;
      if (!taken || IsPartialArchiveName(name)) continue;
      ++scanState.foundCount;
      if (scanState.foundCount >= scanState.listCapacity) {
        scanState.listCapacity += kSourceListStep;
        sourceList.Resize(static_cast<size_t>(scanState.listCapacity) + 1);
      }
      sourceList.SetJoined(static_cast<size_t>(scanState.foundCount), folder, name);
    } else if (kind == 2) {
      // A depth limit below -1 behaves like 0.
      const int limit = depthLimit < -1 ? 0 : depthLimit;
      if (limit != -1 && scanState.scanDepth > limit) continue;
      if (name == u"." || name == u"..") continue;
      if (!scanState.excludedLookup.empty() &&
          FindText(scanState.excludedLookup, folder + name + u"|", 1, true) != 0)
        continue;
      CollectSources(folder + name, sourceList, extensionFilter, depthLimit, excludedFolders);
    }
  }

  CloseFolderScan(scan);
  --scanState.scanDepth;

  if (scanState.foundCount != 0 && scanState.scanDepth == 0) {
    sourceList.Resize(static_cast<size_t>(scanState.foundCount) + 1);
    return scanState.foundCount;
  }
  return 0;
}
