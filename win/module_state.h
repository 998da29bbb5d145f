// The plug-in's module state (one instance from process attach to process detach) and
// what is read from the plug-in's own module: its strings and its folder.
#pragma once

#include <windows.h>

#include "text/wide_string.h"

// The plug-in's name: caption of its message boxes and start of its display name.
inline constexpr char16_t kPluginName[] = u"Yarrin2Evernote";

struct ModuleState {
  HINSTANCE instanceHandle = nullptr;  // loads icon 103, dialog 101 and the strings
  WideString displayName;              // rebuilt by every Yarrin_GetPluginInfo
  HWND hostEditorWindow = nullptr;     // last editor window reported by event 10
};

// The state of the loaded plug-in. Before attach (in programs that link the plug-in's
// code directly) it is an empty state whose instance is the module holding this code.
ModuleState& Module();

void CreateModuleState(HINSTANCE instance);
void ReleaseModuleState();

// The module this code is linked into: the plug-in DLL in the product.
HINSTANCE ThisModule();

// The string with that id from the module's string table; empty when it is absent.
WideString ModuleString(UINT id);

// The folder of this module's file, with its trailing backslash; empty if it cannot be
// told.
WideString ModuleFolder();

// A library from the system folder only, never from the host's folder or the current
// one; null when it cannot be loaded. The caller frees it.
HMODULE LoadSystemLibrary(const char16_t* name);
