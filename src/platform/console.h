// The report console: coloured lines out, one line in, control events.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

enum ConsoleEvent { kCtrlC = 0, kCtrlBreak = 1, kConsoleClose = 2, kLogOff = 5, kShutDown = 6 };

/// Called on its own thread for a control event; the system's default
/// handling (ending the process) follows when it returns false.
using ConsoleHandler = bool (*)(int event);

/// Attaches the process to a console that can show the report (a new one
/// where the process has none). Failure is harmless and not reported.
void OpenConsole();

/// Installs the control-event handler.
void SetConsoleHandler(ConsoleHandler handler);

/// Sets the console window's title.
void SetConsoleTitleText(const std::u16string& title);

/// Sets the text attribute (foreground + 16 * background) for what follows.
void SetConsoleAttribute(unsigned attribute);

/// Writes text to the console; false when standard output is not one.
bool WriteConsoleText(const std::u16string& text);

/// Writes raw bytes to standard output; false on failure.
bool WriteStandardOutput(const void* data, std::size_t count);

/// Flushes standard output.
void FlushStandardOutput();

/// Reads one line typed at the console, with echo and line editing, without
/// its line end. False when standard input is not a console.
bool ReadConsoleLine(std::u16string& line);

enum class StreamRead { Data, End, Failed };

/// Reads raw bytes from standard input. End for end of input (a closed pipe
/// included); `got` holds the count.
StreamRead ReadStandardInput(void* buffer, std::size_t count, std::size_t& got);

}  // namespace platform
