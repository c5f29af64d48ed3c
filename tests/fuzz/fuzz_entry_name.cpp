// Fuzz target: the names under which collected files are stored in the archive.
#include <cstddef>
#include <cstdint>

#include "archive/archive_writer.h"
#include "fuzz_support.h"
#include "platform/files.h"

namespace {

Text WithoutColons(const Text& text) {
  Text result;
  for (char16_t c : text)
    if (c != u':') result += c;
  return result;
}

bool StartsWithFolded(const Text& text, const Text& prefix) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char16_t a = text[i], b = prefix[i];
    if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a + 32);
    if (b >= u'A' && b <= u'Z') b = static_cast<char16_t>(b + 32);
    if (a != b) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Parts parts(data, size);
  const Text fullPath = parts.NextText();
  const Text baseFolder = parts.NextText();
  const Text name = MakeEntryName(fullPath, baseFolder);

  FUZZ_CHECK(name.size() <= fullPath.size());
  FUZZ_CHECK(name.find(u':') == Text::npos);
  // The base goes only from the front, and only whole.
  if (!baseFolder.empty() && StartsWithFolded(fullPath, baseFolder)) {
    FUZZ_CHECK(name == WithoutColons(fullPath.substr(baseFolder.size())));
  } else {
    FUZZ_CHECK(name == WithoutColons(fullPath));
  }
  // What reaches the archive is always well-formed UTF-8, lone surrogates and
  // mapped characters included.
  FUZZ_CHECK(fuzz::IsValidUtf8(platform::ArchiveNameUtf8(name)));
  return 0;
}
