// Pieces of the POSIX console that are pure, shown for tests.
#pragma once

#include <string>

namespace platform::posix {

/// The terminal escape sequence for a console attribute (foreground + 16 *
/// background, with the bits 1 blue, 2 green, 4 red, 8 intensity).
std::string AnsiColourSequence(unsigned attribute);

}  // namespace platform::posix
