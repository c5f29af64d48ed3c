// A scratch folder for the platform layer's contract tests, and small helpers
// that go through the layer itself.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

// A fresh folder under the system's temporary folder, removed with all it
// holds at the end of the test. `root` is its path in the layer's form.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && native_.empty(); ++attempt) {
      auto candidate = base / ("quillfort-test-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate)) native_ = candidate;
    }
    std::u16string text = native_.u16string();
    for (char16_t& unit : text)
      if (unit == u'/') unit = u'\\';
    root = text;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!native_.empty()) std::filesystem::remove_all(native_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  /// The layer path of `relative` (backslashes) inside the folder.
  std::u16string operator/(const std::u16string& relative) const { return root + u"\\" + relative; }
  /// The native path of a plain (ASCII, unmapped) relative path inside it.
  std::filesystem::path Native(const std::string& relative) const { return native_ / relative; }
  const std::filesystem::path& NativeRoot() const { return native_; }

  std::u16string root;

 private:
  std::filesystem::path native_;
};

/// Creates or replaces a file through the layer.
inline bool WriteThroughLayer(const std::u16string& path, std::string_view content) {
  platform::File* file = platform::OpenForWriting(path);
  if (file == nullptr) return false;
  const bool written = platform::WriteToFile(file, content.data(), content.size());
  return platform::CloseFile(file) && written;
}

/// The whole content of a file read through the layer; false when it does not open.
inline bool ReadThroughLayer(const std::u16string& path, std::string& content) {
  content.clear();
  platform::File* file = platform::OpenForReading(path);
  if (file == nullptr) return false;
  char buffer[7];  // small, so that reading takes several calls
  while (std::size_t got = platform::ReadFromFile(file, buffer, sizeof buffer)) content.append(buffer, got);
  return platform::CloseFile(file);
}

/// Every entry that a listing hands out, in order.
inline platform::ListStatus ListThroughLayer(const std::u16string& searchText,
                                             std::vector<platform::FoundEntry>& entries) {
  entries.clear();
  platform::Listing* listing = nullptr;
  platform::FoundEntry entry;
  const platform::ListStatus status = platform::OpenListing(searchText, listing, entry);
  if (status != platform::ListStatus::Opened) return status;
  do {
    entries.push_back(entry);
  } while (platform::NextListed(listing, entry));
  platform::CloseListing(listing);
  return status;
}

/// The names of a listing's entries, folders marked with a trailing "/".
inline std::vector<std::u16string> ListedNames(const std::vector<platform::FoundEntry>& entries) {
  std::vector<std::u16string> names;
  for (const auto& entry : entries) names.push_back(entry.name + (entry.isDirectory ? u"/" : u""));
  return names;
}
