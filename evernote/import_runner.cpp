#include "evernote/import_runner.h"

#include <shellapi.h>

#include "evernote/install_lookup.h"
#include "evernote/paths.h"
#include "evernote/enex_writer.h"
#include "win/guards.h"

ImportRequest::ImportRequest() {
  GetSystemTime(&created);
  updated = created;
}

void LogLine(const ImportRequest& request, const WideString& text) {
  if (request.logCallback) request.logCallback(WidePtr(text), request.logContext);
}

void LogError(const ImportRequest& request, const WideString& text) {
  LogLine(request, u"ERROR: " + text);
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
  // The name GetTempFileNameW forms ("abc" + hexadecimal number + ".TMP"), composed here:
  // the system refuses to name a file in a folder that does not exist, and the runner
  // must still be able to say which file it could not create.
  wchar_t name[16] = {};
  wsprintfW(name, L"abc%X.TMP", unique);
  WideString path = base + WideFromPtr(name);
  if (!extension.empty() && extension.front() != u'.' && (path.empty() || path.back() != u'.'))
    path += u'.';
  return path + extension;
}

namespace {

constexpr int kShowNormal = 5;
constexpr int kHide = 0;
constexpr unsigned kNamesToTry = 0x10000;

// Creates the note file under a name that no file has yet: an existing file of the
// same name, whoever it belongs to, is never overwritten.
UniqueFile CreateNoteFile(const WideString& folder, WideString& path) {
  unsigned first = GetTickCount();
  for (unsigned attempt = 0; attempt < kNamesToTry; ++attempt) {
    path = NewTempFileName(folder, u"enex", first + attempt);
    if (path.empty()) return UniqueFile();
    UniqueFile file(CreateFileW(WidePtr(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return UniqueFile();
}

bool WriteWhole(const UniqueFile& file, const ByteString& bytes) {
  DWORD written = 0;
  if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    return false;
  return written == bytes.size();
}

// Starts ENScript in its own folder; the process handle is kept (may be null).
bool StartEnscript(const WideString& enscriptPath, const WideString& arguments,
                   int showConsole, UniqueProcess& process) {
  WideString folder = PathFolder(enscriptPath, true);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = L"open";
  info.lpFile = WidePtr(enscriptPath);
  info.lpParameters = WidePtr(arguments);
  info.lpDirectory = WidePtr(folder);
  info.nShow = showConsole ? kShowNormal : kHide;
  bool started = ShellExecuteExW(&info) != FALSE;
  process.reset(info.hProcess);
  return started;
}

}  // namespace

bool RunImport(const ImportRequest& request) {
  LogLine(request, u"==================");
  LogLine(request, u"Start Yarrin2Evernote");
  if (!request.content) {
    LogError(request, u"Content not specified");
    return false;
  }
  WideString enscriptPath = FindEnscriptPath();
  if (enscriptPath.empty()) {
    LogError(request, u"Cannot get ENScript path");
    return false;
  }
  LogLine(request, u"ENScript path: " + enscriptPath);

  WideString title = NoteTitle(request.title ? WideView(*request.title) : WideView());
  ByteString document = BuildEnexDocument(
      title, *request.content, NoteTimeFromSystemTime(request.created),
      NoteTimeFromSystemTime(request.updated), request.tags ? WideView(*request.tags) : WideView());

  WideString notePath;
  {
    UniqueFile file = CreateNoteFile(PathFolder(enscriptPath, false), notePath);
    if (!file) {
      LogError(request, u"Cannot create temp file " + notePath);
      return false;
    }
    if (!WriteWhole(file, document)) {
      file.reset();
      LogError(request, u"Cannot write temp file " + notePath);
      DeleteFileW(WidePtr(notePath));
      return false;
    }
  }

  UniqueProcess process;
  WideString arguments = u"importNotes /s" + PathFileName(notePath);
  if (StartEnscript(enscriptPath, arguments, request.showConsole, process))
    LogLine(request, u"ENScript started " + enscriptPath);
  else
    LogError(request, u"Cannot start ENScript " + enscriptPath);
  if (!process) {
    DeleteFileW(WidePtr(notePath));
    return false;
  }
  WaitForSingleObject(process.get(), INFINITE);
  process.reset();
  DeleteFileW(WidePtr(notePath));
  LogLine(request, u"End of Yarrin2Evernote");
  return true;
}
