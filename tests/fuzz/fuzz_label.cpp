// Fuzz target: cleaning a backup label for use in an archive's name.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "run/backup_label.h"
#include "run/path_helpers.h"

namespace {

bool IsForbidden(char16_t c) {
  for (const char16_t* f = kLabelForbiddenCharacters; *f; ++f)
    if (*f == c) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text input = fuzz::TextFromBytes(data, size);
  const Text label = SanitizeLabel(input);

  // One unit out for each unit in, up to the cap.
  FUZZ_CHECK(label.size() == std::min<std::size_t>(input.size(), kLabelMaxLength));
  for (std::size_t i = 0; i < label.size(); ++i) {
    FUZZ_CHECK(!IsForbidden(label[i]));
    if (IsForbidden(input[i])) {
      FUZZ_CHECK(label[i] == u'_');
    } else {
      FUZZ_CHECK(label[i] == ToUpperText(Text(1, input[i]))[0]);
    }
  }
  // The run cleans the dialog's default and then what the dialog gives back:
  // a label accepted unchanged must stay the same.
  FUZZ_CHECK(SanitizeLabel(label) == label);
  return 0;
}
