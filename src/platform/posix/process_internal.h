// Pieces of the POSIX process services that are pure, shown for tests.
#pragma once

#include <string>
#include <vector>

namespace platform::posix {

/// The raw command line composed from an argument vector (program path
/// first): each argument after one space, an empty one or one holding a
/// space between double quotes, nothing escaped.
std::u16string ComposeCommandLine(const std::vector<std::string>& argv);

}  // namespace platform::posix
