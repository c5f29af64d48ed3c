// Per-unit case mapping through a fixed UTF-8 locale, whatever the user's own.
#include "platform/text_case.h"

#include <locale.h>
#include <wctype.h>

namespace platform {
namespace {

// The C.UTF-8 tables give the simple one-to-one case mapping of Unicode; the
// user's LC_CTYPE (Turkish dotless i, say) must not change names or switches.
locale_t CaseLocale() {
  static const locale_t locale = [] {
    locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    if (made == locale_t(0)) made = newlocale(LC_CTYPE_MASK, "C.utf8", locale_t(0));
    return made;
  }();
  return locale;
}

char16_t MapUnit(char16_t unit, bool upper) {
  if (unit < 0x80) {
    if (upper && unit >= u'a' && unit <= u'z') return unit - 0x20;
    if (!upper && unit >= u'A' && unit <= u'Z') return unit + 0x20;
    return unit;
  }
  if (unit >= 0xD800 && unit <= 0xDFFF) return unit;
  const locale_t locale = CaseLocale();
  if (locale == locale_t(0)) return unit;  // without tables only ASCII maps
  const wint_t mapped = upper ? towupper_l(unit, locale) : towlower_l(unit, locale);
  if (mapped > 0xFFFF || (mapped >= 0xD800 && mapped <= 0xDFFF)) return unit;
  return static_cast<char16_t>(mapped);
}

}  // namespace

void LowerUnits(std::u16string& text) {
  for (char16_t& unit : text) unit = MapUnit(unit, false);
}

void UpperUnits(std::u16string& text) {
  for (char16_t& unit : text) unit = MapUnit(unit, true);
}

char16_t LowerUnit(char16_t unit) { return MapUnit(unit, false); }

}  // namespace platform
