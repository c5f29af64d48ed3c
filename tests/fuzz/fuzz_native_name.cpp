// Fuzz target: the mapping between native byte names and the layer's UTF-16
// texts, which must give back every name's very bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/posix/native_text.h"

using platform::posix::ArchiveUtf8;
using platform::posix::DisplayUtf8;
using platform::posix::NameFromNative;
using platform::posix::NativePath;
using platform::posix::PathFromNative;
using platform::posix::TextFromUtf8;

namespace {

bool HasStrayByte(const Text& text) {
  for (char16_t c : text)
    if (c >= 0xDC80 && c <= 0xDCFF) return true;
  return false;
}

// A text that NameFromNative can give: no NUL or separator, none of the
// mapped characters as themselves, and surrogates only in pairs (a stray-byte
// unit could join its neighbours into one character on the way back).
bool IsListableName(const Text& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == 0 || c == u'/' || (c < 0x80 && platform::posix::IsMappedAscii(c))) return false;
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const bool hasNul = bytes.find('\0') != std::string::npos;

  // A name: none of the characters that mean something above the layer stays
  // itself, and the bytes come back exactly (a NUL can name nothing).
  const Text name = NameFromNative(bytes);
  for (char16_t c : name) FUZZ_CHECK(c >= 0x80 || !platform::posix::IsMappedAscii(c));
  FUZZ_CHECK(NativePath(name) == (hasNul ? std::string() : bytes));

  // A path: separators become backslashes and back.
  const Text path = PathFromNative(bytes);
  FUZZ_CHECK(path.find(u'/') == Text::npos);
  FUZZ_CHECK(NativePath(path) == (hasNul ? std::string() : bytes));

  // Typed text keeps its characters unmapped; only a backslash, a separator
  // above the layer, does not come back as itself.
  const Text typed = TextFromUtf8(bytes);
  if (!hasNul && bytes.find('\\') == std::string::npos) FUZZ_CHECK(NativePath(typed) == bytes);

  // Shown or stored, the text is always well-formed UTF-8, and a valid UTF-8
  // name shows as itself.
  const std::string shown = DisplayUtf8(name);
  FUZZ_CHECK(fuzz::IsValidUtf8(shown));
  FUZZ_CHECK(fuzz::IsValidUtf8(ArchiveUtf8(name)));
  if (fuzz::IsValidUtf8(bytes) && !HasStrayByte(name)) FUZZ_CHECK(shown == bytes);

  // Layer texts of any units: the native form never holds a NUL, and a name
  // that a listing could have given comes back from its bytes unchanged.
  const Text text = fuzz::TextFromBytes(data, size);
  const std::string native = NativePath(text);
  FUZZ_CHECK(native.find('\0') == std::string::npos);
  if (native.empty() && !text.empty()) FUZZ_CHECK(text.find(u'\0') != Text::npos);
  FUZZ_CHECK(fuzz::IsValidUtf8(DisplayUtf8(text)));
  if (IsListableName(text)) FUZZ_CHECK(NameFromNative(native) == text);
  return 0;
}
