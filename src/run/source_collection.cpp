// Collecting the source files of a project tree, depth first.
#include "run/source_collection.h"

#include "run/path_helpers.h"

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
        sourceList.resize(static_cast<size_t>(scanState.listCapacity) + 1);
      }
      sourceList[static_cast<size_t>(scanState.foundCount)] = folder + name;
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
    sourceList.resize(static_cast<size_t>(scanState.foundCount) + 1);
    return scanState.foundCount;
  }
  return 0;
}
