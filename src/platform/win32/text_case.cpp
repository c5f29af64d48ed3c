// Per-unit case mapping through the system's own string case calls.
#include "platform/text_case.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform {
namespace {

bool IsSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// The system maps a buffer in place, one unit for one unit. Newer systems
// map surrogate pairs as whole characters; units map on their own here, so
// surrogates are put back as they were.
void MapUnits(std::u16string& text, bool upper) {
  if (text.empty()) return;
  const std::u16string original = text;
  auto* buffer = reinterpret_cast<wchar_t*>(text.data());
  const auto length = static_cast<DWORD>(text.size());
  if (upper) {
    CharUpperBuffW(buffer, length);
  } else {
    CharLowerBuffW(buffer, length);
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsSurrogate(original[i]) || IsSurrogate(text[i])) text[i] = original[i];
  }
}

}  // namespace

void LowerUnits(std::u16string& text) { MapUnits(text, false); }

void UpperUnits(std::u16string& text) { MapUnits(text, true); }

char16_t LowerUnit(char16_t unit) {
  std::u16string text(1, unit);
  MapUnits(text, false);
  return text[0];
}

}  // namespace platform
