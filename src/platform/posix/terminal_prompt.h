// The text dialog's stand-in on a terminal, for sessions without a display.
#pragma once

#include <string>

namespace platform::posix {

/// Asks on the terminal of standard input and output: the title on a line of
/// its own, then the prompt with `defaultText` already typed in and editable.
/// True with the line on Enter; false on Escape, at the end of input, or when
/// the line editor (libedit) cannot be loaded.
bool AskOnTerminal(const std::u16string& title, const std::u16string& prompt,
                   const std::u16string& defaultText, std::u16string& result);

}  // namespace platform::posix
