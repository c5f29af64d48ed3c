// Collecting the source files of a project tree, depth first.
#pragma once

#include <string>
#include <vector>

using Text = std::u16string;

/// Full paths of the files to archive; slot 0 stays empty, files occupy slots
/// 1 to the last index.
using SourceList = std::vector<Text>;

/// An archive is written under its name plus this ending until it is
/// complete; a file so named is what a killed run left, never a source.
extern const Text kPartialArchiveSuffix;
bool IsPartialArchiveName(const Text& name);

/// The list grows by this many slots at a time during a collection.
constexpr int kSourceListStep = 2048;

/// Appends every file below `folder` whose extension passes the filter
/// ("pb|pbi" style; empty takes every file), leaving out the excluded folders
/// (full paths joined by "|"). depthLimit -1 means no limit. The outermost
/// call returns the number of files collected; nested calls return 0.
int CollectSources(const Text& folder, SourceList& sourceList, const Text& extensionFilter,
                   int depthLimit, const Text& excludedFolders);
