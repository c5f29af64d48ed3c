// The report console as a window of its own, for runs without any terminal.
//
// Started from a desktop launcher or an IDE's tools menu, the program has no
// terminal to print its report on; this window stands in for the console
// that such a run gets elsewhere: black, monospace, coloured lines, one line
// of input with echo.
#pragma once

#include <string>

namespace platform::posix {

/// Opens the report window when no standard stream is a terminal, standard
/// output is neither a regular file nor a pipe, and GTK reaches a display.
/// `onClose` runs when the user closes the window. False (and nothing
/// opened) otherwise.
bool OpenReportWindowIfNoTerminal(void (*onClose)());

/// True once the window is open; the console then writes and reads there.
bool ReportWindowIsOpen();

void SetReportWindowTitle(const std::u16string& title);

/// The colours (foreground + 16 * background) of what is written and echoed next.
void SetReportWindowAttribute(unsigned attribute);

/// Appends text; CR LF and LF end a line.
void WriteReportWindow(const std::u16string& text);

/// Waits for the user to type a line and press Enter; the line without its end.
std::u16string ReadReportWindowLine();

}  // namespace platform::posix
