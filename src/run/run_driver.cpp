// One backup run from start to end, and the orderly end of the process.
#include "run/run_driver.h"

#include <mutex>

#include "archive/archive_writer.h"
#include "platform/files.h"
#include "platform/process.h"
#include "run/backup_label.h"
#include "run/command_line.h"
#include "run/date_stamp.h"
#include "run/path_helpers.h"
#include "run/source_collection.h"
#include "sound/completion_sound.h"
#include "ui/error_console.h"
#include "ui/label_dialog.h"

const Text kInstanceName = u"Quillfort by Tamsel Ardy";

namespace {

RunSettings settings;
RunState state;

// A path whose last segment is "." or ".." is replaced by the folder it
// really is, so that entry names never climb out of the extraction folder.
Text ResolveDotSegments(const Text& path) {
  const Text last = FilePart(path);
  if (last == u"." || last == u"..") return NormaliseSourcePath(platform::FullPath(path));
  return path;
}

}  // namespace

bool IsAnotherInstanceRunning(const Text& name) {
  bool alreadyExists = false;
  const auto handle = platform::CreateNamedLock(name, alreadyExists);
  if (handle != 0 && alreadyExists) {
    platform::CloseNamedLock(handle);
    return true;
  }
  // The lock is held until the process ends.
  return false;
}

Text NormaliseSourcePath(const Text& text) {
  return TrimTrailing(ReplaceText(text, u"/", u"\\", false), u'\\');
}

void ReadSwitches(RunSettings& s) {
  for (int index = 0; index <= ArgumentCount() - 1; ++index) {
    const Text argument = ToLowerText(ArgumentAt(index));
    if (argument == u"/p") {
      s.projectPath = NextArgument();
      ++index;
    } else if (argument == u"/f") {
      s.filePath = NextArgument();
      ++index;
    } else if (argument == u"/w") {
      s.defaultLabel = NextArgument();
      ++index;
    } else if (argument == u"/all") {
      s.extensionFilter.clear();
      s.modeTag = u" [A]";
    } else if (argument == u"/silent") {
      s.silent = true;
    }
  }
}

void ShutDownServices() {
  // The console's close event runs this on its own thread while the main
  // thread may be ending the run too: the services are shut down once.
  static std::mutex shutdownLock;
  static bool shutDown = false;
  std::lock_guard<std::mutex> guard(shutdownLock);
  if (shutDown) return;
  shutDown = true;
  CloseAudioOutput();
  BackupArchive::CloseAll();
  CloseAllFolderScans();
}

void EndRun() {
  ShutDownServices();
  platform::ExitProcess(0);
}

void RunBackup() {
  PrepareDialogs();
  settings = RunSettings();

  if (IsAnotherInstanceRunning(kInstanceName)) ReportErrorAndExit(Text(), u"Another instance running");

  ReadSwitches(settings);

  if (!settings.projectPath.empty()) {
    state.sourcePath = ResolveDotSegments(NormaliseSourcePath(settings.projectPath));
    if (QueryFileKind(state.sourcePath) != kFolderKind)
      ReportErrorAndExit(state.sourcePath, u"is not a directory! Cannot use with /P switch");
    state.backupFolder = state.sourcePath + u"\\_backups\\";
    settings.modeTag = u" [PJ]" + settings.modeTag;
  } else if (!settings.filePath.empty()) {
    state.sourcePath = ResolveDotSegments(NormaliseSourcePath(settings.filePath));
    if (QueryFileKind(state.sourcePath) < 0)
      ReportErrorAndExit(state.sourcePath, u"is not a file! Cannot use with /F switch");
    state.backupFolder = PathPart(state.sourcePath) + u"_backups\\";
    settings.modeTag = u" [SS]" + settings.modeTag;
    settings.defaultLabel = FilePart(state.sourcePath);
  } else {
    ReportErrorAndExit(Text(), u"No valid arguments");
  }

  state.stampText = FormatDateMask(u"(%yyyy-%mm-%dd) %hh-%ii-%ss", LocalDateNow());
  state.label = ObtainLabel(settings.defaultLabel, settings.silent);

  Text tail = settings.modeTag;
  if (!state.label.empty()) tail += kLabelSeparator + state.label;
  state.archiveName = state.stampText + tail + u".zip";

  if (QueryFileKind(state.backupFolder) != kFolderKind && !CreateFolder(state.backupFolder))
    ReportErrorAndExit(state.backupFolder, u"path cannot be accessed!");

  SourceList sources(1);
  if (QueryFileKind(state.sourcePath) == kFolderKind) {
    CollectSources(state.sourcePath, sources, settings.extensionFilter, -1,
                   TrimTrailing(state.backupFolder, u'\\'));
  } else {
    sources.Resize(2);
    sources.Set(1, state.sourcePath);
  }
  if (sources.LastIndex() < 1) ReportErrorAndExit(Text(), u"No files found to backup");

  PackSources(state.backupFolder + state.archiveName, state.sourcePath, sources);
  PlayCompletionSound();
  EndRun();
}
