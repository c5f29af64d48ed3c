// Splitting the raw command line into arguments by the program's own rules.
#include "run/command_line.h"

#include <optional>

#include "platform/process.h"

namespace {

int argumentCursor = 0;
std::optional<Text> testCommandLine;

// The line is read afresh on every call, as callers expect nothing cached.
std::vector<Text> Arguments() {
  auto tokens = SplitCommandLine(testCommandLine ? *testCommandLine : platform::RawCommandLine());
  if (!tokens.empty()) tokens.erase(tokens.begin());  // the program path
  return tokens;
}

}  // namespace

std::vector<Text> SplitCommandLine(const Text& raw) {
  std::vector<Text> tokens;
  size_t i = 0;
  const size_t n = raw.size();
  while (i < n) {
    if (raw[i] == u' ') {
      while (i < n && raw[i] == u' ') ++i;
      continue;
    }
    if (raw[i] == u'"') {
      size_t close = raw.find(u'"', i + 1);
      if (close == Text::npos) {
        tokens.push_back(raw.substr(i + 1));
        break;
      }
      tokens.push_back(raw.substr(i + 1, close - i - 1));
      i = close + 1;  // resumes right after the quote, space or not
      continue;
    }
    size_t space = raw.find(u' ', i);
    if (space == Text::npos) space = n;
    tokens.push_back(raw.substr(i, space - i));
    i = space;
  }
  return tokens;
}

int ArgumentCount() { return static_cast<int>(Arguments().size()); }

Text ArgumentAt(int index) {
  if (index < 0) return NextArgument();
  auto arguments = Arguments();
  if (index >= static_cast<int>(arguments.size())) {
    argumentCursor = index;
    return Text();
  }
  argumentCursor = index + 1;
  return arguments[static_cast<size_t>(index)];
}

Text NextArgument() {
  auto arguments = Arguments();
  if (argumentCursor < 0 || argumentCursor >= static_cast<int>(arguments.size())) return Text();
  return arguments[static_cast<size_t>(argumentCursor++)];
}

void UseCommandLineForTesting(const Text& raw) {
  testCommandLine = raw;
  argumentCursor = 0;
}
