// The demo: the test host loads the plug-in, opens the send dialog on a sample page,
// presses "Send To Evernote", and prints the note as the ENScript stand-in stored it.
// With --no-enscript no ENScript is installed: the plug-in saves the note as an ENEX
// file, and the demo prints the file's path and the note read back from it. With
// --stuck-enscript the stand-in does not end (as an ENScript waiting for input): the demo
// presses Close after the first "still waiting" notice and prints the log. --title gives
// the page another title; --documents points the user's Documents folder elsewhere.
// With --rtf FILE the page is FILE's RTF, loaded into the host's rich edit; with
// --html FILE the node is one of HTML code (kind 1) whose code is FILE (UTF-8).
//
//   demo_host.exe [--no-enscript] [--stuck-enscript] [--title TEXT] [--documents FOLDER]
//                 [--rtf FILE | --html FILE] [screenshot.bmp]
//
// Runs without a person at the keyboard and ends by itself.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <optional>
#include <string>

#include "testbed/notebook_store.h"
#include "testbed/screenshot.h"
#include "testbed/demo_host/sample_page.h"
#include "testbed/test_host.h"
#include "text/code_pages.h"
#include "win/guards.h"

namespace {


std::string Utf8(const WideString& text) { return WideToUtf8(text); }
std::string Utf8(const std::wstring& text) {
  return WideToUtf8(WideString(text.begin(), text.end()));
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

std::wstring LogRows(HWND list) {
  std::wstring rows;
  for (const std::wstring& row : ListRows(list)) rows += L"  " + row + L"\n";
  return rows;
}

void RegisterProgram(const wchar_t* exeName, const std::wstring& path) {
  std::wstring key = std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + exeName;
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                 static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
}

std::wstring BinFolder() {
  WideString programFolder = WideFromPtr(ProgramFolder().c_str());
  return std::wstring(programFolder.begin(), programFolder.end());
}

// A fresh folder holding the ENScript stand-in and the DTD it checks contents against,
// with an empty notebook.
std::wstring FreshEnscriptFolder(const std::wstring& name) {
  std::wstring bin = BinFolder();
  std::wstring folder = bin + name + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  DeleteFileW((folder + L"notebook\\note-0001.txt").c_str());
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"notebook\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do DeleteFileW((folder + L"notebook\\" + found.cFileName).c_str());
    while (FindNextFileW(search, &found));
    FindClose(search);
  }
  CopyFileW((bin + L"ENScript.exe").c_str(), (folder + L"ENScript.exe").c_str(), FALSE);
  DeleteFileW((folder + L"enml2.dtd").c_str());  // none when the build has none
  CopyFileW((bin + L"enml2.dtd").c_str(), (folder + L"enml2.dtd").c_str(), FALSE);
  return folder;
}

// The stand-in in a folder of its own, registered as installed, or (installed false)
// nothing registered as ENScript.
std::wstring InstallEnscript(bool installed) {
  std::wstring folder = FreshEnscriptFolder(L"demo-evernote");
  std::wstring key = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ENScript.exe";
  if (installed)
    RegisterProgram(L"ENScript.exe", folder + L"ENScript.exe");
  else
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
  RegisterProgram(L"Evernote.exe", BinFolder() + L"Evernote.exe");
  return folder;
}

// The user's Documents folder (the shell's "Personal" folder) pointed at folder, made
// absolute, so that a saved note lands there and not in the home folder Wine links in.
std::wstring PointDocumentsAt(const std::wstring& folder) {
  wchar_t full[MAX_PATH] = {};
  if (!GetFullPathNameW(folder.c_str(), MAX_PATH, full, nullptr)) return {};
  CreateDirectoryW(full, nullptr);
  const std::wstring value = full;
  RegSetKeyValueW(HKEY_CURRENT_USER,
                  L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                  L"Personal", REG_SZ, value.c_str(),
                  static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  return value;
}

// The stand-in told to sleep far longer than the demo lasts, and a notice every second;
// or (stuck false) both back to normal.
void MakeEnscriptStuck(const std::wstring& enscriptFolder, bool stuck) {
  const std::wstring faultFile = enscriptFolder + L"enscript-fault.txt";
  DeleteFileW(faultFile.c_str());
  if (!stuck) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Yarrin2Evernote", L"WaitNoticeSeconds");
    return;
  }
  HANDLE file = CreateFileW(faultFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, "sleep 45000", 11, &written, nullptr);
  CloseHandle(file);
  const DWORD oneSecond = 1;
  RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Yarrin2Evernote", L"WaitNoticeSeconds", REG_DWORD,
                  &oneSecond, sizeof(oneSecond));
}

