// The report console on POSIX: a terminal with ANSI colours, plain streams, or a window.
#include "platform/console.h"

#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>

#include "platform/posix/console_internal.h"
#include "platform/posix/native_text.h"
#include "platform/posix/report_window.h"

namespace platform {
namespace {

std::atomic<ConsoleHandler> g_handler{nullptr};
std::atomic<bool> g_handlerThreadStarted{false};

bool OutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }
bool InputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool WriteAll(int fd, const char* bytes, std::size_t count) {
  // Anything printed through stdio must come out before what follows.
  fflush(stdout);
  while (count > 0) {
    const ssize_t n = write(fd, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteAll(int fd, const std::string& text) { return WriteAll(fd, text.data(), text.size()); }

void HandledSignals(sigset_t& set) {
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGQUIT);
  sigaddset(&set, SIGHUP);
  sigaddset(&set, SIGTERM);
}

int EventOfSignal(int signal) {
  switch (signal) {
    case SIGINT: return kCtrlC;
    case SIGQUIT: return kCtrlBreak;
    case SIGHUP: return kConsoleClose;
    default: return kShutDown;
  }
}

// Ends the process by `signal`, as its default action would.
void EndBySignal(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, signal);
  pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  raise(signal);
  // Only reached if the signal did not end the process.
  pthread_sigmask(SIG_BLOCK, &one, nullptr);
}

// Signals reach this thread only (every other thread blocks them), so the
// handler runs as ordinary code, the way the console's handler thread runs it
// on Windows. An event that the handler leaves unhandled ends the process by
// its own signal, as the default action would have.
void* SignalThread(void*) {
  sigset_t set;
  HandledSignals(set);
  while (true) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0) continue;
    const ConsoleHandler handler = g_handler.load();
    if (handler != nullptr && handler(EventOfSignal(signal))) continue;
    EndBySignal(signal);
  }
  return nullptr;
}

// Closing the report window is the console's close event, as hanging up is
// for a terminal; the process ends after it whatever the handler answers.
void OnReportWindowClosed() {
  const ConsoleHandler handler = g_handler.load();
  if (handler != nullptr) handler(kConsoleClose);
  EndBySignal(SIGHUP);
  _exit(128 + SIGHUP);
}

}  // namespace

namespace posix {

std::string AnsiColourSequence(unsigned attribute) {
  // The console's bits are 1 blue, 2 green, 4 red; ANSI counts 1 red, 2 green, 4 blue.
  const auto ansi = [](unsigned colour) {
    return ((colour & 4) ? 1u : 0u) | (colour & 2) | ((colour & 1) ? 4u : 0u);
  };
  const unsigned foreground = attribute & 15;
  const unsigned background = (attribute >> 4) & 15;
  const unsigned fgCode = ((foreground & 8) ? 90 : 30) + ansi(foreground);
  const unsigned bgCode = ((background & 8) ? 100 : 40) + ansi(background);
  return "\x1b[" + std::to_string(fgCode) + ";" + std::to_string(bgCode) + "m";
}

}  // namespace posix

void OpenConsole() {
  // A terminal, if there is one, is already the process's own; nothing to
  // attach. Without any terminal the report gets a window of its own.
  posix::OpenReportWindowIfNoTerminal(OnReportWindowClosed);
}

void SetConsoleHandler(ConsoleHandler handler) {
  g_handler.store(handler);
  if (g_handlerThreadStarted.exchange(true)) return;
  sigset_t set;
  HandledSignals(set);
  // Blocked before the thread starts, so that it inherits the mask too and
  // sigwait is the only taker of these signals.
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  pthread_t thread;
  if (pthread_create(&thread, nullptr, SignalThread, nullptr) == 0) {
    pthread_detach(thread);
  } else {
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    g_handlerThreadStarted.store(false);
  }
}

void SetConsoleTitleText(const std::u16string& title) {
  if (posix::ReportWindowIsOpen()) return posix::SetReportWindowTitle(title);
  if (!OutputIsTerminal()) return;
  std::string text = posix::DisplayUtf8(title);
  // Control characters would end the sequence early or start another.
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  WriteAll(STDOUT_FILENO, "\x1b]0;" + text + "\x07");
}

void SetConsoleAttribute(unsigned attribute) {
  if (posix::ReportWindowIsOpen()) return posix::SetReportWindowAttribute(attribute);
  if (!OutputIsTerminal()) return;
  WriteAll(STDOUT_FILENO, posix::AnsiColourSequence(attribute));
}

bool WriteConsoleText(const std::u16string& text) {
  if (posix::ReportWindowIsOpen()) {
    posix::WriteReportWindow(text);
    return true;
  }
  if (!OutputIsTerminal()) return false;
  return WriteAll(STDOUT_FILENO, posix::DisplayUtf8(text));
}

bool WriteStandardOutput(const void* data, std::size_t count) {
  return WriteAll(STDOUT_FILENO, static_cast<const char*>(data), count);
}

void FlushStandardOutput() {
  // Our writes go straight to the descriptor; only stdio may hold bytes.
  fflush(stdout);
}

bool ReadConsoleLine(std::u16string& line) {
  line.clear();
  if (posix::ReportWindowIsOpen()) {
    line = posix::ReadReportWindowLine();
    return true;
  }
  if (!InputIsTerminal()) return false;
  struct termios saved {};
  const bool haveMode = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (haveMode) {
    struct termios lineMode = saved;
    lineMode.c_lflag |= ICANON | ECHO | ECHOE | ECHOK | ISIG;
    lineMode.c_iflag |= ICRNL;
    tcsetattr(STDIN_FILENO, TCSANOW, &lineMode);
  }
  // In line mode one read returns one whole line (or what stood before an
  // end-of-file key); 0 bytes or an error means the terminal is gone.
  std::string bytes;
  char buffer[4096];
  ssize_t n;
  do {
    n = read(STDIN_FILENO, buffer, sizeof buffer);
  } while (n < 0 && errno == EINTR);
  if (n > 0) bytes.assign(buffer, static_cast<std::size_t>(n));
  if (haveMode) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  const std::size_t end = bytes.find('\n');
  if (end != std::string::npos) bytes.resize(end);
  if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
  line = posix::TextFromUtf8(bytes);
  return true;
}

StreamRead ReadStandardInput(void* buffer, std::size_t count, std::size_t& got) {
  got = 0;
  while (true) {
    const ssize_t n = read(STDIN_FILENO, buffer, count);
    if (n < 0 && errno == EINTR) continue;
    if (n > 0) {
      got = static_cast<std::size_t>(n);
      return StreamRead::Data;
    }
    if (n == 0 || errno == EPIPE) return StreamRead::End;
    return StreamRead::Failed;
  }
}

}  // namespace platform
