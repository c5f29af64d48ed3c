// The error report: a few coloured lines in a console, then a wait for Enter.
#pragma once

#include <string>

using Text = std::u16string;

extern const Text kReportTitle;
extern const Text kWebAddressLine;

/// Shows the report, waits for one line of input and ends the run with exit
/// code 0. An empty subject shows the message alone.
[[noreturn]] void ReportErrorAndExit(const Text& subject, const Text& message);

void OpenReportConsole(const Text& title);
/// Sets the colours for what is written from now on; values of 16 or more
/// change nothing.
void SetReportColours(unsigned foreground, unsigned background);
/// Writes the text and CR LF.
void PrintReportLine(const Text& text);
/// Reads one line of input without its line end.
Text ReadReportLine();
/// Runs the shutdown on the close event; never handles an event itself.
bool ReportConsoleControlHandler(int event);
