// The plug-in interface between the Yarrin host and Yarrin2Evernote: the records that
// pass through the five exports, and the exports themselves. The host's callbacks and
// their records are in win/host_api.h.
//
// The records are laid out byte by byte as the host expects them. In the shipped 32-bit
// build every offset is checked at compile time.
#pragma once

#include "win/host_api.h"

// The oldest host build the plug-in works with.
constexpr int kRequiredHostBuild = 2509;

// Argument of Yarrin_GetPluginInfo.
struct PluginInfo {
  uint32_t size;                // set by the host: the record's size in bytes
  int32_t menuItemCount;        // written: number of menu-item indices answered
  wchar_t name[520];            // written: display name, NUL-terminated
  int32_t requiredHostBuild;    // written: oldest host build the plug-in works with
  uint32_t flagWordA;           // bit value 2 OR-ed in
  uint32_t flagWordB;           // bit value 2 OR-ed in
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

// Event codes of Yarrin_EventHandler.
enum HostEvent : int { kEventEditorWindow = 10 };

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
#endif
