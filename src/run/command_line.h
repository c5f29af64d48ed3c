// Splitting the raw command line into arguments by the program's own rules:
// only the space separates, only the double quote groups, and the backslash
// is an ordinary character.
#pragma once

#include <string>
#include <vector>

using Text = std::u16string;

/// Every token of a raw command line, the program path included.
std::vector<Text> SplitCommandLine(const Text& raw);

/// The number of arguments after the program path.
int ArgumentCount();
/// The argument at `index`; moves the cursor behind it (see inside for the
/// edges).
Text ArgumentAt(int index);
/// The argument at the cursor, which then advances; empty past the end.
Text NextArgument();

/// Makes the three operations read `raw` instead of the process's own line,
/// and resets the cursor. For tests.
void UseCommandLineForTesting(const Text& raw);
