// Calls into the host. Each wrapper looks its function up by name in the host's
// executable at every call; a missing function makes it return 0 or null.
#pragma once

#include "plugin/plugin_api.h"
#include "text/wide_string.h"

HWND HostMainWindow();
bool HostGetOptions(HostOptions& options);
bool HostGetModuleVersion(HINSTANCE module, ModuleVersionInfo& info);
WORD HostUiLanguage();
INT_PTR HostCommand(int code, INT_PTR value, void* pointer);

// Convenience over HostCommand.
NodeId HostCurrentNode();
int HostNodeKind(NodeId node);
// Item 2 (HTML code) or 4 (tags) of a node into text; false when the request fails. The
// host's system string is copied and freed at once.
bool HostNodeItem(NodeId node, int item, WideString& text);
