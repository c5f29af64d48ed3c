// Process services: the raw command line, the single-instance lock, the end.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

/// Prepares the process: text conversion, memory settings and signal
/// dispositions. Called once by the program's entry before anything else.
void StartProcess(int argc, char** argv);

/// The raw command line: the program path, then each argument after one
/// space; an argument that is empty or holds a space stands between double
/// quotes. Arguments are not otherwise escaped.
std::u16string RawCommandLine();

/// Creates the per-user lock object of that name and takes it. Returns a
/// handle (non-zero) or 0 when the object cannot be made; `alreadyExists`
/// says that another process holds it (the handle is then still returned
/// and must be closed by the caller). A held lock lasts until the process
/// ends, however it ends.
std::intptr_t CreateNamedLock(const std::u16string& name, bool& alreadyExists);

/// Closes a handle from CreateNamedLock.
void CloseNamedLock(std::intptr_t handle);

/// Ends the process at once with this exit code.
[[noreturn]] void ExitProcess(int exitCode);

}  // namespace platform
