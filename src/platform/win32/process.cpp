// Process services on Windows: the system's command line, the named mutex, the end.
#include "platform/process.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>

#include "platform/win32/wide_text.h"

namespace platform {

void StartProcess(int /*argc*/, char** /*argv*/) {
  // A drive without a medium (an empty card reader, say) must answer a lookup
  // with an error instead of a system dialog that waits for the user.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
}

std::u16string RawCommandLine() { return win32::FromWide(GetCommandLineW()); }

// The mutex lives in the session's namespace and goes with the last handle,
// however the process ends, so no stale lock survives a crash.
std::intptr_t CreateNamedLock(const std::u16string& name, bool& alreadyExists) {
  alreadyExists = false;
  HANDLE mutex = CreateMutexW(nullptr, TRUE, win32::Wide(name));
  if (mutex == nullptr) return 0;
  alreadyExists = GetLastError() == ERROR_ALREADY_EXISTS;
  return reinterpret_cast<std::intptr_t>(mutex);
}

void CloseNamedLock(std::intptr_t handle) {
  if (handle != 0) CloseHandle(reinterpret_cast<HANDLE>(handle));
}

void ExitProcess(int exitCode) {
  // The system's exit does not flush the C library's buffers.
  std::fflush(stdout);
  ::ExitProcess(static_cast<UINT>(exitCode));
}

}  // namespace platform
