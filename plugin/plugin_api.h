// The plug-in interface between the Yarrin host and Yarrin2Evernote: the calling
// convention, the records that pass through the five exports, and the host's callbacks.
//
// The records are laid out byte by byte as the host expects them. In the shipped 32-bit
// build every offset is checked at compile time; pointer-sized fields (window handles,
// node identifiers, buffer addresses) stay pointer-sized in the 64-bit build.
#pragma once

#include <windows.h>
#include <richedit.h>

#include <cstddef>
#include <cstdint>

#define YARRIN_API __stdcall

// Node identifiers are opaque, pointer-sized values of the host's.
using NodeId = INT_PTR;

// Argument of Yarrin_GetPluginInfo.
struct PluginInfo {
  uint32_t size;                // set by the host: the record's size in bytes
  int32_t menuItemCount;        // written: number of menu-item indices answered
  wchar_t name[520];            // written: display name, NUL-terminated
  int32_t requiredHostBuild;    // written: oldest host build the plug-in works with
  uint32_t flagWordA;           // bit value 2 OR-ed in
  uint32_t flagWordB;           // bit value 2 OR-ed in
};

// Filled by the host's YHC_GetModuleVersionInfoEx.
struct ModuleVersionInfo {
  uint32_t size;  // 20
  int32_t major;
  int32_t minor;
  int32_t release;
  int32_t build;
};

// Argument of Yarrin_GetMenuItemInfo.
struct MenuItemInfo {
  uint32_t hostReserved0;
  wchar_t caption[260];
  wchar_t hint[520];
  char procName[260];
  int32_t itemCode;
  int32_t commandId;
  HICON icon;
  uint8_t hostReserved1[20];
  uint32_t itemFlags;
};

// Argument of CommandProc.
struct CommandInfo {
  uint32_t hostReserved0;
  int32_t commandId;
};

// Argument of Yarrin_EventHandler. Event 10 carries the host's current editor window.
struct EventInfo {
  uint32_t hostReserved0;
  int32_t eventCode;
  uint32_t hostReserved1;
  HWND eventValue;
};

// Record of YHC_GetOptions: the host editor's colours and default character format.
struct HostOptions {
  uint32_t size;  // 1344
  uint32_t mask;  // 7
  COLORREF textColor;
  COLORREF backgroundColor;
  CHARFORMATW charFormat;  // the character format's own size is preset to 92
  uint8_t hostReserved[1236];
};

// Record of YHC_Command code 43: the hyperlink to a node of a document.
struct NodeLinkRequest {
  uint32_t unused0;
  uint32_t unused1;
  const wchar_t* documentPath;
  NodeId node;
  uint32_t zero;
  wchar_t* output;
  int32_t capacity;  // usable length of output, 1999
};

// Record of YHC_Command code 44: one item of a node, returned as a system string that the
// caller frees with SysFreeString.
struct NodeItemRequest {
  uint32_t size;  // sizeof the record: 40 in the 32-bit build
  NodeId node;
  uint32_t hostReserved[4];
  int32_t item;  // kNodeItemHtmlCode or kNodeItemTags
  uint32_t hostReserved1;
  BSTR htmlCode;  // answer for item 2
  BSTR tags;      // answer for item 4
};

// YHC_Command codes.
enum HostCommand : int {
  kHostCurrentNode = 1,
  kHostNodeTitle = 2,
  kHostDocumentPath = 10,
  kHostNodeKind = 29,
  kHostNodeLink = 43,
  kHostNodeItem = 44,
  kHostBeforeEditorRead = 46,
};
enum NodeItem : int { kNodeItemHtmlCode = 2, kNodeItemTags = 4 };

// Event codes of Yarrin_EventHandler.
enum HostEvent : int { kEventEditorWindow = 10 };

// The host's callbacks, exported by the host's executable and looked up by name.
using YHC_GetMainWndFn = HWND(YARRIN_API*)();
using YHC_GetOptionsFn = int(YARRIN_API*)(HostOptions* options);
using YHC_GetModuleVersionInfoExFn = int(YARRIN_API*)(HINSTANCE module, ModuleVersionInfo* info);
using YHC_GetUILanguageFn = WORD(YARRIN_API*)();
using YHC_CommandFn = INT_PTR(YARRIN_API*)(int code, INT_PTR value, void* pointer);

// The plug-in's exports.
extern "C" {
int YARRIN_API Yarrin_IsSupportsPluginUnicode();
int YARRIN_API Yarrin_GetPluginInfo(PluginInfo* info);
int YARRIN_API Yarrin_GetMenuItemInfo(int index, MenuItemInfo* info);
int YARRIN_API Yarrin_EventHandler(EventInfo* info);
int YARRIN_API CommandProc(CommandInfo* info);
}

using Yarrin_IsSupportsPluginUnicodeFn = int(YARRIN_API*)();
using Yarrin_GetPluginInfoFn = int(YARRIN_API*)(PluginInfo*);
using Yarrin_GetMenuItemInfoFn = int(YARRIN_API*)(int, MenuItemInfo*);
using Yarrin_EventHandlerFn = int(YARRIN_API*)(EventInfo*);
using CommandProcFn = int(YARRIN_API*)(CommandInfo*);

#if !defined(_WIN64)
// The host reads and writes these bytes at fixed places.
static_assert(offsetof(PluginInfo, menuItemCount) == 4);
static_assert(offsetof(PluginInfo, name) == 8);
static_assert(offsetof(PluginInfo, requiredHostBuild) == 1048);
static_assert(offsetof(PluginInfo, flagWordA) == 1052);
static_assert(offsetof(PluginInfo, flagWordB) == 1056);
static_assert(sizeof(PluginInfo) == 1060);
static_assert(sizeof(ModuleVersionInfo) == 20);
static_assert(offsetof(MenuItemInfo, caption) == 4);
static_assert(offsetof(MenuItemInfo, hint) == 524);
static_assert(offsetof(MenuItemInfo, procName) == 1564);
static_assert(offsetof(MenuItemInfo, itemCode) == 1824);
static_assert(offsetof(MenuItemInfo, commandId) == 1828);
static_assert(offsetof(MenuItemInfo, icon) == 1832);
static_assert(offsetof(MenuItemInfo, itemFlags) == 1856);
static_assert(sizeof(MenuItemInfo) == 1860);
static_assert(offsetof(CommandInfo, commandId) == 4);
static_assert(offsetof(EventInfo, eventCode) == 4);
static_assert(offsetof(EventInfo, eventValue) == 12);
static_assert(offsetof(HostOptions, textColor) == 8);
static_assert(offsetof(HostOptions, backgroundColor) == 12);
static_assert(offsetof(HostOptions, charFormat) == 16);
static_assert(sizeof(CHARFORMATW) == 92);
static_assert(sizeof(HostOptions) == 1344);
static_assert(offsetof(NodeLinkRequest, documentPath) == 8);
static_assert(offsetof(NodeLinkRequest, node) == 12);
static_assert(offsetof(NodeLinkRequest, zero) == 16);
static_assert(offsetof(NodeLinkRequest, output) == 20);
static_assert(offsetof(NodeLinkRequest, capacity) == 24);
static_assert(sizeof(NodeLinkRequest) == 28);
static_assert(offsetof(NodeItemRequest, node) == 4);
static_assert(offsetof(NodeItemRequest, item) == 24);
static_assert(offsetof(NodeItemRequest, htmlCode) == 32);
static_assert(offsetof(NodeItemRequest, tags) == 36);
static_assert(sizeof(NodeItemRequest) == 40);
#endif
