// The modal text-input dialog that asks for the backup label.
#include "ui/label_dialog.h"

#include "platform/dialog.h"

void PrepareDialogs() { platform::PrepareDialogServices(); }

Text AskText(const Text& title, const Text& prompt, const Text& defaultText) {
  Text result;
  if (!platform::ShowTextDialog(title, prompt, defaultText, result)) return Text();
  return result;
}
