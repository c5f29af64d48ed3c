// Collecting the source files of a project tree, depth first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Text = std::u16string;

/// Full paths of the files to archive; slot 0 stays empty, files occupy slots
/// 1 to the last index.
///
/// A project can hold a hundred thousand files, and their paths are most of a
/// run's memory: they are kept packed, eight bits a unit where that suffices,
/// in large shared blocks rather than one allocation each.
class SourceList {
 public:
  explicit SourceList(std::size_t slots = 1) { Resize(slots); }
  /// Keeps the texts of the slots that remain; new slots hold the empty text.
  void Resize(std::size_t slots);
  /// The number of slots less one: the number of files once collected.
  int LastIndex() const { return static_cast<int>(slots_.size()) - 1; }
  Text Get(std::size_t slot) const;
  void Set(std::size_t slot, const Text& text) { SetJoined(slot, text, Text()); }
  /// Stores `first` followed by `second`.
  void SetJoined(std::size_t slot, const Text& first, const Text& second);

 private:
  struct Slot {
    std::uint32_t block = 0;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;  // bytes; 0 is the empty text
  };
  std::vector<Slot> slots_;
  std::vector<std::string> blocks_;
};

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
