#include "evernote/import_runner.h"

#include <shellapi.h>

#include "evernote/enex_file.h"
#include "evernote/enex_writer.h"
#include "evernote/install_lookup.h"
#include "evernote/paths.h"
#include "win/guards.h"
#include "win/message_wait.h"
#include "win/settings.h"
#include "win/system_text.h"

Note::Note() {
  GetSystemTime(&created);
  updated = created;
}


ImportSettings UserImportSettings() {
  ImportSettings settings;
  if (const auto seconds = ReadUserSetting(kWaitNoticeSetting)) {
    constexpr DWORD kLongestSeconds = 24 * 60 * 60;  // beyond a day the product overflows
    settings.waitNoticeMs = (*seconds < kLongestSeconds ? *seconds : kLongestSeconds) * 1000;
  }
  settings.saveAsFile = ReadUserSetting(kSaveEnexFileSetting).value_or(0) == 1;
  return settings;
}

WideString TempFolderPath() {
  wchar_t buffer[MAX_PATH] = {};
  DWORD length = GetTempPathW(MAX_PATH, buffer);
  return length > 0 && length < MAX_PATH ? WideFromPtr(buffer, length) : WideString();
}

WideString NewTempFileName(const WideString& folder, const WideString& extension,
                           unsigned number) {
  WideString base = folder.empty() ? TempFolderPath() : folder;
  if (!base.empty() && base.back() != u'\\') base += u'\\';
  unsigned unique = number & 0xFFFF;
  if (unique == 0) unique = 1;
  // The name GetTempFileNameW forms ("abc" + four hexadecimal digits + ".TMP"), composed
  // here: the system refuses to name a file in a folder that does not exist, and the
  // runner must still be able to say which file it could not create.
  wchar_t name[16] = {};
  wsprintfW(name, L"abc%04X.TMP", unique);
  WideString path = base + WideFromPtr(name);
  if (!extension.empty() && extension.front() != u'.' && (path.empty() || path.back() != u'.'))
    path += u'.';
  return path + extension;
}

WideString EnscriptExitText(DWORD exitCode) {
  WideString text = u"ENScript ended with exit code " + WideNumber(exitCode);
  // Codes of this size are the system's own statuses: the program did not finish.
  if (exitCode >= 0xC0000000) {
    wchar_t hex[16] = {};
    wsprintfW(hex, L"0x%08X", exitCode);
    text += u" (" + WideFromPtr(hex) + u": ENScript stopped with a system error)";
  }
  return text + u"; the note was not imported";
}

