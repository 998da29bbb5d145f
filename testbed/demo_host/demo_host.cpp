// The demo: the test host loads the plug-in, opens the send dialog on a sample page,
// presses "Send To Evernote", and prints the note as the ENScript stand-in stored it.
//
//   demo_host.exe [screenshot.bmp]
//
// Runs without a person at the keyboard and ends by itself.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "testbed/notebook_store.h"
#include "testbed/screenshot.h"
#include "testbed/test_host.h"
#include "text/code_pages.h"

namespace {

// A page with what users keep in Yarrin: a heading, bold and italic text, a bulleted
// list, a small table, a web address, a bookmark and a line of Cyrillic.
const char kSamplePage[] =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
    "{\\f1\\fswiss\\fcharset204 Arial;}}"
    "{\\colortbl ;\\red0\\green77\\blue187;}"
    "\\pard\\plain\\sa120\\cf1\\b\\fs32 Weekly planning\\cf0\\b0\\fs20\\par "
    "Plain text, \\b bold text\\b0  and \\i italic text\\i0 .\\par "
    "\\pard\\sa120{\\pntext\\f0\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf0\\pnindent360{\\pntxtb\\'B7}}"
    "\\fi-360\\li360 Review the notes\\par "
    "{\\pntext\\f0\\'B7\\tab}Send them to Evernote\\par "
    "\\pard\\sa120 More at https://yarrin2evernote.org/demo and in the manual.\\par "
    "bookmark<Summary The summary starts here>\\par "
    "\\f1\\lang1049 \\u1055?\\u1088?\\u1080?\\u1074?\\u1077?\\u1090?, \\u1084?\\u1080?\\u1088?!\\f0\\par "
    // Wine's rich edit reads back the tables it writes only in part (its cells lose
    // their row); on Windows the table arrives as a table.
    "\\trowd\\trgaph108\\cellx2200\\cellx4400"
    "\\pard\\intbl Day\\cell Task\\cell\\row"
    "\\trowd\\trgaph108\\cellx2200\\cellx4400"
    "\\pard\\intbl Monday\\cell Planning\\cell\\row"
    "\\pard\\par}";

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
  int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t text[2000] = {};
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = 2000;
    SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
    rows += L"  " + std::wstring(text) + L"\n";
  }
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

// A fresh "Evernote" folder with the ENScript stand-in, registered as installed.
std::wstring InstallEnscript() {
  WideString programFolder = ProgramFolder();
  std::wstring bin(programFolder.begin(), programFolder.end());
  std::wstring folder = bin + L"demo-evernote\\";
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
  RegisterProgram(L"ENScript.exe", folder + L"ENScript.exe");
  RegisterProgram(L"Evernote.exe", bin + L"Evernote.exe");
  return folder;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring screenshot = argc > 1 ? argv[1] : L"send-dialog.bmp";
  std::wstring evernoteFolder = InstallEnscript();

  ResetHost();
  HostModel& host = Host();
  host.nodeTitle = u"Weekly planning";
  host.tags = u"planning, demo";
  host.documentPath = u"C:\\Users\\Demo\\Documents\\Planning.yar";
  host.nodeLink = u"yarrin://Planning.yar?node=42";
  SetEditorRtf(kSamplePage);
  SelectInEditor(0, 0);
  if (!Plugin().module) {
    Print("The plug-in Yarrin2Evernote.dll did not load.\n");
    return 1;
  }
  RegisterPluginWithHost();

  bool sent = false;
  auto watch = WhenWindowAppears(DialogCaptionStartingWith(L"Yarrin2Evernote "), [&](HWND dialog) {
    Print("The send dialog is open: " + Utf8(WindowText(dialog)) + "\n");
    PumpMessages(2500);  // the Send button's blink
    Print("Pressing \"Send To Evernote\"...\n");
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    PumpMessages(700);
    sent = true;
    Print("Log of the dialog:\n" + Utf8(LogRows(GetDlgItem(dialog, 1003))));
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

  std::wstring notebook = evernoteFolder + L"notebook";
  auto notes = ReadNotebook(WideString(notebook.begin(), notebook.end()));
  if (notes.size() != 1) {
    Print("Expected one imported note, found " + std::to_string(notes.size()) + ".\n");
    return 1;
  }
  const StoredNote& note = notes[0];
  std::string tags;
  for (const WideString& tag : note.tags) tags += (tags.empty() ? "" : ", ") + Utf8(tag);
  Print("\nThe note as Evernote (the ENScript stand-in) stored it:\n"
        "  title:   " + Utf8(note.title) + "\n"
        "  tags:    " + tags + "\n"
        "  created: " + Utf8(note.created) + "\n"
        "  updated: " + Utf8(note.updated) + "\n"
        "  content:\n" + Utf8(note.content) + "\n");
  return 0;
}
