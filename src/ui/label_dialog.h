// The modal text-input dialog that asks for the backup label.
#pragma once

#include <string>

using Text = std::u16string;

/// Prepares what the dialog needs, once at start-up.
void PrepareDialogs();

/// Shows the dialog; the field's text on confirm, the empty text on cancel or
/// when no dialog can be shown.
Text AskText(const Text& title, const Text& prompt, const Text& defaultText);
