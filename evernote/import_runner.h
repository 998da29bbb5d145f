// Has Evernote import one note: the note is written as an ENEX file into the user's
// temporary folder, ENScript is started in its own folder with
// importNotes /s "<full path of the file>", waited for with the caller's windows kept
// alive, its exit code judged, and the file deleted. Where ENScript is not installed, or
// the request asks for a file, the note is saved as an ENEX file in the user's Documents
// instead, and shown in Explorer. Every step is reported through the request's log.
#pragma once

#include <windows.h>

#include <vector>

#include "evernote/enex_writer.h"
#include "text/wide_string.h"
#include "win/log_sink.h"

// How often a run that waits for ENScript says so in the log.
constexpr DWORD kDefaultWaitNoticeMs = 30000;

// The caller's say in a long wait for ENScript (an ENScript started hidden may wait for
// input that nobody can give). Told at every "still waiting" notice; asked after every
// message served during the wait whether the user has stopped waiting. The caller owns it.
class WaitControl {
 public:
  virtual void OnStillWaiting() = 0;
  virtual bool StopWaiting() = 0;

 protected:
  ~WaitControl() = default;
};

// The note to import: one value, made by the send and read by the runner.
struct Note {
  Note();  // reads the UTC clock once into created and updated

  WideString title;                     // "The Default Title " when empty
  BytePieces content;                   // the note's body: valid ENML in UTF-8 pieces
  std::vector<NoteResource> resources;  // files the note carries, such as its pictures
  WideString tags;                      // comma-separated; empty: no tags
  SYSTEMTIME created;
  SYSTEMTIME updated;
};

// How an import runs and where it reports; the send dialog fills it.
struct ImportSettings {
  bool showConsole = false;  // ENScript's window is shown
  LogSink log;
  WaitControl* waitControl = nullptr;  // null: the wait ends only with ENScript
  DWORD waitNoticeMs = kDefaultWaitNoticeMs;  // 0: no notices
  bool saveAsFile = false;  // an ENEX file for the user even where ENScript is installed
};

// The settings as the user's values under HKCU\Software\Yarrin2Evernote set them
// (WaitNoticeSeconds, SaveEnexFile); the rest as default.
ImportSettings UserImportSettings();

// True when ENScript ran and reported success (exit code 0), or the note was saved as a
// file. Every failure is logged as a line beginning "ERROR: ". The note file is deleted
// once ENScript has ended, before the run's last line; when the user stops waiting, or
// the system refuses to wait, ENScript runs on and its note file is kept. The lines are
// shown (LogSink::Show) before the wait. Exceptions (memory running out) pass to the
// caller, but never before ENScript, once started, has ended (or the wait has ended as
// above) and the note file is dealt with.
bool RunImport(const Note& note, const ImportSettings& settings);

// The user's temporary folder (GetTempPathW), usually ending in a backslash.
WideString TempFolderPath();

// folder\abcXXXX.TMP.<extension>, with XXXX the low 16 bits of number as four
// hexadecimal digits (never 0000), as GetTempFileNameW names its files. An empty folder
// means the temporary folder. Nothing is created or tested.
WideString NewTempFileName(const WideString& folder, const WideString& extension,
                           unsigned number);

// The log line for an ENScript that ended with a non-zero exit code.
WideString EnscriptExitText(DWORD exitCode);
