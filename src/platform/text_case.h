// Per-unit case mapping of UTF-16 text, independent of the user's locale.
#pragma once

#include <string>

namespace platform {

/// Maps each UTF-16 unit to lower case on its own; units without a simple
/// one-unit counterpart (surrogates included) stay as they are.
void LowerUnits(std::u16string& text);

/// Maps each UTF-16 unit to upper case on its own, like LowerUnits.
void UpperUnits(std::u16string& text);

/// The lower-case counterpart of one unit, by the same mapping.
char16_t LowerUnit(char16_t unit);

}  // namespace platform
