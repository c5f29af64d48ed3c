// The layer's UTF-16 texts as the wide strings that Win32 calls take.
#pragma once

#include <string>

namespace platform::win32 {

// wchar_t is 16 bits on Windows, so a UTF-16 text is already a wide string.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

/// The text as a zero-terminated wide string (valid while the text lives).
inline const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

/// A wide string (zero-terminated) as layer text.
inline std::u16string FromWide(const wchar_t* text) {
  return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

/// `length` wide units as layer text.
inline std::u16string FromWide(const wchar_t* text, std::size_t length) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

/// The text with each unpaired surrogate replaced by U+FFFD, as UTF-8 and
/// the archive's names need well-formed text.
inline std::u16string WellFormed(std::u16string text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;  // a pair
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      text[i] = 0xFFFD;
    }
  }
  return text;
}

}  // namespace platform::win32
