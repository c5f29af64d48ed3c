// Fuzz target: the command-line splitter, the argument cursor and the switch
// reader, on arbitrary raw command lines.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "run/command_line.h"
#include "run/path_helpers.h"
#include "run/run_driver.h"

namespace {

// The tokens of a line without double quotes: the runs between spaces.
std::vector<Text> SplitAtSpaces(const Text& raw) {
  std::vector<Text> tokens;
  Text current;
  for (char16_t c : raw) {
    if (c != u' ') {
      current += c;
    } else if (!current.empty()) {
      tokens.push_back(current);
      current.clear();
    }
  }
  if (!current.empty()) tokens.push_back(current);
  return tokens;
}

void CheckSplit(const Text& raw, const std::vector<Text>& tokens) {
  std::size_t total = 0;
  for (const Text& token : tokens) {
    total += token.size();
    // A quoted token holds no quote and an unquoted one no space.
    FUZZ_CHECK(token.find(u'"') == Text::npos || token.find(u' ') == Text::npos);
    // A space inside a token only ever comes from a quoted group.
    if (token.find(u' ') != Text::npos) FUZZ_CHECK(raw.find(u'"' + token) != Text::npos);
  }
  FUZZ_CHECK(total <= raw.size());

  // The tokens appear in the line in their order.
  std::size_t at = 0;
  for (const Text& token : tokens) {
    at = raw.find(token, at);
    FUZZ_CHECK(at != Text::npos);
    at += token.size();
  }

  if (raw.find(u'"') == Text::npos) FUZZ_CHECK(tokens == SplitAtSpaces(raw));

  // Quoting every token gives a line that splits into the same tokens, as long
  // as none holds a quote (which no quoting could carry).
  bool anyQuote = false;
  Text quoted = u"prog";
  for (const Text& token : tokens) {
    anyQuote = anyQuote || token.find(u'"') != Text::npos;
    quoted += u" \"" + token + u"\"";
  }
  if (!anyQuote) {
    auto again = SplitCommandLine(quoted);
    FUZZ_CHECK(!again.empty() && again.front() == u"prog");
    again.erase(again.begin());
    FUZZ_CHECK(again == tokens);
  }
}

// The switch grammar read straight off the argument list, without the cursor.
RunSettings ModelSwitches(const std::vector<Text>& arguments) {
  RunSettings s;
  const std::size_t n = arguments.size();
  for (std::size_t i = 0; i < n; ++i) {
    const Text argument = ToLowerText(arguments[i]);
    const Text value = i + 1 < n ? arguments[i + 1] : Text();
    if (argument == u"/p") {
      s.projectPath = value;
      ++i;
    } else if (argument == u"/f") {
      s.filePath = value;
      ++i;
    } else if (argument == u"/w") {
      s.defaultLabel = value;
      ++i;
    } else if (argument == u"/all") {
      s.extensionFilter.clear();
      s.modeTag = u" [A]";
    } else if (argument == u"/silent") {
      s.silent = true;
    }
  }
  return s;
}

void CheckCursor(const std::vector<Text>& arguments, std::int64_t pick) {
  const int count = static_cast<int>(arguments.size());
  FUZZ_CHECK(ArgumentCount() == count);
  const int index = static_cast<int>(pick % (count + 3)) - 1;  // -1 .. count + 1
  const auto at = [&](int k) { return k >= 0 && k < count ? arguments[k] : Text(); };
  if (index < 0) {
    // A negative index reads at the cursor, which starts at 0.
    FUZZ_CHECK(ArgumentAt(index) == at(0));
    FUZZ_CHECK(NextArgument() == at(1));
    return;
  }
  FUZZ_CHECK(ArgumentAt(index) == at(index));
  FUZZ_CHECK(NextArgument() == at(index + 1));
  // Past the end the cursor stays where it is and every call gives nothing.
  if (index + 1 >= count) FUZZ_CHECK(NextArgument().empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first byte picks the cursor test; the rest is the raw line.
  const std::int64_t pick = size > 0 ? data[0] : 0;
  const Text raw = size > 0 ? fuzz::TextFromBytes(data + 1, size - 1) : Text();
  const std::vector<Text> tokens = SplitCommandLine(raw);
  CheckSplit(raw, tokens);

  // The switch reader splits the line afresh for every argument it reads,
  // which is quadratic; longer lines say nothing more about it.
  if (raw.size() > 1024) return 0;
  std::vector<Text> arguments(tokens.size() > 0 ? tokens.begin() + 1 : tokens.end(), tokens.end());

  UseCommandLineForTesting(raw);
  RunSettings read;
  ReadSwitches(read);
  const RunSettings expected = ModelSwitches(arguments);
  FUZZ_CHECK(read.projectPath == expected.projectPath);
  FUZZ_CHECK(read.filePath == expected.filePath);
  FUZZ_CHECK(read.defaultLabel == expected.defaultLabel);
  FUZZ_CHECK(read.extensionFilter == expected.extensionFilter);
  FUZZ_CHECK(read.modeTag == expected.modeTag);
  FUZZ_CHECK(read.silent == expected.silent);

  UseCommandLineForTesting(raw);
  CheckCursor(arguments, pick);
  return 0;
}
