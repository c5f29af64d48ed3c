// Process services on POSIX: the composed command line, the instance lock, the end.
#include "platform/process.h"

#include <errno.h>
#include <locale.h>
#include <malloc.h>
#include <signal.h>
#include <stddef.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <vector>

#include "platform/posix/native_text.h"
#include "platform/posix/process_internal.h"

namespace platform {
namespace {

std::vector<std::string>& StoredArguments() {
  static std::vector<std::string> arguments;
  return arguments;
}

}  // namespace

namespace posix {

std::u16string ComposeCommandLine(const std::vector<std::string>& argv) {
  std::u16string line;
  for (std::size_t i = 0; i < argv.size(); ++i) {
    if (i > 0) line += u' ';
    const std::u16string text = TextFromUtf8(argv[i]);
    const bool quote = text.empty() || text.find(u' ') != std::u16string::npos;
    if (quote) line += u'"';
    line += text;
    if (quote) line += u'"';
  }
  return line;
}

}  // namespace posix

void StartProcess(int argc, char** argv) {
  StoredArguments().assign(argv, argv + argc);
  // libarchive marks zip entry names as UTF-8 only when the codeset is UTF-8.
  if (setlocale(LC_CTYPE, "C.UTF-8") == nullptr) setlocale(LC_CTYPE, "C.utf8");
  // A write to a closed pipe or past the file-size limit must fail, not kill.
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
#ifdef __GLIBC__
  // Every archive entry allocates a read buffer and zlib state and frees them
  // again; with glibc's default thresholds that memory goes back to the system
  // and is faulted in anew for each file. Keep it in the heap instead.
  mallopt(M_MMAP_THRESHOLD, 8 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
#endif
}

std::u16string RawCommandLine() { return posix::ComposeCommandLine(StoredArguments()); }

// The lock is a unix socket bound to a name in Linux's abstract namespace:
// binding is atomic, so of two instances started together exactly one gets
// the name, and the kernel drops it with the last descriptor whenever the
// process ends, so no stale lock survives a crash or kill -9. The user id in
// the name makes it per user. Handles are descriptors plus one, so that a
// descriptor 0 still gives a non-zero handle.
std::intptr_t CreateNamedLock(const std::u16string& name, bool& alreadyExists) {
  alreadyExists = false;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;

  const std::string suffix = " (uid " + std::to_string(getuid()) + ")";
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string lockName = posix::DisplayUtf8(name);
  const std::size_t room = sizeof(address.sun_path) - 1 - suffix.size();
  if (lockName.size() > room) lockName.resize(room);
  lockName += suffix;
  address.sun_path[0] = '\0';  // abstract: no file in the file system
  lockName.copy(address.sun_path + 1, lockName.size());
  const socklen_t length =
      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + lockName.size());

  if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) return fd + 1;
  if (errno == EADDRINUSE) {
    alreadyExists = true;
    return fd + 1;
  }
  close(fd);
  return 0;
}

void CloseNamedLock(std::intptr_t handle) {
  if (handle > 0) close(static_cast<int>(handle - 1));
}

void ExitProcess(int exitCode) {
  fflush(stdout);
  _exit(exitCode);
}

}  // namespace platform
