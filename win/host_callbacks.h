// Calls into the host. Each wrapper looks its function up by name in the host's
// executable at every call; a missing function makes it return 0, null or nothing.
#pragma once

#include "text/wide_string.h"
#include "win/host_api.h"

// Texts the host writes into a buffer of ours (node title, document path, node link)
// get this many UTF-16 units, the terminating zero included.
constexpr size_t kHostTextCapacity = 2000;

HWND HostMainWindow();
bool HostGetOptions(HostOptions& options);
bool HostGetModuleVersion(HINSTANCE module, ModuleVersionInfo& info);
WORD HostUiLanguage();
INT_PTR HostCommand(int code, INT_PTR value, void* pointer);

// Convenience over HostCommand.
NodeId HostCurrentNode();
int HostNodeKind(NodeId node);
WideString HostNodeTitle(NodeId node);
// The path of the host's document; empty when it has none.
WideString HostDocumentPath();
// The hyperlink to a node of the document at documentPath.
WideString HostNodeLink(const WideString& documentPath, NodeId node);
// Item 2 (HTML code) or 4 (tags) of a node into text; false when the request fails. The
// host's system string is copied and freed at once.
bool HostNodeItem(NodeId node, int item, WideString& text);

// The tags of the host's current node; empty when it has none or the request fails.
WideString GetNodeTags();
