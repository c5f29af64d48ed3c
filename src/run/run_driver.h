// One backup run from start to end, and the orderly end of the process.
#pragma once

#include <string>

using Text = std::u16string;

extern const Text kInstanceName;

struct RunSettings {
  Text projectPath;
  Text filePath;
  Text defaultLabel;
  Text extensionFilter = u"pb|pbi|pbp|txt";
  Text modeTag;
  bool silent = false;
};

struct RunState {
  Text sourcePath;
  Text backupFolder;
  Text stampText;
  Text label;
  Text archiveName;
};

/// True when another instance holds the single-instance lock.
bool IsAnotherInstanceRunning(const Text& name);

/// Slashes to backslashes, then the trailing run of backslashes removed.
Text NormaliseSourcePath(const Text& text);

/// Reads the switches of the command line into `settings`.
void ReadSwitches(RunSettings& settings);

/// The whole run; ends the process.
[[noreturn]] void RunBackup();

/// Shuts the supporting services down in their fixed order: the audio
/// output, the archives still open, the folder scans still open.
void ShutDownServices();

/// ShutDownServices, then the end of the process with exit code 0.
[[noreturn]] void EndRun();
