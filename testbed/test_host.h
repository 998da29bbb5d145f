// A stand-in for the Yarrin host, for tests and the demo. The program that links this
// code exports the host callbacks (YHC_*), answers them from a scripted model of the
// current node, holds a main window with a real rich edit editor, and loads the plug-in.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "plugin/plugin_api.h"
#include "testbed/support/files.h"
#include "text/wide_string.h"

inline CHARFORMATW EmptyCharFormat() {
  CHARFORMATW format{};
  format.cbSize = sizeof(format);
  return format;
}

// What the host answers. Tests change it freely between calls.
struct HostModel {
  NodeId currentNode = 0x5A17;
  WideString nodeTitle = u"Notes";
  int nodeKind = 0;
  WideString documentPath = u"C:\\Users\\Test\\Documents\\notes.yar";
  WideString nodeLink = u"yarrin://C:/Users/Test/Documents/notes.yar?node=23";
  WideString htmlCode;
  WideString tags;
  bool htmlCodeFails = false;
  bool tagsFail = false;
  bool optionsAvailable = false;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF backgroundColor = RGB(255, 255, 255);
  CHARFORMATW charFormat = EmptyCharFormat();
  WORD uiLanguage = 1033;
  bool versionAvailable = true;
  ModuleVersionInfo version{sizeof(ModuleVersionInfo), 1, 0, 4, 19};
  bool mainWindowAvailable = true;
  // A YHC_Command code whose answer raises a C++ exception instead (0: none), to show
  // that the plug-in stops it before it reaches the host.
  int throwingCommand = 0;

  // How often each YHC_Command code was asked for, and the last capacity of code 10.
  std::map<int, int> commandCalls;
  int lastDocumentPathCapacity = 0;
};

HostModel& Host();

// Resets the model to its defaults (the host window and plug-in stay).
void ResetHost();

// Makes one exported callback (e.g. "YHC_GetOptions") unfindable by GetProcAddress, or
// findable again. The plug-in looks its callbacks up at every call.
void SetCallbackMissing(const char* name, bool missing);

// The host's main window and its rich edit editor, created on first use.
HWND HostMainWindowHandle();
HWND HostEditor();

// Editor content: plain text, RTF, selection (character positions).
void SetEditorText(const WideString& text);
void SetEditorRtf(const std::string& rtf);
void SelectInEditor(LONG first, LONG last);
WideString EditorText();

// The plug-in DLL, loaded by path from the folder of this program.
struct PluginExports {
  HMODULE module = nullptr;
  Yarrin_IsSupportsPluginUnicodeFn isSupportsPluginUnicode = nullptr;
  Yarrin_GetPluginInfoFn getPluginInfo = nullptr;
  Yarrin_GetMenuItemInfoFn getMenuItemInfo = nullptr;
  Yarrin_EventHandlerFn eventHandler = nullptr;
  CommandProcFn commandProc = nullptr;
};

// Loads Yarrin2Evernote.dll once; returns the exports (module null on failure).
const PluginExports& Plugin();

// Calls the plug-in the way the host starts it: plug-in info, the editor event.
void RegisterPluginWithHost();

// Runs a command of the plug-in, as the host's menu does.
int RunPluginCommand(int commandId);

// Calls action(window) from this thread's message loop, once, as soon as a visible
// top-level window of this thread matches: the way tests drive a modal dialog or message
// box that a call has opened and is waiting in. Gives up after timeoutMs (action is then
// never called). Returns a handle for CancelWindowWatch.
using WindowMatch = std::function<bool(HWND)>;
UINT_PTR WhenWindowAppears(WindowMatch match, std::function<void(HWND)> action,
                           DWORD timeoutMs = 10000);
void CancelWindowWatch(UINT_PTR watch);

// Calls action(window) once, as window is being destroyed (WM_DESTROY, its child windows
// still there): the way tests and the demo read a dialog that closes by itself. One such
// watch at a time; a new one replaces the last.
void BeforeWindowCloses(HWND window, std::function<void(HWND)> action);

// Matches dialog-class windows (message boxes, dialogs) by caption.
WindowMatch DialogWithCaption(const std::wstring& caption);
WindowMatch DialogCaptionStartingWith(const std::wstring& prefix);

// Pumps this thread's messages for about ms milliseconds.
void PumpMessages(DWORD ms);

// Text of a window or dialog control.
std::wstring WindowText(HWND window);

// The rows of a report list view (the send dialog's log), in order.
std::vector<std::wstring> ListRows(HWND list);
