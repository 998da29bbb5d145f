// The plug-in's module state: one instance from process attach to process detach.
#pragma once

#include <windows.h>

#include "text/wide_string.h"

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
