// The report console on Windows: a console window of the process's own, or redirected streams.
#include "platform/console.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

#include "platform/win32/wide_text.h"

namespace platform {
namespace {

std::atomic<ConsoleHandler> g_handler{nullptr};
std::atomic<bool> g_thunkInstalled{false};

// The system calls this on a thread of its own for each control event.
BOOL WINAPI ControlThunk(DWORD event) {
  const ConsoleHandler handler = g_handler.load();
  return handler != nullptr && handler(static_cast<int>(event)) ? TRUE : FALSE;
}

// A file, a pipe or a device such as NUL that whoever started the process
// put in place of a console.
bool IsRedirected(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  switch (GetFileType(handle)) {
    case FILE_TYPE_DISK:
    case FILE_TYPE_PIPE:
      return true;
    case FILE_TYPE_CHAR:
      // A console answers for its mode; other character devices do not.
      return !GetConsoleMode(handle, &mode);
    default:
      return false;
  }
}

HANDLE StandardOutput() { return GetStdHandle(STD_OUTPUT_HANDLE); }
HANDLE StandardInput() { return GetStdHandle(STD_INPUT_HANDLE); }

// The largest count that one DWORD-sized call takes.
DWORD Chunk(std::size_t count) {
  return static_cast<DWORD>(std::min<std::size_t>(count, 0x7FFFFFFF));
}

}  // namespace

void OpenConsole() {
  // Some systems point every standard handle at the new console, even one
  // that was redirected; what was redirected before is put back afterwards,
  // so that a caller reading a pipe still gets the report.
  const HANDLE input = StandardInput();
  const HANDLE output = StandardOutput();
  const bool keepInput = IsRedirected(input);
  const bool keepOutput = IsRedirected(output);
  // Fails when the process already has a console; that one serves.
  AllocConsole();
  if (keepInput) SetStdHandle(STD_INPUT_HANDLE, input);
  if (keepOutput) SetStdHandle(STD_OUTPUT_HANDLE, output);
}

void SetConsoleHandler(ConsoleHandler handler) {
  g_handler.store(handler);
  if (g_thunkInstalled.exchange(true)) return;
  if (!SetConsoleCtrlHandler(ControlThunk, TRUE)) g_thunkInstalled.store(false);
}

void SetConsoleTitleText(const std::u16string& title) { SetConsoleTitleW(win32::Wide(title)); }

void SetConsoleAttribute(unsigned attribute) {
  // Fails harmlessly when standard output is not a console.
  SetConsoleTextAttribute(StandardOutput(), static_cast<WORD>(attribute));
}

bool WriteConsoleText(const std::u16string& text) {
  const HANDLE output = StandardOutput();
  const wchar_t* next = win32::Wide(text);
  std::size_t left = text.size();
  do {
    DWORD written = 0;
    if (!WriteConsoleW(output, next, Chunk(left), &written, nullptr)) return false;
    if (written == 0 && left > 0) return false;
    next += written;
    left -= written;
  } while (left > 0);
  return true;
}

bool WriteStandardOutput(const void* data, std::size_t count) {
  const HANDLE output = StandardOutput();
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return false;
  const auto* next = static_cast<const char*>(data);
  while (count > 0) {
    DWORD written = 0;
    if (!WriteFile(output, next, Chunk(count), &written, nullptr) || written == 0) return false;
    next += written;
    count -= written;
  }
  return true;
}

void FlushStandardOutput() { FlushFileBuffers(StandardOutput()); }

bool ReadConsoleLine(std::u16string& line) {
  const HANDLE input = StandardInput();
  // Processed input, line input and echo: the console edits and echoes the
  // line, and Ctrl+C arrives as a control event rather than as a character.
  SetConsoleMode(input, ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT);
  constexpr DWORD kCapacity = 4096;
  wchar_t buffer[kCapacity];
  DWORD got = 0;
  if (!ReadConsoleW(input, buffer, kCapacity, &got, nullptr)) return false;
  got = std::min(got, kCapacity);
  if (got >= 2 && buffer[got - 2] == L'\r') got -= 2;
  line = win32::FromWide(buffer, got);
  return true;
}

StreamRead ReadStandardInput(void* buffer, std::size_t count, std::size_t& got) {
  got = 0;
  DWORD read = 0;
  if (!ReadFile(StandardInput(), buffer, Chunk(count), &read, nullptr)) {
    return GetLastError() == ERROR_BROKEN_PIPE ? StreamRead::End : StreamRead::Failed;
  }
  if (read == 0) return StreamRead::End;
  got = read;
  return StreamRead::Data;
}

}  // namespace platform
