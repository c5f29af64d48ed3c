// The desktop's text-input dialog.
#pragma once

#include <string>

namespace platform {

/// Prepares what dialogs need, once, early and cheaply.
void PrepareDialogServices();

/// Shows a modal dialog with a title, a one-line prompt, a text field holding
/// `defaultText` and an OK button. True with the field's text when the user
/// confirmed; false when the user cancelled or no dialog could be shown.
bool ShowTextDialog(const std::u16string& title, const std::u16string& prompt,
                    const std::u16string& defaultText, std::u16string& result);

}  // namespace platform
