// The backup label: where it comes from and how it is made safe for a name.
#pragma once

#include <string>

using Text = std::u16string;

constexpr int kLabelMaxLength = 64;
extern const char16_t kLabelForbiddenCharacters[];
extern const Text kLabelSeparator;

/// Replaces the forbidden characters by "_", cuts to 64 units, upper-cases.
Text SanitizeLabel(const Text& text);

/// The run's label: the cleaned default, offered in the dialog unless silent,
/// cleaned again.
Text ObtainLabel(const Text& defaultLabel, bool silent);