// One line per resource of the note: type, size, hash, file name.
std::string Resources(const StoredNote& note) {
  std::string lines;
  for (const StoredResource& resource : note.resources) {
    lines += "  resource: " + Utf8(resource.mime) + ", " + std::to_string(resource.width) + " x " +
             std::to_string(resource.height) + " pixels, " + std::to_string(resource.bytes.size()) +
             " bytes, MD5 " + Utf8(resource.hash) + ", " + Utf8(resource.fileName) + "\n";
  }
  return lines;
}

// The saved file's path from the dialog's log ("Saved: <path>"), or empty.
std::wstring SavedFilePath(const std::wstring& log) {
  const std::wstring label = L"  Saved: ";
  size_t at = log.find(label);
  if (at == std::wstring::npos) return {};
  at += label.size();
  return log.substr(at, log.find(L'\n', at) - at);
}

// Reads a saved ENEX file back the way an importer does: the stand-in parses it with
// Windows' XML parser and stores what it finds.
bool ReadBack(const std::wstring& enexPath, const std::wstring& readerFolder) {
  std::wstring commandLine =
      L"\"" + readerFolder + L"ENScript.exe\" importNotes /s \"" + enexPath + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, readerFolder.c_str(), &startup, &process))
    return false;
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code == 0;
}

// The host's page from a file: RTF into the rich edit, or HTML code (UTF-8, with or
// without its byte order mark) as a node of kind 1. False when the file cannot be read.
bool LoadPageFile(const std::wstring& path, bool html) {
  auto bytes = TryReadFileBytes(path);
  if (!bytes) {
    Print("Cannot read the page file " + Utf8(path) + "\n");
    return false;
  }
  if (!html) {
    SetEditorRtf(*bytes);
    return true;
  }
  if (bytes->rfind("\xEF\xBB\xBF", 0) == 0) bytes->erase(0, 3);
  Host().nodeKind = 1;
  Host().htmlCode = BytesToWide(*bytes, CP_UTF8);
  return true;
}

// Why the stand-in imported nothing, as it said it (a refused note names its fault).
void PrintStandinResult(const std::wstring& notebook) {
  if (auto said = TryReadFileBytes(notebook + L"\\last-result.txt"))
    Print("The ENScript stand-in said: " + *said);
}

}  // namespace

