// The backup label: where it comes from and how it is made safe for a name.
#include "run/backup_label.h"

#include <algorithm>

#include "run/path_helpers.h"
#include "ui/label_dialog.h"

const char16_t kLabelForbiddenCharacters[] = u"\\/:*?<>|\"@";
const Text kLabelSeparator = u" \u2014 ";

Text SanitizeLabel(const Text& text) {
  Text result = text;
  for (const char16_t* c = kLabelForbiddenCharacters; *c; ++c) {
    result = ReplaceText(result, Text(1, *c), u"_", false);
  }
  const auto n = std::min<std::int64_t>(TextLength(result), kLabelMaxLength);
  if (n == 0) return Text();
  return ToUpperText(MidText(result, 1, n));
}

Text ObtainLabel(const Text& defaultLabel, bool silent) {
  const Text cleanDefault = SanitizeLabel(defaultLabel);
  if (silent) return cleanDefault;
  return SanitizeLabel(
      AskText(u"Backup caption", u"Set label for this backup. 64 characters max: ", cleanDefault));
}
