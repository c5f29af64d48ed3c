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

}  // namespace platform::win32
