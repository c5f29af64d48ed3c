// The label prompt on a terminal, edited with libedit loaded at run time.
#include "platform/posix/terminal_prompt.h"

#include <dlfcn.h>
#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "platform/posix/native_text.h"

namespace platform::posix {
namespace {

// The parts of libedit's readline interface that the prompt uses. Loaded
// rather than linked, like GTK, so that a silent run never pays for it.
struct Editline {
  char* (*readline)(const char*);
  int (*rl_initialize)();
  int (*rl_add_defun)(const char*, int (*)(int, int), int);
  int (**rl_getc_function)(FILE*);
  const char** rl_readline_name;
};

constexpr int kEndOfInput = -1;
constexpr char32_t kEscape = 0x1B;
constexpr char32_t kQuotedInsert = 0x16;  // Ctrl+V: the next key is taken as it is
constexpr char32_t kReplacement = 0xFFFD;
// Keys such as the arrows send Escape with more bytes right behind it; an
// Escape that nothing follows within this time is the Escape key itself.
constexpr int kEscapeSequenceWaitMs = 50;

// What the editor reads: first the default text, as though typed, then the
// terminal. One prompt at a time.
struct Input {
  std::u32string typedAhead;
  std::size_t next = 0;
  int endOfFileKey = -1;
  bool cancelled = false;
};
Input input;

int ReadByte(int fd) {
  unsigned char byte = 0;
  while (true) {
    const ssize_t n = read(fd, &byte, 1);
    if (n == 1) return byte;
    if (n < 0 && errno == EINTR) continue;
    return kEndOfInput;
  }
}

bool MoreWithin(int fd, int milliseconds) {
  pollfd wait{fd, POLLIN, 0};
  int ready;
  do {
    ready = poll(&wait, 1, milliseconds);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

// One character for the editor, as a code point: the editor's own reader
// would read the same, but could not tell the Escape key from the start of
// an arrow key's sequence.
int NextCharacter(FILE* stream) {
  if (input.next < input.typedAhead.size()) return static_cast<int>(input.typedAhead[input.next++]);
  const int fd = fileno(stream);
  const int first = ReadByte(fd);
  if (first == kEndOfInput || first == input.endOfFileKey) return kEndOfInput;
  if (first == static_cast<int>(kEscape)) {
    if (MoreWithin(fd, kEscapeSequenceWaitMs)) return first;
    input.cancelled = true;
    return kEndOfInput;
  }
  if (first < 0x80) return first;
  // UTF-8: the lead byte tells how many continuation bytes follow.
  const int extra = first >= 0xF0 ? 3 : first >= 0xE0 ? 2 : first >= 0xC0 ? 1 : 0;
  if (extra == 0 || first >= 0xF8) return static_cast<int>(kReplacement);
  char32_t code = static_cast<char32_t>(first) & (0x3Fu >> extra);
  for (int i = 0; i < extra; ++i) {
    const int byte = ReadByte(fd);
    if (byte == kEndOfInput) return kEndOfInput;
    if ((byte & 0xC0) != 0x80) return static_cast<int>(kReplacement);
    code = (code << 6) | (static_cast<char32_t>(byte) & 0x3F);
  }
  return static_cast<int>(code);
}

// Tab would start file-name completion; a label has no use for it.
int IgnoreKey(int, int) { return 0; }

std::u32string CodePoints(const std::string& utf8) {
  std::u32string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t code = lead & (0x7Fu >> extra);
    for (int k = 1; k <= extra && i + k < utf8.size(); ++k)
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
    out += code;
    i += 1 + extra;
  }
  return out;
}

const Editline* LoadEditline() {
  static Editline editline;
  static const Editline* const loaded = []() -> const Editline* {
    // Never closed: the editor keeps its state between prompts.
    void* library = dlopen("libedit.so.2", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    editline.readline = reinterpret_cast<decltype(editline.readline)>(dlsym(library, "readline"));
    editline.rl_initialize =
        reinterpret_cast<decltype(editline.rl_initialize)>(dlsym(library, "rl_initialize"));
    editline.rl_add_defun =
        reinterpret_cast<decltype(editline.rl_add_defun)>(dlsym(library, "rl_add_defun"));
    editline.rl_getc_function =
        reinterpret_cast<decltype(editline.rl_getc_function)>(dlsym(library, "rl_getc_function"));
    editline.rl_readline_name =
        reinterpret_cast<decltype(editline.rl_readline_name)>(dlsym(library, "rl_readline_name"));
    if (editline.readline == nullptr || editline.rl_initialize == nullptr ||
        editline.rl_add_defun == nullptr || editline.rl_getc_function == nullptr ||
        editline.rl_readline_name == nullptr)
      return nullptr;
    // The name lets a user's ~/.editrc hold settings for this program alone.
    *editline.rl_readline_name = "quillfort";
    // Taken up by the editor when it starts, so it is set first.
    *editline.rl_getc_function = NextCharacter;
    if (editline.rl_initialize() != 0) return nullptr;
    editline.rl_add_defun("quillfort-ignore", IgnoreKey, '\t');
    return &editline;
  }();
  return loaded;
}

void WriteOut(const std::string& text) {
  fflush(stdout);
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(STDOUT_FILENO, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

bool AskOnTerminal(const std::u16string& title, const std::u16string& prompt,
                   const std::u16string& defaultText, std::u16string& result) {
  result.clear();
  const Editline* editline = LoadEditline();
  if (editline == nullptr) return false;

  input = Input();
  struct termios mode {};
  if (tcgetattr(STDIN_FILENO, &mode) == 0 && mode.c_cc[VEOF] != _POSIX_VDISABLE)
    input.endOfFileKey = mode.c_cc[VEOF];
  // The editor resets its line when it starts, so the default is typed in;
  // a control character in it is quoted so that it is inserted, not obeyed.
  for (char32_t c : CodePoints(DisplayUtf8(defaultText))) {
    if (c < 0x20 || c == 0x7F) input.typedAhead += kQuotedInsert;
    input.typedAhead += c;
  }

  WriteOut(DisplayUtf8(title) + "\n");
  char* line = editline->readline(DisplayUtf8(prompt).c_str());
  if (line == nullptr || input.cancelled) {
    free(line);
    // The editor leaves the cursor on the abandoned line.
    WriteOut("\n");
    return false;
  }
  result = TextFromUtf8(line);
  free(line);
  return true;
}

}  // namespace platform::posix
