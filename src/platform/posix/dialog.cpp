// The text-input dialog: not available on POSIX yet, so it cannot be shown.
#include "platform/dialog.h"

namespace platform {

void PrepareDialogServices() {}

bool ShowTextDialog(const std::u16string& /*title*/, const std::u16string& /*prompt*/,
                    const std::u16string& /*defaultText*/, std::u16string& /*result*/) {
  return false;
}

}  // namespace platform