// The stuck ENScript: Send is pressed, and Close once the first notice has made it
// available; the log is read as the dialog closes.
void SendAndStopWaiting(HWND dialog, std::wstring& log, const std::wstring& screenshot) {
  Print("Pressing \"Send To Evernote\"; the ENScript stand-in has been told not to end...\n");
  BeforeWindowCloses(dialog, [&](HWND closing) { log = LogRows(GetDlgItem(closing, 1003)); });
  WhenWindowAppears(
      [dialog](HWND window) {
        return window == dialog && !IsWindowEnabled(GetDlgItem(dialog, IDOK)) &&
               IsWindowEnabled(GetDlgItem(dialog, IDCANCEL));
      },
      [dialog, screenshot](HWND) {
        if (SaveWindowBitmap(dialog, screenshot))
          Print("Screenshot of the dialog as it waits: " + Utf8(screenshot) + "\n");
        Print("Close is available again after the first notice: pressing Close...\n");
        SendDlgItemMessageW(dialog, IDCANCEL, BM_CLICK, 0, 0);
      },
      30000);
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

// The note file the log says is kept, or empty.
std::wstring KeptFilePath(const std::wstring& log) {
  const std::wstring label = L"The note file is kept: ";
  size_t at = log.find(label);
  if (at == std::wstring::npos) return {};
  at += label.size();
  return log.substr(at, log.find(L'\n', at) - at);
}

int wmain(int argc, wchar_t** argv) {
  bool withEnscript = true;
  bool stuckEnscript = false;
  std::wstring screenshot = L"send-dialog.bmp";
  std::wstring title = L"Weekly planning";
  std::wstring documents;
  std::wstring pageFile;
  bool pageIsHtml = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring option = argv[i];
    if (option == L"--no-enscript")
      withEnscript = false;
    else if (option == L"--stuck-enscript")
      stuckEnscript = true;
    else if (option == L"--title" && i + 1 < argc)
      title = argv[++i];
    else if (option == L"--documents" && i + 1 < argc)
      documents = argv[++i];
    else if ((option == L"--rtf" || option == L"--html") && i + 1 < argc) {
      pageIsHtml = option == L"--html";
      pageFile = argv[++i];
    } else
      screenshot = argv[i];
  }
  std::wstring evernoteFolder = InstallEnscript(withEnscript);
  MakeEnscriptStuck(evernoteFolder, stuckEnscript);
  if (!documents.empty()) {
    documents = PointDocumentsAt(documents);
    Print("The demo's Documents folder: " + Utf8(documents) + "\n");
  }

  ResetHost();
  HostModel& host = Host();
  host.nodeTitle = WideString(title.begin(), title.end());
  host.tags = u"planning, demo";
  host.documentPath = u"C:\\Users\\Demo\\Documents\\Planning.yar";
  host.nodeLink = u"yarrin://Planning.yar?node=42";
  SetEditorRtf(kSamplePage);
  if (!pageFile.empty() && !LoadPageFile(pageFile, pageIsHtml)) return 1;
  SelectInEditor(0, 0);
  if (!Plugin().module) {
    Print("The plug-in Yarrin2Evernote.dll did not load.\n");
    return 1;
  }
  RegisterPluginWithHost();

  bool sent = false;
  std::wstring log;
  auto watch = WhenWindowAppears(DialogCaptionStartingWith(L"Yarrin2Evernote "), [&](HWND dialog) {
    Print("The send dialog is open: " + Utf8(WindowText(dialog)) + "\n");
    PumpMessages(2500);  // the Send button's blink
    if (stuckEnscript) {
      sent = true;
      SendAndStopWaiting(dialog, log, screenshot);
      return;
    }
    Print("Pressing \"Send To Evernote\"...\n");
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    PumpMessages(700);
    sent = true;
    log = LogRows(GetDlgItem(dialog, 1003));
    Print("Log of the dialog:\n" + Utf8(log));
    if (SaveWindowBitmap(dialog, screenshot))
      Print("Screenshot of the dialog after the send: " + Utf8(screenshot) + "\n");
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  }, 30000);
  RunPluginCommand(0);
  CancelWindowWatch(watch);
  if (!sent) {
    Print("The send dialog did not open.\n");
    return 1;
  }

  if (stuckEnscript) {
    Print("The dialog closed. Its log:\n" + Utf8(log));
    const std::wstring kept = KeptFilePath(log);
    if (kept.empty() || GetFileAttributesW(kept.c_str()) == INVALID_FILE_ATTRIBUTES) {
      Print("The note file was not kept for ENScript.\n");
      return 1;
    }
    Print("\nThe note file is still there for ENScript: " + Utf8(kept) + "\n");
    return 0;
  }

  std::wstring notebook = evernoteFolder + L"notebook";
  const char* heading = "The note as Evernote (the ENScript stand-in) stored it";
  if (!withEnscript) {
    std::wstring saved = SavedFilePath(log);
    if (saved.empty()) {
      Print("The plug-in did not say where it saved the note.\n");
      return 1;
    }
    Print("\nThe plug-in saved the note as " + Utf8(saved) + "\n");
    std::wstring reader = FreshEnscriptFolder(L"demo-reader");
    if (!ReadBack(saved, reader)) {
      Print("The saved file could not be read back.\n");
      PrintStandinResult(reader + L"notebook");
      return 1;
    }
    notebook = reader + L"notebook";
    heading = "The note read back from the saved file";
  }
  auto notes = ReadNotebook(WideString(notebook.begin(), notebook.end()));
  if (notes.size() != 1) {
    Print("Expected one imported note, found " + std::to_string(notes.size()) + ".\n");
    PrintStandinResult(notebook);
    return 1;
  }
  const StoredNote& note = notes[0];
  std::string tags;
  for (const WideString& tag : note.tags) tags += (tags.empty() ? "" : ", ") + Utf8(tag);
  Print("\n" + std::string(heading) + ":\n"
        "  title:   " + Utf8(note.title) + "\n"
        "  tags:    " + tags + "\n"
        "  created: " + Utf8(note.created) + "\n"
        "  updated: " + Utf8(note.updated) + "\n" + Resources(note) +
        "  content:\n" + Utf8(note.content) + "\n");
  return 0;
}
