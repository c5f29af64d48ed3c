// Fuzz target: the text and path operations that names and switches go through.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "platform/text_case.h"
#include "run/path_helpers.h"

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

Text FoldAscii(Text text) {
  for (char16_t& c : text)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return text;
}

// Replace-all through the standard library's search, on ASCII-folded copies
// when the case is ignored; positions carry over since folding keeps lengths.
Text ReplaceByFind(const Text& text, const Text& find, const Text& replacement, bool ignoreCase) {
  if (find.empty()) return text;
  const Text haystack = ignoreCase ? FoldAscii(text) : text;
  const Text needle = ignoreCase ? FoldAscii(find) : find;
  Text result;
  std::size_t from = 0;
  for (std::size_t at = haystack.find(needle); at != Text::npos; at = haystack.find(needle, from)) {
    result += text.substr(from, at - from) + replacement;
    from = at + find.size();
  }
  return result + text.substr(from);
}

bool MatchesAt(const Text& text, const Text& pattern, std::size_t at, bool ignoreCase) {
  for (std::size_t k = 0; k < pattern.size(); ++k) {
    char16_t a = text[at + k], b = pattern[k];
    if (ignoreCase) {
      a = platform::LowerUnit(a);
      b = platform::LowerUnit(b);
    }
    if (a != b) return false;
  }
  return true;
}

void CheckSlices(const Text& a, std::int64_t n1, std::int64_t n2) {
  const auto length = static_cast<std::int64_t>(a.size());
  const Text mid = MidText(a, n1, n2);
  const std::int64_t start = std::max<std::int64_t>(n1, 1);
  const std::int64_t count = std::max<std::int64_t>(n2, 0);
  if (start > length) {
    FUZZ_CHECK(mid.empty());
  } else {
    FUZZ_CHECK(static_cast<std::int64_t>(mid.size()) == std::min(count, length - start + 1));
    FUZZ_CHECK(a.compare(static_cast<std::size_t>(start - 1), mid.size(), mid) == 0);
  }
  // Cutting anywhere and joining the halves gives the text back.
  const std::int64_t cut = std::clamp<std::int64_t>(n1, 0, length);
  FUZZ_CHECK(MidText(a, 1, cut) + MidText(a, cut + 1, length) == a);

  const Text right = RightText(a, n2);
  if (n2 < 0) {
    FUZZ_CHECK(right.empty());
  } else {
    FUZZ_CHECK(static_cast<std::int64_t>(right.size()) == std::min(n2, length));
    FUZZ_CHECK(a.compare(a.size() - right.size(), right.size(), right) == 0);
    FUZZ_CHECK(right == MidText(a, length - static_cast<std::int64_t>(right.size()) + 1, n2));
  }
}

void CheckSearch(const Text& a, const Text& b, const Text& c, std::int64_t n1, bool ignoreCase) {
  FUZZ_CHECK(ReplaceText(a, b, c, ignoreCase) == ReplaceByFind(a, b, c, ignoreCase));
  FUZZ_CHECK(ReplaceText(a, b, b, false) == a);

  const char16_t ch = b.empty() ? u'\\' : b[0];
  const Text trimmed = TrimTrailing(a, ch);
  FUZZ_CHECK(trimmed.empty() || trimmed.back() != ch);
  FUZZ_CHECK(trimmed + Text(a.size() - trimmed.size(), ch) == a);

  const std::int64_t found = FindText(a, b, n1, ignoreCase);
  const std::int64_t start = std::max<std::int64_t>(n1, 1);
  const auto length = static_cast<std::int64_t>(a.size());
  const auto patternLength = static_cast<std::int64_t>(b.size());
  if (a.empty() || b.empty() || start > length) {
    FUZZ_CHECK(found == 0);
    return;
  }
  // Every position from the start up to the one found is tried by hand; the
  // work is held down on long inputs, where only the hit itself is checked.
  const std::int64_t end = found > 0 ? found - 1 : length - patternLength + 1;
  if (found > 0) {
    FUZZ_CHECK(found >= start && found - 1 + patternLength <= length);
    FUZZ_CHECK(MatchesAt(a, b, static_cast<std::size_t>(found - 1), ignoreCase));
  }
  if ((end - start + 1) * patternLength <= 200000) {
    for (std::int64_t at = start - 1; at < end; ++at)
      FUZZ_CHECK(!MatchesAt(a, b, static_cast<std::size_t>(at), ignoreCase));
  }
}

void CheckPaths(const Text& a) {
  const Text path = PathPart(a);
  const Text file = FilePart(a);
  const Text extension = ExtensionPart(a);
  const std::size_t begin = !a.empty() && a[0] == u'"' ? 1 : 0;

  FUZZ_CHECK(path.empty() || IsSeparator(path.back()));
  FUZZ_CHECK(path.find(u'|') == Text::npos);
  FUZZ_CHECK(a.compare(begin, path.size(), path) == 0);

  FUZZ_CHECK(std::none_of(file.begin(), file.end(), IsSeparator));
  FUZZ_CHECK(file.find(u'"') == Text::npos);
  FUZZ_CHECK(a.find(file) != Text::npos);

  for (char16_t c : extension) FUZZ_CHECK(c != u'.' && c != u' ' && c != u'"' && !IsSeparator(c));
  if (!extension.empty()) FUZZ_CHECK(a.find(u'.' + extension) != Text::npos);

  // A plain path is its folder part followed by its file part.
  const bool plain = a.find_first_of(u"|\"") == Text::npos;
  if (plain) {
    FUZZ_CHECK(path + file == a);
    if (!extension.empty()) {
      FUZZ_CHECK(file.size() > extension.size() + 1);
      FUZZ_CHECK(file.compare(file.size() - extension.size() - 1, Text::npos, u'.' + extension) ==
                 0);
    }
  }
}

void CheckCase(const Text& a) {
  const Text lower = ToLowerText(a);
  const Text upper = ToUpperText(a);
  FUZZ_CHECK(lower.size() == a.size() && upper.size() == a.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char16_t c = a[i];
    if (c < 0x80) {
      FUZZ_CHECK(lower[i] == (c >= u'A' && c <= u'Z' ? c + 32 : c));
      FUZZ_CHECK(upper[i] == (c >= u'a' && c <= u'z' ? c - 32 : c));
    }
    if (c >= 0xD800 && c <= 0xDFFF) FUZZ_CHECK(lower[i] == c && upper[i] == c);
    FUZZ_CHECK(lower[i] == platform::LowerUnit(c));
  }
  FUZZ_CHECK(ToLowerText(lower) == lower);
  FUZZ_CHECK(ToUpperText(upper) == upper);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Parts parts(data, size);
  const Text a = parts.NextText();
  const Text b = parts.NextText();
  const Text c = parts.NextText();
  const std::int64_t n1 = parts.NextNumber();
  const std::int64_t n2 = parts.NextNumber();
  const bool ignoreCase = parts.NextFlag();

  FUZZ_CHECK(TextLength(a) == static_cast<std::int64_t>(a.size()));
  CheckSlices(a, n1, n2);
  CheckSearch(a, b, c, n1, ignoreCase);
  CheckPaths(a);
  CheckCase(a);
  return 0;
}
