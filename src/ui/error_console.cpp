// The error report: a few coloured lines in a console, then a wait for Enter.
#include "ui/error_console.h"

#include <mutex>

#include "platform/console.h"
#include "run/run_driver.h"

const Text kReportTitle = u"Quillfort by Tamsel Ardy";
const Text kWebAddressLine = u"@ https://quillfort.example/";

namespace {

constexpr unsigned kDarkGrey = 8;
constexpr unsigned kLightGrey = 7;
constexpr unsigned kBrightRed = 12;
constexpr unsigned kYellow = 14;
constexpr unsigned kBlack = 0;

// What a non-console read found after a line end, for the next read.
std::mutex pendingLock;
std::string pendingBytes;

// Decodes UTF-16LE bytes; an odd last byte is dropped.
Text FromUtf16Le(const std::string& bytes) {
  Text text;
  text.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                  (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return text;
}

}  // namespace

void OpenReportConsole(const Text& title) {
  platform::OpenConsole();
  platform::SetConsoleHandler(ReportConsoleControlHandler);
  if (!title.empty()) platform::SetConsoleTitleText(title);
}

void SetReportColours(unsigned foreground, unsigned background) {
  if (foreground >= 16 || background >= 16) return;
  platform::SetConsoleAttribute(foreground + 16 * background);
}

void PrintReportLine(const Text& text) {
  const Text line = text + u"\r\n";
  if (!platform::WriteConsoleText(line)) {
    // Not a console: the same characters as UTF-16LE, without a byte-order mark.
    std::string bytes;
    bytes.reserve(line.size() * 2);
    for (char16_t c : line) {
      bytes += static_cast<char>(c & 0xFF);
      bytes += static_cast<char>(c >> 8);
    }
    platform::WriteStandardOutput(bytes.data(), bytes.size());
  }
  platform::FlushStandardOutput();
}

Text ReadReportLine() {
  Text line;
  if (platform::ReadConsoleLine(line)) return line;

  // A stream of UTF-16LE text; what follows the line end is kept for later.
  std::lock_guard<std::mutex> guard(pendingLock);
  std::string bytes = pendingBytes;
  pendingBytes.clear();
  for (;;) {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      const unsigned unit = static_cast<unsigned char>(bytes[i]) |
                            (static_cast<unsigned char>(bytes[i + 1]) << 8);
      if (unit != u'\r' && unit != u'\n') continue;
      size_t next = i + 2;
      if (unit == u'\r') {
        if (next + 1 >= bytes.size()) {
          // A CR at the end of what came so far: its LF may still follow.
          char more[2];
          size_t got = 0;
          if (platform::ReadStandardInput(more, sizeof more, got) == platform::StreamRead::Data)
            bytes.append(more, got);
        }
        if (next + 1 < bytes.size() && bytes[next] == '\n' && bytes[next + 1] == 0) next += 2;
      }
      pendingBytes = bytes.substr(next);
      return FromUtf16Le(bytes.substr(0, i));
    }
    char chunk[4096];
    size_t got = 0;
    if (platform::ReadStandardInput(chunk, sizeof chunk, got) != platform::StreamRead::Data)
      return FromUtf16Le(bytes);
    bytes.append(chunk, got);
  }
}

bool ReportConsoleControlHandler(int event) {
  if (event == platform::kConsoleClose) ShutDownServices();
  return false;
}

void ReportErrorAndExit(const Text& subjectIn, const Text& messageIn) {
  const Text subject = subjectIn;
  const Text message = messageIn;

  OpenReportConsole(kReportTitle);
  SetReportColours(kDarkGrey, kBlack);
  PrintReportLine(kWebAddressLine);
  PrintReportLine(Text());
  if (subject.empty()) {
    SetReportColours(kYellow, kBlack);
    PrintReportLine(message);
  } else {
    SetReportColours(kLightGrey, kBlack);
    PrintReportLine(u"\"" + subject + u"\"");
    SetReportColours(kBrightRed, kBlack);
    PrintReportLine(u" >> " + message);
  }
  ReadReportLine();
  EndRun();
}