namespace {

constexpr int kShowNormal = 5;
constexpr int kHide = 0;
constexpr unsigned kNamesToTry = 0x10000;

// The note file in the user's own temporary folder: a standard account may not write into
// ENScript's folder under Program Files, and a write redirected to the VirtualStore would
// never reach ENScript.
bool CreateNoteFile(EnexFile& note, DWORD& error) {
  const WideString folder = TempFolderPath();
  if (folder.empty()) {  // the folder is unknown: no name to try
    error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  const unsigned first = GetTickCount();
  return note.Create([&](unsigned index) { return NewTempFileName(folder, u"enex", first + index); },
                     kNamesToTry, error);
}

// ENScript's process, waited for before its handle is closed on every way out (its note
// file must outlive it), with the thread's windows served. Whenever the wait ends without
// ENScript having ended (the user stopped waiting, or the system refused to wait),
// ENScript runs on, is not ended, and its note file is kept.
class EnscriptProcess {
 public:
  EnscriptProcess(const ImportSettings& settings, EnexFile& note) : settings_(settings), note_(note) {}
  EnscriptProcess(const EnscriptProcess&) = delete;
  EnscriptProcess& operator=(const EnscriptProcess&) = delete;
  ~EnscriptProcess() {
    // Left by an exception between the start and the wait: no notices here, since a log
    // line could throw again.
    if (handle_ && Serve(0, nullptr) != WaitEnd::kSignalled) note_.Keep();
  }

  // Starts ENScript in its own folder through the shell, which shows no box of its own.
  // False with the system's error code when it could not be started.
  bool Start(const WideString& enscriptPath, const WideString& arguments, bool showConsole,
             DWORD& error) {
    WideString folder = PathFolder(enscriptPath, true);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = WidePtr(enscriptPath);
    info.lpParameters = WidePtr(arguments);
    info.lpDirectory = WidePtr(folder);
    info.nShow = showConsole ? kShowNormal : kHide;
    bool started = ShellExecuteExW(&info) != FALSE;
    error = started ? ERROR_SUCCESS : GetLastError();
    handle_.reset(info.hProcess);
    return started;
  }

  bool running() const { return static_cast<bool>(handle_); }

  enum class Outcome { kEnded, kUnknown, kStopped, kFailed };

  // Waits with notices in the log and to the caller's wait control. kEnded with the exit
  // code; kUnknown when ENScript has ended but the system cannot tell the code (error says
  // why); kStopped when the user gave up, with the seconds waited; kFailed when the system
  // refused to wait (error says why).
  Outcome Wait(DWORD& exitCode, DWORD& waitedSeconds, DWORD& error) {
    const DWORD start = GetTickCount();
    WaitEnd end = Serve(settings_.waitNoticeMs, [&](DWORD seconds) {
      settings_.log.Line(u"Still waiting for ENScript to finish (" + WideNumber(seconds) +
                         u" s); a hidden ENScript window may be waiting for input.");
      if (settings_.waitControl) settings_.waitControl->OnStillWaiting();
    });
    error = GetLastError();
    waitedSeconds = (GetTickCount() - start) / 1000;
    if (end != WaitEnd::kSignalled) {
      note_.Keep();
      handle_.reset();
      return end == WaitEnd::kStopped ? Outcome::kStopped : Outcome::kFailed;
    }
    bool known = GetExitCodeProcess(handle_.get(), &exitCode) != FALSE;
    error = GetLastError();
    handle_.reset();
    return known ? Outcome::kEnded : Outcome::kUnknown;
  }

 private:
  // The lines so far go on screen first: the wait may be long.
  WaitEnd Serve(DWORD noticeMs, const std::function<void(DWORD)>& notice) {
    settings_.log.Show();
    WaitControl* control = settings_.waitControl;
    return WaitServingMessages(handle_.get(), noticeMs, notice,
                               [control] { return control && control->StopWaiting(); });
  }

  const ImportSettings& settings_;
  EnexFile& note_;
  UniqueProcess handle_;
};

// Writes the note as an ENEX document to a sink; the note outlives it.
EnexDocumentWriter NoteDocument(const Note& note) {
  return [&note](const ByteSink& sink) {
    return WriteEnexDocument(sink, NoteTitle(note.title), note.content,
                             NoteTimeFromSystemTime(note.created),
                             NoteTimeFromSystemTime(note.updated), note.tags, note.resources);
  };
}

// The note as a file in the user's Documents, shown in Explorer, with what to do next.
bool SaveInsteadOfImport(const Note& note, const ImportSettings& settings, bool enscriptMissing) {
  const LogSink& log = settings.log;
  log.Line(enscriptMissing
               ? u"ENScript, Evernote's import tool, is not installed: the note is saved "
                 u"as an ENEX file instead."
               : u"The note is saved as an ENEX file, as the setting SaveEnexFile asks.");
  WideString failure;
  WideString folder = EnexFileFolder(failure);
  WideString path;
  if (folder.empty() ||
      !SaveEnexFile(folder, NoteTitle(note.title), NoteDocument(note), path, failure)) {
    log.Error(failure + u"; the note was not saved");
    return false;
  }
  log.Line(u"Saved: " + path);
  log.Line(u"To import it into Evernote, choose File, Import, \"ENEX file\" there and "
           u"pick this file. Other notes apps with an ENEX import take it as well.");
  RevealSavedFile(path);
  log.Line(u"End of Yarrin2Evernote");
  return true;
}

}  // namespace

bool RunImport(const Note& imported, const ImportSettings& settings) {
  const LogSink& log = settings.log;
  log.Line(u"==================");
  log.Line(u"Start Yarrin2Evernote");
  if (settings.saveAsFile) return SaveInsteadOfImport(imported, settings, false);
  WideString enscriptPath = FindEnscriptPath();
  if (enscriptPath.empty()) return SaveInsteadOfImport(imported, settings, true);
  log.Line(u"ENScript path: " + enscriptPath);

  // Outlives the process below: dealt with once ENScript has ended.
  EnexFile note(EnexFile::Lifetime::kUntilImported);
  DWORD error = ERROR_SUCCESS;
  if (!CreateNoteFile(note, error)) {
    log.Error(u"Cannot create temp file " + note.path() + u": " + SystemErrorText(error));
    return false;
  }
  WideString reason;
  // Written as it is made: the document is never whole in memory.
  if (!note.Write(NoteDocument(imported), reason)) {
    log.Error(u"Cannot write temp file " + note.path() + u": " + reason);
    return false;
  }

  EnscriptProcess enscript(settings, note);
  // The full path, quoted: the folder may hold blanks, and ENScript's working folder is
  // its own.
  WideString arguments = u"importNotes /s \"" + note.path() + u"\"";
  if (!enscript.Start(enscriptPath, arguments, settings.showConsole, error)) {
    log.Error(u"Cannot start ENScript " + enscriptPath + u": " + SystemErrorText(error));
    return false;
  }
  log.Line(u"ENScript started " + enscriptPath);
  if (!enscript.running()) {
    log.Error(u"The system did not say when ENScript ended; the note may not be imported");
    return false;
  }
  DWORD exitCode = 0;
  DWORD waited = 0;
  const EnscriptProcess::Outcome outcome = enscript.Wait(exitCode, waited, error);
  switch (outcome) {
    case EnscriptProcess::Outcome::kStopped:
      log.Error(u"Stopped waiting for ENScript after " + WideNumber(waited) +
                u" s; it may still import the note. The note file is kept: " + note.path());
      return false;
    case EnscriptProcess::Outcome::kFailed:
      log.Error(u"Cannot wait for ENScript to end: " + SystemErrorText(error) +
                u"; it may still import the note. The note file is kept: " + note.path());
      return false;
    case EnscriptProcess::Outcome::kEnded:
    case EnscriptProcess::Outcome::kUnknown:
      break;
  }
  // ENScript has ended: its note file goes before the run's last line.
  if (!note.Delete())
    log.Error(u"Cannot delete the note file " + note.path() + u": " +
              SystemErrorText(GetLastError()));
  if (outcome == EnscriptProcess::Outcome::kUnknown) {
    log.Error(u"Cannot tell how ENScript ended: " + SystemErrorText(error));
    return false;
  }
  if (exitCode != 0) {
    log.Error(EnscriptExitText(exitCode));
    return false;
  }
  log.Line(u"End of Yarrin2Evernote");
  return true;
}
